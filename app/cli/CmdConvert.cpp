// `lumidra-cli convert`: the window's conversion tables from a picture file,
// no board needed.
#include "app/cli/Commands.h"

#include "app/cli/CliFiles.h"
#include "app/cli/JobExit.h"
#include "desktop/OutputFile.h"

#include "graphics/ImageTransfer.h"
#include "graphics/PictureImport.h"
#include "graphics/TableFiles.h"

#include <QCoreApplication>

namespace lumidra::cli {

using namespace graphics;

int RunConvert(const TCliOptions& options, TConsoleSeams& seams, const TTableTool& tool) {
    seams.Quiet = seams.Quiet || options.Quiet;
    const QString shown = ArgumentText(options.Operands.front());
    const std::unique_ptr<QIODevice> input = OpenInput(options.Operands.front());
    if (!input) return ExitFailed;
    const std::optional<TPicture> picture =
        ImportForLcd(*input, options.Number("--threshold", DefaultImportThreshold), shown);
    if (!picture) return ExitFailed;
    const TTableForm form = options.Value("--format") == "c" ? TTableForm::C : TTableForm::Db;
    const std::string out = options.Value("-o", "-");
    if (out == "-") {
        // The table alone: a splash table's data needs a file beside it.
        const std::optional<TTableLines> lines = tool.Lines(*picture, form);
        if (!lines) {
            TConsoleSeams::Tell(QCoreApplication::translate("graphics", NoStripText));
            return ExitFailed;
        }
        desktop::TOutputFile output;
        if (output.Open(QString::fromLatin1(desktop::StandardOutputName), desktop::TOutputFile::TForm::Whole) &&
            output.Write(TableFileBytes(*lines)) && output.Commit()) {
            return ExitDone;
        }
        if (output.State() == desktop::TOutputState::ClosedPipe) return ExitClosedPipe;
        TConsoleSeams::Tell(FileFault(QStringLiteral("-"), output.Reason()));
        return ExitFailed;
    }
    const QString file = ArgumentText(out);
    int exitCode = ExitFailed;
    const TOutcomeTaker taker([&](const protocol::TJobOutcome& outcome) {
        exitCode = ExitCodeOf(outcome).value_or(ExitFailed);
        if (Told(outcome, seams.Quiet)) TConsoleSeams::Tell(outcome.Text);
    });
    const TTableSave save = tool.Save(*picture, file, form);
    return save.Saved ? exitCode : ExitFailed;
}

}  // namespace lumidra::cli
