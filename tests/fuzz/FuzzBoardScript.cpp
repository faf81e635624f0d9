// Scripts and control-pipe lines of the virtual board are typed by people:
// any text must parse without undefined behaviour, each line on its own, and
// every command parsed must read back the same from its plain written form.
#include "tools/virtual-board/BoardHex.h"
#include "tools/virtual-board/BoardScript.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

using namespace lumidra::vboard;

namespace {

// The command as a script line that says exactly what it does.
std::string Written(const TBoardCommand& command) {
    return std::visit(
        [](const auto& c) -> std::string {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, TSendCommand>)
                return "send " + FormatHex(c.Report);
            else if constexpr (std::is_same_v<T, TSleepCommand>)
                return "sleep " + std::to_string(c.Duration.count());
            else if constexpr (std::is_same_v<T, TBurstCommand>)
                return "burst " + std::to_string(c.Count) + " " + FormatHex(c.Report);
            else if constexpr (std::is_same_v<T, TStreamCommand>)
                return "stream " + FormatHex(c.Report);
            else if constexpr (std::is_same_v<T, TPaceCommand>)
                return "pace " + std::to_string(c.PerSecond) + " " + FormatHex(c.Report);
            else if constexpr (std::is_same_v<T, TStopCommand>)
                return "stop";
            else if constexpr (std::is_same_v<T, TWaitOutputCommand>)
                return "wait-output " + std::to_string(c.Count) + " " + std::to_string(c.Timeout.count());
            else if constexpr (std::is_same_v<T, TUnplugCommand>)
                return "unplug";
            else if constexpr (std::is_same_v<T, TPlugCommand>)
                return "plug";
            else if constexpr (std::is_same_v<T, TQuitCommand>)
                return "quit";
            else
                static_assert(sizeof(T) == 0, "a new command needs its written form here");
        },
        command);
}

bool Same(const TBoardCommand& a, const TBoardCommand& b) {
    if (a.index() != b.index()) return false;
    return std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            const auto& y = std::get<T>(b);
            if constexpr (std::is_same_v<T, TSendCommand> || std::is_same_v<T, TStreamCommand>)
                return x.Report == y.Report;
            else if constexpr (std::is_same_v<T, TSleepCommand>)
                return x.Duration == y.Duration;
            else if constexpr (std::is_same_v<T, TBurstCommand>)
                return x.Count == y.Count && x.Report == y.Report;
            else if constexpr (std::is_same_v<T, TPaceCommand>)
                return x.PerSecond == y.PerSecond && x.Report == y.Report;
            else if constexpr (std::is_same_v<T, TWaitOutputCommand>)
                return x.Count == y.Count && x.Timeout == y.Timeout;
            else
                return true;
        },
        a);
}

void CheckLine(std::string_view line) {
    const auto parsed = ParseCommandLine(line);
    // A command or an error or nothing, never both.
    FUZZ_CHECK(!(parsed.Command && !parsed.Error.empty()));
    if (!parsed.Command) return;
    FUZZ_CHECK(!line.empty());
    const std::string written = Written(*parsed.Command);
    const auto again = ParseCommandLine(written);
    FUZZ_CHECK(again.Error.empty() && again.Command);
    FUZZ_CHECK(Same(*again.Command, *parsed.Command));
    if (const auto* sleep = std::get_if<TSleepCommand>(&*parsed.Command))
        FUZZ_CHECK(sleep->Duration.count() >= 0 && sleep->Duration.count() <= 24 * 3600 * 1000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const auto script = ParseScript(text);

    // The script is its lines, one by one, in order; each error names its line.
    std::size_t command = 0, error = 0, number = 0;
    std::string_view rest = text;
    while (!rest.empty()) {
        ++number;
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        CheckLine(line);
        const auto parsed = ParseCommandLine(line);
        if (!parsed.Error.empty()) {
            FUZZ_CHECK(error < script.Errors.size());
            FUZZ_CHECK(script.Errors[error++] == "line " + std::to_string(number) + ": " + parsed.Error);
        } else if (parsed.Command) {
            FUZZ_CHECK(command < script.Commands.size());
            FUZZ_CHECK(Same(script.Commands[command++], *parsed.Command));
        }
    }
    FUZZ_CHECK(command == script.Commands.size() && error == script.Errors.size());

    // Hex text: what parses, formats and parses back the same.
    if (const auto hex = ParseHex(text)) {
        const auto again = ParseHex(FormatHex(*hex));
        FUZZ_CHECK(again && *again == *hex);
        FUZZ_CHECK(hex->size() <= size / 2);
    }
    return 0;
}
