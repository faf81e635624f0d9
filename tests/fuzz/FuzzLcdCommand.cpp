// The LCD command line is typed free-hand ("ae 2f,0x40"): any text must give
// either nothing or the pairs of its hexadecimal digits, at most 64, with the
// end byte only when the list is shorter.
#include "controls/LcdScreen.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace lumidra::controls;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    // The bytes as UTF-16 characters: anything a line edit can hold.
    std::u16string line(size / 2, u'\0');
    for (std::size_t i = 0; i + 1 < size; i += 2) line[i / 2] = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));

    const std::vector<std::uint8_t> list = CommandLineBytes(line);

    std::string digits;
    for (std::size_t i = 0; i < std::min(line.size(), CommandLineLimit); ++i) {
        if (line[i] < 0x80 && std::isxdigit(line[i])) digits.push_back(static_cast<char>(line[i]));
    }
    const std::size_t pairs = std::min(digits.size() / 2, CommandListSize);
    if (pairs == 0) {
        FUZZ_CHECK(list.empty());
        return 0;
    }
    FUZZ_CHECK(list.size() == (pairs < CommandListSize ? pairs + 1 : CommandListSize));
    for (std::size_t k = 0; k < pairs; ++k) {
        FUZZ_CHECK(list[k] == std::strtoul(digits.substr(2 * k, 2).c_str(), nullptr, 16));
    }
    if (pairs < CommandListSize) FUZZ_CHECK(list.back() == CommandEnd);
    return 0;
}
