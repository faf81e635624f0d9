// The Windows-1251 code page through the platform's own converter: glibc's
// iconv on Linux (Cp1251Iconv.cpp), the code-page API on Windows
// (Cp1251Windows.cpp). One character at a time, so that the key base file
// can name exactly the characters it refuses. Plain C++, no Qt.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

namespace lumidra::keybase {

class TCp1251Codec {
public:
    TCp1251Codec();
    ~TCp1251Codec();
    TCp1251Codec(const TCp1251Codec&) = delete;
    TCp1251Codec& operator=(const TCp1251Codec&) = delete;

    // The byte of one character (one UTF-16 unit, or a surrogate pair);
    // nothing when the code page has no byte for exactly that character (no
    // look-alike substitute, no '?').
    std::optional<unsigned char> Encode(std::u16string_view character);
    // The character of a byte from 0x80 up; nothing when the code page
    // assigns none to it. (Every code-page character is a single UTF-16 unit.)
    std::optional<char16_t> Decode(unsigned char byte);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

}  // namespace lumidra::keybase
