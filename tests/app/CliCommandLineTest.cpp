// lumidra-cli's command line and what it prints of the board's status: each
// rule one table.
#include "app/session/Language.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/Commands.h"
#include "app/cli/JobExit.h"
#include "app/cli/StatusText.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumidra::cli {
namespace {

struct TParseCase {
    std::vector<std::string> Arguments;
    int ExitCode;             // -1: the run goes on
    std::string Command;      // when it goes on
    std::string ErrContains;  // when it ends with an error
};

TEST(CliArguments, CommandsOptionsAndTheirFaults) {
    int argc = 1;
    char name[] = "lumidra-cli";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    const app::TTranslations english(app::TLanguage::English);
    const TParseCase cases[] = {
        {{"--demo", "lcd", "text", "Hi", "--size", "1.5x"}, -1, "lcd text", ""},
        {{"dump", "-", "--timeout", "2"}, -1, "dump", ""},  // a global option after the command
        {{"status", "--until", "in3=on", "--json"}, -1, "status", ""},
        {{"convert", "font", "p.png", "-o", "f.inc", "--format", "c", "--threshold", "0"}, -1, "convert font", ""},
        {{"led", "--time", "--ind2", "off", "--backlight", "on"}, -1, "led", ""},
        {{"--led", "00A1", "--ind1", "on", "status"}, -1, "status", ""},  // the standing state first
        {{"--ind1", "on", "convert", "strip", "p.bmp"}, 2, "", "has no option '--ind1'"},
        {{"--led", "XYZ", "status"}, 2, "", "hexadecimal"},
        {{"--help"}, 0, "", ""},
        {{"dump", "--help"}, 0, "", ""},
        {{"--version"}, 0, "", ""},
        {{}, 2, "", "no command"},
        {{"blink"}, 2, "", "unknown command 'blink'"},
        {{"lcd"}, 2, "", "incomplete command 'lcd'"},
        {{"lcd", "blink", "x"}, 2, "", "unknown command 'lcd blink'"},
        {{"lcd", "contrast", "32"}, 2, "", "0 to 31"},
        {{"lcd", "backlight", "dim"}, 2, "", "on or off"},
        {{"led", "12345"}, 2, "", "1 to 4 hexadecimal digits"},
        {{"led", "12", "--time"}, 2, "", "one of HEX, --time or --date"},
        {{"led"}, 2, "", "one of HEX, --time or --date"},
        {{"image", "p.bmp", "--threshold", "256"}, 2, "", "0 to 255"},
        {{"dump"}, 2, "", "needs FILE"},
        {{"dump", "a", "b"}, 2, "", "no further argument 'b'"},
        {{"dump", "a", "--json"}, 2, "", "has no option '--json'"},
        {{"convert", "strip", "p.bmp", "--led", "1"}, 2, "", "has no option '--led'"},  // no board, no standing state
        {{"plot", "--reports", "5"}, 2, "", "--out FILE is needed"},
        {{"plot", "--out", "p", "--reports", "5", "--seconds", "2"}, 2, "", "exclude each other"},
        {{"status", "--count", "0"}, 2, "", "1 to 1000000000"},
        {{"status", "--until", "ch3>5"}, 2, "", "--until"},
        {{"--timeout", "0", "status"}, 2, "", "--timeout"},
        {{"status", "--count"}, 2, "", "needs a value"},
        {{"--lang", "en", "status"}, -1, "status", ""},
        {{"--lang", "de", "status"}, 2, "", "--lang: ru|en, not 'de'"},
        {{"--count=2", "status"}, 2, "", "unknown option '--count'"},  // "=" splits as a blank does
        {{"status", "--count=2", "--json"}, -1, "status", ""},
        {{"lcd", "text", "--", "--no-wrap"}, -1, "lcd text", ""},  // after "--" an operand
        {{"--trace", "-", "status"}, 2, "", "--trace: a file, not '-'"},
    };
    for (const TParseCase& c : cases) {
        std::string line;
        for (const std::string& argument : c.Arguments) line += argument + ' ';
        const TCliParse parse = ParseCliArguments(c.Arguments);
        if (c.ExitCode < 0) {
            EXPECT_FALSE(parse.Exit) << line << parse.Err;
            EXPECT_EQ(parse.Options.Command, c.Command) << line;
        } else {
            EXPECT_TRUE(parse.Exit) << line;
            EXPECT_EQ(parse.ExitCode, c.ExitCode) << line;
            EXPECT_NE(parse.Err.find(c.ErrContains), std::string::npos) << line << "\n" << parse.Err;
            EXPECT_EQ(parse.Out.empty(), c.ExitCode != 0) << line << "help and version on standard output only";
        }
    }
}

protocol::TStatusView Status(int channel1, int channel2, std::uint8_t inputs, std::uint8_t keyStatus) {
    protocol::InputReport report{};
    report[0] = std::uint8_t(channel1), report[1] = std::uint8_t(channel1 >> 8);
    report[2] = std::uint8_t(channel2), report[3] = std::uint8_t(channel2 >> 8);
    report[4] = inputs, report[5] = keyStatus;
    for (int i = 8; i < 16; ++i) report[std::size_t(i)] = std::uint8_t(0x10 * (i - 7));
    return protocol::DecodeStatus(report.data());
}

TEST(CliStatus, LineAndJson) {
    const protocol::TStatusView held = Status(1023, 511, 0b0101, 1);
    EXPECT_EQ(StatusLine(held), "ch1 100% ch2 49% in 1010 key 1 8070605040302010");
    EXPECT_EQ(StatusJson(held),
              "{\"ch1\":1023,\"ch1_pct\":100,\"ch2\":511,\"ch2_pct\":49,\"in\":[1,0,1,0],\"key_status\":1,"
              "\"key\":\"8070605040302010\"}");
    const protocol::TStatusView none = Status(0, 2046, 0, 0);
    EXPECT_EQ(StatusLine(none), "ch1 0% ch2 200% in 0000 key 0");
    EXPECT_NE(StatusJson(none).find("\"key\":null"), std::string::npos);
}

TEST(CliStatus, UntilConditions) {
    const protocol::TStatusView status = Status(512, 102, 0b1000, 0);  // 50 %, 9 %, input 4 on
    const struct {
        const char* Condition;
        bool Holds;
    } cases[] = {
        {"in4=on", true},  {"in4=off", false}, {"in1=off", true}, {"ch1>49", true},
        {"ch1>50", false}, {"ch2<10", true},   {"ch2<9", false},  {"key", false},
    };
    for (const auto& c : cases) {
        const std::optional<TUntil> until = ParseUntil(c.Condition);
        ASSERT_TRUE(until) << c.Condition;
        EXPECT_EQ(UntilHolds(*until, status), c.Holds) << c.Condition;
    }
    EXPECT_TRUE(UntilHolds(*ParseUntil("key"), Status(0, 0, 0, 1)));
    for (const char* wrong : {"in0=on", "in5=on", "in1=yes", "ch3>5", "ch1=5", "ch1>", "keys", ""}) {
        EXPECT_FALSE(ParseUntil(wrong)) << wrong;
    }
}

TEST(CliProgress, BarOrCount) {
    EXPECT_EQ(ProgressLine("dump", 0, 4096, "bytes"), "dump [                    ] 0 of 4096 bytes");
    EXPECT_EQ(ProgressLine("dump", 2048, 4096, "bytes"), "dump [##########          ] 2048 of 4096 bytes");
    EXPECT_EQ(ProgressLine("dump", 4160, 4096, "bytes"), "dump [####################] 4096 of 4096 bytes");
    EXPECT_EQ(ProgressLine("plot", 17, 0, "reports"), "plot 17 reports");
    EXPECT_EQ(ProgressLine("plot", 3'000'000'000, 6'000'000'000, "reports"),
              "plot [##########          ] 3000000000 of 6000000000 reports");  // past 2^31
}

TEST(CliList, LinesForPeopleAndJson) {
    TListedBoard board{"/dev/hidraw3", "01.01", "Lab \"A\"", "Board\\1", 256, true};
    EXPECT_EQ(ListLine(board, false), "/dev/hidraw3  serial 01.01  Lab \"A\"  Board\\1  version 256");
    EXPECT_EQ(ListLine(board, true),
              "{\"node\":\"/dev/hidraw3\",\"serial\":\"01.01\",\"maker\":\"Lab \\\"A\\\"\","
              "\"name\":\"Board\\\\1\",\"version\":256,\"usable\":true}");
    board.Usable = false;
    EXPECT_TRUE(ListLine(board, false).ends_with("  NOT USABLE"));
    TListedBoard seen;  // seen, never opened: its node alone
    seen.Path = "/dev/hidraw4";
    EXPECT_EQ(ListLine(seen, false), "/dev/hidraw4  NOT USABLE");
}

TEST(CliOutcomes, ExitCodeAndWhatIsTold) {
    using protocol::TJobOutcome;
    const QString text = QStringLiteral("x");
    struct TCase {
        TJobOutcome Outcome;
        std::optional<int> ExitCode;
        bool Told, ToldQuiet;
    };
    const TCase cases[] = {
        {TJobOutcome::Done(text), ExitDone, true, false},
        {TJobOutcome::Done(), ExitDone, false, false},
        {TJobOutcome::Failed(text), ExitFailed, true, true},
        {TJobOutcome::Failed(text, protocol::TFailure::Refused), ExitFailed, true, true},
        {TJobOutcome::CutOff(text, protocol::TCut::BoardBack), ExitFailed, true, true},
        {TJobOutcome::CutOff(text, protocol::TCut::BoardGone), ExitFailed, true, true},
        {TJobOutcome::Waiting(text), std::nullopt, false, false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ExitCodeOf(c.Outcome), c.ExitCode) << int(c.Outcome.Kind);
        EXPECT_EQ(Told(c.Outcome, false), c.Told) << int(c.Outcome.Kind);
        EXPECT_EQ(Told(c.Outcome, true), c.ToldQuiet) << int(c.Outcome.Kind);
    }
}

}  // namespace
}  // namespace lumidra::cli
