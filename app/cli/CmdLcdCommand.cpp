// `lumidra-cli lcd command`: the LCD controller's command bytes, given in hex.
#include "app/cli/Commands.h"

#include "controls/LcdPanel.h"

#include <QRegularExpression>

namespace lumidra::cli {

namespace {

class TLcdCommand final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    void Start() override {
        // The command line has checked the pairs: the window's line gets the
        // digits alone, so no blank counts against the line's length.
        QString digits = OperandText();
        digits.remove(QRegularExpression(QStringLiteral("\\s")));
        controls::Button7Click(digits);
        host_.StartJob();
    }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeLcdCommand(TCommandHost& host) {
    return std::make_unique<TLcdCommand>(host);
}

}  // namespace lumidra::cli
