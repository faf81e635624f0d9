#include "graphics/Preview.h"

#include "graphics/ImageTransfer.h"
#include "protocol/JobGuard.h"

#include <QCoreApplication>

#include <algorithm>

namespace lumidra::graphics {

void BlankPreview(TImage& Image1) {
    QImage picture(PictureWidth, PictureHeight, QImage::Format_RGB32);
    picture.fill(PreviewGrey);
    Image1.SetPicture(picture);
}

void ShowPicture(TImage& Image1, const TPicture& picture) {
    QImage shown(PictureWidth, PictureHeight, QImage::Format_RGB32);
    const QRgb black = PreviewBlack.rgb(), grey = PreviewGrey.rgb();
    for (int y = 0; y < PictureHeight; ++y) {
        for (int x = 0; x < PictureWidth; ++x) shown.setPixel(x, y, picture.IsSet(x, y) ? black : grey);
    }
    Image1.SetPicture(shown);
}

TPicture PreviewPicture(const TImage& Image1) {
    const QImage& shown = Image1.Picture();
    TPicture picture;
    for (int y = 0; y < std::min(PictureHeight, shown.height()); ++y) {
        for (int x = 0; x < std::min(PictureWidth, shown.width()); ++x) {
            picture.Set(x, y, (shown.pixel(x, y) & 0xFFFFFFu) == 0);
        }
    }
    return picture;
}

void SendImage1Click(TImage& Image1, desktop::TFileDialog& OpenPictureDialog1) {
    if (protocol::RefuseWhenBusy(protocol::TJob::Image)) return;
    OpenPictureDialog1.Filter = QCoreApplication::translate("graphics", PictureFilter);
    if (!OpenPictureDialog1.Execute()) return;
    const std::optional<TPicture> picture = TakePictureFile(OpenPictureDialog1.FileName);
    if (!picture) return;
    ShowPicture(Image1, *picture);
    RequestImageJob();
}

}  // namespace lumidra::graphics
