// Windows-1251 on Windows: the system's code-page conversions.
#include "keybase/Cp1251.h"

#include <windows.h>

namespace lumidra::keybase {

namespace {

constexpr UINT CodePage1251 = 1251;

}  // namespace

// Nothing to keep between calls.
struct TCp1251Codec::TState {};

TCp1251Codec::TCp1251Codec() = default;

TCp1251Codec::~TCp1251Codec() = default;

std::optional<unsigned char> TCp1251Codec::Encode(std::u16string_view character) {
    // Without WC_NO_BEST_FIT_CHARS the system would write a look-alike (a
    // plain 'e' for 'é'); with it, a character without its own byte becomes
    // the default character and the flag says so.
    char out[8];
    BOOL usedDefault = FALSE;
    const int written =
        WideCharToMultiByte(CodePage1251, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(character.data()),
                            static_cast<int>(character.size()), out, sizeof out, nullptr, &usedDefault);
    if (written != 1 || usedDefault) return std::nullopt;
    return static_cast<unsigned char>(out[0]);
}

std::optional<char16_t> TCp1251Codec::Decode(unsigned char byte) {
    wchar_t out[4];
    const int written =
        MultiByteToWideChar(CodePage1251, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(&byte), 1, out, 4);
    if (written != 1) return std::nullopt;
    return static_cast<char16_t>(out[0]);
}

}  // namespace lumidra::keybase
