// `lumidra-cli lcd contrast`: the LCD's contrast, 0 to 31.
#include "app/cli/Commands.h"

#include "controls/LcdPanel.h"

namespace lumidra::cli {

namespace {

class TLcdContrast final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    void Start() override {
        controls::ContrastBarChange(std::stoi(Options().Operand(0)), true);
        host_.StartJob();
    }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeLcdContrast(TCommandHost& host) {
    return std::make_unique<TLcdContrast>(host);
}

}  // namespace lumidra::cli
