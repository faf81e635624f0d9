#include "graphics/ConversionTools.h"

#include "graphics/Preview.h"
#include "graphics/TableFiles.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

namespace lumidra::graphics {

using namespace desktop;

namespace {

// The dialog is shared: only its filter is set here, its title and folder
// stay as the last command using it left them.
bool ChooseTableFile(TFileDialog& SaveDialog1) {
    SaveDialog1.Filter = QCoreApplication::translate("graphics", TableFilter);
    return SaveDialog1.Execute();
}

// Memo1 keeps the last table made, its lines without a final line break.
void KeepInMemo(QPlainTextEdit& Memo1, const TTableSave& save) {
    if (save.Lines.empty()) return;
    QString text;
    for (const std::string& line : save.Lines) text += QString::fromStdString(line) + QLatin1Char('\n');
    text.chop(1);
    Memo1.setPlainText(text);
}

}  // namespace

void Trans_PictClick(const TImage& Image1, QPlainTextEdit& Memo1, TFileDialog& SaveDialog1) {
    if (!ChooseTableFile(SaveDialog1)) return;
    Memo1.clear();
    KeepInMemo(Memo1, SaveStripTable(PreviewPicture(Image1), SaveDialog1.FileName));
}

void Trans_TypeClick(const TImage& Image1, QPlainTextEdit& Memo1, TFileDialog& SaveDialog1) {
    if (!ChooseTableFile(SaveDialog1)) return;
    const TTableSave save = SaveFontTable(PreviewPicture(Image1), SaveDialog1.FileName);
    // A blank picture gives an empty file and an empty memo.
    if (save.Lines.empty()) Memo1.clear();
    KeepInMemo(Memo1, save);
}

void ZastClick(const TImage& Image1, QPlainTextEdit& Memo1, TFileDialog& SaveDialog1) {
    if (!ChooseTableFile(SaveDialog1)) return;
    KeepInMemo(Memo1, SaveSplashTable(PreviewPicture(Image1), SaveDialog1.FileName));
}

}  // namespace lumidra::graphics
