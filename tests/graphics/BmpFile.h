// Picture files for tests: a 96 x 68 one-bit Windows bitmap made from a bit
// picture, with the header fields a test wants to get wrong.
#pragma once

#include "graphics/Picture.h"

#include <cstdint>
#include <vector>

namespace lumidra::testing {

struct TBmpLayout {
    std::int32_t Width = graphics::PictureWidth;
    std::int32_t Height = graphics::PictureHeight;
    std::uint16_t BitsPerPixel = 1;
    std::uint32_t PixelOffset = 62;  // header and two colour-table entries
    bool WhiteFirstEntry = true;
    std::uint32_t SizeField = 0;  // 0: the real size
};

inline void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

// The file of `picture`: a set pixel is colour index 1 when the first entry
// is white, index 0 when it is black (the two ways the same dark dot is stored).
inline std::vector<std::uint8_t> MakeBmp(const graphics::TPicture& picture, const TBmpLayout& layout = {}) {
    using namespace graphics;
    std::vector<std::uint8_t> bytes(std::max<std::size_t>(layout.PixelOffset, 62) + PicturePixelBytes, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLe32(bytes, 2, layout.SizeField ? layout.SizeField : std::uint32_t(bytes.size()));
    PutLe32(bytes, 10, layout.PixelOffset);
    PutLe32(bytes, 14, 40);
    PutLe32(bytes, 18, std::uint32_t(layout.Width));
    PutLe32(bytes, 22, std::uint32_t(layout.Height));
    bytes[26] = 1;
    bytes[28] = std::uint8_t(layout.BitsPerPixel);
    bytes[29] = std::uint8_t(layout.BitsPerPixel >> 8);
    const std::uint8_t first = layout.WhiteFirstEntry ? 0xFF : 0x00;
    for (int i = 0; i < 3; ++i) {
        bytes[54 + std::size_t(i)] = first;
        bytes[58 + std::size_t(i)] = std::uint8_t(~first);
    }
    const bool setBit = layout.WhiteFirstEntry;
    for (int stored = 0; stored < PictureHeight; ++stored) {
        for (int x = 0; x < PictureWidth; ++x) {
            if (picture.IsSet(x, PictureHeight - 1 - stored) != setBit) continue;
            bytes[layout.PixelOffset + std::size_t(stored) * PictureRowBytes + std::size_t(x / 8)] |=
                std::uint8_t(0x80 >> (x % 8));
        }
    }
    return bytes;
}

// A picture with something in every band and both edges: a frame, a diagonal
// and a few single dots.
inline graphics::TPicture PatternPicture() {
    graphics::TPicture picture;
    for (int x = 0; x < graphics::PictureWidth; ++x) {
        picture.Set(x, 0);
        picture.Set(x, graphics::PictureHeight - 1);
    }
    for (int y = 0; y < graphics::PictureHeight; ++y) {
        picture.Set(0, y);
        picture.Set(95, y);
        picture.Set(y + 14, y);
    }
    picture.Set(10, 8);
    picture.Set(47, 33);
    return picture;
}

}  // namespace lumidra::testing
