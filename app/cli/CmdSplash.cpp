// `lumidra-cli splash`: the board shows its splash screen until the operator
// presses Enter (or input ends), or for the seconds given.
#include "app/cli/Commands.h"

#include "graphics/ImageTransfer.h"

#include <QCoreApplication>

namespace lumidra::cli {

namespace {

class TSplash final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    void Start() override {
        graphics::Zast_OutClick();
        host_.StartJob();
    }

    // The window's box has a button; here the operator's answer is told.
    void Waiting(const protocol::TJobOutcome&) override {
        const std::optional<int> seconds =
            Options().Has("--seconds") ? std::optional<int>(Options().Number("--seconds", 1)) : std::nullopt;
        if (!host_.Seams().Quiet) {
            TConsoleSeams::Tell(seconds ? QCoreApplication::translate("cli", "заставка показана на %1 с").arg(*seconds)
                                        : QCoreApplication::translate("cli", "заставка показана; Enter убирает её"));
        }
        host_.WaitForOperator(seconds);
    }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeSplash(TCommandHost& host) {
    return std::make_unique<TSplash>(host);
}

}  // namespace lumidra::cli
