// The conversion tools of the menu "Преобразования": the preview picture as
// assembler tables in text files the operator chooses. Each keeps its last
// table in the hidden memo Memo1.
#pragma once

#include "desktop/Seams.h"
#include "graphics/ImageWidget.h"
#include "graphics/TableFiles.h"

#include <QString>

class QPlainTextEdit;

namespace lumidra::graphics {

// "Картинка 12 бит": the strip in rows 0 to 11.
void Trans_PictClick(const TImage& Image1, QPlainTextEdit& Memo1, desktop::TFileDialog& SaveDialog1);
// "Шрифт 5x7": the glyph cells of the whole picture.
void Trans_TypeClick(const TImage& Image1, QPlainTextEdit& Memo1, desktop::TFileDialog& SaveDialog1);
// "Файл заставки": rows 16 to 47 as a table and as a 384-byte data file.
void ZastClick(const TImage& Image1, QPlainTextEdit& Memo1, desktop::TFileDialog& SaveDialog1);

}  // namespace lumidra::graphics
