#include "keybase/KeyBaseText.h"

#include <gtest/gtest.h>

namespace lumidra::keybase {
namespace {

QByteArray Bytes(std::initializer_list<unsigned char> list) {
    QByteArray out;
    for (unsigned char c : list) out.append(static_cast<char>(c));
    return out;
}

TEST(KeyBaseLookup, MatchesOnlyTheFirstSixteenCharactersExactly) {
    const QString id = "1807F6E5D4C3B2A1";
    EXPECT_FALSE(KeyBaseContains("", id));
    EXPECT_TRUE(KeyBaseContains(id, id));
    EXPECT_TRUE(KeyBaseContains("0000000000000000\n1807F6E5D4C3B2A1 front door\n", id));
    EXPECT_FALSE(KeyBaseContains("1807f6e5d4c3b2a1", id)) << "case counts";
    EXPECT_FALSE(KeyBaseContains(" 1807F6E5D4C3B2A1", id)) << "a leading blank shifts the identifier";
    EXPECT_FALSE(KeyBaseContains("1807F6E5D4C3B2A", id)) << "a short line is not the key";
    EXPECT_FALSE(KeyBaseContains("\n\n", id));
}

TEST(KeyBaseLookup, AppendGoesOnANewLineOfItsOwn) {
    const QString id = "EFCDAB8967452301";
    EXPECT_EQ(KeyBaseAppendText("", id), id + "\n");
    EXPECT_EQ(KeyBaseAppendText("AAAA\n", id), id + "\n");
    // The operator typed a last line without Enter.
    EXPECT_EQ(KeyBaseAppendText("AAAA", id), "\n" + id);
}

TEST(KeyBaseFile, SavesCrLfBetweenLinesAndOnlyAFinalOneWhereTheTextEndsWithABreak) {
    EXPECT_EQ(EncodeKeyBaseFile("A\nB").Bytes, Bytes({0x41, 0x0D, 0x0A, 0x42}));
    EXPECT_EQ(EncodeKeyBaseFile("A\n").Bytes, Bytes({0x41, 0x0D, 0x0A}));
    EXPECT_TRUE(EncodeKeyBaseFile("").Bytes.isEmpty());

    // Two keys appended by the program to an empty memo.
    QString memo;
    memo += KeyBaseAppendText(memo, "1807F6E5D4C3B2A1");
    memo += KeyBaseAppendText(memo, "EFCDAB8967452301");
    const auto file = EncodeKeyBaseFile(memo);
    ASSERT_EQ(file.Bytes.size(), 36);
    EXPECT_EQ(file.Bytes, QByteArray("1807F6E5D4C3B2A1\r\nEFCDAB8967452301\r\n"));
}

TEST(KeyBaseFile, WritesCyrillicCommentsInWindows1251) {
    const auto file = EncodeKeyBaseFile(QString::fromUtf8("0123456789ABCDEF Ключ №1"));
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file.Bytes.right(7), Bytes({0xCA, 0xEB, 0xFE, 0xF7, 0x20, 0xB9, 0x31}));
}

TEST(KeyBaseFile, RefusesCharactersWindows1251CannotHoldInsteadOfChangingThem) {
    const auto file = EncodeKeyBaseFile(QString::fromUtf8("AAAA\nBBBB 日本 ✓\nCCCC 日"));
    EXPECT_FALSE(file.ok());
    EXPECT_TRUE(file.Bytes.isEmpty());
    EXPECT_EQ(file.Unencodable, QString::fromUtf8("日本✓"));
    EXPECT_EQ(file.FirstUnencodableLine, 2);
}

TEST(KeyBaseFile, RefusesAnUnpairedSurrogateInsteadOfWritingAQuestionMark) {
    QString memo = "AAAA\nBBBB ";
    memo += QChar(char16_t(0xD940));  // a high surrogate without its low half
    memo += " CCCC";
    const auto file = EncodeKeyBaseFile(memo);
    EXPECT_FALSE(file.ok());
    EXPECT_TRUE(file.Bytes.isEmpty());
    EXPECT_EQ(file.Unencodable, QString(QChar(char16_t(0xD940))));
    EXPECT_EQ(file.FirstUnencodableLine, 2);

    QString lowOnly = "DDDD";
    lowOnly += QChar(char16_t(0xDC00));
    EXPECT_FALSE(EncodeKeyBaseFile(lowOnly).ok());
}

TEST(KeyBaseFile, LoadTurnsCrLfAndCrAndLfIntoLineBreaks) {
    EXPECT_EQ(DecodeKeyBaseFile("A\r\nB\r\n"), "A\nB\n");
    EXPECT_EQ(DecodeKeyBaseFile("A\nB\n"), "A\nB\n");
    EXPECT_EQ(DecodeKeyBaseFile("A\rB"), "A\nB");
    EXPECT_EQ(DecodeKeyBaseFile("A\r\rB\n\r"), "A\n\nB\n\n") << "CR CR is two breaks, LF CR too";
}

TEST(KeyBaseFile, EveryByteLoadsAndSavesBackUnchanged) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') all.append(static_cast<char>(b));
    }
    const QString text = DecodeKeyBaseFile(all);
    EXPECT_EQ(text.mid(0xC0 - 2, 1), QString::fromUtf8("А")) << "0xC0 is Cyrillic A";
    const auto back = EncodeKeyBaseFile(text);
    ASSERT_TRUE(back.ok()) << back.Unencodable.toStdString();
    EXPECT_EQ(back.Bytes, all);
}

}  // namespace
}  // namespace lumidra::keybase
