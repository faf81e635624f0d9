// `lumidra-cli dump`: the board's memory dump into a file; with --expect it
// is compared with a file.
#include "app/cli/Commands.h"

#include "keybase/KeyBaseFile.h"
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
        if (Options().Has("--expect") && !Expected()) {
            TConsoleSeams::Tell(
                QCoreApplication::translate("cli", "--expect: файл «%1» не прочитан").arg(ExpectName()));
            return ExitFailed;
        }
        return ExitDone;
    }

    void Start() override {
        host_.Seams().FileAnswer = OperandText();
        desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
        transfers::ReadDUMP1Click(dialog);
        host_.StartJob();
    }

    std::optional<int> Ended() override {
        if (!Options().Has("--expect")) return ExitDone;
        const std::optional<QByteArray> expected = Expected();
        if (expected && *expected == transfers::TransferFile.Output().Kept()) return ExitDone;
        TConsoleSeams::Tell(QCoreApplication::translate("cli", "--expect: дамп отличается от «%1»").arg(ExpectName()));
        return ExitFailed;
    }

    std::optional<TProgress> Progress() const override { return TProgress{protocol::DumpOffset, transfers::DumpSize}; }

private:
    QString ExpectName() const { return ArgumentText(Options().Value("--expect")); }
    // Read before the board is touched and again at the end: a file that
    // changed meanwhile is compared as it is then.
    std::optional<QByteArray> Expected() const { return keybase::ReadWholeFile(ExpectName()); }
};

}  // namespace

std::unique_ptr<TCliCommand> MakeDump(TCommandHost& host) {
    return std::make_unique<TDump>(host);
}

}  // namespace lumidra::cli
