// `lumidra-cli lcd backlight`: the LCD's light on or off.
#include "app/cli/Commands.h"

#include "controls/LcdPanel.h"

namespace lumidra::cli {

namespace {

class TLcdBacklight final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    void Start() override {
        controls::CheckLightClick(Options().Operand(0) == "on");
        host_.Finish(ExitDone);
    }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeLcdBacklight(TCommandHost& host) {
    return std::make_unique<TLcdBacklight>(host);
}

}  // namespace lumidra::cli
