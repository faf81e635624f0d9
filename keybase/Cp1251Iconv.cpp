// Windows-1251 on Linux: glibc's iconv.
#include "keybase/Cp1251.h"

#include <iconv.h>

#include <bit>
#include <stdexcept>

namespace lumidra::keybase {

namespace {

// The UTF-16 of this machine's byte order, the way char16_t lies in memory.
constexpr const char* NativeUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        // iconv's own failure value is the address -1.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts one character; the number of bytes written to `out`, or 0 when
    // the input has no form in the target.
    std::size_t Convert(const void* in, std::size_t inBytes, void* out, std::size_t outBytes) {
        char* src = static_cast<char*>(const_cast<void*>(in));
        char* dst = static_cast<char*>(out);
        std::size_t dstLeft = outBytes;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &inBytes, &dst, &dstLeft) == static_cast<std::size_t>(-1) || inBytes != 0) return 0;
        return outBytes - dstLeft;
    }

private:
    iconv_t cd_;
};

}  // namespace

struct TCp1251Codec::TState {
    Iconv toCp1251{"WINDOWS-1251", NativeUtf16};
    Iconv fromCp1251{NativeUtf16, "WINDOWS-1251"};
};

TCp1251Codec::TCp1251Codec() : state_(std::make_unique<TState>()) {}

TCp1251Codec::~TCp1251Codec() = default;

std::optional<unsigned char> TCp1251Codec::Encode(std::u16string_view character) {
    unsigned char out[8];
    if (state_->toCp1251.Convert(character.data(), character.size() * sizeof(char16_t), out, sizeof out) != 1)
        return std::nullopt;
    return out[0];
}

std::optional<char16_t> TCp1251Codec::Decode(unsigned char byte) {
    char16_t out[4];
    if (state_->fromCp1251.Convert(&byte, 1, out, sizeof out) != sizeof(char16_t)) return std::nullopt;
    return out[0];
}

}  // namespace lumidra::keybase
