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

std::string SplashFault(const TCliOptions& options) {
    const std::string out = options.Value("-o", "-");
    if (out == "-" || SplashDataFileName(ArgumentText(out)) != ArgumentText(out)) return {};
    return QCoreApplication::translate("cli",
                                       "convert splash: -o «%1»: имя оканчивается на «bin», и файл данных заставки "
                                       "заменил бы таблицу; выберите другое имя, например с расширением .txt")
        .arg(ArgumentText(out))
        .toStdString();
}

int RunConvert(const TCliOptions& options, TConsoleSeams& seams, const TTableTool& tool) {
    seams.Quiet = seams.Quiet || options.Quiet;
    const bool splash = &tool == &SplashTool;
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
        if (splash && !seams.Quiet) {
            TConsoleSeams::Tell(QCoreApplication::translate(
                "cli", "convert splash: таблица в стандартный вывод, файл данных заставки не пишется"));
        }
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
    if (!save.Saved) return ExitFailed;
    if (splash && !seams.Quiet) {
        TConsoleSeams::Tell(QCoreApplication::translate("cli", "convert splash: данные заставки записаны в «%1»")
                                .arg(SplashDataFileName(file)));
    }
    return exitCode;
}

}  // namespace lumidra::cli
