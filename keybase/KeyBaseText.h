// The key base as text: lookup and append of key identifiers, and the bytes
// of the key base file. Free functions without widgets; the memo's text is
// passed in with '\n' line breaks, as the editor keeps it.
#pragma once

#include <QByteArray>
#include <QString>

namespace lumidra::keybase {

// Characters of a line that form its key identifier; the rest is a comment.
inline constexpr int KeyIdLength = 16;

// Whether any line of `memoText` starts with `keyId` (first 16 characters,
// compared exactly, case included).
bool KeyBaseContains(const QString& memoText, const QString& keyId);

// The text to put at the end of the memo to add `keyId` as its last line:
// "id\n" when the text is empty or ends with a line break, "\nid" otherwise.
QString KeyBaseAppendText(const QString& memoText, const QString& keyId);

// The memo's text as the file holds it: Windows-1251, CR LF between lines,
// a final CR LF only where the text ends with a line break.
struct TEncodedKeyBase {
    QByteArray Bytes;
    // Characters Windows-1251 cannot hold; when any is present nothing is
    // encoded, since writing them as substitutes would lose the operator's text.
    QString Unencodable;
    int FirstUnencodableLine = 0;  // 1-based
    bool ok() const { return Unencodable.isEmpty(); }
};
TEncodedKeyBase EncodeKeyBaseFile(const QString& memoText);

// A file's bytes as memo text: Windows-1251; CR, LF and CR LF become line breaks.
QString DecodeKeyBaseFile(const QByteArray& bytes);

}  // namespace lumidra::keybase
