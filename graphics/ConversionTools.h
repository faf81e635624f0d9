// The conversion tools of the menu "Преобразования": the preview picture as
// assembler tables in text files the operator chooses. Each keeps its last
// table in the hidden memo Memo1.
#pragma once

#include "desktop/Seams.h"
#include "graphics/ImageWidget.h"

#include <QString>

class QPlainTextEdit;

namespace lumidra::graphics {

// "Картинка 12 бит": the strip in rows 0 to 11.
void Trans_PictClick(const TImage& Image1, QPlainTextEdit& Memo1, desktop::TFileDialog& SaveDialog1);
// "Шрифт 5x7": the glyph cells of the whole picture.
void Trans_TypeClick(const TImage& Image1, QPlainTextEdit& Memo1, desktop::TFileDialog& SaveDialog1);
// "Файл заставки": rows 16 to 47 as a table and as a 384-byte data file.
void ZastClick(const TImage& Image1, QPlainTextEdit& Memo1, desktop::TFileDialog& SaveDialog1);

// The splash data file's name: the chosen name with its last three
// characters replaced by "bin" ("screen.txt" gives "screen.bin", "screen"
// gives "scrbin").
QString SplashDataFileName(const QString& tableFileName);

// Texts of the commands.
inline constexpr const char* TableFilter = "Текстовый файл|*.txt|Все файлы|*.*";
inline constexpr const char* NoStripText = "Файл не сохранён, нет данных.";
inline constexpr const char* StripSavedText = "Файл картинки 12 бит сохранён.";
inline constexpr const char* FontSavedText = "Файл шрифта сохранён.";
inline constexpr const char* SplashSavedText = "Файл с заставкой сохранён.";
inline constexpr const char* SplashSameFileText =
    "Файл не сохранён: имя оканчивается на \"bin\", и файл данных заставки совпал бы с текстовым файлом. "
    "Выберите другое имя, например с расширением .txt.";
inline constexpr const char* TableNotWrittenText = "Файл не сохранён, диск не доступен: ";

}  // namespace lumidra::graphics
