// A key base file is whatever the operator opens. Any bytes must load, and
// saving what loaded must give the same bytes back, with only the line ends
// made uniform: CR LF, lone CR and lone LF all become CR LF. The other way,
// any memo text either saves and loads back as itself, or is refused whole.
#include "keybase/KeyBaseText.h"
#include "tests/fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace lumidra::keybase;

namespace {

std::string WithCrLfLineEnds(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            out.append("\r\n", 2);
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            out.push_back(bytes[i]);
        }
    }
    return out;
}

// The first bytes of a file as a key identifier: upper-case hex, padded with '0'.
std::u16string KeyFrom(const std::string& file) {
    static const char16_t Digits[] = u"0123456789ABCDEF";
    std::u16string key;
    for (std::size_t i = 0; i < file.size() && key.size() < KeyIdLength; ++i) {
        const auto b = static_cast<unsigned char>(file[i]);
        key += Digits[b >> 4];
        key += Digits[b & 15];
    }
    key.resize(KeyIdLength, u'0');
    return key;
}

void CheckFileRoundTrip(const std::string& file) {
    const std::u16string memo = DecodeKeyBaseFile(file);
    FUZZ_CHECK(memo.find(u'\r') == std::u16string::npos);
    const TEncodedKeyBase saved = EncodeKeyBaseFile(memo);
    FUZZ_CHECK(saved.ok());
    FUZZ_CHECK(saved.Bytes == WithCrLfLineEnds(file));

    // A key appended to what loaded is found by the lookup.
    const std::u16string key = KeyFrom(file);
    FUZZ_CHECK(KeyBaseContains(memo + KeyBaseAppendText(memo, key), key));
}

void CheckTextRoundTrip(const std::u16string& memo) {
    const TEncodedKeyBase saved = EncodeKeyBaseFile(memo);
    if (saved.ok()) {
        // The editor never holds a CR; one that got in anyway loads back as a break.
        std::u16string expected = memo;
        std::replace(expected.begin(), expected.end(), u'\r', u'\n');
        FUZZ_CHECK(DecodeKeyBaseFile(saved.Bytes) == expected);
        return;
    }
    FUZZ_CHECK(saved.Bytes.empty());
    const auto lines = std::count(memo.begin(), memo.end(), u'\n') + 1;
    FUZZ_CHECK(saved.FirstUnencodableLine >= 1 && saved.FirstUnencodableLine <= lines);
    for (char16_t c : saved.Unencodable) FUZZ_CHECK(memo.find(c) != std::u16string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(bytes), size);
    CheckFileRoundTrip(file);

    // The same bytes as UTF-16 memo text: any characters, unpaired surrogates too.
    std::u16string memo(size / 2, u'\0');
    for (std::size_t i = 0; i + 1 < size; i += 2) memo[i / 2] = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    CheckTextRoundTrip(memo);
    return 0;
}
