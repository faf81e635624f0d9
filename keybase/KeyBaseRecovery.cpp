#include "keybase/KeyBaseRecovery.h"

#include "keybase/KeyBaseFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace lumidra::keybase {

namespace {

const char* const NoticeName = "recovery-notice.txt";

}  // namespace

QString SaveKeyBaseRecovery(const QString& memoText, const QString& folder, const QDateTime& now) {
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) return {};
    const QString stem = QStringLiteral("keybase-unsaved-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = dir.filePath(stem + QStringLiteral(".txt"));
    for (int n = 2; QFile::exists(name); ++n) name = dir.filePath(stem + QStringLiteral("-%1.txt").arg(n));

    const TEncodedKeyBase encoded = EncodeKeyBaseFile(memoText.toStdU16String());
    if (!WriteKeyBaseFile(name, encoded.ok() ? QByteArray::fromStdString(encoded.Bytes) : memoText.toUtf8())) return {};

    QFile notice(dir.filePath(QString::fromLatin1(NoticeName)));
    if (notice.open(QIODevice::Append)) notice.write(name.toUtf8() + '\n');
    return name;
}

QString TakeRecoveryNotice(const QString& folder) {
    QFile notice(QDir(folder).filePath(QString::fromLatin1(NoticeName)));
    if (!notice.open(QIODevice::ReadOnly)) return {};
    const QStringList files = QString::fromUtf8(notice.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    notice.close();
    notice.remove();
    if (files.isEmpty()) return {};
    return QCoreApplication::translate("keybase",
                                       "Программа была закрыта системой, а изменения в базе ключей не были сохранены. "
                                       "Их текст записан в файл:\n") +
           files.join(QLatin1Char('\n'));
}

QString RecoveryFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

}  // namespace lumidra::keybase
