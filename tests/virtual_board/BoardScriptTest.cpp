// The board's command language, as scripts and the control pipe use it.
#include "tools/virtual-board/BoardScript.h"

#include <gtest/gtest.h>

#include <vector>

namespace lumidra::vboard {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes ToBytes(const TReport& r) {
    return {r.begin(), r.end()};
}

template <class T>
T Parse(std::string_view line) {
    const auto parsed = ParseCommandLine(line);
    EXPECT_EQ(parsed.Error, "") << line;
    EXPECT_TRUE(parsed.Command) << line;
    if (!parsed.Command || !std::holds_alternative<T>(*parsed.Command)) {
        ADD_FAILURE() << "wrong command for: " << line;
        return T{};
    }
    return std::get<T>(*parsed.Command);
}

std::string ErrorOf(std::string_view line) {
    const auto parsed = ParseCommandLine(line);
    EXPECT_FALSE(parsed.Command) << line;
    return parsed.Error;
}

TEST(BoardScriptLine, SendPadsToOneFullReport) {
    Bytes expected(64, 0);
    expected[0] = 0x01;
    expected[1] = 0xAB;
    expected[2] = 0xCD;
    EXPECT_EQ(ToBytes(Parse<TSendCommand>("send 01 ab cd").Report), expected);
    EXPECT_EQ(ToBytes(Parse<TSendCommand>("  send\t01ABcd  ").Report), expected);
    EXPECT_EQ(ToBytes(Parse<TSendCommand>("send").Report), Bytes(64, 0));

    Bytes full(64, 0xEE);
    std::string line = "send";
    for (int i = 0; i < 64; ++i) line += " EE";
    EXPECT_EQ(ToBytes(Parse<TSendCommand>(line).Report), full);
    EXPECT_NE(ErrorOf(line + " EE").find("longer than 64"), std::string::npos);
    EXPECT_EQ(ErrorOf("send 0g"), "bad hex bytes");
}

TEST(BoardScriptLine, StatusFieldsLandInTheirBytes) {
    const auto r = Parse<TSendCommand>("status a1=1023 a2=0x200 in=0x0F key=1 ack=2 id=0102030405060708").Report;
    Bytes expected(64, 0);
    expected[0] = 0xFF;
    expected[1] = 0x03;
    expected[2] = 0x00;
    expected[3] = 0x02;
    expected[4] = 0x0F;
    expected[5] = 1;
    expected[6] = 2;
    for (int i = 0; i < 8; ++i) expected[15 - i] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(ToBytes(r), expected);
    EXPECT_EQ(ToBytes(Parse<TSendCommand>("status").Report), Bytes(64, 0));

    EXPECT_FALSE(ErrorOf("status key=256").empty());  // byte field out of range
    EXPECT_FALSE(ErrorOf("status a1=65536").empty());
    EXPECT_FALSE(ErrorOf("status id=01020304").empty());  // 8 bytes needed
    EXPECT_FALSE(ErrorOf("status volume=3").empty());
    EXPECT_FALSE(ErrorOf("status key").empty());
    EXPECT_FALSE(ErrorOf("status key=-1").empty());
}

TEST(BoardScriptLine, TimingAndCountedCommands) {
    EXPECT_EQ(Parse<TSleepCommand>("sleep 250").Duration, 250ms);
    EXPECT_EQ(Parse<TSleepCommand>("sleep 0x10").Duration, 16ms);

    const auto burst = Parse<TBurstCommand>("burst 1000 A5");
    EXPECT_EQ(burst.Count, 1000u);
    EXPECT_EQ(burst.Report[0], 0xA5);
    EXPECT_EQ(burst.Report[1], 0x00);

    EXPECT_EQ(Parse<TStreamCommand>("stream 5A").Report[0], 0x5A);
    const auto pace = Parse<TPaceCommand>("pace 1000 5A 01");
    EXPECT_EQ(pace.PerSecond, 1000u);
    EXPECT_EQ(pace.Report[0], 0x5A);
    EXPECT_EQ(pace.Report[1], 0x01);
    EXPECT_EQ(Parse<TPaceCommand>("pace 1000000").PerSecond, 1000000u);

    const auto wait = Parse<TWaitOutputCommand>("wait-output 2");
    EXPECT_EQ(wait.Count, 2u);
    EXPECT_EQ(wait.Timeout, 5000ms);
    EXPECT_EQ(Parse<TWaitOutputCommand>("wait-output 3 100").Timeout, 100ms);

    EXPECT_FALSE(ErrorOf("sleep").empty());
    EXPECT_FALSE(ErrorOf("sleep 1 2").empty());
    EXPECT_FALSE(ErrorOf("sleep soon").empty());
    EXPECT_FALSE(ErrorOf("burst").empty());
    EXPECT_FALSE(ErrorOf("burst 4294967296").empty());  // beyond 32 bits
    EXPECT_FALSE(ErrorOf("pace").empty());
    EXPECT_FALSE(ErrorOf("pace 0").empty());        // no rate is no stream
    EXPECT_FALSE(ErrorOf("pace 1000001").empty());  // beyond what it promises
    EXPECT_FALSE(ErrorOf("pace fast 5A").empty());
    EXPECT_FALSE(ErrorOf("pace 100 5G").empty());
    EXPECT_FALSE(ErrorOf("wait-output").empty());
    EXPECT_FALSE(ErrorOf("wait-output 1 2 3").empty());
}

TEST(BoardScriptLine, PlainCommandsTakeNoArguments) {
    Parse<TStopCommand>("stop");
    Parse<TUnplugCommand>("unplug");
    Parse<TPlugCommand>("plug");
    Parse<TQuitCommand>("quit");
    EXPECT_FALSE(ErrorOf("quit now").empty());
    EXPECT_FALSE(ErrorOf("unplug 1").empty());
    EXPECT_EQ(ErrorOf("explode"), "unknown command explode");
}

TEST(BoardScriptLine, BlankAndCommentLinesAreNothing) {
    for (std::string_view line : {"", "   ", "\t\r", "# send 01", "#"}) {
        const auto parsed = ParseCommandLine(line);
        EXPECT_FALSE(parsed.Command) << line;
        EXPECT_EQ(parsed.Error, "") << line;
    }
}

TEST(BoardScriptFile, KeepsOrderAndNamesTheLinesOfErrors) {
    const auto ok = ParseScript("# attach\nwait-output 2\r\n\nsend 01\nsleep 5\nquit");
    EXPECT_TRUE(ok.Errors.empty());
    ASSERT_EQ(ok.Commands.size(), 4u);
    EXPECT_TRUE(std::holds_alternative<TWaitOutputCommand>(ok.Commands[0]));
    EXPECT_TRUE(std::holds_alternative<TSendCommand>(ok.Commands[1]));
    EXPECT_TRUE(std::holds_alternative<TSleepCommand>(ok.Commands[2]));
    EXPECT_TRUE(std::holds_alternative<TQuitCommand>(ok.Commands[3]));

    const auto bad = ParseScript("send 01\nfly\nsleep\nquit\n");
    ASSERT_EQ(bad.Errors.size(), 2u);
    EXPECT_EQ(bad.Errors[0], "line 2: unknown command fly");
    EXPECT_EQ(bad.Errors[1].rfind("line 3: ", 0), 0u) << bad.Errors[1];
}

}  // namespace
}  // namespace lumidra::vboard
