#include "keybase/KeyBaseFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <memory>

namespace lumidra::keybase {

std::optional<QByteArray> ReadWholeFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

bool WriteKeyBaseFile(const QString& fileName, const QByteArray& bytes) {
    return !WriteFilesWhole({{fileName, bytes}});
}

std::optional<QString> WriteFilesWhole(const std::vector<std::pair<QString, QByteArray>>& files) {
    std::vector<std::unique_ptr<QSaveFile>> written;
    for (const auto& [name, bytes] : files) {
        auto file = std::make_unique<QSaveFile>(name);
        // Flushed here, not left to commit(): commit() does not see an error
        // of its own final flush, and would put a cut-off file in the old
        // one's place. Not committed, the temporary files go away with
        // `written`.
        if (!file->open(QIODevice::WriteOnly) || file->write(bytes) != bytes.size() || !file->flush()) return name;
        written.push_back(std::move(file));
    }
    for (const auto& file : written) {
        if (!file->commit()) return file->fileName();
    }
    return std::nullopt;
}

QString UnencodableMessage(const TEncodedKeyBase& encoded) {
    return QCoreApplication::translate("keybase",
                                       "Данные сохранить не удалось, символы «%1» (строка %2) нельзя записать "
                                       "в кодировке Windows-1251!")
        .arg(QString::fromStdU16String(encoded.Unencodable))
        .arg(encoded.FirstUnencodableLine);
}

QString SaveFailedMessage(const QString& fileName) {
    return QCoreApplication::translate("keybase", SaveFailedText) + QStringLiteral("\n") +
           QDir::toNativeSeparators(fileName);
}

}  // namespace lumidra::keybase
