#include "app/cli/OperandKinds.h"

#include "app/cli/StatusText.h"
#include "app/session/Language.h"
#include "controls/LcdScreen.h"
#include "desktop/UserText.h"

#include <QCoreApplication>

#include <algorithm>
#include <charconv>

namespace lumidra::cli {

namespace {

std::string Tr(const char* text) {
    return QCoreApplication::translate("cli", text).toStdString();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A whole number written in decimal digits alone (no sign, no blank) within
// [low, high].
bool InRange(const std::string& text, int low, int high) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// The LCD's command bytes: runs of hexadecimal digit pairs parted by blanks.
bool IsLcdBytes(const std::string& text) {
    std::size_t digits = 0;
    std::size_t run = 0;  // digits since the last blank
    for (const char c : text) {
        if (IsBlank(c)) {
            if (run % 2 != 0) return false;
            run = 0;
        } else if (IsHexDigit(c)) {
            ++run, ++digits;
        } else {
            return false;
        }
    }
    return run % 2 == 0 && digits >= 2 && digits <= 2 * controls::CommandListSize;
}

}  // namespace

bool IsFileKind(TKind kind) {
    switch (kind) {
        case TKind::Picture:
        case TKind::InputFile:
        case TKind::Product:
        case TKind::Stream:
        case TKind::Expect:
        case TKind::KeyBase:
        case TKind::Trace: return true;
        default: return false;
    }
}

std::string OperandFault(TKind kind, const std::string& value) {
    const bool blank = std::all_of(value.begin(), value.end(), IsBlank);
    switch (kind) {
        case TKind::Flag: return value.empty() ? std::string() : Tr(LUMIDRA_TEXT("cli", "значение не принимается"));
        case TKind::LcdText: return {};
        case TKind::LedDigits: {
            const bool hex = !value.empty() && value.size() <= 4 && std::all_of(value.begin(), value.end(), IsHexDigit);
            return hex ? std::string() : Tr(LUMIDRA_TEXT("cli", "от 1 до 4 шестнадцатеричных цифр"));
        }
        case TKind::LcdBytes:
            return IsLcdBytes(value)
                       ? std::string()
                       : Tr(LUMIDRA_TEXT("cli", "от 1 до 64 байт парами шестнадцатеричных цифр, через пробел"));
        case TKind::Count:
            return InRange(value, 1, 1'000'000'000) ? std::string()
                                                    : Tr(LUMIDRA_TEXT("cli", "целое число от 1 до 1000000000"));
        case TKind::Seconds:
            return InRange(value, 1, 86'400) ? std::string()
                                             : Tr(LUMIDRA_TEXT("cli", "целое число секунд от 1 до 86400"));
        case TKind::Timeout:
            return InRange(value, 1, 3600) ? std::string() : Tr(LUMIDRA_TEXT("cli", "целое число секунд от 1 до 3600"));
        case TKind::OnOff:
            return value == "on" || value == "off" ? std::string() : Tr(LUMIDRA_TEXT("cli", "on или off"));
        case TKind::Contrast: return InRange(value, 0, 31) ? std::string() : Tr(LUMIDRA_TEXT("cli", "от 0 до 31"));
        case TKind::Threshold: return InRange(value, 0, 255) ? std::string() : Tr(LUMIDRA_TEXT("cli", "от 0 до 255"));
        case TKind::Size:
            return value == "1x" || value == "1.5x" ? std::string() : Tr(LUMIDRA_TEXT("cli", "1x или 1.5x"));
        case TKind::Format: return value == "db" || value == "c" ? std::string() : Tr(LUMIDRA_TEXT("cli", "db или c"));
        case TKind::Until:
            return ParseUntil(value)
                       ? std::string()
                       : Tr(LUMIDRA_TEXT("cli", "key, inN=on|off или chN>P / chN<P (N от 1 до 4 или от 1 до 2)"));
        case TKind::Lang: return app::IsLanguageOption(value) ? std::string() : std::string("ru|en");
        case TKind::Device:
            return blank ? Tr(LUMIDRA_TEXT("cli", "адрес платы, как его показывает list")) : std::string();
        case TKind::Trace:
            if (value == "-") return Tr(LUMIDRA_TEXT("cli", "файл (стандартный вывод — для команды)"));
            [[fallthrough]];
        case TKind::KeyBase:
            if (value == "-") return Tr(LUMIDRA_TEXT("cli", "файл базы ключей (его читают, потом переписывают)"));
            [[fallthrough]];
        case TKind::Picture:
        case TKind::InputFile:
        case TKind::Product:
        case TKind::Stream:
        case TKind::Expect: return blank ? Tr(LUMIDRA_TEXT("cli", "имя файла")) : std::string();
    }
    return {};
}

}  // namespace lumidra::cli
