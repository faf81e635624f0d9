// The three conversion tables as whole texts (lines joined by '\n'), in
// assembler and in C, and the splash screen's data bytes, on plain bit
// pictures.
#include "graphics/TableFormat.h"
#include "graphics/Tables.h"
#include "tests/graphics/BmpFile.h"

#include <gtest/gtest.h>

namespace lumidra::testing {
namespace {

using namespace graphics;

TPicture RowZero(int from, int to) {
    TPicture picture;
    for (int x = from; x <= to; ++x) picture.Set(x, 0);
    return picture;
}

// `count` values " 0x<hex>" joined by commas.
std::string Values(int count, const char* hex) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string(i ? "," : "") + " 0x" + hex;
    return text;
}

std::string Lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line + "\n";
    return text;
}

const std::string Db = "        DB";

enum class TTool { Strip, Font, Splash };

struct TTableCase {
    const char* Name;
    TTool Tool;
    TPicture Picture;
    std::optional<std::string> Text;                                    // nothing: no table
    std::vector<std::pair<std::size_t, std::uint8_t>> SplashData = {};  // its non-zero bytes
};

class Tables : public ::testing::TestWithParam<TTableCase> {};

TEST_P(Tables, WholeText) {
    const TTableCase& c = GetParam();
    std::optional<TTableLines> lines;
    TSplashTable splash;
    switch (c.Tool) {
        case TTool::Strip: lines = StripTable(c.Picture); break;
        case TTool::Font: lines = FontTable(c.Picture); break;
        case TTool::Splash:
            splash = SplashTable(c.Picture);
            lines = splash.Lines;
            break;
    }
    ASSERT_EQ(lines.has_value(), c.Text.has_value());
    if (!lines) return;
    std::string text;
    for (const std::string& line : *lines) text += line + "\n";
    EXPECT_EQ(text, *c.Text);
    if (c.Tool != TTool::Splash) return;
    std::array<std::uint8_t, SplashByteCount> data{};
    for (auto [at, value] : c.SplashData) data[at] = value;
    EXPECT_EQ(splash.Data, data);
}

std::string Strip(const std::string& st8, const std::string& st4, int width) {
    return st8 + "\n" + st4 + "\n" + "        ; Строка = " + std::to_string(width) + " байт(а).\n";
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, Tables,
    ::testing::Values(TTableCase{"StripBlank", TTool::Strip, TPicture{}, std::nullopt},
                      TTableCase{"StripOnlyBelowRow11", TTool::Strip, Pixels({{5, 12}, {90, 67}}), std::nullopt},
                      TTableCase{"StripPixelAtColumn10Row0", TTool::Strip, Pixels({{10, 0}}),
                                 Strip("ST_8    DB 0x01, 0x00\n", "ST_4    DB 0x00, 0x00\n", 2)},
                      TTableCase{"StripPixelAtColumn10Row8", TTool::Strip, Pixels({{10, 8}}),
                                 Strip("ST_8    DB 0x00, 0x00\n", "ST_4    DB 0x10, 0x00\n", 2)},
                      TTableCase{"StripRows8To11InNibbles", TTool::Strip, Pixels({{10, 11}, {11, 9}, {11, 12}}),
                                 Strip("ST_8    DB 0x00, 0x00\n", "ST_4    DB 0x82, 0x00\n", 2)},
                      TTableCase{"StripOneBlankColumnInside", TTool::Strip, Pixels({{10, 0}, {12, 7}}),
                                 Strip("ST_8    DB 0x01, 0x00, 0x80, 0x00\n", "ST_4    DB 0x00, 0x00\n", 4)},
                      TTableCase{"StripTwoBlankColumnsEndIt", TTool::Strip, Pixels({{10, 0}, {13, 0}}),
                                 Strip("ST_8    DB 0x01, 0x00\n", "ST_4    DB 0x00, 0x00\n", 2)},
                      TTableCase{"StripEighteenColumns", TTool::Strip, RowZero(20, 37),
                                 Strip("ST_8    DB" + Values(16, "01") + "\n" + Db + Values(2, "01") + "\n",
                                       "ST_4    DB" + Values(10, "00") + "\n", 18)},
                      TTableCase{"StripThirtyTwoColumns", TTool::Strip, RowZero(0, 31),
                                 Strip("ST_8    DB" + Values(16, "01") + "\n" + Db + Values(16, "01") + "\n",
                                       "ST_4    DB" + Values(16, "00") + "\n", 32)},
                      TTableCase{"StripOnlyColumn95TakesClearColumn96", TTool::Strip, Pixels({{95, 3}}),
                                 Strip("ST_8    DB 0x08, 0x00\n", "ST_4    DB 0x00, 0x00\n", 2)},
                      TTableCase{"StripOddLeftReachingColumn95", TTool::Strip, RowZero(1, 95),
                                 Strip("ST_8    DB" + Values(16, "01") + "\n" + Lines(4, Db + Values(16, "01")) + Db +
                                           Values(15, "01") + ", 0x00\n",
                                       "ST_4    DB" + Values(16, "00") + "\n" + Lines(2, Db + Values(16, "00")), 96)},
                      TTableCase{"FontBlankIsEmpty", TTool::Font, TPicture{}, ""},
                      TTableCase{"FontSinglePixelGlyph", TTool::Font, Pixels({{0, 0}}),
                                 Db + " 0x01," + Values(19, "00") + "\n"},
                      TTableCase{"FontGapColumnNotRead", TTool::Font, Pixels({{5, 0}, {11, 7}}), ""},
                      TTableCase{"FontFirstZeroLineEndsTable", TTool::Font, Pixels({{0, 0}, {90, 0}, {0, 8}}),
                                 Db + " 0x01," + Values(19, "00") + "\n"},
                      TTableCase{"FontAllBlack36Lines", TTool::Font, AllSet(),
                                 Lines(32, Db + Values(20, "FF")) + Lines(4, Db + Values(20, "0F"))},
                      TTableCase{"SplashBlank", TTool::Splash, TPicture{}, Lines(24, Db + Values(16, "00"))},
                      TTableCase{"SplashCorners",
                                 TTool::Splash,
                                 Pixels({{0, 16}, {95, 47}, {3, 15}, {3, 48}}),
                                 Db + " 0x01," + Values(15, "00") + "\n" + Lines(22, Db + Values(16, "00")) + Db +
                                     Values(15, "00") + ", 0x80\n",
                                 {{0, 0x01}, {383, 0x80}}}),
    [](const auto& test) { return std::string(test.param.Name); });

// A C line of `count` values "0x<hex>,".
std::string CRow(int count, const char* hex) {
    return "   " + Values(count, hex) + ",";
}

struct TCCase {
    const char* Name;
    TTableLines Db;
    const char* ArrayName;
    std::string Text;
};

class CTable : public ::testing::TestWithParam<TCCase> {};

TEST_P(CTable, WholeText) {
    std::string text;
    for (const std::string& line : CTableLines(GetParam().Db, GetParam().ArrayName)) text += line + "\n";
    EXPECT_EQ(text, GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, CTable,
    ::testing::Values(TCCase{"StripTwoLabelledArraysAndComment", *StripTable(AllSet()), "STRIP",
                             "const unsigned char ST_8[] = {\n" + Lines(6, CRow(16, "FF")) +
                                 "};\n\nconst unsigned char ST_4[] = {\n" + Lines(3, CRow(16, "FF")) +
                                 "};\n\n/* Строка = 96 байт(а). */\n"},
                      TCCase{"FontTwentyValueLinesRegroupedBySixteen", FontTable(Pixels({{0, 0}, {24, 1}})), "FONT",
                             "const unsigned char FONT[] = {\n    0x01," + Values(15, "00") + ",\n" + CRow(4, "00") +
                                 " 0x02," + Values(11, "00") + ",\n" + CRow(8, "00") + "\n};\n"},
                      TCCase{"Splash", SplashTable(Pixels({{0, 16}, {95, 47}})).Lines, "SPLASH",
                             "const unsigned char SPLASH[] = {\n    0x01," + Values(15, "00") + ",\n" +
                                 Lines(22, CRow(16, "00")) + CRow(15, "00") + " 0x80,\n};\n"},
                      TCCase{"EmptyFontDefinesNothing", FontTable(TPicture{}), "FONT", ""},
                      TCCase{"CommentInsideAndLineInNoForm",
                             {"        DB 0x01", "        ; a */ b", "L       DB 0x02", "        db 0x03"},
                             "N",
                             "const unsigned char N[] = {\n    0x01,\n    /* a * / b */\n};\n"
                             "const unsigned char L[] = {\n    0x02,\n        db 0x03\n};\n"}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
