// `lumidra-cli dump`: the board's memory dump into a file; with --expect it
// is compared with a file.
#include "app/cli/Commands.h"

#include "app/cli/CliFiles.h"
#include "protocol/ProtocolState.h"
#include "transfers/Transfers.h"

#include <QCoreApplication>

namespace lumidra::cli {

namespace {

class TDump final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        if (!host_.CheckOutput(transfers::TransferFile.Output(), Options().Operand(0),
                               desktop::TOutputFile::TForm::Whole)) {
            return ExitFailed;
        }
        if (!Options().Has("--expect")) return ExitDone;
        // Read before the board is touched: the dump is compared with what the
        // reference held then, also when it is the dump's own file. A byte
        // more than a dump tells a longer file from an equal one.
        QString reason;
        expected_ = ReadInputHead(Options().Value("--expect"), transfers::DumpSize + 1, reason);
        if (expected_) return ExitDone;
        TConsoleSeams::Tell(QStringLiteral("--expect: ") + FileFault(ExpectName(), reason));
        return ExitFailed;
    }

    void Start() override {
        host_.Seams().FileAnswer = OperandText();
        desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
        transfers::ReadDUMP1Click(dialog);
        host_.StartJob();
    }

    std::optional<int> Ended() override {
        if (!Options().Has("--expect")) return ExitDone;
        if (*expected_ == transfers::TransferFile.Output().Kept()) return ExitDone;
        TConsoleSeams::Tell(QCoreApplication::translate("cli", "--expect: дамп отличается от «%1»").arg(ExpectName()));
        return ExitFailed;
    }

    std::optional<TProgress> Progress() const override { return TProgress{protocol::DumpOffset, transfers::DumpSize}; }

private:
    QString ExpectName() const { return ArgumentText(Options().Value("--expect")); }

    std::optional<QByteArray> expected_;
};

}  // namespace

std::unique_ptr<TCliCommand> MakeDump(TCommandHost& host) {
    return std::make_unique<TDump>(host);
}

}  // namespace lumidra::cli
