// `lumidra-cli flash read`: the Flash-ROM's block into a file.
#include "app/cli/Commands.h"

#include "transfers/Transfers.h"

namespace lumidra::cli {

namespace {

class TFlashRead final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        return host_.CheckOutput(transfers::TransferFile.Output(), Options().Operand(0),
                                 desktop::TOutputFile::TForm::Whole)
                   ? ExitDone
                   : ExitFailed;
    }

    void Start() override {
        host_.Seams().FileAnswer = OperandText();
        desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
        transfers::Read_FlashClick(dialog);
        host_.StartJob();
    }

    std::optional<TProgress> Progress() const override { return OneRequestProgress(transfers::FlashBlockSize); }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeFlashRead(TCommandHost& host) {
    return std::make_unique<TFlashRead>(host);
}

}  // namespace lumidra::cli
