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
    failed_ = false;
    trouble_.clear();
}

bool TPlotFile::CreateAt(const QString& fileName) {
    Begin();
    if (file_.Open(fileName, desktop::TOutputFile::TForm::Stream)) return true;
    Fail(QCoreApplication::translate("graphics",
                                     "Не удалось создать файл записи %1 (%2). Точки рисуются, но не сохраняются.")
             .arg(QDir::toNativeSeparators(fileName), file_.Reason()));
    return false;
}

bool TPlotFile::Create(const QString& folder, const TPlotStamp& start) {
    Begin();
    const QDir dir(folder);
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        const QString name = dir.filePath(QString::fromStdString(PlotFileName(start, attempt)));
        // New only: created here and now, so no earlier plot is ever
        // overwritten, not even one that appeared since the check for its name.
        if (file_.Open(name, desktop::TOutputFile::TForm::Stream, true)) return true;
        if (!QFile::exists(name)) break;
    }
    Fail(QCoreApplication::translate(
             "graphics", "Не удалось создать файл записи в папке %1 (%2). Точки рисуются, но не сохраняются.")
             .arg(QDir::toNativeSeparators(folder), file_.Reason()));
    return false;
}

void TPlotFile::Append(const TPlotRecord& record) {
    if (!file_.IsOpen() || failed_) return;
    if (!file_.Write(reinterpret_cast<const char*>(record.data()), static_cast<qint64>(record.size()))) {
        Fail(QCoreApplication::translate("graphics",
                                         "Ошибка записи в файл %1 (%2). Точки рисуются, но больше не сохраняются.")
                 .arg(QDir::toNativeSeparators(file_.Name()), file_.Reason()));
    }
}

void TPlotFile::Close() {
    if (!file_.IsOpen()) return;
    file_.Discard();
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
