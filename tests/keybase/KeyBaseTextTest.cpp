// The key base's text rules and its file format. Plain C++: the same tables
// run on Linux (glibc's iconv) and on Windows (the code-page API).
#include "keybase/KeyBaseText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lumidra::keybase {
namespace {

std::string Bytes(std::initializer_list<unsigned char> list) {
    return std::string(list.begin(), list.end());
}

TEST(KeyBaseLookup, MatchesOnlyTheFirstSixteenCharactersExactly) {
    const std::u16string id = u"1807F6E5D4C3B2A1";
    EXPECT_FALSE(KeyBaseContains(u"", id));
    EXPECT_TRUE(KeyBaseContains(id, id));
    EXPECT_TRUE(KeyBaseContains(u"0000000000000000\n1807F6E5D4C3B2A1 front door\n", id));
    EXPECT_FALSE(KeyBaseContains(u"1807f6e5d4c3b2a1", id)) << "case counts";
    EXPECT_FALSE(KeyBaseContains(u" 1807F6E5D4C3B2A1", id)) << "a leading blank shifts the identifier";
    EXPECT_FALSE(KeyBaseContains(u"1807F6E5D4C3B2A", id)) << "a short line is not the key";
    EXPECT_FALSE(KeyBaseContains(u"\n\n", id));
}

TEST(KeyBaseLookup, AppendGoesOnANewLineOfItsOwn) {
    const std::u16string id = u"EFCDAB8967452301";
    EXPECT_EQ(KeyBaseAppendText(u"", id), id + u"\n");
    EXPECT_EQ(KeyBaseAppendText(u"AAAA\n", id), id + u"\n");
    // The operator typed a last line without Enter.
    EXPECT_EQ(KeyBaseAppendText(u"AAAA", id), u"\n" + id);
}

// A memo text and the file that holds it: saving gives the bytes, loading
// them gives the text back.
struct TFileCase {
    const char* Name;
    std::u16string Memo;
    std::string File;
};
void PrintTo(const TFileCase& c, std::ostream* os) {
    *os << c.Name;
}

class KeyBaseFileFormat : public ::testing::TestWithParam<TFileCase> {};

TEST_P(KeyBaseFileFormat, SavesAndLoadsBack) {
    const TFileCase& c = GetParam();
    const TEncodedKeyBase saved = EncodeKeyBaseFile(c.Memo);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.Bytes, c.File);
    EXPECT_EQ(DecodeKeyBaseFile(c.File), c.Memo);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyBaseFileFormat,
    ::testing::Values(TFileCase{"CrLfBetweenLines", u"A\nB", "A\r\nB"},
                      TFileCase{"FinalCrLfOnlyWhereTheTextEndsWithABreak", u"A\n", "A\r\n"},
                      TFileCase{"Empty", u"", ""},
                      TFileCase{"TwoKeysAppendedToAnEmptyMemo", u"1807F6E5D4C3B2A1\nEFCDAB8967452301\n",
                                "1807F6E5D4C3B2A1\r\nEFCDAB8967452301\r\n"},
                      TFileCase{"CyrillicCommentInWindows1251", u"0123456789ABCDEF Ключ №1",
                                "0123456789ABCDEF" + Bytes({0x20, 0xCA, 0xEB, 0xFE, 0xF7, 0x20, 0xB9, 0x31})},
                      TFileCase{"SignsOfTheCodePage", u"€ ‰ « » Ё ё",
                                Bytes({0x88, 0x20, 0x89, 0x20, 0xAB, 0x20, 0xBB, 0x20, 0xA8, 0x20, 0xB8})}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(KeyBaseFile, AppendedKeysMakeOneLineEach) {
    std::u16string memo;
    memo += KeyBaseAppendText(memo, u"1807F6E5D4C3B2A1");
    memo += KeyBaseAppendText(memo, u"EFCDAB8967452301");
    EXPECT_EQ(EncodeKeyBaseFile(memo).Bytes, "1807F6E5D4C3B2A1\r\nEFCDAB8967452301\r\n");
}

// A memo the file cannot hold: nothing is written, and the characters and
// the first line holding one are named.
struct TRefusalCase {
    const char* Name;
    std::u16string Memo;
    std::u16string Unencodable;
    int FirstLine;
};
void PrintTo(const TRefusalCase& c, std::ostream* os) {
    *os << c.Name;
}

class KeyBaseFileRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(KeyBaseFileRefusal, RefusesInsteadOfChangingTheText) {
    const TRefusalCase& c = GetParam();
    const TEncodedKeyBase saved = EncodeKeyBaseFile(c.Memo);
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.Bytes.empty());
    EXPECT_EQ(saved.Unencodable, c.Unencodable);
    EXPECT_EQ(saved.FirstUnencodableLine, c.FirstLine);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyBaseFileRefusal,
    ::testing::Values(TRefusalCase{"CharactersOutsideTheCodePage", u"AAAA\nBBBB 日本 ✓\nCCCC 日", u"日本✓", 2},
                      // A look-alike ('e' for 'é', 'A' for 'Ā') would change the text
                      // as surely as a '?'.
                      TRefusalCase{"NoLookAlikeSubstitutes", u"AAAA é\nĀ", u"éĀ", 1},
                      TRefusalCase{"CharacterBeyondTheBasicPlane", u"AAAA\n\nKEY 😀", u"😀", 3},
                      TRefusalCase{"UnpairedHighSurrogate",
                                   u"AAAA\nBBBB " + std::u16string(1, char16_t(0xD940)) + u" CCCC",
                                   std::u16string(1, char16_t(0xD940)), 2},
                      TRefusalCase{"UnpairedLowSurrogate", u"DDDD" + std::u16string(1, char16_t(0xDC00)),
                                   std::u16string(1, char16_t(0xDC00)), 1}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(KeyBaseFile, LoadTurnsCrLfAndCrAndLfIntoLineBreaks) {
    EXPECT_EQ(DecodeKeyBaseFile("A\r\nB\r\n"), u"A\nB\n");
    EXPECT_EQ(DecodeKeyBaseFile("A\nB\n"), u"A\nB\n");
    EXPECT_EQ(DecodeKeyBaseFile("A\rB"), u"A\nB");
    EXPECT_EQ(DecodeKeyBaseFile("A\r\rB\n\r"), u"A\n\nB\n\n") << "CR CR is two breaks, LF CR too";
}

TEST(KeyBaseFile, EveryByteLoadsAndSavesBackUnchanged) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') all.push_back(static_cast<char>(b));
    }
    const std::u16string text = DecodeKeyBaseFile(all);
    ASSERT_EQ(text.size(), all.size());
    EXPECT_EQ(text[0xC0 - 2], u'А') << "0xC0 is Cyrillic A";
    EXPECT_EQ(text[0xFF - 2], u'я');
    EXPECT_EQ(text[0x98 - 2], char16_t(0x98)) << "the unassigned byte is kept as its C1 control";
    const TEncodedKeyBase back = EncodeKeyBaseFile(text);
    ASSERT_TRUE(back.ok()) << "first refused on line " << back.FirstUnencodableLine;
    EXPECT_EQ(back.Bytes, all);
}

}  // namespace
}  // namespace lumidra::keybase
