#include "keybase/KeyBaseFile.h"

#include "desktop/OutputFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

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
    std::vector<std::unique_ptr<desktop::TOutputFile>> written;
    for (const auto& [name, bytes] : files) {
        auto file = std::make_unique<desktop::TOutputFile>();
        // Not committed, the new contents go away with `written`.
        if (!file->Open(name, desktop::TOutputFile::TForm::Whole) || !file->Write(bytes)) return name;
        written.push_back(std::move(file));
    }
    for (const auto& file : written) {
        if (!file->Commit()) return file->Name();
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
