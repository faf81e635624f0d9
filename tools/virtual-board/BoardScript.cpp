#include "tools/virtual-board/BoardScript.h"

#include "tools/virtual-board/BoardHex.h"

#include <charconv>
#include <limits>

namespace lumidra::vboard {

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

namespace {

constexpr std::uint64_t MaxPacePerSecond = 1000000;

// The report of a send, burst, stream or pace: the hex words from `first` on.
std::optional<TReport> ReportFrom(const std::vector<std::string_view>& words, std::size_t first, std::string& error) {
    std::string joined;
    for (std::size_t i = first; i < words.size(); ++i) {
        joined += words[i];
        joined += ' ';
    }
    auto bytes = ParseHex(joined);
    if (!bytes) {
        error = "bad hex bytes";
        return std::nullopt;
    }
    auto report = boardmodel::MakeInputReport(*bytes);
    if (!report) error = "report longer than 64 bytes (" + std::to_string(bytes->size()) + ")";
    return report;
}

TParsedLine Fail(std::string error) {
    return {std::nullopt, std::move(error)};
}

TParsedLine ParseStatus(const std::vector<std::string_view>& words) {
    boardmodel::TBoardStatus status;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const auto eq = words[i].find('=');
        if (eq == std::string_view::npos) return Fail("status field without '=': " + std::string(words[i]));
        const auto name = words[i].substr(0, eq);
        const auto value = words[i].substr(eq + 1);
        if (name == "id") {
            auto bytes = ParseHex(value);
            if (!bytes || bytes->size() != status.KeyId.size()) return Fail("id needs 16 hex digits");
            std::copy(bytes->begin(), bytes->end(), status.KeyId.begin());
            continue;
        }
        const bool wide = name == "a1" || name == "a2";
        auto number = ParseNumber(value, wide ? 0xFFFF : 0xFF);
        if (!number) return Fail("bad value for " + std::string(name) + ": " + std::string(value));
        if (name == "a1")
            status.Analog1 = static_cast<std::uint16_t>(*number);
        else if (name == "a2")
            status.Analog2 = static_cast<std::uint16_t>(*number);
        else if (name == "in")
            status.Inputs = static_cast<std::uint8_t>(*number);
        else if (name == "key")
            status.KeyStatus = static_cast<std::uint8_t>(*number);
        else if (name == "ack")
            status.JobAck = static_cast<std::uint8_t>(*number);
        else
            return Fail("unknown status field " + std::string(name));
    }
    return {TSendCommand{boardmodel::MakeStatusReport(status)}, {}};
}

}  // namespace

TParsedLine ParseCommandLine(std::string_view line) {
    const auto words = SplitWords(line);
    if (words.empty() || words[0].front() == '#') return {};
    const auto verb = words[0];
    const std::size_t args = words.size() - 1;
    std::string error;

    auto noArguments = [&](TBoardCommand command) -> TParsedLine {
        if (args != 0) return Fail(std::string(verb) + " takes no arguments");
        return {std::move(command), {}};
    };

    if (verb == "send") {
        auto report = ReportFrom(words, 1, error);
        if (!report) return Fail(error);
        return {TSendCommand{*report}, {}};
    }
    if (verb == "status") return ParseStatus(words);
    if (verb == "sleep") {
        if (args != 1) return Fail("sleep needs one duration in ms");
        auto ms = ParseNumber(words[1], 24 * 3600 * 1000ULL);
        if (!ms) return Fail("bad duration: " + std::string(words[1]));
        return {TSleepCommand{std::chrono::milliseconds(*ms)}, {}};
    }
    if (verb == "burst") {
        if (args < 1) return Fail("burst needs a count");
        auto count = ParseNumber(words[1], std::numeric_limits<std::uint32_t>::max());
        if (!count) return Fail("bad count: " + std::string(words[1]));
        auto report = ReportFrom(words, 2, error);
        if (!report) return Fail(error);
        return {TBurstCommand{static_cast<std::uint32_t>(*count), *report}, {}};
    }
    if (verb == "stream") {
        auto report = ReportFrom(words, 1, error);
        if (!report) return Fail(error);
        return {TStreamCommand{*report}, {}};
    }
    if (verb == "pace") {
        if (args < 1) return Fail("pace needs a rate in reports a second");
        auto rate = ParseNumber(words[1], MaxPacePerSecond);
        if (!rate || *rate == 0) return Fail("bad rate: " + std::string(words[1]));
        auto report = ReportFrom(words, 2, error);
        if (!report) return Fail(error);
        return {TPaceCommand{static_cast<std::uint32_t>(*rate), *report}, {}};
    }
    if (verb == "wait-output") {
        if (args < 1 || args > 2) return Fail("wait-output needs a count and an optional limit in ms");
        auto count = ParseNumber(words[1], std::numeric_limits<std::uint64_t>::max());
        if (!count) return Fail("bad count: " + std::string(words[1]));
        TWaitOutputCommand wait{*count};
        if (args == 2) {
            auto ms = ParseNumber(words[2], 24 * 3600 * 1000ULL);
            if (!ms) return Fail("bad limit: " + std::string(words[2]));
            wait.Timeout = std::chrono::milliseconds(*ms);
        }
        return {wait, {}};
    }
    if (verb == "stop") return noArguments(TStopCommand{});
    if (verb == "unplug") return noArguments(TUnplugCommand{});
    if (verb == "plug") return noArguments(TPlugCommand{});
    if (verb == "quit") return noArguments(TQuitCommand{});
    return Fail("unknown command " + std::string(verb));
}

TParsedScript ParseScript(std::string_view text) {
    TParsedScript script;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        const auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        auto parsed = ParseCommandLine(line);
        if (!parsed.Error.empty())
            script.Errors.push_back("line " + std::to_string(number) + ": " + parsed.Error);
        else if (parsed.Command)
            script.Commands.push_back(std::move(*parsed.Command));
    }
    return script;
}

}  // namespace lumidra::vboard
