// `lumidra-cli list`: the boards of the identity, and those seen but not
// usable, with the reason.
#include "app/cli/Commands.h"

#include "protocol/Board.h"

#include <QCoreApplication>

#include <cstdio>

namespace lumidra::cli {

namespace {

// The length of the UTF-8 sequence at `at` when it is a whole and shortest
// one of a character (no surrogate, nothing past U+10FFFF); else 0.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0U; };
    const unsigned first = byte(at);
    const std::size_t length = first < 0x80                     ? 1
                               : first >= 0xC2 && first <= 0xDF ? 2
                               : first >= 0xE0 && first <= 0xEF ? 3
                               : first >= 0xF0 && first <= 0xF4 ? 4
                                                                : 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0U) != 0x80U) return 0;
    }
    const unsigned second = byte(at + 1);
    if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second > 0x9F) || (first == 0xF0 && second < 0x90) ||
        (first == 0xF4 && second > 0x8F)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8Length(text, at);
        const auto c = static_cast<unsigned char>(text[at]);
        if (length == 0) {
            out += "\\ufffd";  // not UTF-8: JSON has no way to carry the byte
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out + "\"";
}

namespace {

class TList final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    bool Lists() const override { return true; }

    void Start() override { host_.Finish(Print()); }

private:
    // The exit code.
    int Print() {
        const bool json = Options().Has("--json");
        if (host_.Listed().empty() && host_.Unopenable().empty()) {
            TConsoleSeams::Tell(QCoreApplication::translate(
                "cli",
                "нет платы: нет ничего с кодом производителя C04E, кодом изделия 2014 и серийным номером 01.01"));
            return ExitNoBoard;
        }
        bool usable = false;
        for (const TListedBoard& board : host_.Listed()) {
            if (!host_.Emit(ListLine(board, json))) return host_.FailedExit();
            usable = usable || board.Usable;
            if (board.Usable) continue;
            TConsoleSeams::Tell(
                QCoreApplication::translate("cli",
                                            "%1: этому пользователю нельзя её читать и писать; установите правило "
                                            "udev (70-lumidra.rules, см. «man lumidra») или попросите группу plugdev")
                    .arg(ArgumentText(board.Path)));
        }
        for (const std::string& path : host_.Unopenable()) {
            TListedBoard seen;
            seen.Path = path;
            if (!host_.Emit(ListLine(seen, json))) return host_.FailedExit();
            TConsoleSeams::Tell(
                QCoreApplication::translate(
                    "cli", "%1: не открывается; установите правило udev (70-lumidra.rules, см. «man lumidra»)")
                    .arg(ArgumentText(path)));
        }
        // Seen but none usable: as good as no board for the script that asked.
        return usable ? ExitDone : ExitNoBoard;
    }
};

}  // namespace

std::string ListLine(const TListedBoard& board, bool json) {
    if (json) {
        // "ver" is what the window shows as Ver=, beside the device's release number.
        return "{\"node\":" + JsonString(board.Path) + ",\"serial\":" + JsonString(board.Serial) +
               ",\"maker\":" + JsonString(board.Maker) + ",\"name\":" + JsonString(board.Name) +
               ",\"version\":" + std::to_string(board.Version) + ",\"ver\":" + JsonString(board.Serial) +
               ",\"usable\":" + (board.Usable ? "true" : "false") + "}";
    }
    std::string line = board.Path;
    if (!board.Serial.empty() || board.Usable) {
        // The board as the window's attach line shows it.
        line += "  " + protocol::DeviceIdentityLine(QString::fromStdString(board.Name), protocol::BoardVendorID,
                                                    protocol::BoardProductID, QString::fromStdString(board.Serial),
                                                    QString::fromStdString(board.Maker))
                           .toStdString();
    }
    return board.Usable ? line : line + "  NOT USABLE";
}

std::unique_ptr<TCliCommand> MakeList(TCommandHost& host) {
    return std::make_unique<TList>(host);
}

}  // namespace lumidra::cli
