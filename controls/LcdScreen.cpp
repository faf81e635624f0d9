#include "controls/LcdScreen.h"

#include "keybase/Cp1251.h"
#include "protocol/Hex.h"

#include <algorithm>
#include <optional>

namespace lumidra::controls {

namespace {

constexpr std::uint8_t ContrastCommand = 0xAD;
constexpr std::uint8_t ContrastLevelBase = 0x80;

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

}  // namespace

std::vector<std::uint8_t> CommandLineBytes(std::u16string_view line) {
    std::string digits;
    for (char16_t c : line.substr(0, CommandLineLimit)) {
        if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - u'a' + u'A');
        if (IsHexDigit(c)) digits.push_back(static_cast<char>(c));
    }
    const std::size_t count = std::min(digits.size() / 2, CommandListSize);
    std::vector<std::uint8_t> bytes;
    if (count == 0) return bytes;
    bytes.reserve(count + 1);
    for (std::size_t k = 0; k < count; ++k) {
        bytes.push_back(protocol::HexPairToByte(static_cast<std::uint8_t>(digits[2 * k]),
                                                static_cast<std::uint8_t>(digits[2 * k + 1])));
    }
    if (count < CommandListSize) bytes.push_back(CommandEnd);
    return bytes;
}

std::vector<std::uint8_t> ContrastBytes(int level) {
    return {ContrastCommand, static_cast<std::uint8_t>(ContrastLevelBase + level), CommandEnd};
}

int ContrastPercent(int level) {
    return level * 100 / ContrastMax;
}

std::string CodePageBytes(std::u16string_view text) {
    keybase::TCp1251Codec codec;
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        // No character outside the basic plane is in the code page, nor is a
        // lone half of a pair.
        const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
        }
        const std::optional<unsigned char> byte = surrogate ? std::nullopt : codec.Encode(text.substr(i, 1));
        bytes.push_back(static_cast<char>(byte.value_or('?')));
    }
    return bytes;
}

// Positions count from 1 as the lines do: position i ends a line when it is
// a multiple of 16, and `lastBlank` is the column (1..15) of the current
// line's last blank, 0 for none. A blank in column 16 leaves 0: the line
// breaks there anyway. The text grows and shrinks while it is walked, and
// may grow far past 256 characters, so positions are sizes, not bytes.
std::string LcdLinePass(std::string text, bool wrap) {
    std::size_t lastBlank = 0;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (text[i - 1] == ' ') lastBlank = i % LcdLineLength;
        if (i % LcdLineLength != 0) continue;
        // A blank at the start of the next line would only indent it.
        if (i < text.size() && text[i] == ' ') {
            text.erase(i, 1);
            lastBlank = 0;
        }
        if (lastBlank == 0 || !wrap) continue;
        // Fill the line after its last blank, so the word cut at the line's
        // end begins the next line; the walk goes on at that word.
        text.insert(i - LcdLineLength + lastBlank, LcdLineLength - lastBlank, ' ');
        lastBlank = 0;
    }
    if (text.size() < LcdScreenSize) text.resize(LcdScreenSize, ' ');
    return text;
}

std::vector<std::string> LcdTextPayloads(const std::string& text, bool wrap, bool thirdBlank) {
    // However far wrapping has pushed the text, only one screen goes out.
    const std::string screen = LcdLinePass(text, wrap);
    std::vector<std::string> payloads{screen.substr(0, LcdPayloadSize), screen.substr(LcdPayloadSize, LcdPayloadSize)};
    if (thirdBlank) payloads.emplace_back(LcdPayloadSize, ' ');
    return payloads;
}

}  // namespace lumidra::controls
