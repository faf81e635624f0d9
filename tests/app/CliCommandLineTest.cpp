// lumidra-cli's command line and what it prints of the board's status: each
// rule one table.
#include "app/session/Language.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/CommandTable.h"
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
        {{"--trace", "-", "status"}, 2, "", "--trace: a file (standard output is the command's), not '-'"},
        // Values on on/off options are refused, not read as on.
        {{"--demo=yes", "led", "1"}, 2, "", "--demo: takes no value, not '=yes'"},
        {{"status", "--json="}, 2, "", "--json: takes no value, not '='"},
        {{"--help=x"}, 2, "", "--help: takes no value"},
        {{"status", "--count="}, 2, "", "--count: a whole number, 1 to 1000000000, not ''"},
        // What contradicts: the same option twice, a command's own state, two ends.
        {{"led", "12", "--led", "34"}, 2, "", "'led' sets what --led sets"},
        {{"lcd", "backlight", "on", "--backlight", "off"}, 2, "", "'lcd backlight' sets what --backlight sets"},
        {{"--led", "1", "led", "--time"}, 2, "", "'led' sets what --led sets"},
        {{"status", "--count", "2", "--count=3"}, 2, "", "option '--count' is given twice"},
        {{"--ind1", "on", "status", "--ind1", "off"}, 2, "", "option '--ind1' is given twice"},
        {{"--lang", "en", "--lang", "ru", "status"}, 2, "", "option '--lang' is given twice"},
        {{"--trace", "a", "--trace", "b", "status"}, -1, "status", ""},  // a trace for each
        {{"--demo", "--device", "/dev/hidraw0", "status"}, 2, "", "--demo and --device exclude each other"},
        {{"status", "--watch", "--count", "3"}, 2, "", "--watch and --count exclude each other"},
        {{"status", "--watch", "--until", "key"}, 2, "", "--watch and --until exclude each other"},
        {{"convert", "splash", "p.png", "-o", "x.bin"}, 2, "", "would replace the table"},
        {{"convert", "splash", "p.png", "-o", "screen"}, -1, "convert splash", ""},
        {{"keys", "--base", ""}, 2, "", "--base: a key base file (read, then rewritten), not ''"},
        {{"keys", "--base", "-"}, 2, "", "--base: a key base file"},
        {{"flash", "write", " "}, 2, "", "flash write: a file's name, not ' '"},
        {{"--device", "", "status"}, 2, "", "--device: a board's node"},
        {{"--lang", "Ru", "status"}, -1, "status", ""},
        {{"lcd", "--help"}, 0, "", ""},
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
    // A group's help lists its commands, not the whole help.
    const std::string lcd = ParseCliArguments({"lcd", "--help"}).Out;
    EXPECT_NE(lcd.find("lcd contrast"), std::string::npos) << lcd;
    EXPECT_EQ(lcd.find("flash read"), std::string::npos) << lcd;
}

// Each kind's grammar: the whole text or nothing.
TEST(CliArguments, OperandGrammar) {
    const struct {
        TKind Kind;
        const char* Value;
        bool Taken;
    } cases[] = {
        {TKind::Flag, "", true},
        {TKind::Flag, "=", false},
        {TKind::LedDigits, "0", true},
        {TKind::LedDigits, "aBcD", true},
        {TKind::LedDigits, "", false},
        {TKind::LedDigits, "12345", false},
        {TKind::LedDigits, "0x1", false},
        {TKind::LedDigits, " 12", false},
        {TKind::LcdBytes, "AE 2F", true},
        {TKind::LcdBytes, "ae2f\t40", true},
        {TKind::LcdBytes, "AE 2", false},
        {TKind::LcdBytes, "0xAE", false},
        {TKind::LcdBytes, "AE,2F", false},
        {TKind::LcdBytes, " ", false},
        {TKind::Count, "1", true},
        {TKind::Count, "1000000000", true},
        {TKind::Count, "0", false},
        {TKind::Count, "+5", false},
        {TKind::Count, "5 ", false},
        {TKind::Count, "1000000001", false},
        {TKind::Seconds, "86400", true},
        {TKind::Seconds, "86401", false},
        {TKind::Timeout, "3600", true},
        {TKind::Timeout, "3601", false},
        {TKind::Contrast, "0", true},
        {TKind::Contrast, "-0", false},
        {TKind::Contrast, "31", true},
        {TKind::Contrast, "3.1", false},
        {TKind::Threshold, "255", true},
        {TKind::Threshold, "256", false},
        {TKind::OnOff, "off", true},
        {TKind::OnOff, "ON", false},
        {TKind::Size, "1.5x", true},
        {TKind::Size, "1,5x", false},
        {TKind::Format, "c", true},
        {TKind::Format, "C", false},
        {TKind::Until, "ch2<10", true},
        {TKind::Until, "ch3>5", false},
        {TKind::Lang, "eN", true},
        {TKind::Lang, "de", false},
        {TKind::LcdText, "", true},
        {TKind::LcdText, "\xd0\xa9 \x01", true},  // sent as the window sends it
        {TKind::Device, "/dev/hidraw0", true},
        {TKind::Device, " ", false},
        {TKind::Trace, "t.pcapng", true},
        {TKind::Trace, "-", false},
        {TKind::KeyBase, "keys.txt", true},
        {TKind::KeyBase, "-", false},
        {TKind::Product, "-", true},
        {TKind::Product, "", false},
        {TKind::Stream, "-", true},
        {TKind::Picture, "\t", false},
        {TKind::Expect, "-", true},
        {TKind::InputFile, "-", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OperandFault(c.Kind, c.Value).empty(), c.Taken) << int(c.Kind) << " '" << c.Value << "'";
    }
    // No operand of any command is empty or blank, but the LCD's text; a flag has no value.
    std::vector<TOptionEntry> all = GlobalOptions();
    for (const TCommandEntry& entry : Commands()) {
        const std::vector<TOptionEntry> kinds = OperandKinds(entry);
        all.insert(all.end(), kinds.begin(), kinds.end());
    }
    for (const TOptionEntry& operand : all) {
        if (operand.Kind == TKind::LcdText || operand.Kind == TKind::Flag) continue;
        EXPECT_FALSE(OperandFault(operand.Kind, "").empty()) << operand.Name;
        EXPECT_FALSE(OperandFault(operand.Kind, " \t").empty()) << operand.Name;
    }
}

// What the LCD's text step replaces or cuts, as lcd text says it.
TEST(CliLcdText, ReplacedAndCut) {
    const struct {
        std::u16string Text;
        bool Wrap;
        std::u16string Replaced, Cut;
    } cases[] = {
        {u"Привет, LCD?", true, u"", u""},
        {u"a\u20ac\u4e2d\u4e2d\U0001F600", true, u"\u4e2d\U0001F600", u""},  // the euro sign is in the code page
        {std::u16string(128, u'x'), true, u"", u""},
        {std::u16string(128, u'x') + u"  tail ", true, u"", u"tail"},
        // Wrapping pushes the last word past the screen; without it the word fits.
        {std::u16string(120, u'x') + u" abcdefghij", true, u"", u"abcdefghij"},
        {std::u16string(120, u'x') + u" abcdefghij", false, u"", u"hij"},
    };
    for (const auto& c : cases) {
        const TLcdTextLoss loss = LcdTextLoss(c.Text, c.Wrap);
        EXPECT_EQ(loss.Replaced, c.Replaced) << QString::fromStdU16String(c.Text).toStdString();
        EXPECT_EQ(loss.Cut, c.Cut) << QString::fromStdU16String(c.Text).toStdString();
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
    EXPECT_EQ(ListLine(board, false), "/dev/hidraw3  Board\\1, VID=C04E, PID=2014, Ver=01.01, ID=Lab \"A\"");
    EXPECT_EQ(ListLine(board, true),
              "{\"node\":\"/dev/hidraw3\",\"serial\":\"01.01\",\"maker\":\"Lab \\\"A\\\"\","
              "\"name\":\"Board\\\\1\",\"version\":256,\"ver\":\"01.01\",\"usable\":true}");
    // Valid JSON whatever a device's strings or node hold.
    const struct {
        std::string Text, Json;
    } strings[] = {
        {"a\tb\x01\x7f", "\"a\\u0009b\\u0001\\u007f\""},
        {"\xd0\x9b\xf0\x9f\x98\x80", "\"\xd0\x9b\xf0\x9f\x98\x80\""},  // UTF-8 as it is
        {"\xff/\xc0\xaf/\xed\xa0\x80/\xd0", "\"\\ufffd/\\ufffd\\ufffd/\\ufffd\\ufffd\\ufffd/\\ufffd\""},  // no UTF-8
    };
    for (const auto& s : strings) EXPECT_EQ(JsonString(s.Text), s.Json) << s.Text;
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
