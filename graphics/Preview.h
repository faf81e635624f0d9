// The LCD preview Image1: a 96 x 68 picture in black (a dark dot) and light
// grey, read and written as the bit picture, and loaded from a picture file.
#pragma once

#include "graphics/ImageWidget.h"
#include "desktop/Seams.h"
#include "graphics/Picture.h"
#include "graphics/PictureFile.h"

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

// "Send Image": loads a picture file the operator chooses into the preview
// and, with a board attached, asks the board for the image job. Refused
// before its dialog while another job is in hand: the file's header goes to
// DataReport, which that job may still have to send.
void SendImage1Click(TImage& Image1, desktop::TFileDialog& OpenPictureDialog1);

}  // namespace lumidra::graphics
