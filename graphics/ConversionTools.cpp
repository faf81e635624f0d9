#include "graphics/ConversionTools.h"

#include "graphics/Preview.h"
#include "graphics/Tables.h"
#include "keybase/KeyBaseFile.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>

namespace lumidra::graphics {

using namespace desktop;

namespace {

// The dialog is shared: only its filter is set here, its title and folder
// stay as the last command using it left them.
bool ChooseTableFile(TFileDialog& SaveDialog1) {
    SaveDialog1.Filter = QString::fromUtf8(TableFilter);
    return SaveDialog1.Execute();
}

QString Text(const TTableLines& lines, bool finalBreak) {
    QString text;
    for (const std::string& line : lines) text += QString::fromStdString(line) + QLatin1Char('\n');
    if (!finalBreak && !text.isEmpty()) text.chop(1);
    return text;
}

// Writes the files whole or none of them (temporary files take the old ones'
// places only when all are complete); on failure the operator is told which
// file.
bool WriteWhole(const std::vector<std::pair<QString, QByteArray>>& files) {
    const std::optional<QString> failed = keybase::WriteFilesWhole(files);
    if (!failed) return true;
    Seams().MessageBox(QString::fromUtf8(TableNotWrittenText) + QDir::toNativeSeparators(*failed),
                       QString::fromLatin1(AppTitle), TMsgIcon::Error, TMsgButtons::Ok);
    return false;
}

// Keeps the lines in Memo1 and gives the file's bytes: Windows-1251 with CR
// LF after every line, as the firmware's assembler reads them.
QByteArray TableFile(QPlainTextEdit& Memo1, const TTableLines& lines) {
    Memo1.setPlainText(Text(lines, false));
    // Table lines are ASCII: the code page holds every character.
    return QByteArray::fromStdString(keybase::EncodeKeyBaseFile(Text(lines, true).toStdU16String()).Bytes);
}

bool WriteTable(const QString& fileName, QPlainTextEdit& Memo1, const TTableLines& lines) {
    return WriteWhole({{fileName, TableFile(Memo1, lines)}});
}

bool SameFile(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity Case = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity Case = Qt::CaseSensitive;
#endif
    return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(), Case) == 0;
}

}  // namespace

QString SplashDataFileName(const QString& tableFileName) {
    // The rule applies to the file's name alone, so a name shorter than three
    // characters cannot reach into its folder's name ("/d/ab" gives "/d/bin").
    const QFileInfo table(tableFileName);
    const QString name = table.fileName();
    const QString data = name.chopped(std::min<qsizetype>(3, name.size())) + QStringLiteral("bin");
    const qsizetype folderLength = tableFileName.size() - name.size();
    return tableFileName.left(folderLength) + data;
}

void Trans_PictClick(const TImage& Image1, QPlainTextEdit& Memo1, TFileDialog& SaveDialog1) {
    if (!ChooseTableFile(SaveDialog1)) return;
    Memo1.clear();
    const std::optional<TTableLines> table = StripTable(PreviewPicture(Image1));
    if (!table) {
        Seams().ShowMessage(QString::fromUtf8(NoStripText));
        return;
    }
    if (WriteTable(SaveDialog1.FileName, Memo1, *table)) Seams().ShowMessage(QString::fromUtf8(StripSavedText));
}

void Trans_TypeClick(const TImage& Image1, QPlainTextEdit& Memo1, TFileDialog& SaveDialog1) {
    if (!ChooseTableFile(SaveDialog1)) return;
    // A blank picture gives an empty file, saved like any other.
    if (WriteTable(SaveDialog1.FileName, Memo1, FontTable(PreviewPicture(Image1)))) {
        Seams().ShowMessage(QString::fromUtf8(FontSavedText));
    }
}

void ZastClick(const TImage& Image1, QPlainTextEdit& Memo1, TFileDialog& SaveDialog1) {
    if (!ChooseTableFile(SaveDialog1)) return;
    const QString dataFile = SplashDataFileName(SaveDialog1.FileName);
    // The table would overwrite the data it describes.
    if (SameFile(dataFile, SaveDialog1.FileName)) {
        Seams().ShowMessage(QString::fromUtf8(SplashSameFileText));
        return;
    }
    const TSplashTable table = SplashTable(PreviewPicture(Image1));
    const QByteArray data(reinterpret_cast<const char*>(table.Data.data()), qsizetype(table.Data.size()));
    // Both or neither: a table without its data, or the data of another
    // table, would give the firmware a splash screen nobody drew.
    if (WriteWhole({{dataFile, data}, {SaveDialog1.FileName, TableFile(Memo1, table.Lines)}})) {
        Seams().ShowMessage(QString::fromUtf8(SplashSavedText));
    }
}

}  // namespace lumidra::graphics
