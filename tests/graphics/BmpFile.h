// Pictures for tests, and their files: a 96 x 68 one-bit Windows bitmap made
// from a bit picture, with the header fields a test wants to get wrong.
#pragma once

#include "graphics/Picture.h"

#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

namespace lumidra::testing {

struct TBmpLayout {
    std::int32_t Width = 96;
    std::int32_t Height = 68;
    std::uint8_t BitsPerPixel = 1;
    std::uint32_t PixelOffset = 62;  // header and two colour-table entries
    bool WhiteFirstEntry = true;     // a set pixel is then colour index 1, else index 0
    std::uint32_t SizeField = 0;     // 0: the real size
};

inline void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
}

inline std::vector<std::uint8_t> MakeBmp(const graphics::TPicture& picture, const TBmpLayout& layout = {}) {
    std::vector<std::uint8_t> bytes(std::max<std::uint32_t>(layout.PixelOffset, 62) + 816, 0);
    bytes.at(0) = 'B', bytes.at(1) = 'M', bytes.at(26) = 1, bytes.at(28) = layout.BitsPerPixel;
    PutLe32(bytes, 2, layout.SizeField ? layout.SizeField : std::uint32_t(bytes.size()));
    PutLe32(bytes, 10, layout.PixelOffset);
    PutLe32(bytes, 14, 40);
    PutLe32(bytes, 18, std::uint32_t(layout.Width));
    PutLe32(bytes, 22, std::uint32_t(layout.Height));
    std::fill_n(bytes.begin() + (layout.WhiteFirstEntry ? 54 : 58), 3, 0xFF);
    for (int stored = 0; stored < 68; ++stored) {
        for (int x = 0; x < 96; ++x) {
            if (picture.IsSet(x, 67 - stored) == layout.WhiteFirstEntry)
                bytes[layout.PixelOffset + std::size_t(stored * 12 + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        }
    }
    return bytes;
}

inline graphics::TPicture Pixels(std::initializer_list<std::pair<int, int>> xy) {
    graphics::TPicture picture;
    for (auto [x, y] : xy) picture.Set(x, y);
    return picture;
}

inline graphics::TPicture AllSet() {
    graphics::TPicture picture;
    for (int y = 0; y < 68; ++y)
        for (int x = 0; x < 96; ++x) picture.Set(x, y);
    return picture;
}

// Something in every band and at both edges: a frame, a diagonal, two dots.
inline graphics::TPicture PatternPicture() {
    graphics::TPicture picture;
    for (int x = 0; x < 96; ++x) picture.Set(x, 0), picture.Set(x, 67);
    for (int y = 0; y < 68; ++y) picture.Set(0, y), picture.Set(95, y), picture.Set(y + 14, y);
    picture.Set(10, 8);
    picture.Set(47, 33);
    return picture;
}

}  // namespace lumidra::testing
