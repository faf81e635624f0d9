// `lumidra-cli flash erase`: the Flash-ROM erased.
#include "app/cli/Commands.h"

#include "transfers/Transfers.h"

namespace lumidra::cli {

namespace {

class TFlashErase final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    void Start() override {
        transfers::Erase_FlashClick();
        host_.StartJob();
    }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeFlashErase(TCommandHost& host) {
    return std::make_unique<TFlashErase>(host);
}

}  // namespace lumidra::cli
