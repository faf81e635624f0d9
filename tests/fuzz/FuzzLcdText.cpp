// The LCD text line is whatever the operator types or pastes, and word wrap
// inserts and deletes blanks while it walks the text: any text must give at
// least one screen, change nothing but blanks, and only its first 128
// characters may go out, decided by the text's start alone. Any characters
// at all go out one byte each.
#include "controls/LcdScreen.h"
#include "tests/fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace lumidra::controls;

namespace {

std::string WithoutBlanks(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    const bool wrap = (bytes[0] & 1) != 0;
    const bool thirdBlank = (bytes[0] & 2) != 0;
    const std::string text(reinterpret_cast<const char*>(bytes) + 1, size - 1);

    const std::string screen = LcdLinePass(text, wrap);
    FUZZ_CHECK(screen.size() >= LcdScreenSize);
    FUZZ_CHECK(WithoutBlanks(screen) == WithoutBlanks(text));
    // Without wrap only blanks after a full line are dropped: at most one a line.
    if (!wrap) FUZZ_CHECK(screen.size() == LcdScreenSize || screen.size() + text.size() / LcdLineLength >= text.size());

    // The first 128 go out, and nothing else of the text.
    const std::vector<std::string> payloads = LcdTextPayloads(text, wrap, thirdBlank);
    FUZZ_CHECK(payloads.size() == (thirdBlank ? 3u : 2u));
    for (const std::string& payload : payloads) FUZZ_CHECK(payload.size() == LcdPayloadSize);
    FUZZ_CHECK(payloads[0] + payloads[1] == screen.substr(0, LcdScreenSize));
    if (thirdBlank) FUZZ_CHECK(payloads[2] == std::string(LcdPayloadSize, ' '));

    // One screen takes at most 128 characters, 8 dropped blanks and the one
    // after the last line: what follows them cannot change it.
    constexpr std::size_t Reach = LcdScreenSize + LcdScreenSize / LcdLineLength + 1;
    if (text.size() > Reach) {
        FUZZ_CHECK(LcdLinePass(text.substr(0, Reach), wrap).substr(0, LcdScreenSize) ==
                   screen.substr(0, LcdScreenSize));
    }

    // The same bytes as UTF-16 text: one byte a character, a pair one character.
    std::u16string units((size - 1) / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(bytes[1 + 2 * i] | (bytes[2 + 2 * i] << 8));
    const std::string encoded = CodePageBytes(units);
    std::size_t character = 0;
    for (std::size_t i = 0; i < units.size(); ++i, ++character) {
        FUZZ_CHECK(character < encoded.size());
        if (units[i] < 0x80) FUZZ_CHECK(encoded[character] == static_cast<char>(units[i]));
        const bool pair = units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                          units[i + 1] <= 0xDFFF;
        if (pair || (units[i] >= 0xD800 && units[i] <= 0xDFFF)) FUZZ_CHECK(encoded[character] == '?');
        if (pair) ++i;
    }
    FUZZ_CHECK(character == encoded.size());
    return 0;
}
