#include "protocol/Hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace lumidra::protocol {
namespace {

TEST(ByteToHex, TwoUpperCaseDigitsHighNibbleFirst) {
    EXPECT_EQ(ByteToHex(0), "00");
    EXPECT_EQ(ByteToHex(255), "FF");
    EXPECT_EQ(ByteToHex(10), "0A");
    EXPECT_EQ(ByteToHex(0xC0), "C0");
    for (int b = 0; b < 256; ++b) {
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", b);
        EXPECT_EQ(ByteToHex(static_cast<std::uint8_t>(b)), expected) << b;
    }
}

TEST(WordToHex, HighByteFirst) {
    EXPECT_EQ(WordToHex(49230), "C04E");
    EXPECT_EQ(WordToHex(8212), "2014");
    EXPECT_EQ(WordToHex(0), "0000");
    EXPECT_EQ(WordToHex(0x00FF), "00FF");
}

TEST(HexPairToByte, UpperCaseHexDigits) {
    EXPECT_EQ(HexPairToByte('F', 'F'), 255);
    EXPECT_EQ(HexPairToByte('0', '9'), 9);
    EXPECT_EQ(HexPairToByte('A', '0'), 160);
    const std::string digits = "0123456789ABCDEF";
    for (char first : digits) {
        for (char second : digits) {
            const std::string pair{first, second};
            EXPECT_EQ(HexPairToByte(first, second), std::stoi(pair, nullptr, 16)) << pair;
        }
    }
}

TEST(HexPairToByte, LowerCaseDigitsAreTheUpperCaseOnes) {
    EXPECT_EQ(HexPairToByte('a', 'b'), 0xAB);
    EXPECT_EQ(HexPairToByte('f', 'F'), 0xFF);
    EXPECT_EQ(HexPairToByte('0', 'e'), 0x0E);
}

TEST(HexPairToByte, DecimalPairsComeOutAsPackedDecimal) {
    EXPECT_EQ(HexPairToByte('2', '3'), 0x23);
    EXPECT_EQ(HexPairToByte('5', '9'), 0x59);
}

// No validation: other characters go through the same byte arithmetic.
TEST(HexPairToByte, OtherCharactersFollowTheArithmetic) {
    // 'g' is 103: 103 - 48 = 55, above 9, so 48; 48 * 16 = 768 wraps to 0.
    EXPECT_EQ(HexPairToByte('g', '0'), 0);
    EXPECT_EQ(HexPairToByte('0', 'g'), 48);
    // 'G' is 71: 71 - 48 - 7 = 16, so the high nibble overflows into nothing.
    EXPECT_EQ(HexPairToByte('G', '0'), 0);
    EXPECT_EQ(HexPairToByte('0', 'G'), 16);
    // ' ' is 32: 32 - 48 wraps to 240 as a byte, above 9, so 233.
    EXPECT_EQ(HexPairToByte('0', ' '), 233);
    EXPECT_EQ(HexPairToByte(' ', '0'), 144);  // 233 * 16 = 3728 = 14 * 256 + 144
    // ':' (58) lands between '9' and 'A': 10 - 7 = 3.
    EXPECT_EQ(HexPairToByte('0', ':'), 3);
    // Code 0xD4 (a Cyrillic letter in the single-byte code page): 212 - 48 - 7 = 157;
    // code 0: 0 - 48 wraps to 208, less 7 is 201; 201 * 16 + 157 = 3373 = 13 * 256 + 45.
    EXPECT_EQ(HexPairToByte(0, 0xD4), 45);
}

}  // namespace
}  // namespace lumidra::protocol
