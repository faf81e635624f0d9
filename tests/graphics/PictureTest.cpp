// The picture file as the loader reads it, and the band bytes of the image
// job, on plain byte buffers.
#include "graphics/Picture.h"
#include "tests/graphics/BmpFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace lumidra::testing {
namespace {

using namespace graphics;
using TBytes = std::vector<std::uint8_t>;

TPictureFile ReadFromMemory(const TBytes& bytes) {
    return ReadPictureFile([&](std::uint64_t offset, std::span<std::uint8_t> out) -> std::optional<std::size_t> {
        if (offset >= bytes.size()) return 0;
        const std::size_t count = std::min<std::size_t>(out.size(), bytes.size() - offset);
        std::memcpy(out.data(), bytes.data() + offset, count);
        return count;
    });
}

TBytes Patched(TBytes bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

// Only the first pixel byte's top bit stands out of a blank picture.
TBytes FirstByteTopBit(std::uint32_t offset) {
    return Patched(MakeBmp({}, {.PixelOffset = offset}), offset, 0x80);
}

struct TFileCase {
    const char* Name;
    TBytes File;
    TPictureFileError Error;
    TPicture Expected = {};  // when Error is None
};

class PictureFile : public ::testing::TestWithParam<TFileCase> {};

TEST_P(PictureFile, LoadsWholeOrNotAtAll) {
    const TFileCase& c = GetParam();
    const TPictureFile file = ReadFromMemory(c.File);
    EXPECT_EQ(file.Error, c.Error);
    // The header is kept whenever the file has one, refused or not.
    ASSERT_EQ(file.Header.has_value(), c.File.size() >= PictureHeaderSize);
    if (file.Header) {
        EXPECT_TRUE(std::equal(file.Header->begin(), file.Header->end(), c.File.begin()));
    }
    if (c.Error == TPictureFileError::None) {
        EXPECT_TRUE(file.Picture == c.Expected);
    }
}

const TBytes Good = MakeBmp(PatternPicture());
using enum TPictureFileError;

INSTANTIATE_TEST_SUITE_P(
    Files, PictureFile,
    ::testing::Values(
        TFileCase{"WhiteFirstEntryAllZeroIsBlank", MakeBmp({}), None, {}},
        TFileCase{"BlackFirstEntryAllZeroIsAllSet", MakeBmp(AllSet(), {.WhiteFirstEntry = false}), None, AllSet()},
        TFileCase{"PatternBlackFirst", MakeBmp(PatternPicture(), {.WhiteFirstEntry = false}), None, PatternPicture()},
        TFileCase{"Offset62FirstByteTopBitIsBottomLeft", FirstByteTopBit(62), None, Pixels({{0, 67}})},
        TFileCase{"Offset318", FirstByteTopBit(318), None, Pixels({{0, 67}})},
        TFileCase{"SizeFieldLies", MakeBmp(PatternPicture(), {.SizeField = 0xFFFFFFF0}), None, PatternPicture()},
        TFileCase{"HighByteOfBitCountNotTested", Patched(Good, 29, 7), None, PatternPicture()},
        TFileCase{"NotBM", Patched(Good, 1, 'N'), NotLcdPicture},
        TFileCase{"HeightMinus68", MakeBmp({}, {.Height = -68}), NotLcdPicture},
        TFileCase{"Width95", MakeBmp({}, {.Width = 95}), NotLcdPicture},
        TFileCase{"FourBitsPerPixel", MakeBmp({}, {.BitsPerPixel = 4}), NotLcdPicture},
        TFileCase{"TenBytes", TBytes(Good.begin(), Good.begin() + 10), TooShort},
        TFileCase{"LastRowOneByteShort", TBytes(Good.begin(), Good.end() - 1), PixelDataMissing},
        TFileCase{"OffsetPastTheEnd", Patched(Good, 13, 0xFF), PixelDataMissing}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(PictureFileRead, FailedReadIsUnreadable) {
    const TPictureFile file = ReadPictureFile([](std::uint64_t, std::span<std::uint8_t>) { return std::nullopt; });
    EXPECT_EQ(file.Error, TPictureFileError::Unreadable);
}

// Which bit a pixel sets in which band, and the four rows past the picture.
struct TBandCase {
    const char* Name;
    TPicture Picture;
    std::function<std::uint8_t(int band, int x)> Expected;
};

class BandBytes : public ::testing::TestWithParam<TBandCase> {};

TEST_P(BandBytes, BandByBandColumnByColumn) {
    const auto bytes = ImageBandBytes(GetParam().Picture);
    for (int band = 0; band < BandCount; ++band) {
        for (int x = 0; x < PictureWidth; ++x) {
            ASSERT_EQ(bytes[std::size_t(band * 96 + x)], GetParam().Expected(band, x)) << band << "," << x;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BandBytes,
    ::testing::Values(TBandCase{"AllSetLastBandHasFourRows", AllSet(),
                                [](int band, int) { return std::uint8_t(band < 8 ? 0xFF : 0x0F); }},
                      TBandCase{"TopRowIsBitZero", Pixels({{3, 0}}),
                                [](int band, int x) { return std::uint8_t(band == 0 && x == 3); }},
                      TBandCase{"BandBottomRowIsBitSeven", Pixels({{95, 15}}),
                                [](int band, int x) { return std::uint8_t(band == 1 && x == 95 ? 0x80 : 0); }}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
