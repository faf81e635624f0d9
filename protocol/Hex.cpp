#include "protocol/Hex.h"

namespace lumidra::protocol {

namespace {

char NibbleChar(unsigned n) {
    return static_cast<char>(n <= 9 ? 48 + n : 55 + n);
}

// The character code minus '0', less a further 7 above '9', in byte arithmetic;
// 'a' to 'f' count as 'A' to 'F' (pasted or typed lower case means the same
// digits, never other bytes).
std::uint8_t DigitValue(std::uint8_t c) {
    if (c >= 'a' && c <= 'f') c = static_cast<std::uint8_t>(c - 'a' + 'A');
    auto v = static_cast<std::uint8_t>(c - 48);
    if (v > 9) v = static_cast<std::uint8_t>(v - 7);
    return v;
}

}  // namespace

std::string ByteToHex(std::uint8_t b) {
    return {NibbleChar(b >> 4), NibbleChar(b & 0x0F)};
}

std::string WordToHex(std::uint16_t w) {
    return ByteToHex(static_cast<std::uint8_t>(w >> 8)) + ByteToHex(static_cast<std::uint8_t>(w));
}

std::uint8_t HexPairToByte(std::uint8_t first, std::uint8_t second) {
    return static_cast<std::uint8_t>(DigitValue(first) * 16 + DigitValue(second));
}

}  // namespace lumidra::protocol
