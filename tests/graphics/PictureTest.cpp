// The picture file as the loader reads it, and the band bytes of the image
// job, on plain byte buffers.
#include "graphics/Picture.h"
#include "tests/graphics/BmpFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

namespace lumidra::testing {
namespace {

using namespace graphics;
using TBytes = std::vector<std::uint8_t>;

// Reads from `bytes`, failing the test on any request outside the header and
// the pixel rows the header names.
TPictureFile ReadFromMemory(const TBytes& bytes) {
    std::uint64_t pixelOffset = 0;
    return ReadPictureFile([&](std::uint64_t offset, std::span<std::uint8_t> out) -> std::optional<std::size_t> {
        if (offset == 0) {
            EXPECT_EQ(out.size(), PictureHeaderSize);
            if (bytes.size() >= 14) pixelOffset = std::uint64_t(bytes[10] | bytes[11] << 8 | bytes[12] << 16) | std::uint64_t(bytes[13]) << 24;
        } else {
            EXPECT_EQ(offset, pixelOffset);
            EXPECT_EQ(out.size(), PicturePixelBytes);
        }
        if (offset >= bytes.size()) return 0;
        const std::size_t count = std::min<std::size_t>(out.size(), bytes.size() - offset);
        std::copy_n(bytes.begin() + std::ptrdiff_t(offset), count, out.begin());
        return count;
    });
}

TPicture AllSet() {
    TPicture picture;
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x) picture.Set(x, y);
    return picture;
}

TPicture Only(int x, int y) {
    TPicture picture;
    picture.Set(x, y);
    return picture;
}

TBmpLayout With(std::function<void(TBmpLayout&)> change) {
    TBmpLayout layout;
    change(layout);
    return layout;
}

TBytes Patched(TBytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

TBytes Cut(TBytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

// Pixel offset 318 with only the first pixel byte's top bit standing out.
TBytes FirstByteTopBit(std::uint32_t offset) {
    TBytes bytes = MakeBmp(TPicture{}, With([&](TBmpLayout& l) { l.PixelOffset = offset; }));
    bytes[offset] = 0x80;
    return bytes;
}

struct TFileCase {
    const char* Name;
    TBytes File;
    TPictureFileError Error;
    TPicture Expected;  // when Error is None
};
void PrintTo(const TFileCase& c, std::ostream* os) {
    *os << c.Name;
}

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

INSTANTIATE_TEST_SUITE_P(
    Files, PictureFile,
    ::testing::Values(
        TFileCase{"WhiteFirstEntryAllZeroIsBlank", MakeBmp(TPicture{}), TPictureFileError::None, TPicture{}},
        TFileCase{"BlackFirstEntryAllZeroIsAllSet", Patched(Patched(Patched(MakeBmp(TPicture{}), 54, 0), 55, 0), 56, 0),
                  TPictureFileError::None, AllSet()},
        TFileCase{"PatternWhiteFirst", Good, TPictureFileError::None, PatternPicture()},
        TFileCase{"PatternBlackFirst", MakeBmp(PatternPicture(), With([](TBmpLayout& l) { l.WhiteFirstEntry = false; })),
                  TPictureFileError::None, PatternPicture()},
        TFileCase{"Offset62FirstByteTopBitIsBottomLeft", FirstByteTopBit(62), TPictureFileError::None, Only(0, 67)},
        TFileCase{"Offset318", FirstByteTopBit(318), TPictureFileError::None, Only(0, 67)},
        TFileCase{"SizeFieldLies", MakeBmp(PatternPicture(), With([](TBmpLayout& l) { l.SizeField = 0xFFFFFFF0; })),
                  TPictureFileError::None, PatternPicture()},
        TFileCase{"HighByteOfBitCountNotTested", Patched(Good, 29, 7), TPictureFileError::None, PatternPicture()},
        TFileCase{"NotB", Patched(Good, 0, 'b'), TPictureFileError::NotLcdPicture, {}},
        TFileCase{"NotM", Patched(Good, 1, 'N'), TPictureFileError::NotLcdPicture, {}},
        TFileCase{"HeightMinus68", MakeBmp(TPicture{}, With([](TBmpLayout& l) { l.Height = -68; })),
                  TPictureFileError::NotLcdPicture, {}},
        TFileCase{"Width95", MakeBmp(TPicture{}, With([](TBmpLayout& l) { l.Width = 95; })),
                  TPictureFileError::NotLcdPicture, {}},
        TFileCase{"FourBitsPerPixel", MakeBmp(TPicture{}, With([](TBmpLayout& l) { l.BitsPerPixel = 4; })),
                  TPictureFileError::NotLcdPicture, {}},
        TFileCase{"Empty", {}, TPictureFileError::TooShort, {}},
        TFileCase{"TenBytes", Cut(Good, 10), TPictureFileError::TooShort, {}},
        TFileCase{"SixtyThreeBytes", Cut(Good, 63), TPictureFileError::TooShort, {}},
        TFileCase{"HeaderOnly", Cut(Good, 64), TPictureFileError::PixelDataMissing, {}},
        TFileCase{"LastRowOneByteShort", Cut(Good, Good.size() - 1), TPictureFileError::PixelDataMissing, {}},
        TFileCase{"OffsetPastTheEnd", Patched(Good, 11, 0x10), TPictureFileError::PixelDataMissing, {}},
        TFileCase{"OffsetFourGigabytes", Patched(Patched(Good, 13, 0xFF), 12, 0xFF), TPictureFileError::PixelDataMissing,
                  {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PictureFileRead, FailedReadIsUnreadable) {
    const TPictureFile file = ReadPictureFile([](std::uint64_t, std::span<std::uint8_t>) { return std::nullopt; });
    EXPECT_EQ(file.Error, TPictureFileError::Unreadable);
    EXPECT_FALSE(file.Header);
}

// One table: which bits a pixel sets, and the bands the image job sends.
struct TBandCase {
    const char* Name;
    TPicture Picture;
    std::function<std::uint8_t(int band, int x)> Expected;
};
void PrintTo(const TBandCase& c, std::ostream* os) {
    *os << c.Name;
}
class BandBytes : public ::testing::TestWithParam<TBandCase> {};

TEST_P(BandBytes, BandByBandColumnByColumn) {
    const auto bytes = ImageBandBytes(GetParam().Picture);
    for (int band = 0; band < BandCount; ++band) {
        for (int x = 0; x < PictureWidth; ++x) {
            ASSERT_EQ(bytes[std::size_t(band * PictureWidth + x)], GetParam().Expected(band, x)) << band << "," << x;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BandBytes,
    ::testing::Values(
        TBandCase{"Blank", TPicture{}, [](int, int) { return std::uint8_t(0); }},
        TBandCase{"AllSetLastBandHasFourRows", AllSet(),
                  [](int band, int) { return std::uint8_t(band < 8 ? 0xFF : 0x0F); }},
        TBandCase{"TopRowIsBitZero", Only(3, 0), [](int band, int x) { return std::uint8_t(band == 0 && x == 3); }},
        TBandCase{"BandBottomRowIsBitSeven", Only(95, 15),
                  [](int band, int x) { return std::uint8_t(band == 1 && x == 95 ? 0x80 : 0); }},
        TBandCase{"LastRowIsBandEightBitThree", Only(0, 67),
                  [](int band, int x) { return std::uint8_t(band == 8 && x == 0 ? 0x08 : 0); }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PictureBits, OutsideReadsClearAndIgnoresWrites) {
    TPicture picture = AllSet();
    for (auto [x, y] : {std::pair{-1, 0}, {96, 0}, {0, -1}, {0, 68}}) {
        picture.Set(x, y);
        EXPECT_FALSE(picture.IsSet(x, y));
    }
    EXPECT_TRUE(picture == AllSet());
}

}  // namespace
}  // namespace lumidra::testing
