#include "keybase/KeyBaseText.h"

#include "keybase/Cp1251.h"

namespace lumidra::keybase {

namespace {

// The one byte of Windows-1251 without a character; Windows reads it as the
// C1 control of the same value, and so does this program, so that a file
// holding it loads and saves back unchanged.
constexpr unsigned char UnassignedByte = 0x98;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

bool KeyBaseContains(std::u16string_view memoText, std::u16string_view keyId) {
    std::size_t start = 0;
    while (start < memoText.size()) {
        std::size_t end = memoText.find(u'\n', start);
        if (end == std::u16string_view::npos) end = memoText.size();
        const std::u16string_view line = memoText.substr(start, end - start);
        if (line.substr(0, KeyIdLength) == keyId) return true;
        start = end + 1;
    }
    // An empty memo, or one whose only line is empty, holds no key; an empty
    // identifier is never looked up by the program.
    return false;
}

std::u16string KeyBaseAppendText(std::u16string_view memoText, std::u16string_view keyId) {
    if (memoText.empty() || memoText.back() == u'\n') return std::u16string(keyId) + u'\n';
    return u'\n' + std::u16string(keyId);
}

TEncodedKeyBase EncodeKeyBaseFile(std::u16string_view memoText) {
    TEncodedKeyBase result;
    TCp1251Codec codec;
    int line = 1;
    for (std::size_t i = 0; i < memoText.size();) {
        // One character: a UTF-16 unit, or a surrogate pair.
        const std::size_t length =
            (IsHighSurrogate(memoText[i]) && i + 1 < memoText.size() && IsLowSurrogate(memoText[i + 1])) ? 2 : 1;
        const std::u16string_view ch = memoText.substr(i, length);
        i += length;
        if (ch == u"\n") {
            result.Bytes.append("\r\n", 2);
            ++line;
            continue;
        }
        if (ch[0] < 0x80 || ch[0] == UnassignedByte) {
            result.Bytes.push_back(static_cast<char>(ch[0]));
            continue;
        }
        // An unpaired surrogate is no character at all, and a converter might
        // quietly turn it into '?': refuse it like any other.
        const bool unpaired = ch.size() == 1 && (IsHighSurrogate(ch[0]) || IsLowSurrogate(ch[0]));
        const std::optional<unsigned char> byte = unpaired ? std::nullopt : codec.Encode(ch);
        if (byte) {
            result.Bytes.push_back(static_cast<char>(*byte));
            continue;
        }
        if (result.Unencodable.empty()) result.FirstUnencodableLine = line;
        if (result.Unencodable.find(ch) == std::u16string::npos) result.Unencodable += ch;
    }
    if (!result.ok()) result.Bytes.clear();
    return result;
}

std::u16string DecodeKeyBaseFile(std::string_view bytes) {
    TCp1251Codec codec;
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r') {
            text.push_back(u'\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else if (c < 0x80) {
            text.push_back(c);
        } else {
            // Only the unassigned byte has no character: keep it as its C1 control.
            text.push_back(codec.Decode(c).value_or(c));
        }
    }
    return text;
}

}  // namespace lumidra::keybase
