// The key base in the memo MemoKey: the lookup that adds a newly read key,
// and the load and save commands with their file.
#pragma once

#include "keybase/KeyBaseText.h"
#include "desktop/Seams.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QPlainTextEdit;

namespace lumidra::keybase {

// The memo's text, '\n' between lines, every character as the operator left
// it. (QPlainTextEdit::toPlainText would turn no-break spaces into blanks and
// so change the file on the next save.)
QString MemoText(const QPlainTextEdit& memo);

// Adds `keyId` as the memo's new last line unless a line already starts with
// it. The text goes in at the end through the memo's document, as one undo
// step, leaving the operator's cursor where it was unless it was at the end:
// the memo's change event fires, so the key base counts as changed.
void KeyBaseLookup(QPlainTextEdit& memo, const QString& keyId);

// A whole file's bytes, or nothing when it cannot be opened or read.
std::optional<QByteArray> ReadKeyBaseFile(const QString& fileName);
// Creates or replaces `fileName` with `bytes`. The new content goes to a
// temporary file beside it that takes the old one's place only once it is
// complete, so a write that fails half-way leaves the old file as it was.
bool WriteKeyBaseFile(const QString& fileName, const QByteArray& bytes);
// The same for files that belong together (a table and its data): each goes
// to a temporary file beside its own first, and only when all are complete
// do they take the old ones' places. Returns the name of the file that could
// not be written, or nothing when all were.
std::optional<QString> WriteFilesWhole(const std::vector<std::pair<QString, QByteArray>>& files);

// The commands of the menu items LoadBase and SaveBase, on the shared file
// dialogs, which keep the filter, title and folder set here.
void LoadBaseClick(QPlainTextEdit& memo, desktop::TFileDialog& OpenDialog1);
void SaveBaseClick(const QPlainTextEdit& memo, desktop::TFileDialog& SaveDialog1);

// The message of a save refused because the text holds characters that the
// file's code page cannot hold.
QString UnencodableMessage(const TEncodedKeyBase& encoded);
// The message of a save that failed: the text above and the file's name.
QString SaveFailedMessage(const QString& fileName);

// Texts of the commands.
inline constexpr const char* KeyBaseFilter = "Текстовый файл|*.txt|Все файлы|*.*";
inline constexpr const char* LoadTitle = "Открытие базы ключей :";
inline constexpr const char* SaveTitle = "Сохранение базы ключей :";
inline constexpr const char* LoadConfirmText = "Изменения в базе ключей будут потеряны! Продолжить?  ";
inline constexpr const char* LoadFailedText = "Данные загрузить не удалось, данные или диск не доступны!";
inline constexpr const char* SaveFailedText = "Данные сохранить не удалось, диск не доступен!";
inline constexpr const char* SavedText = "Данные успешно сохранены.";

}  // namespace lumidra::keybase
