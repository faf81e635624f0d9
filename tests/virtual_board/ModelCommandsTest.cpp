// The uhid board's model commands and its state file.
#include "tools/virtual-board/ModelCommands.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace lumidra::vboard {
namespace {

struct TCommandCase {
    std::string Name;
    std::string Line;
    std::string Error;  // empty: accepted
    std::function<bool(const boardmodel::TBoardModel&, const TModelCommandResult&)> Holds;
};

void PrintTo(const TCommandCase& c, std::ostream* os) {
    *os << c.Name;
}

const auto None = [](const boardmodel::TBoardModel&, const TModelCommandResult&) { return true; };

const std::vector<TCommandCase> CommandCases = {
    {"Key", "key EFCDAB8967452301", "",
     [](const auto& m, const auto&) {
         return m.Inputs().KeyStatus == 1 && m.Inputs().KeyId[0] == 0xEF && m.Inputs().KeyId[7] == 0x01;
     }},
    {"KeyTooShort", "key EFCD", "key: needs 16 hex digits", None},
    {"NoKey", "nokey", "", [](const auto& m, const auto&) { return m.Inputs().KeyStatus == 0; }},
    {"KeyStatus", "keystatus 0x05", "", [](const auto& m, const auto&) { return m.Inputs().KeyStatus == 5; }},
    {"Channel2", "channel 2 1023", "", [](const auto& m, const auto&) { return m.Inputs().Analog2 == 1023; }},
    {"ChannelOutOfRange", "channel 1 1024", "channel: needs 1 or 2 and a value 0 to 1023", None},
    {"ChannelZero", "channel 0 5", "channel: needs 1 or 2 and a value 0 to 1023", None},
    {"Inputs", "inputs 0x0A", "", [](const auto& m, const auto&) { return m.Inputs().Inputs == 0x0A; }},
    {"InputsTooMany", "inputs 16", "inputs: needs a bit mask 0 to 15", None},
    {"AckDelay", "ack-delay 1", "",
     [](const auto& m, const auto&) {
         boardmodel::TBoardModel copy = m;
         copy.Receive(std::vector<std::uint8_t>{0, 0, 0, 1, 1});
         return copy.NextReport()->at(6) == 0 && copy.NextReport()->at(6) == 1;
     }},
    {"AckWithhold", "ack withhold", "",
     [](const auto& m, const auto&) {
         boardmodel::TBoardModel copy = m;
         copy.Receive(std::vector<std::uint8_t>{0, 0, 0, 1, 1});
         return copy.NextReport()->at(6) == 0 && copy.NextReport()->at(6) == 0;
     }},
    {"AckWhat", "ack maybe", "ack: needs withhold or give", None},
    {"Rate", "rate 250", "", [](const auto&, const auto& r) { return r.Rate == 250u; }},
    {"RateTooHigh", "rate 1001", "rate: needs 1 to 1000", None},
    {"Save", "save /tmp/board.txt", "", [](const auto&, const auto& r) { return r.SaveTo == "/tmp/board.txt"; }},
};

class ModelCommands : public ::testing::TestWithParam<TCommandCase> {};

TEST_P(ModelCommands, ApplyOrExplain) {
    const auto& c = GetParam();
    boardmodel::TBoardModel model;
    const auto result = RunModelCommand(c.Line, model);
    EXPECT_TRUE(result.Known);
    EXPECT_EQ(result.Error, c.Error);
    EXPECT_TRUE(c.Holds(model, result));
}

INSTANTIATE_TEST_SUITE_P(Lines, ModelCommands, ::testing::ValuesIn(CommandCases),
                         [](const auto& test) { return test.param.Name; });

TEST(ModelCommandsOther, ScriptedCommandsAndBlankLinesAreLeftToTheScript) {
    boardmodel::TBoardModel model;
    for (const char* line : {"", "unplug", "send 00 01", "sleep 10", "# key 0011223344556677"})
        EXPECT_FALSE(RunModelCommand(line, model).Known) << line;
}

TEST(ModelStateText, TellsDisplayLcdFlashMemoryAndViolations) {
    // Memory byte a is a mod 251: the last block starts at 4032 mod 251 = 0x10.
    boardmodel::TBoardModel model;
    model.Receive(std::vector<std::uint8_t>{0xCD, 0xAB, 0x84, 1, 0});
    model.Receive(std::vector<std::uint8_t>(64, 0x11));  // nobody asked for it
    const std::string text = StateText(model);
    for (const char* line : {"led ABCD\n", "indicators 1 1\n", "backlight on\n", "lcd blank\n", "contrast -\n",
                             "job idle\n", "violations 1\nviolation DataReport nobody asked for\n",
                             "memory 0FC0 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 "
                             "28 29 2A 2B 2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F "
                             "40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_NE(text.find("flash 00 01 02"), std::string::npos);
    EXPECT_NE(text.find("plugs 1\nearlier-violations 0\n"), std::string::npos) << text;
}

// The model forgets with each power cycle; the tool's record of the run does not.
TEST(ModelStateText, KeepsTheViolationsOfEarlierPlugs) {
    boardmodel::TBoardModel model;
    TPlugRecord record;
    model.Receive(std::vector<std::uint8_t>(64, 0x11));  // plug 1: nobody asked for it
    PlugAgain(model, record);
    PlugAgain(model, record);                                 // plug 2: nothing wrong
    model.Receive(std::vector<std::uint8_t>{0, 0, 0, 9, 0});  // plug 3: unknown command byte
    EXPECT_EQ(model.Violations().size(), 1u);
    const std::string text = StateText(model, record);
    EXPECT_NE(text.find("violations 1\nviolation unknown command byte 9\n"
                        "plugs 3\n"
                        "earlier-violations 1\nearlier-violation plug 1: DataReport nobody asked for\n"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace lumidra::vboard
