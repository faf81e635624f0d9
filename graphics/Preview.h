// The LCD preview Image1: a 96 x 68 picture in black (a dark dot) and light
// grey, read and written as the bit picture, and loaded from a picture file.
#pragma once

#include "graphics/ImageWidget.h"
#include "graphics/Picture.h"

#include <QColor>
#include <QString>

namespace lumidra::graphics {

inline const QColor PreviewBlack{0, 0, 0};
inline const QColor PreviewGrey{207, 207, 207};

// Makes every pixel light grey: the reset of the detached state and the
// attach both call it.
void BlankPreview(TImage& Image1);

// Paints `picture`: set pixels black, clear ones light grey.
void ShowPicture(TImage& Image1, const TPicture& picture);

// The preview as bits: a pixel is set exactly when it is black.
TPicture PreviewPicture(const TImage& Image1);

// Reads the picture file `fileName` (see ReadPictureFile): only its header
// and its pixel rows are read, whatever its size. A folder, a file that cannot
// be opened and one that cannot be positioned in count as Unreadable.
TPictureFile LoadPictureFile(const QString& fileName);

}  // namespace lumidra::graphics
