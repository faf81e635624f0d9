#include "keybase/KeyBaseRecovery.h"

#include "keybase/KeyBaseFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumidra::keybase {

namespace {

const char* const NoticeName = "recovery-notice.txt";
const char* const RecoveryStem = "keybase-unsaved-";

// The file names a notice holds, one a line; none when it cannot be read.
QStringList NoticeLines(QFile& notice) {
    if (!notice.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(notice.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    notice.close();
    return lines;
}

}  // namespace

QString SaveKeyBaseRecovery(const QString& memoText, const QString& folder, const QDateTime& now, bool latestOnly) {
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) return {};
    const QString stem = QString::fromLatin1(RecoveryStem) + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = dir.filePath(stem + QStringLiteral(".txt"));
    for (int n = 2; QFile::exists(name); ++n) name = dir.filePath(stem + QStringLiteral("-%1.txt").arg(n));

    const TEncodedKeyBase encoded = EncodeKeyBaseFile(memoText.toStdU16String());
    if (!WriteKeyBaseFile(name, encoded.ok() ? QByteArray::fromStdString(encoded.Bytes) : memoText.toUtf8())) return {};

    // Without its notice the file would be found by chance only: it counts
    // as written when both are.
    QFile notice(dir.filePath(QString::fromLatin1(NoticeName)));
    const QByteArray line = name.toUtf8() + '\n';
    if (latestOnly) {
        // The new file is in place before the earlier ones go.
        if (!WriteKeyBaseFile(notice.fileName(), line)) return {};
        const QStringList earlier =
            dir.entryList({QString::fromLatin1(RecoveryStem) + QStringLiteral("*.txt")}, QDir::Files);
        for (const QString& file : earlier) {
            if (dir.filePath(file) != name) dir.remove(file);
        }
        return name;
    }
    if (!notice.open(QIODevice::Append) || notice.write(line) != line.size() || !notice.flush()) return {};
    return name;
}

QString TakeRecoveryNotice(const QString& folder) {
    QFile notice(QDir(folder).filePath(QString::fromLatin1(NoticeName)));
    QStringList files = NoticeLines(notice);
    notice.remove();
    // A file the operator has dealt with since is named no more.
    files.removeIf([](const QString& file) { return !QFileInfo::exists(file); });
    if (files.isEmpty()) return {};
    return QCoreApplication::translate("keybase",
                                       "Программа была закрыта системой, а изменения в базе ключей не были сохранены. "
                                       "Их текст записан в файл:\n") +
           files.join(QLatin1Char('\n'));
}

void WithdrawKeyBaseRecovery(const QStringList& files, const QString& folder) {
    if (files.isEmpty()) return;
    for (const QString& file : files) QFile::remove(file);
    QFile notice(QDir(folder).filePath(QString::fromLatin1(NoticeName)));
    QStringList lines = NoticeLines(notice);
    for (const QString& file : files) lines.removeAll(file);
    if (lines.isEmpty()) {
        notice.remove();
        return;
    }
    // Replaced whole or not at all: a notice that cannot be rewritten keeps
    // its old lines (a name too many is better than a file nobody is told of).
    WriteKeyBaseFile(notice.fileName(), lines.join(QLatin1Char('\n')).toUtf8() + '\n');
}

QString RecoveryFolder(bool demo) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return demo ? folder + QStringLiteral("/demo") : folder;
}

}  // namespace lumidra::keybase
