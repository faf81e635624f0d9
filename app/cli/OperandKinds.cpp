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

namespace {

// Whether `value` is read whole as `kind`.
bool Taken(TKind kind, const std::string& value) {
    const bool blank = std::all_of(value.begin(), value.end(), IsBlank);
    switch (kind) {
        case TKind::Flag: return value.empty();
        case TKind::LcdText: return true;
        case TKind::LedDigits:
            return !value.empty() && value.size() <= 4 && std::all_of(value.begin(), value.end(), IsHexDigit);
        case TKind::LcdBytes: return IsLcdBytes(value);
        case TKind::Count: return InRange(value, 1, 1'000'000'000);
        case TKind::Seconds: return InRange(value, 1, 86'400);
        case TKind::Timeout: return InRange(value, 1, 3600);
        case TKind::Contrast: return InRange(value, 0, 31);
        case TKind::Threshold: return InRange(value, 0, 255);
        case TKind::OnOff: return value == "on" || value == "off";
        case TKind::Size: return value == "1x" || value == "1.5x";
        case TKind::Format: return value == "db" || value == "c";
        case TKind::Until: return ParseUntil(value).has_value();
        case TKind::Lang: return app::IsLanguageOption(value);
        // Read and rewritten, or beside standard output: never "-".
        case TKind::Trace:
        case TKind::KeyBase: return !blank && value != "-";
        case TKind::Device:
        case TKind::Picture:
        case TKind::InputFile:
        case TKind::Product:
        case TKind::Stream:
        case TKind::Expect: return !blank;
    }
    return false;
}

// What `kind` must be, in the run's language.
std::string Wanted(TKind kind) {
    switch (kind) {
        case TKind::Flag: return Tr(LUMIDRA_TEXT("cli", "значение не принимается"));
        case TKind::LcdText: return {};
        case TKind::LedDigits: return Tr(LUMIDRA_TEXT("cli", "от 1 до 4 шестнадцатеричных цифр"));
        case TKind::LcdBytes:
            return Tr(LUMIDRA_TEXT("cli", "от 1 до 64 байт парами шестнадцатеричных цифр, через пробел"));
        case TKind::Count: return Tr(LUMIDRA_TEXT("cli", "целое число от 1 до 1000000000"));
        case TKind::Seconds: return Tr(LUMIDRA_TEXT("cli", "целое число секунд от 1 до 86400"));
        case TKind::Timeout: return Tr(LUMIDRA_TEXT("cli", "целое число секунд от 1 до 3600"));
        case TKind::Contrast: return Tr(LUMIDRA_TEXT("cli", "от 0 до 31"));
        case TKind::Threshold: return Tr(LUMIDRA_TEXT("cli", "от 0 до 255"));
        case TKind::OnOff: return Tr(LUMIDRA_TEXT("cli", "on или off"));
        case TKind::Size: return Tr(LUMIDRA_TEXT("cli", "1x или 1.5x"));
        case TKind::Format: return Tr(LUMIDRA_TEXT("cli", "db или c"));
        case TKind::Until:
            return Tr(LUMIDRA_TEXT("cli", "key, inN=on|off или chN>P / chN<P (N от 1 до 4 или от 1 до 2)"));
        case TKind::Lang: return "ru|en";
        case TKind::Device: return Tr(LUMIDRA_TEXT("cli", "адрес платы, как его показывает list"));
        case TKind::Trace: return Tr(LUMIDRA_TEXT("cli", "файл (стандартный вывод — для команды)"));
        case TKind::KeyBase: return Tr(LUMIDRA_TEXT("cli", "файл базы ключей (его читают, потом переписывают)"));
        case TKind::Picture:
        case TKind::InputFile:
        case TKind::Product:
        case TKind::Stream:
        case TKind::Expect: return Tr(LUMIDRA_TEXT("cli", "имя файла"));
    }
    return {};
}

}  // namespace

std::string OperandFault(TKind kind, const std::string& value) {
    return Taken(kind, value) ? std::string() : Wanted(kind);
}

}  // namespace lumidra::cli
