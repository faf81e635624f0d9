#include "graphics/PlotFile.h"

#include <QCoreApplication>
#include <QDir>

namespace lumidra::graphics {

namespace {

// A folder that already holds this many plots of one second is not a folder
// that takes one more.
constexpr int MaxAttempts = 1000;

}  // namespace

void TPlotFile::Begin() {
    Close();
    buffer_.clear();
    buffer_.reserve(BufferSize);
    failed_ = false;
    trouble_.clear();
}

bool TPlotFile::CreateAt(const QString& fileName) {
    Begin();
    file_.setFileName(fileName);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return true;
    Fail(QCoreApplication::translate("graphics",
                                     "Не удалось создать файл записи %1 (%2). Точки рисуются, но не сохраняются.")
             .arg(QDir::toNativeSeparators(fileName), file_.errorString()));
    return false;
}

bool TPlotFile::Create(const QString& folder, const TPlotStamp& start) {
    Begin();
    const QDir dir(folder);
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        const QString name = dir.filePath(QString::fromStdString(PlotFileName(start, attempt)));
        file_.setFileName(name);
        // NewOnly: created here and now, so no earlier plot is ever overwritten,
        // not even one that appeared since the check for its name.
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) return true;
        if (!QFile::exists(name)) break;
    }
    Fail(QCoreApplication::translate(
             "graphics", "Не удалось создать файл записи в папке %1 (%2). Точки рисуются, но не сохраняются.")
             .arg(QDir::toNativeSeparators(folder), file_.errorString()));
    return false;
}

void TPlotFile::Append(const TPlotRecord& record) {
    if (!file_.isOpen() || failed_) return;
    buffer_.insert(buffer_.end(), record.begin(), record.end());
    if (buffer_.size() >= BufferSize) Flush();
}

void TPlotFile::Flush() {
    if (!file_.isOpen() || failed_ || buffer_.empty()) return;
    const auto size = static_cast<qint64>(buffer_.size());
    const qint64 written = file_.write(reinterpret_cast<const char*>(buffer_.data()), size);
    buffer_.clear();
    if (written != size) {
        Fail(QCoreApplication::translate("graphics",
                                         "Ошибка записи в файл %1 (%2). Точки рисуются, но больше не сохраняются.")
                 .arg(QDir::toNativeSeparators(file_.fileName()), file_.errorString()));
    }
}

void TPlotFile::Close() {
    if (!file_.isOpen()) return;
    Flush();
    file_.close();
}

QString TPlotFile::TakeTrouble() {
    QString text;
    text.swap(trouble_);
    return text;
}

void TPlotFile::Fail(const QString& text) {
    // The first failure is the one told; later ones add nothing to it.
    if (failed_) return;
    failed_ = true;
    trouble_ = text;
}

}  // namespace lumidra::graphics
