#include "tools/virtual-board/ModelCommands.h"

#include "tools/virtual-board/BoardHex.h"
#include "tools/virtual-board/BoardScript.h"

#include <array>
#include <span>
#include <vector>

namespace lumidra::vboard {

namespace {

const char* ContentName(boardmodel::TLcdContent c) {
    switch (c) {
        case boardmodel::TLcdContent::Blank: return "blank";
        case boardmodel::TLcdContent::Picture: return "picture";
        case boardmodel::TLcdContent::Text: return "text";
        case boardmodel::TLcdContent::Splash: return "splash";
    }
    return "?";
}

const char* JobStateName(boardmodel::TJobState s) {
    switch (s) {
        case boardmodel::TJobState::Idle: return "idle";
        case boardmodel::TJobState::Requested: return "requested";
        case boardmodel::TJobState::Open: return "open";
    }
    return "?";
}

}  // namespace

TModelCommandResult RunModelCommand(std::string_view line, boardmodel::TBoardModel& model) {
    const auto words = SplitWords(line);
    TModelCommandResult r;
    if (words.empty()) return r;
    const auto verb = words[0];
    const std::size_t args = words.size() - 1;
    r.Known = true;
    auto fail = [&](std::string error) {
        r.Error = std::string(verb) + ": " + std::move(error);
        return r;
    };
    auto number = [&](std::size_t i, std::uint32_t max) -> std::optional<std::uint32_t> {
        if (i > args) return std::nullopt;
        const auto n = ParseNumber(words[i], max);
        return n ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*n)) : std::nullopt;
    };

    if (verb == "key") {
        const auto bytes = args == 1 ? ParseHex(words[1]) : std::nullopt;
        if (!bytes || bytes->size() != 8) return fail("needs 16 hex digits");
        std::array<std::uint8_t, 8> id{};
        std::copy(bytes->begin(), bytes->end(), id.begin());
        model.PresentKey(id);
    } else if (verb == "nokey") {
        if (args != 0) return fail("takes no arguments");
        model.RemoveKey();
    } else if (verb == "keystatus") {
        const auto s = number(1, 0xFF);
        if (!s || args != 1) return fail("needs a status 0 to 255");
        model.SetKeyStatus(static_cast<std::uint8_t>(*s));
    } else if (verb == "channel") {
        const auto channel = number(1, 2);
        const auto value = number(2, 1023);
        if (!channel || *channel == 0 || !value || args != 2) return fail("needs 1 or 2 and a value 0 to 1023");
        model.SetChannel(static_cast<int>(*channel), static_cast<std::uint16_t>(*value));
    } else if (verb == "inputs") {
        const auto bits = number(1, 0x0F);
        if (!bits || args != 1) return fail("needs a bit mask 0 to 15");
        model.SetInputs(static_cast<std::uint8_t>(*bits));
    } else if (verb == "ack-delay") {
        const auto slots = number(1, 1000000);
        if (!slots || args != 1) return fail("needs a number of report slots");
        model.DelayAcks(static_cast<int>(*slots));
    } else if (verb == "ack") {
        if (args != 1 || (words[1] != "withhold" && words[1] != "give")) return fail("needs withhold or give");
        model.WithholdAcks(words[1] == "withhold");
    } else if (verb == "rate") {
        const auto rate = number(1, MaxModelRate);
        if (!rate || *rate == 0 || args != 1) return fail("needs 1 to " + std::to_string(MaxModelRate));
        r.Rate = *rate;
    } else if (verb == "save") {
        if (args != 1) return fail("needs a file name");
        r.SaveTo = std::string(words[1]);
    } else {
        r.Known = false;
    }
    return r;
}

void PlugAgain(boardmodel::TBoardModel& model, TPlugRecord& record) {
    for (const auto& v : model.Violations())
        record.Earlier.push_back("plug " + std::to_string(record.Plugs) + ": " + v);
    ++record.Plugs;
    model.PowerCycle();
}

std::string StateText(const boardmodel::TBoardModel& model, const TPlugRecord& record) {
    const auto& led = model.Led();
    const auto& lcd = model.Lcd();
    std::string t;
    t += "led " + boardmodel::LedText(led) + "\n";
    t += std::string("indicators ") + (led.Indicator1 ? "1" : "0") + " " + (led.Indicator2 ? "1" : "0") + "\n";
    t += std::string("backlight ") + (lcd.Backlight ? "on" : "off") + "\n";
    t += std::string("host ") + (model.HostLeft() ? "left" : "present") + "\n";
    t += std::string("lcd ") + ContentName(lcd.Shows) + "\n";
    t += "contrast " + (lcd.Contrast ? std::to_string(*lcd.Contrast) : std::string("-")) + "\n";
    t += "command " + FormatHex(lcd.LastCommand) + "\n";
    t += "text-mode " + (lcd.TextMode ? std::to_string(*lcd.TextMode) : std::string("-")) + "\n";
    for (const auto& line : boardmodel::LcdTextLines(lcd)) t += "text |" + line + "|\n";
    t += "flash " + FormatHex(model.Flash()) + "\n";
    const std::span<const std::uint8_t> memory(model.Memory());
    for (std::size_t offset = 0; offset < memory.size(); offset += boardmodel::ReportSize) {
        std::string address =
            FormatHex(std::array{static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset & 0xFF)});
        address.erase(2, 1);  // "0F C0" -> "0FC0"
        t += "memory " + address + " " + FormatHex(memory.subspan(offset, boardmodel::ReportSize)) + "\n";
    }
    t += std::string("job ") + JobStateName(model.JobState()) + "\n";
    t += "violations " + std::to_string(model.Violations().size()) + "\n";
    for (const auto& v : model.Violations()) t += "violation " + v + "\n";
    t += "plugs " + std::to_string(record.Plugs) + "\n";
    t += "earlier-violations " + std::to_string(record.Earlier.size()) + "\n";
    for (const auto& v : record.Earlier) t += "earlier-violation " + v + "\n";
    return t;
}

}  // namespace lumidra::vboard
