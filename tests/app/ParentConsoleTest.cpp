// The console a window program prints its help, version or usage error on:
// for each way it can be started (from a console or not, each standard handle
// going somewhere or nowhere), the system calls it makes and where it prints.
#include "app/ParentConsole.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

namespace lumidra::testing {
namespace {

using app::TStdHandle;
using app::TStdStream;

struct TConsoleCase {
    const char* Name;
    bool ParentConsole;
    TStdHandle Out, Err;
    std::string Steps;
    friend void PrintTo(const TConsoleCase& c, std::ostream* os) { *os << c.Name; }
};

// Answers as the case says and notes each step asked for.
struct TFakeConsoleCalls final : app::TConsoleCalls {
    explicit TFakeConsoleCalls(const TConsoleCase& c) : Case(c) {}
    TStdHandle StdHandle(TStdStream stream) override { return stream == TStdStream::Out ? Case.Out : Case.Err; }
    bool AttachParentConsole() override {
        Steps += "attach ";
        return Case.ParentConsole;
    }
    std::FILE* ReopenOnConsole(TStdStream stream) override {
        Steps += stream == TStdStream::Out ? "out " : "err ";
        return reinterpret_cast<std::FILE*>(stream == TStdStream::Out ? &OutOnConsole : &ErrOnConsole);
    }
    const TConsoleCase& Case;
    std::string Steps;
    char OutOnConsole = 0, ErrOnConsole = 0;  // stand-ins for the streams on the console
};

class CommandLineConsole : public ::testing::TestWithParam<TConsoleCase> {};

TEST_P(CommandLineConsole, Steps) {
    TFakeConsoleCalls calls(GetParam());
    const app::TConsoleStreams streams = app::UseParentConsole(calls);
    EXPECT_EQ(calls.Steps, GetParam().Steps);
    const bool outMoved = calls.Steps.find("out") != std::string::npos;
    const bool errMoved = calls.Steps.find("err") != std::string::npos;
    EXPECT_EQ(streams.Out, outMoved ? reinterpret_cast<std::FILE*>(&calls.OutOnConsole) : stdout);
    EXPECT_EQ(streams.Err, errMoved ? reinterpret_cast<std::FILE*>(&calls.ErrOnConsole) : stderr);
}

constexpr TStdHandle None = TStdHandle::None, Character = TStdHandle::Character, File = TStdHandle::File,
                     Pipe = TStdHandle::Pipe, Other = TStdHandle::Other;

INSTANTIATE_TEST_SUITE_P(Starts, CommandLineConsole,
                         ::testing::Values(
                             // Explorer or the Start menu: asked, refused, and no console opened.
                             TConsoleCase{"NoConsoleBehind", false, None, None, "attach "},
                             TConsoleCase{"FromAConsoleWindow", true, None, None, "attach out err "},
                             TConsoleCase{"OutputToAFile", true, File, None, "attach err "},
                             TConsoleCase{"ErrorsToAPipe", true, None, Pipe, "attach out "},
                             TConsoleCase{"BothRedirected", true, File, Pipe, ""},
                             // A console handed down (a Unix terminal under Wine), or NUL.
                             TConsoleCase{"CharacterDevices", true, Character, Character, ""},
                             TConsoleCase{"OpenOfAnUnnamedKind", true, Other, Other, ""}),
                         [](const ::testing::TestParamInfo<TConsoleCase>& test) {
                             return std::string(test.param.Name);
                         });

}  // namespace
}  // namespace lumidra::testing
