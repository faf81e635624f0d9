// `lumidra-cli lcd text`: a text on the LCD, wrapped or not, in either size.
#include "app/cli/Commands.h"

#include "controls/LcdPanel.h"

namespace lumidra::cli {

namespace {

class TLcdText final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        host_.Inputs().LcdText = [text = OperandText()] { return text; };
        host_.Inputs().Wrap = [this] { return !Options().Has("--no-wrap"); };
        return ExitDone;
    }

    void Start() override {
        controls::SendTextClick(Options().Value("--size") == "1.5x" ? controls::TextModeLarge
                                                                    : controls::TextModeNormal);
        host_.StartJob();
    }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeLcdText(TCommandHost& host) {
    return std::make_unique<TLcdText>(host);
}

}  // namespace lumidra::cli
