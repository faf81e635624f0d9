#include "app/cli/Convert.h"

#include "app/cli/CliFiles.h"

#include "graphics/ImageTransfer.h"
#include "graphics/PictureImport.h"
#include "graphics/TableFiles.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace lumidra::cli {

using namespace graphics;

namespace {

// The table alone, for standard output (a splash table's data needs a file
// beside it, so only its table goes there).
std::optional<TTableLines> Table(const std::string& kind, const TPicture& picture, TTableForm form) {
    std::optional<TTableLines> lines;
    if (kind == "strip") lines = StripTable(picture);
    if (kind == "font") lines = FontTable(picture);
    if (kind == "splash") lines = SplashTable(picture).Lines;
    if (lines) lines = InForm(*lines, form, kind);
    return lines;
}

}  // namespace

int RunConvert(const TCliOptions& options, TConsoleSeams& seams) {
    const std::string kind = options.Command.substr(std::string("convert ").size());
    QTemporaryDir scratch;
    const QString shown = QString::fromLocal8Bit(options.Operands.front().c_str());
    const std::optional<TPicture> picture = ImportForLcd(InputFileName(options.Operands.front(), scratch),
                                                         options.Number("--threshold", DefaultImportThreshold), shown);
    if (!picture) return ExitFailed;
    const TTableForm form = options.Value("--format") == "c" ? TTableForm::C : TTableForm::Db;
    const std::string out = options.Value("-o", "-");
    if (out == "-") {
        const std::optional<TTableLines> lines = Table(kind, *picture, form);
        if (!lines) {
            TConsoleSeams::Tell(QCoreApplication::translate("graphics", NoStripText));
            return ExitFailed;
        }
        WriteStdout(TableFileBytes(*lines));
        return ExitDone;
    }
    const QString file = QString::fromLocal8Bit(out.c_str());
    seams.DoneText = QCoreApplication::translate("graphics", kind == "strip"  ? StripSavedText
                                                             : kind == "font" ? FontSavedText
                                                                              : SplashSavedText);
    const TTableSave save = kind == "strip"  ? SaveStripTable(*picture, file, form)
                            : kind == "font" ? SaveFontTable(*picture, file, form)
                                             : SaveSplashTable(*picture, file, form);
    return save.Saved && !seams.Failed ? ExitDone : ExitFailed;
}

}  // namespace lumidra::cli
