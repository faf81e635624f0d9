#include "graphics/PictureImport.h"

#include "graphics/PictureFile.h"

#include <algorithm>

namespace lumidra::graphics {

namespace {

int OverWhite(int channel, int alpha) {
    return (channel * alpha + 255 * (255 - alpha) + 127) / 255;
}

// The picture of `lcd`, or of what `load` gives as QImage.
template <typename TLoad>
TImportedPicture Import(const TPictureFile& lcd, int threshold, const TLoad& load) {
    switch (lcd.Error) {
        case TPictureFileError::None: return {TImportError::None, PictureWidth, PictureHeight, lcd.Picture};
        case TPictureFileError::Unreadable: return {TImportError::Unreadable};
        // A cut LCD picture would be read by QImage with its missing rows made up.
        case TPictureFileError::PixelDataMissing: return {TImportError::NotAPicture};
        case TPictureFileError::TooShort:
        case TPictureFileError::NotLcdPicture: break;
    }
    QImage image;
    if (!load(image)) return {TImportError::NotAPicture};
    if (image.width() != PictureWidth || image.height() != PictureHeight) {
        return {TImportError::WrongSize, image.width(), image.height()};
    }
    return {TImportError::None, PictureWidth, PictureHeight, ThresholdPicture(image, threshold)};
}

}  // namespace

int GreyOnWhite(QRgb pixel) {
    const int alpha = qAlpha(pixel);
    return qGray(OverWhite(qRed(pixel), alpha), OverWhite(qGreen(pixel), alpha), OverWhite(qBlue(pixel), alpha));
}

TPicture ThresholdPicture(const QImage& image, int threshold) {
    TPicture picture;
    for (int y = 0; y < std::min(PictureHeight, image.height()); ++y) {
        for (int x = 0; x < std::min(PictureWidth, image.width()); ++x) {
            picture.Set(x, y, IsDarkDot(image.pixel(x, y), threshold));
        }
    }
    return picture;
}

TImportedPicture ImportPicture(const QString& fileName, int threshold) {
    return Import(LoadPictureFile(fileName), threshold, [&fileName](QImage& image) { return image.load(fileName); });
}

TImportedPicture ImportPicture(QIODevice& device, int threshold) {
    return Import(LoadPictureFile(device), threshold,
                  [&device](QImage& image) { return device.seek(0) && image.load(&device, nullptr); });
}

}  // namespace lumidra::graphics
