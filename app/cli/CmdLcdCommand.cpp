// `lumidra-cli lcd command`: the LCD controller's command bytes, given in hex.
#include "app/cli/Commands.h"

#include "controls/LcdPanel.h"
#include "controls/LcdScreen.h"

#include <QCoreApplication>

namespace lumidra::cli {

namespace {

class TLcdCommand final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        if (!controls::CommandLineBytes(OperandText().toStdU16String()).empty()) return ExitDone;
        TConsoleSeams::Tell(
            QCoreApplication::translate("cli", "lcd command: в «%1» нет ни одной полной пары шестнадцатеричных цифр")
                .arg(OperandText()));
        return ExitUsage;
    }

    void Start() override {
        controls::Button7Click(OperandText());
        host_.StartJob();
    }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeLcdCommand(TCommandHost& host) {
    return std::make_unique<TLcdCommand>(host);
}

}  // namespace lumidra::cli
