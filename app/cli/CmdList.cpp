// `lumidra-cli list`: the boards of the identity, and those seen but not
// usable, with the reason.
#include "app/cli/Commands.h"

#include <QCoreApplication>

namespace lumidra::cli {

namespace {

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20) out += c;
    }
    return out + "\"";
}

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
                    "cli", "%1: cannot be opened; install the udev rule (70-lumidra.rules, see 'man lumidra')")
                    .arg(ArgumentText(path)));
        }
        // Seen but none usable: as good as no board for the script that asked.
        return usable ? ExitDone : ExitNoBoard;
    }
};

}  // namespace

std::string ListLine(const TListedBoard& board, bool json) {
    if (json) {
        return "{\"node\":" + JsonText(board.Path) + ",\"serial\":" + JsonText(board.Serial) +
               ",\"maker\":" + JsonText(board.Maker) + ",\"name\":" + JsonText(board.Name) +
               ",\"version\":" + std::to_string(board.Version) + ",\"usable\":" + (board.Usable ? "true" : "false") +
               "}";
    }
    std::string line = board.Path;
    if (!board.Serial.empty() || board.Usable) {
        line += "  serial " + board.Serial + "  " + board.Maker + "  " + board.Name + "  version " +
                std::to_string(board.Version);
    }
    return board.Usable ? line : line + "  NOT USABLE";
}

std::unique_ptr<TCliCommand> MakeList(TCommandHost& host) {
    return std::make_unique<TList>(host);
}

}  // namespace lumidra::cli
