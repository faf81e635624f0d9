#include "graphics/PictureFile.h"

#include <QFile>
#include <QFileInfo>

namespace lumidra::graphics {

TPictureFile LoadPictureFile(const QString& fileName) {
    QFile file(fileName);
    // A folder opens on some systems and then reads as empty or fails oddly.
    if (QFileInfo(fileName).isDir() || !file.open(QIODevice::ReadOnly)) return TPictureFile{};
    return LoadPictureFile(file);
}

TPictureFile LoadPictureFile(QIODevice& file) {
    if (!file.isOpen() || file.isSequential()) return TPictureFile{};
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
