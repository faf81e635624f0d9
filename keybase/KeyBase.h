// The key base in the memo MemoKey: the lookup that adds a newly read key,
// and the load and save commands with their file.
#pragma once

#include "desktop/UserText.h"
#include "keybase/KeyBaseFile.h"
#include "keybase/KeyBaseText.h"
#include "desktop/Seams.h"

#include <QString>

#include <optional>

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
// A key held on the reader comes with every report: once found, it is not
// looked for again until the memo's text changes (or another memo is asked).
void KeyBaseLookup(QPlainTextEdit& memo, const QString& keyId);

// The commands of the menu items LoadBase and SaveBase, on the shared file
// dialogs, which keep the filter, title and folder set here.
void LoadBaseClick(QPlainTextEdit& memo, desktop::TFileDialog& OpenDialog1);
void SaveBaseClick(const QPlainTextEdit& memo, desktop::TFileDialog& SaveDialog1);

// Texts of the commands.
inline constexpr const char* KeyBaseFilter = LUMIDRA_TEXT("keybase", "Текстовый файл|*.txt|Все файлы|*.*");
inline constexpr const char* LoadTitle = LUMIDRA_TEXT("keybase", "Открытие базы ключей :");
inline constexpr const char* SaveTitle = LUMIDRA_TEXT("keybase", "Сохранение базы ключей :");
inline constexpr const char* LoadConfirmText =
    LUMIDRA_TEXT("keybase", "Изменения в базе ключей будут потеряны! Продолжить?  ");
inline constexpr const char* SavedText = LUMIDRA_TEXT("keybase", "Данные успешно сохранены.");

}  // namespace lumidra::keybase
