// The preview picture as assembler tables ("DB" lines) for the board's
// firmware: the 12-row picture strip, the 5x7 font and the splash screen.
// Plain functions on the bit picture; lines are UTF-8 without line ends.
#pragma once

#include "graphics/Picture.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumidra::graphics {

using TTableLines = std::vector<std::string>;

// `label` padded to eight characters, "DB", then each value as " 0x" and two
// upper-case digits, a comma directly after every value but the last.
std::string DbLine(std::string_view label, std::span<const std::uint8_t> values);

// The columns of the 12-row strip: from the first column with a set pixel in
// rows 0 to 11 up to the column before the first two blank columns after it,
// made even in width by one more column on the right. Positions past the
// picture read as clear, so a strip reaching column 95 ends there or at the
// clear column 96. Nothing when rows 0 to 11 are blank.
struct TStrip {
    int Left = 0;
    int Right = 0;
    int Width() const { return Right - Left + 1; }
};
std::optional<TStrip> FindStrip(const TPicture& picture);

// The strip table: the ST_8 block (rows 0 to 7, a byte a column), an empty
// line, the ST_4 block (rows 8 to 11, a nibble a column, two columns a byte,
// filled to an even count), an empty line and the size comment. Nothing when
// rows 0 to 11 are blank.
std::optional<TTableLines> StripTable(const TPicture& picture);

// The font table: 5x7 glyph cells six columns wide (the sixth a gap that is
// not read), four to a line, up to the first all-zero line.
TTableLines FontTable(const TPicture& picture);

// The splash screen: rows 16 to 47 as band bytes, bands 2 to 5, columns 0 to
// 95 each; 24 lines of 16 values and the same 384 bytes raw.
inline constexpr int SplashFirstBand = 2;
inline constexpr int SplashBands = 4;
inline constexpr std::size_t SplashByteCount = std::size_t{SplashBands} * PictureWidth;  // 384
struct TSplashTable {
    TTableLines Lines;
    std::array<std::uint8_t, SplashByteCount> Data{};
};
TSplashTable SplashTable(const TPicture& picture);

}  // namespace lumidra::graphics
