// What the LCD jobs put into DataReport, worked out without widgets or Qt:
// the controller bytes of the command line and the contrast slider, and the
// text screen of 16-character lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumidra::controls {

// The board's controller reads a command list up to this byte, or all 64
// bytes when the list fills them.
inline constexpr std::uint8_t CommandEnd = 0xE3;
inline constexpr std::size_t CommandListSize = 64;
// Only this much of the command line is read.
inline constexpr std::size_t CommandLineLimit = 200;

// The command line as DataReport bytes from byte 1 on: of its first 200
// characters the hexadecimal digits (a-f taken as A-F; blanks, commas, the x
// of 0x and anything else dropped), paired into at most 64 bytes (a last odd
// digit ignored), then the end byte when fewer than 64. Empty when the line
// holds no complete pair: nothing is to be sent then.
std::vector<std::uint8_t> CommandLineBytes(std::u16string_view line);

// Contrast slider range, and the command that sets level 0..31.
inline constexpr int ContrastMax = 31;
std::vector<std::uint8_t> ContrastBytes(int level);
// Whole percent of the slider's range, truncated: 13 -> 41, 31 -> 100.
int ContrastPercent(int level);

// Characters as the board takes them (the LCD's text line, the LED value),
// one Windows-1251 byte each; a character Windows-1251 has no form for goes
// out as "?" (a surrogate pair is one character).
std::string CodePageBytes(std::u16string_view text);

// The text screen: 8 lines of 16 characters, one byte per character.
inline constexpr std::size_t LcdLineLength = 16;
inline constexpr std::size_t LcdScreenSize = 128;

// The line pass over `text` (one byte per character): a blank that follows a
// full 16-character line is dropped; with `wrap`, a word cut at the end of a
// line is moved to the next one by filling the line with blanks after its
// last blank. The result is padded with blanks to at least 128 characters; a
// longer result is not cut here (only its first 128 go out).
std::string LcdLinePass(std::string text, bool wrap);

// The text screen as the DataReport payloads of the text step, 64 characters
// each: the first 128 characters of the line pass in two, then for the
// normal size (`thirdBlank`) a third of blanks.
inline constexpr std::size_t LcdPayloadSize = 64;
std::vector<std::string> LcdTextPayloads(const std::string& text, bool wrap, bool thirdBlank);

}  // namespace lumidra::controls
