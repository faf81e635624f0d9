// `lumidra-cli led`: the LED display shows hex digits, the time or the date.
#include "app/cli/Commands.h"

#include "controls/LedDisplay.h"

#include <QCoreApplication>

namespace lumidra::cli {

namespace {

class TLed final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    void Start() override {
        const controls::TClockTexts clock = controls::ClockTexts(host_.Seams().Now());
        if (Options().Has("--time")) {
            controls::Button2Click(clock.Time.toStdString());
        } else if (Options().Has("--date")) {
            controls::Button3Click(clock.Date.toStdString());
        } else {
            controls::Button1Click(Options().Operand(0));
        }
        host_.Finish(ExitDone);
    }
};

}  // namespace

std::string LedFault(const TCliOptions& options) {
    if (int(options.Operands.size()) + int(options.Has("--time")) + int(options.Has("--date")) == 1) return {};
    return QCoreApplication::translate("cli", "led: укажите одно из HEX, --time или --date").toStdString();
}

std::unique_ptr<TCliCommand> MakeLed(TCommandHost& host) {
    return std::make_unique<TLed>(host);
}

}  // namespace lumidra::cli
