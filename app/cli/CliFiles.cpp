#include "app/cli/CliFiles.h"

#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"
#include "graphics/ImageTransfer.h"
#include "graphics/PictureImport.h"
#include "transfers/Transfers.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumidra::cli {

namespace {

QString Local(const std::string& text) {
    return ArgumentText(text);
}

// Up to `size` bytes of `file`, read as they come.
std::optional<QByteArray> ReadUpTo(QFile& file, qint64 size) {
    QByteArray bytes;
    while (bytes.size() < size) {
        const QByteArray got = file.read(size - bytes.size());
        if (got.isEmpty()) {
            if (file.error() != QFileDevice::NoError) return std::nullopt;
            break;
        }
        bytes += got;
    }
    return bytes;
}

bool OpenNamed(QFile& file, const std::string& name, QString& reason) {
    if (name != "-") {
        file.setFileName(Local(name));
        if (QFileInfo(file.fileName()).isDir()) {
            reason = qt_error_string(EISDIR);
            return false;
        }
        if (file.open(QIODevice::ReadOnly)) return true;
        reason = file.errorString();
        return false;
    }
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    // The descriptor, not the stream: the stream's buffer would take more of a
    // pipe than the job reads.
    if (file.open(fileno(stdin), QIODevice::ReadOnly | QIODevice::Unbuffered)) return true;
    reason = file.errorString();
    return false;
}

}  // namespace

QString FileFault(const QString& name, const QString& reason) {
    return QCoreApplication::translate("cli", "«%1»: %2").arg(name, reason);
}

std::optional<QByteArray> ReadInputHead(const std::string& name, qint64 size, QString& reason) {
    QFile file;
    if (!OpenNamed(file, name, reason)) return std::nullopt;
    std::optional<QByteArray> bytes = ReadUpTo(file, size);
    if (!bytes) reason = file.errorString();
    return bytes;
}

std::optional<QByteArray> ReadInputHead(const std::string& name, qint64 size) {
    QString reason;
    std::optional<QByteArray> bytes = ReadInputHead(name, size, reason);
    if (!bytes) TConsoleSeams::Tell(transfers::SourceReadErrorText(Local(name), reason));
    return bytes;
}

std::optional<std::string> FileIdentity(const std::string& name, bool output) {
#if defined(_WIN32)
    if (name == "-") return std::string(output ? "-out" : "-in");
    return QDir::cleanPath(QFileInfo(Local(name)).absoluteFilePath()).toLower().toStdString();
#else
    struct stat status {};
    const int got = name == "-" ? ::fstat(output ? STDOUT_FILENO : STDIN_FILENO, &status)
                                : ::stat(QFile::encodeName(Local(name)).constData(), &status);
    if (got != 0) return QDir::cleanPath(QFileInfo(Local(name)).absoluteFilePath()).toStdString();
    if (S_ISCHR(status.st_mode)) return std::nullopt;
    return std::to_string(status.st_dev) + ':' + std::to_string(status.st_ino);
#endif
}

std::unique_ptr<QIODevice> OpenInput(const std::string& name) {
    auto file = std::make_unique<QFile>();
    QString reason;
    if (!OpenNamed(*file, name, reason)) {
        TConsoleSeams::Tell(FileFault(Local(name), reason));
        return nullptr;
    }
    if (!file->isSequential()) return file;
    // One byte more than allowed tells a picture too large from one that fits.
    const std::optional<QByteArray> bytes = ReadUpTo(*file, PictureInputLimit + 1);
    if (!bytes) {
        TConsoleSeams::Tell(FileFault(Local(name), file->errorString()));
        return nullptr;
    }
    if (bytes->size() > PictureInputLimit) {
        TConsoleSeams::Tell(QCoreApplication::translate("cli", "%1: больше %2 байт, а рисунок не больше этого")
                                .arg(name == "-" ? QStringLiteral("-") : Local(name))
                                .arg(PictureInputLimit));
        return nullptr;
    }
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(*bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

std::optional<graphics::TPicture> ImportForLcd(QIODevice& input, int threshold, const QString& shown) {
    using graphics::TImportError;
    const graphics::TImportedPicture imported = graphics::ImportPicture(input, threshold);
    switch (imported.Error) {
        case TImportError::None: return imported.Picture;
        case TImportError::WrongSize:
            TConsoleSeams::Tell(QCoreApplication::translate("cli", "%1: %2 x %3 точек; рисунки ЖКИ — 96 x 68")
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
