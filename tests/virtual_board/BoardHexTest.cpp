// The hex text of the virtual board's log, scripts and control pipe.
#include "tools/virtual-board/BoardHex.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace lumidra::vboard {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BoardHex, FormatIsUpperCaseBlankSeparated) {
    EXPECT_EQ(FormatHex(Bytes{0x00, 0x0A, 0xFF, 0xC0}), "00 0A FF C0");
    EXPECT_EQ(FormatHex(Bytes{}), "");
    EXPECT_EQ(FormatHex(Bytes{0x4E}), "4E");
}

TEST(BoardHex, ParseAcceptsWhatFormatWritesAndCompactForms) {
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(ParseHex(FormatHex(all)), all);
    EXPECT_EQ(ParseHex("c04e2014"), (Bytes{0xC0, 0x4E, 0x20, 0x14}));
    EXPECT_EQ(ParseHex("  0a\tFF 00\r\n"), (Bytes{0x0A, 0xFF, 0x00}));
    EXPECT_EQ(ParseHex(""), Bytes{});
}

TEST(BoardHex, ParseRejectsMalformedText) {
    EXPECT_FALSE(ParseHex("0"));     // odd digit count
    EXPECT_FALSE(ParseHex("00 1"));  // last byte half there
    EXPECT_FALSE(ParseHex("0 0"));   // a blank inside a byte
    EXPECT_FALSE(ParseHex("0G"));    // not a hex digit
    EXPECT_FALSE(ParseHex("0x10"));  // no prefixes in report bytes
    EXPECT_FALSE(ParseHex("00,01"));
}

}  // namespace
}  // namespace lumidra::vboard
