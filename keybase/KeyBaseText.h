// The key base as text: lookup and append of key identifiers, and the bytes
// of the key base file. Free functions without widgets and without Qt, so
// that they build and are tested on every platform the program runs on; the
// memo's text is passed in as UTF-16 with '\n' line breaks, as the editor
// keeps it.
#pragma once

#include <string>
#include <string_view>

namespace lumidra::keybase {

// Characters of a line that form its key identifier; the rest is a comment.
inline constexpr std::size_t KeyIdLength = 16;

// Whether any line of `memoText` starts with `keyId` (first 16 characters,
// compared exactly, case included).
bool KeyBaseContains(std::u16string_view memoText, std::u16string_view keyId);

// The text to put at the end of the memo to add `keyId` as its last line:
// "id\n" when the text is empty or ends with a line break, "\nid" otherwise.
std::u16string KeyBaseAppendText(std::u16string_view memoText, std::u16string_view keyId);

// The memo's text as the file holds it: Windows-1251, CR LF between lines,
// a final CR LF only where the text ends with a line break.
struct TEncodedKeyBase {
    std::string Bytes;
    // Characters Windows-1251 cannot hold; when any is present nothing is
    // encoded, since writing them as substitutes would lose the operator's text.
    std::u16string Unencodable;
    int FirstUnencodableLine = 0;  // 1-based
    bool ok() const { return Unencodable.empty(); }
};
TEncodedKeyBase EncodeKeyBaseFile(std::u16string_view memoText);

// A file's bytes as memo text: Windows-1251; CR, LF and CR LF become line breaks.
std::u16string DecodeKeyBaseFile(std::string_view bytes);

}  // namespace lumidra::keybase
