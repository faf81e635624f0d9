// The conversion tables written to their files, as the conversion tools of
// both programs write them: Windows-1251 with CR LF after every line (as the
// firmware's assembler reads them), whole or not at all, the operator told of
// the outcome through the seams.
#pragma once

#include "desktop/UserText.h"
#include "graphics/Tables.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string_view>

namespace lumidra::graphics {

// The forms a table can be written in: the assembler's DB lines, or the same
// bytes as C arrays.
enum class TTableForm { Db, C };

// `lines` (DB lines) in `form`; C arrays without a label of their own are
// named `arrayName`.
TTableLines InForm(const TTableLines& lines, TTableForm form, std::string_view arrayName);

// The file's bytes of `lines`.
QByteArray TableFileBytes(const TTableLines& lines);

// The splash data file's name: the chosen name with its last three
// characters replaced by "bin" ("screen.txt" gives "screen.bin", "screen"
// gives "scrbin").
QString SplashDataFileName(const QString& tableFileName);

// What a save made: the table's lines (empty when none was made) and
// whether its file (and the splash data) reached the disk.
struct TTableSave {
    TTableLines Lines;
    bool Saved = false;
};

// Each writes its table to `fileName` and tells the operator: saved, no
// data, or which file could not be written.
// The strip in rows 0 to 11; nothing is written when they are blank.
TTableSave SaveStripTable(const TPicture& picture, const QString& fileName, TTableForm form = TTableForm::Db);
// The glyph cells of the whole picture (a blank picture gives an empty file).
TTableSave SaveFontTable(const TPicture& picture, const QString& fileName, TTableForm form = TTableForm::Db);
// Rows 16 to 47 as a table and as the 384-byte data file beside it
// (SplashDataFileName), both or neither; refused when the two names are one.
TTableSave SaveSplashTable(const TPicture& picture, const QString& fileName, TTableForm form = TTableForm::Db);

// One of the three tools: its table in a form (nothing when the picture
// gives none), and its save.
struct TTableTool {
    std::optional<TTableLines> (*Lines)(const TPicture& picture, TTableForm form);
    TTableSave (*Save)(const TPicture& picture, const QString& fileName, TTableForm form);
};
extern const TTableTool StripTool;
extern const TTableTool FontTool;
extern const TTableTool SplashTool;

// Texts of the tools.
inline constexpr const char* TableFilter = LUMIDRA_TEXT("graphics", "Текстовый файл|*.txt|Все файлы|*.*");
inline constexpr const char* NoStripText = LUMIDRA_TEXT("graphics", "Файл не сохранён, нет данных.");
inline constexpr const char* StripSavedText = LUMIDRA_TEXT("graphics", "Файл картинки 12 бит сохранён.");
inline constexpr const char* FontSavedText = LUMIDRA_TEXT("graphics", "Файл шрифта сохранён.");
inline constexpr const char* SplashSavedText = LUMIDRA_TEXT("graphics", "Файл с заставкой сохранён.");
inline constexpr const char* SplashSameFileText =
    LUMIDRA_TEXT("graphics",
                 "Файл не сохранён: имя оканчивается на \"bin\", и файл данных заставки совпал бы с текстовым файлом. "
                 "Выберите другое имя, например с расширением .txt.");
inline constexpr const char* TableNotWrittenText = LUMIDRA_TEXT("graphics", "Файл не сохранён, диск не доступен: ");

}  // namespace lumidra::graphics
