#include "app/cli/CliFiles.h"

#include "app/cli/ConsoleSeams.h"
#include "graphics/ImageTransfer.h"
#include "graphics/PictureImport.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace lumidra::cli {

QString InputFileName(const std::string& name, const QTemporaryDir& scratch) {
    if (name != "-") return QString::fromLocal8Bit(name.c_str());
    QString copy = scratch.filePath(QStringLiteral("stdin"));
    QFile file(copy);
    QFile in;
    if (file.open(QIODevice::WriteOnly) && in.open(stdin, QIODevice::ReadOnly)) file.write(in.readAll());
    return copy;
}

void WriteStdout(const QByteArray& bytes) {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

std::optional<graphics::TPicture> ImportForLcd(const QString& fileName, int threshold, const QString& shown) {
    using graphics::TImportError;
    const graphics::TImportedPicture imported = graphics::ImportPicture(fileName, threshold);
    switch (imported.Error) {
        case TImportError::None: return imported.Picture;
        case TImportError::WrongSize:
            TConsoleSeams::Tell(QCoreApplication::translate("cli", "%1: %2 x %3 pixels; the LCD's pictures are 96 x 68")
                                    .arg(shown)
                                    .arg(imported.Width)
                                    .arg(imported.Height));
            break;
        case TImportError::NotAPicture:
            TConsoleSeams::Tell(QCoreApplication::translate("graphics", graphics::NotLcdPictureText));
            break;
        case TImportError::Unreadable:
            TConsoleSeams::Tell(QCoreApplication::translate("graphics", graphics::PictureUnreadableText));
            break;
    }
    return std::nullopt;
}

}  // namespace lumidra::cli
