#include "graphics/Preview.h"

#include <QFile>
#include <QFileInfo>

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

TPictureFile LoadPictureFile(const QString& fileName) {
    QFile file(fileName);
    // A folder opens on some systems and then reads as empty or fails oddly.
    if (QFileInfo(fileName).isDir() || !file.open(QIODevice::ReadOnly) || file.isSequential()) {
        return TPictureFile{};
    }
    return ReadPictureFile([&file](std::uint64_t offset, std::span<std::uint8_t> out) -> std::optional<std::size_t> {
        // Past the end there is nothing to read; seek() would allow it.
        if (offset >= std::uint64_t(file.size())) return 0;
        if (!file.seek(qint64(offset))) return std::nullopt;
        const qint64 got = file.read(reinterpret_cast<char*>(out.data()), qint64(out.size()));
        if (got < 0) return std::nullopt;
        return std::size_t(got);
    });
}

}  // namespace lumidra::graphics
