// Any picture file as the LCD's bit picture: the LCD picture file exactly as
// the window loads it, and every other 96 x 68 picture Qt can read turned into
// dark and clear dots by its grey level.
#pragma once

#include "graphics/Picture.h"

#include <QIODevice>
#include <QImage>
#include <QRgb>
#include <QString>

namespace lumidra::graphics {

inline constexpr int DefaultImportThreshold = 128;

// The grey level, 0 black to 255 white, that `pixel` shows on white paper:
// its colour laid over white by its alpha (rounded to the nearest level per
// channel), then weighted as qGray weights it. A fully transparent pixel is
// 255 whatever its colour.
int GreyOnWhite(QRgb pixel);

// Darker is set: a pixel is a dark dot exactly when its GreyOnWhite is below
// `threshold`. Threshold 0 sets nothing, 255 everything but white.
inline bool IsDarkDot(QRgb pixel, int threshold) {
    return GreyOnWhite(pixel) < threshold;
}

// The picture of `image`'s pixels by IsDarkDot, at the same positions; pixels
// past 96 x 68 are ignored and positions the image lacks stay clear.
TPicture ThresholdPicture(const QImage& image, int threshold);

enum class TImportError {
    None,
    Unreadable,   // the file cannot be opened (missing, a folder, no access)
    NotAPicture,  // neither a picture Qt reads nor a whole LCD picture file
    WrongSize,    // a picture, but not 96 x 68
};

struct TImportedPicture {
    TImportError Error = TImportError::Unreadable;
    // The size found: 96 x 68 when Error is None, the picture's own size when
    // it is WrongSize, 0 x 0 otherwise.
    int Width = 0;
    int Height = 0;
    // Meaningful only when Error is None.
    TPicture Picture = {};
};

// Reads `fileName`. A file LoadPictureFile accepts gives the picture the
// window would show, its colour table deciding which index is dark (the
// threshold plays no part); one that LoadPictureFile finds to be an LCD
// picture with its pixel rows cut short is NotAPicture, as the window refuses
// it too. Anything else is read by QImage and, when it is 96 x 68, becomes
// ThresholdPicture(image, threshold).
TImportedPicture ImportPicture(const QString& fileName, int threshold = DefaultImportThreshold);
// The same from an open device that can be positioned in.
TImportedPicture ImportPicture(QIODevice& device, int threshold = DefaultImportThreshold);

}  // namespace lumidra::graphics
