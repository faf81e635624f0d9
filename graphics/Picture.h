// The LCD picture as bits, the band bytes the LCD is addressed in, and the
// picture file it is loaded from. Plain C++: the preview widget, the image
// job, the conversion tables and the fuzzer all work on these.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace lumidra::graphics {

inline constexpr int PictureWidth = 96;
inline constexpr int PictureHeight = 68;
// The LCD takes its picture in bands of 8 rows; nine bands cover 72 rows,
// the last four of them below the picture.
inline constexpr int BandRows = 8;
inline constexpr int BandCount = 9;
inline constexpr std::size_t ImageBandByteCount = std::size_t{BandCount} * PictureWidth;  // 864

// A 96 x 68 one-bit picture: a set pixel is a dark LCD dot.
class TPicture {
public:
    // Any position outside the picture reads as clear.
    bool IsSet(int x, int y) const { return x >= 0 && x < PictureWidth && y >= 0 && y < PictureHeight && rows_[y][x]; }
    // Positions outside the picture are ignored.
    void Set(int x, int y, bool set = true) {
        if (x >= 0 && x < PictureWidth && y >= 0 && y < PictureHeight) rows_[y][x] = set;
    }
    bool operator==(const TPicture&) const = default;

private:
    std::array<std::bitset<PictureWidth>, PictureHeight> rows_{};
};

// The band byte of column x in band b: row 8b + n in bit n (bit 0 the band's
// top row). Rows outside the picture give 0 bits.
std::uint8_t BandByte(const TPicture& picture, int x, int band);

// What the image job sends: bands 0 to 8, columns 0 to 95 in each.
std::array<std::uint8_t, ImageBandByteCount> ImageBandBytes(const TPicture& picture);

// --- the picture file ---------------------------------------------------------
// A Windows bitmap of 96 x 68 pixels, one bit each, rows bottom first, twelve
// bytes a row with nothing between rows.

// The first bytes of the file, read (and kept as the Send Image header) before
// anything is tested.
inline constexpr std::size_t PictureHeaderSize = 64;
inline constexpr std::size_t PictureRowBytes = PictureWidth / 8;                                // 12
inline constexpr std::size_t PicturePixelBytes = PictureRowBytes * std::size_t{PictureHeight};  // 816

enum class TPictureFileError {
    None,
    Unreadable,        // the file cannot be opened or read (a folder, no access)
    TooShort,          // fewer than 64 bytes
    NotLcdPicture,     // not "BM", not 1 bit a pixel, not 96 x 68 bottom row first
    PixelDataMissing,  // the pixel-data offset, or a row, lies past the end
};

struct TPictureHeader {
    std::uint32_t PixelOffset = 0;
    // XORed into every pixel byte: 0xFF when the first colour-table entry is
    // white, so that colour index 1 is always the dark dot.
    std::uint8_t Mask = 0;
};

// Tests the header in its order: "B", "M", 1 bit a pixel, width 96, height 68.
std::optional<TPictureHeader> ParsePictureHeader(std::span<const std::uint8_t, PictureHeaderSize> header);

// The 68 stored rows (bottom row first, leftmost pixel in the top bit) as a
// picture; a bit that is 0 after the mask is a set pixel.
TPicture DecodePictureRows(std::span<const std::uint8_t, PicturePixelBytes> rows, std::uint8_t mask);

// Reads up to out.size() bytes at `offset` into `out`; returns how many it
// read (fewer at the end of the file), or nothing when reading fails.
using TReadAt = std::function<std::optional<std::size_t>(std::uint64_t offset, std::span<std::uint8_t> out)>;

struct TPictureFile {
    TPictureFileError Error = TPictureFileError::Unreadable;
    // The first 64 bytes, when the file has that many.
    std::optional<std::array<std::uint8_t, PictureHeaderSize>> Header;
    // The whole picture; meaningful only when Error is None.
    TPicture Picture;
};

// Reads a picture file through `readAt`, which is never asked for anything
// outside the 64 header bytes and the 816 pixel bytes at the stated offset.
// The picture is returned only when all 68 rows were read.
TPictureFile ReadPictureFile(const TReadAt& readAt);

}  // namespace lumidra::graphics
