// A picture file is whatever the operator opens. Any bytes must end in a
// picture or in one of the refusals, never with a read outside the file;
// the refusal must be the right one; and a picture that loads must be
// exactly the pixel rows of the file, bottom row first, with the colour mask.
#include "graphics/Picture.h"
#include "tests/fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace lumidra::graphics;

namespace {

std::uint32_t Le32(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

// The stored rows of `picture` as they must have been in the file.
bool RowsMatch(const TPicture& picture, const std::uint8_t* rows, std::uint8_t mask) {
    for (int stored = 0; stored < PictureHeight; ++stored) {
        for (std::size_t k = 0; k < PictureRowBytes; ++k) {
            std::uint8_t byte = 0;
            for (int i = 0; i < 8; ++i) {
                if (!picture.IsSet(int(k) * 8 + i, PictureHeight - 1 - stored)) byte |= std::uint8_t(0x80 >> i);
            }
            if (std::uint8_t(byte ^ mask) != rows[std::size_t(stored) * PictureRowBytes + k]) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy: a read past its end is caught by the sanitizer.
    const std::vector<std::uint8_t> file(data, data + size);
    const TPictureFile result =
        ReadPictureFile([&](std::uint64_t offset, std::span<std::uint8_t> out) -> std::optional<std::size_t> {
            if (offset >= file.size()) return 0;
            const std::size_t count = std::min<std::size_t>(out.size(), file.size() - offset);
            std::memcpy(out.data(), file.data() + offset, count);
            return count;
        });

    FUZZ_CHECK(result.Header.has_value() == (size >= PictureHeaderSize));
    if (size < PictureHeaderSize) {
        FUZZ_CHECK(result.Error == TPictureFileError::TooShort);
        return 0;
    }
    FUZZ_CHECK(std::equal(result.Header->begin(), result.Header->end(), data));
    const bool lcdPicture =
        data[0] == 'B' && data[1] == 'M' && data[28] == 1 && Le32(data + 18) == 96 && Le32(data + 22) == 68;
    if (!lcdPicture) {
        FUZZ_CHECK(result.Error == TPictureFileError::NotLcdPicture);
        return 0;
    }
    const std::uint64_t offset = Le32(data + 10);
    if (offset + PicturePixelBytes > size) {
        FUZZ_CHECK(result.Error == TPictureFileError::PixelDataMissing);
        return 0;
    }
    FUZZ_CHECK(result.Error == TPictureFileError::None);
    const std::uint8_t mask = data[54] == 0xFF && data[55] == 0xFF && data[56] == 0xFF ? 0xFF : 0x00;
    FUZZ_CHECK(RowsMatch(result.Picture, data + offset, mask));
    // Rows 68 to 71 lie below the picture: the last band's high bits stay clear.
    const auto bands = ImageBandBytes(result.Picture);
    for (std::size_t x = 0; x < std::size_t(PictureWidth); ++x) FUZZ_CHECK((bands[8 * PictureWidth + x] & 0xF0) == 0);
    return 0;
}
