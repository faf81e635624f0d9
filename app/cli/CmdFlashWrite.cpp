// `lumidra-cli flash write`: a file's first block into the Flash-ROM; with
// --verify it is read back and compared.
#include "app/cli/Commands.h"

#include "app/cli/CliFiles.h"
#include "transfers/Transfers.h"

#include <QCoreApplication>

#include <array>

namespace lumidra::cli {

namespace {

class TFlashWrite final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        if (!host_.CheckInput(Options().Operand(0))) return ExitFailed;
        // One block: standard input is read no further.
        const std::optional<QByteArray> block = ReadInputHead(Options().Operand(0), qint64(block_.size()));
        if (!block) return ExitFailed;
        if (block->size() != qint64(block_.size())) {
            TConsoleSeams::Tell(transfers::ShortSourceText(OperandText()));
            return ExitFailed;
        }
        std::copy(block->begin(), block->end(), block_.begin());
        return ExitDone;
    }

    void Start() override {
        host_.Seams().FileAnswer = OperandText();
        transfers::StartFlashWrite(OperandText(), block_);
        host_.StartJob();
    }

    std::optional<int> Ended() override {
        if (!Options().Has("--verify")) return ExitDone;
        TConsoleSeams& seams = host_.Seams();
        if (!verifying_) {
            // Read the block back, kept in memory; compared when that job ends.
            verifying_ = true;
            seams.Quiet = true;
            seams.FileAnswer = desktop::KeptInMemory;
            desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
            transfers::Read_FlashClick(dialog);
            host_.StartJob();
            return std::nullopt;
        }
        seams.Quiet = Options().Quiet;
        const QByteArray& read = transfers::TransferFile.Output().Kept();
        if (read != QByteArray(reinterpret_cast<const char*>(block_.data()), qsizetype(block_.size()))) {
            TConsoleSeams::Tell(
                QCoreApplication::translate("cli", "--verify: во FLASH не те байты, что первые 64 байта «%1»")
                    .arg(OperandText()));
            return ExitFailed;
        }
        if (!Options().Quiet)
            TConsoleSeams::Tell(QCoreApplication::translate("cli", "--verify: во FLASH то, что записано"));
        return ExitDone;
    }

    std::optional<TProgress> Progress() const override { return OneRequestProgress(transfers::FlashBlockSize); }

private:
    std::array<std::uint8_t, transfers::FlashBlockSize> block_{};
    bool verifying_ = false;
};

}  // namespace

std::unique_ptr<TCliCommand> MakeFlashWrite(TCommandHost& host) {
    return std::make_unique<TFlashWrite>(host);
}

}  // namespace lumidra::cli
