#include "keybase/KeyBase.h"

#include "protocol/ProtocolState.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>

namespace lumidra::keybase {

using namespace protocol;
using namespace desktop;

namespace {

// Filter, title and folder, set on every use: the dialogs are shared with
// commands that set their own.
void SetUpDialog(TFileDialog& dialog, const char* title) {
    dialog.Filter = QCoreApplication::translate("keybase", KeyBaseFilter);
    dialog.Title = QCoreApplication::translate("keybase", title);
    dialog.InitialDir = StartFolder;
}

// A view of Qt's text as the key base's own functions take it.
std::u16string_view View(const QString& text) {
    return std::u16string_view(QStringView(text).utf16(), static_cast<std::size_t>(text.size()));
}

// The key the look-up last found, and in which memo's document; any change
// of that text forgets it, and asking another memo starts afresh, so a new
// window or run needs no reset of its own.
struct TLookupState {
    QPointer<QTextDocument> Document;
    QMetaObject::Connection Changed;
    QString FoundKey;
};
TLookupState lookup;

void ResetLookup(QTextDocument* document) {
    QObject::disconnect(lookup.Changed);
    lookup = TLookupState();
    lookup.Document = document;
    lookup.Changed = QObject::connect(document, &QTextDocument::contentsChanged, [] { lookup.FoundKey.clear(); });
}

}  // namespace

QString MemoText(const QPlainTextEdit& memo) {
    QString text = memo.document()->toRawText();
    // Blocks are separated by paragraph separators; Shift+Enter puts a line
    // separator inside a block. Both are line breaks of the key base.
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = QLatin1Char('\n');
    }
    return text;
}

void KeyBaseLookup(QPlainTextEdit& memo, const QString& keyId) {
    QTextDocument* document = memo.document();
    if (lookup.Document == document && !keyId.isEmpty() && lookup.FoundKey == keyId) return;
    if (lookup.Document != document) ResetLookup(document);
    const QString text = MemoText(memo);
    if (!KeyBaseContains(View(text), View(keyId))) {
        QTextCursor end(document);
        end.movePosition(QTextCursor::End);
        end.beginEditBlock();
        end.insertText(QString::fromStdU16String(KeyBaseAppendText(View(text), View(keyId))));
        end.endEditBlock();
    }
    // After the append, whose change forgot the key.
    lookup.FoundKey = keyId;
}

void LoadBaseClick(QPlainTextEdit& memo, TFileDialog& OpenDialog1) {
    if (!KeyBaseSaved &&
        Seams().MessageBox(QCoreApplication::translate("keybase", LoadConfirmText), QString::fromLatin1(AppTitle),
                           TMsgIcon::Warning, TMsgButtons::OkCancel) != TMsgResult::Ok) {
        return;
    }
    SetUpDialog(OpenDialog1, LoadTitle);
    if (!OpenDialog1.Execute()) return;

    // The list in the window goes first (the confirmation warned), also when
    // the file then fails: an empty memo that counts as changed.
    memo.clear();
    KeyBaseSaved = false;
    const std::optional<QByteArray> bytes = ReadWholeFile(OpenDialog1.FileName);
    if (!bytes) {
        Seams().ShowMessage(QCoreApplication::translate("keybase", LoadFailedText));
        return;
    }
    memo.setPlainText(
        QString::fromStdU16String(DecodeKeyBaseFile(std::string_view(bytes->constData(), bytes->size()))));
    KeyBaseSaved = true;
}

void SaveBaseClick(const QPlainTextEdit& memo, TFileDialog& SaveDialog1) {
    SetUpDialog(SaveDialog1, SaveTitle);
    if (!SaveDialog1.Execute()) return;

    // Characters the code page cannot hold would reach the file as
    // substitutes and be lost on the next load: nothing is written, and the
    // operator learns which ones and where.
    const TEncodedKeyBase encoded = EncodeKeyBaseFile(View(MemoText(memo)));
    if (!encoded.ok()) {
        Seams().ShowMessage(UnencodableMessage(encoded));
        return;
    }
    if (!WriteKeyBaseFile(SaveDialog1.FileName, QByteArray::fromStdString(encoded.Bytes))) {
        Seams().ShowMessage(SaveFailedMessage(SaveDialog1.FileName));
        return;
    }
    // Marked saved before the message: a key that the board adds while the
    // message is open must leave the base unsaved.
    KeyBaseSaved = true;
    Seams().ShowMessage(QCoreApplication::translate("keybase", SavedText));
}

}  // namespace lumidra::keybase
