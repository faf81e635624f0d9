#include "app/cli/Convert.h"

#include "graphics/ImageTransfer.h"
#include "graphics/PictureImport.h"
#include "graphics/TableFiles.h"
#include "graphics/TableFormat.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

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
    if (lines && form == TTableForm::C) lines = CTableLines(*lines, kind);
    return lines;
}

}  // namespace

int RunConvert(const TCliOptions& options, TConsoleSeams& seams) {
    const std::string kind = options.Command.substr(std::string("convert ").size());
    QString input = QString::fromLocal8Bit(options.Operands.front().c_str());
    QTemporaryDir scratch;
    if (input == QStringLiteral("-")) {
        QFile in;
        QFile copy(scratch.filePath(QStringLiteral("stdin")));
        if (in.open(stdin, QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly)) copy.write(in.readAll());
        input = copy.fileName();
    }
    const TImportedPicture imported = ImportPicture(input, options.Number("--threshold", DefaultImportThreshold));
    switch (imported.Error) {
        case TImportError::None: break;
        case TImportError::WrongSize:
            TConsoleSeams::Tell(QStringLiteral("%1: %2 x %3 pixels; the LCD's pictures are 96 x 68")
                                    .arg(QString::fromLocal8Bit(options.Operands.front().c_str()))
                                    .arg(imported.Width)
                                    .arg(imported.Height));
            return ExitFailed;
        case TImportError::NotAPicture: TConsoleSeams::Tell(QString::fromUtf8(NotLcdPictureText)); return ExitFailed;
        case TImportError::Unreadable: TConsoleSeams::Tell(QString::fromUtf8(PictureUnreadableText)); return ExitFailed;
    }
    const TTableForm form = options.Value("--format") == "c" ? TTableForm::C : TTableForm::Db;
    const std::string out = options.Value("-o", "-");
    if (out == "-") {
        const std::optional<TTableLines> lines = Table(kind, imported.Picture, form);
        if (!lines) {
            TConsoleSeams::Tell(QString::fromUtf8(NoStripText));
            return ExitFailed;
        }
        const QByteArray bytes = TableFileBytes(*lines);
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
        std::fflush(stdout);
        return ExitDone;
    }
    const QString file = QString::fromLocal8Bit(out.c_str());
    seams.DoneText = QString::fromUtf8(kind == "strip"  ? StripSavedText
                                       : kind == "font" ? FontSavedText
                                                        : SplashSavedText);
    const TTableSave save = kind == "strip"  ? SaveStripTable(imported.Picture, file, form)
                            : kind == "font" ? SaveFontTable(imported.Picture, file, form)
                                             : SaveSplashTable(imported.Picture, file, form);
    return save.Saved && !seams.Failed ? ExitDone : ExitFailed;
}

}  // namespace lumidra::cli
