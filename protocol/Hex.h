// Hexadecimal text helpers shared by the key display, the attach line, the
// LED display, the LCD command line and the assembler tables.
#pragma once

#include <cstdint>
#include <string>

namespace lumidra::protocol {

// Two upper-case characters, high nibble first: 10 -> "0A".
std::string ByteToHex(std::uint8_t b);

// High byte first: 0x2014 -> "2014".
std::string WordToHex(std::uint16_t w);

// Packs two digit characters (character codes of the single-byte code page)
// into one byte; 'a' to 'f' are the digits 'A' to 'F'. There is deliberately no validation: callers filter their
// input, and the board firmware's own tools rely on this exact arithmetic for
// anything else, e.g. packed decimal for the clock ("23" -> 0x23).
std::uint8_t HexPairToByte(std::uint8_t first, std::uint8_t second);

}  // namespace lumidra::protocol
