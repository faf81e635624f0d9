// Picture files of any kind as the bit picture, and the grey level that
// makes a pixel a dark dot.
#include "graphics/PictureImport.h"
#include "tests/graphics/BmpFile.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace lumidra::testing {
namespace {

using namespace graphics;

struct TDotCase {
    const char* Name;
    QRgb Pixel;
    int Threshold;
    bool Dark;
};

class ImportThreshold : public ::testing::TestWithParam<TDotCase> {};

TEST_P(ImportThreshold, DarkerIsSet) {
    EXPECT_EQ(IsDarkDot(GetParam().Pixel, GetParam().Threshold), GetParam().Dark);
}

INSTANTIATE_TEST_SUITE_P(Pixels, ImportThreshold,
                         ::testing::Values(TDotCase{"Grey128NotBelow128", qRgb(128, 128, 128), 128, false},
                                           TDotCase{"PureRedIsDark", qRgb(255, 0, 0), 128, true},
                                           TDotCase{"PureGreenIsGrey127", qRgb(0, 255, 0), 127, false},
                                           TDotCase{"TransparentBlackIsWhite", qRgba(0, 0, 0, 0), 255, false},
                                           TDotCase{"BlackAtAlpha128IsGrey127", qRgba(0, 0, 0, 128), 128, true},
                                           TDotCase{"BlackAtAlpha127IsGrey128", qRgba(0, 0, 0, 127), 128, false}),
                         [](const auto& test) { return std::string(test.param.Name); });

// A white picture with three dots: black, grey 100 and grey 200.
QByteArray Encoded(int width, const char* format) {
    QImage image(width, PictureHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    image.setPixel(95, 67, qRgb(100, 100, 100));
    image.setPixel(50, 30, qRgb(200, 200, 200));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}

// An LCD picture file whose colour-table entries are both white, so that
// only its own reading shows the pattern; `cut` bytes short of its end.
QByteArray LcdFile(std::size_t cut) {
    std::vector<std::uint8_t> bytes = MakeBmp(PatternPicture());
    std::fill_n(bytes.begin() + 58, 3, 0xFF);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size() - cut));
}

struct TFileCase {
    const char* Name;
    std::optional<QByteArray> File;  // nothing: no file
    int Threshold;
    TImportError Error;
    int Width = 0, Height = 0;
    TPicture Picture = {};
};

class ImportFile : public ::testing::TestWithParam<TFileCase> {};

TEST_P(ImportFile, PictureOrWhyNot) {
    const TFileCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("picture");
    if (c.File) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(*c.File) == c.File->size());
    }
    const TImportedPicture got = ImportPicture(path, c.Threshold);
    EXPECT_EQ(got.Error, c.Error);
    EXPECT_EQ(std::pair(got.Width, got.Height), std::pair(c.Width, c.Height));
    EXPECT_TRUE(c.Error != TImportError::None || got.Picture == c.Picture);
}

using enum TImportError;

INSTANTIATE_TEST_SUITE_P(
    Files, ImportFile,
    ::testing::Values(TFileCase{"LcdFileByItsColourTableNotByGrey", LcdFile(0), 128, None, 96, 68, PatternPicture()},
                      TFileCase{"CutLcdFile", LcdFile(1), 128, NotAPicture},
                      TFileCase{"Png", Encoded(96, "PNG"), 128, None, 96, 68, Pixels({{0, 0}, {95, 67}})},
                      TFileCase{"TrueColourBmpThreshold250", Encoded(96, "BMP"), 250, None, 96, 68,
                                Pixels({{0, 0}, {95, 67}, {50, 30}})},
                      TFileCase{"PngWrongSize", Encoded(97, "PNG"), 128, WrongSize, 97, 68},
                      TFileCase{"TextFile", QByteArray("        DB 0x01\n"), 128, NotAPicture},
                      TFileCase{"NoFile", std::nullopt, 128, Unreadable}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
