// The command line: each argument list and what the program does with it.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <ostream>

namespace lumidra::testing {
namespace {

using app::ParseCommandLine;
using app::Usage;

struct TCommandLineCase {
    const char* Name;
    std::vector<std::string> Arguments;
    bool Exit;
    int ExitCode;
    bool AllPanels;
    bool Demo;
    std::string Out;
    std::string Err;
    std::string Lang = {};
    friend void PrintTo(const TCommandLineCase& c, std::ostream* os) { *os << c.Name; }
};

class CommandLineTest : public ::testing::TestWithParam<TCommandLineCase> {};

TEST_P(CommandLineTest, Parses) {
    const TCommandLineCase& c = GetParam();
    const app::TCommandLine line = ParseCommandLine(c.Arguments);
    EXPECT_EQ(line.Exit, c.Exit);
    EXPECT_EQ(line.ExitCode, c.ExitCode);
    EXPECT_EQ(line.Options.AllPanels, c.AllPanels);
    EXPECT_EQ(line.Options.Demo, c.Demo);
    EXPECT_EQ(line.Out, c.Out);
    EXPECT_EQ(line.Err, c.Err);
    EXPECT_EQ(line.Options.Lang, c.Lang);
}

// The texts as written: no translation is installed here.
const std::string Refused = "lumidra: неизвестный параметр '";
const std::string NeedsValue = "lumidra: параметру '";

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        TCommandLineCase{"None", {}, false, 0, false, false, "", ""},
        TCommandLineCase{"AllPanels", {"--all-panels"}, false, 0, true, false, "", ""},
        TCommandLineCase{"DemoImpliesAllPanels", {"--demo"}, false, 0, true, true, "", ""},
        TCommandLineCase{"BothAndRepeated", {"--demo", "--all-panels", "--demo"}, false, 0, true, true, "", ""},
        TCommandLineCase{"Lang", {"--lang", "en", "--demo"}, false, 0, true, true, "", "", "en"},
        TCommandLineCase{"LangUnknown",
                         {"--lang", "de"},
                         true,
                         2,
                         false,
                         false,
                         "",
                         "lumidra: --lang: ru или en, не 'de'\n" + Usage()},
        TCommandLineCase{"LangWithoutValue",
                         {"--lang"},
                         true,
                         2,
                         false,
                         false,
                         "",
                         NeedsValue + "--lang' нужно значение\n" + Usage()},
        TCommandLineCase{"TraceWithoutValue",
                         {"--demo", "--trace"},
                         true,
                         2,
                         false,
                         false,
                         "",
                         NeedsValue + "--trace' нужно значение\n" + Usage()},
        // Standard output is no file to trace into: never a file named "-".
        TCommandLineCase{"TraceToStandardOutput",
                         {"--trace", "-"},
                         true,
                         2,
                         false,
                         false,
                         "",
                         "lumidra: --trace: нужен файл, не '-'\n" + Usage()},
        TCommandLineCase{"Help", {"--help"}, true, 0, false, false, Usage(), ""},
        TCommandLineCase{"HelpAfterOptions", {"--all-panels", "--help", "--bogus"}, true, 0, false, false, Usage(), ""},
        TCommandLineCase{"Version", {"--version"}, true, 0, false, false, "lumidra " LUMIDRA_EXPECTED_VERSION "\n", ""},
        TCommandLineCase{"Unknown", {"--bogus"}, true, 2, false, false, "", Refused + "--bogus'\n" + Usage()},
        TCommandLineCase{"UnknownAfterKnown", {"--demo", "-x"}, true, 2, false, false, "", Refused + "-x'\n" + Usage()},
        TCommandLineCase{
            "SingleDashSpelling", {"-all-panels"}, true, 2, false, false, "", Refused + "-all-panels'\n" + Usage()},
        TCommandLineCase{"OptionWithValue", {"--demo=1"}, true, 2, false, false, "", Refused + "--demo=1'\n" + Usage()},
        TCommandLineCase{
            "Operand", {"keys.txt"}, true, 2, false, false, "", "lumidra: лишний аргумент 'keys.txt'\n" + Usage()}),
    [](const ::testing::TestParamInfo<TCommandLineCase>& test) { return std::string(test.param.Name); });

TEST(CommandLineUsage, NamesEveryOption) {
    const std::string usage = Usage();
    EXPECT_TRUE(usage.starts_with("Использование: lumidra "));
    for (const char* option : {"--all-panels", "--demo", "--help", "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

// The chart opens with --chart and with --demo, and with nothing else.
TEST(CommandLineChart, OpensWithChartOrDemo) {
    EXPECT_TRUE(ParseCommandLine({"--chart"}).Options.Chart);
    EXPECT_FALSE(ParseCommandLine({"--chart"}).Options.AllPanels);
    EXPECT_TRUE(ParseCommandLine({"--demo"}).Options.Chart);
    EXPECT_FALSE(ParseCommandLine({"--all-panels"}).Options.Chart);
    EXPECT_NE(Usage().find("--chart"), std::string::npos);
}

}  // namespace
}  // namespace lumidra::testing
