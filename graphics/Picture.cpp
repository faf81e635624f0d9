#include "graphics/Picture.h"

namespace lumidra::graphics {

namespace {

std::uint32_t Le32(std::span<const std::uint8_t, PictureHeaderSize> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

// Reads exactly out.size() bytes at `offset`, or says why not.
TPictureFileError ReadExactly(const TReadAt& readAt, std::uint64_t offset, std::span<std::uint8_t> out,
                              TPictureFileError whenShort) {
    const std::optional<std::size_t> got = readAt(offset, out);
    if (!got) return TPictureFileError::Unreadable;
    return *got == out.size() ? TPictureFileError::None : whenShort;
}

}  // namespace

std::uint8_t BandByte(const TPicture& picture, int x, int band) {
    std::uint8_t byte = 0;
    for (int n = 0; n < BandRows; ++n) {
        if (picture.IsSet(x, band * BandRows + n)) byte |= static_cast<std::uint8_t>(1u << n);
    }
    return byte;
}

std::array<std::uint8_t, ImageBandByteCount> ImageBandBytes(const TPicture& picture) {
    std::array<std::uint8_t, ImageBandByteCount> bytes{};
    for (int band = 0; band < BandCount; ++band) {
        for (int x = 0; x < PictureWidth; ++x) {
            bytes[std::size_t(band) * PictureWidth + std::size_t(x)] = BandByte(picture, x, band);
        }
    }
    return bytes;
}

std::optional<TPictureHeader> ParsePictureHeader(std::span<const std::uint8_t, PictureHeaderSize> header) {
    constexpr std::size_t PixelOffsetAt = 10, WidthAt = 18, HeightAt = 22, BitsPerPixelAt = 28, FirstColourAt = 54;
    // Only the low byte of the bit count is looked at; a negative height
    // (rows stored top first) fails the test of 68.
    if (header[0] != 'B' || header[1] != 'M' || header[BitsPerPixelAt] != 1 ||
        Le32(header, WidthAt) != std::uint32_t(PictureWidth) ||
        Le32(header, HeightAt) != std::uint32_t(PictureHeight)) {
        return std::nullopt;
    }
    const bool firstColourWhite =
        header[FirstColourAt] == 0xFF && header[FirstColourAt + 1] == 0xFF && header[FirstColourAt + 2] == 0xFF;
    return TPictureHeader{Le32(header, PixelOffsetAt), std::uint8_t(firstColourWhite ? 0xFF : 0x00)};
}

TPicture DecodePictureRows(std::span<const std::uint8_t, PicturePixelBytes> rows, std::uint8_t mask) {
    TPicture picture;
    for (int stored = 0; stored < PictureHeight; ++stored) {
        const int y = PictureHeight - 1 - stored;
        for (std::size_t k = 0; k < PictureRowBytes; ++k) {
            const std::uint8_t byte = rows[std::size_t(stored) * PictureRowBytes + k] ^ mask;
            for (int i = 0; i < 8; ++i) {
                // A 1 bit is the light grey of a clear dot, a 0 bit a dark one.
                picture.Set(int(k) * 8 + i, y, ((byte >> (7 - i)) & 1) == 0);
            }
        }
    }
    return picture;
}

TPictureFile ReadPictureFile(const TReadAt& readAt) {
    TPictureFile file;
    std::array<std::uint8_t, PictureHeaderSize> header{};
    file.Error = ReadExactly(readAt, 0, header, TPictureFileError::TooShort);
    if (file.Error != TPictureFileError::None) return file;
    file.Header = header;

    const std::optional<TPictureHeader> parsed = ParsePictureHeader(header);
    if (!parsed) {
        file.Error = TPictureFileError::NotLcdPicture;
        return file;
    }
    // Read into a scratch buffer, decoded only once every row is there: a
    // half-read file never becomes a half-drawn picture.
    std::array<std::uint8_t, PicturePixelBytes> rows{};
    file.Error = ReadExactly(readAt, parsed->PixelOffset, rows, TPictureFileError::PixelDataMissing);
    if (file.Error == TPictureFileError::None) file.Picture = DecodePictureRows(rows, parsed->Mask);
    return file;
}

}  // namespace lumidra::graphics
