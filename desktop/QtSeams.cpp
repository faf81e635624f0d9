#include "desktop/QtSeams.h"

#include "desktop/KeySoundPlayer.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include <algorithm>
#include <thread>

namespace lumidra::desktop {

namespace {

QMessageBox::Icon ToQtIcon(TMsgIcon icon) {
    switch (icon) {
        case TMsgIcon::Error: return QMessageBox::Critical;
        case TMsgIcon::Warning: return QMessageBox::Warning;
        case TMsgIcon::Information: return QMessageBox::Information;
        case TMsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// What the picture dialog offers when its owner set no filter.
QString DefaultPictureFilter() {
    return QCoreApplication::translate(
        "desktop", "Рисунки BMP (*.bmp)|*.bmp|Все рисунки|*.bmp;*.png;*.jpg;*.jpeg;*.gif|Все файлы|*.*");
}

// The least size of a file dialog: its columns (name, size, type, date)
// show whole in it, in either language.
constexpr QSize FileDialogLeastSize{800, 500};

// A file dialog (Qt's own; a native one keeps its own size) at least
// FileDialogLeastSize, the screen's size where that is smaller, its detail
// columns as wide as what they hold and the name taking the rest.
void ShowColumnsWhole(QFileDialog& dialog) {
    const QScreen* screen = dialog.screen();
    const QSize area = screen != nullptr ? screen->availableGeometry().size() : FileDialogLeastSize;
    dialog.resize(dialog.sizeHint().expandedTo(FileDialogLeastSize).boundedTo(area));
    if (auto* details = dialog.findChild<QTreeView*>(); details != nullptr) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

}  // namespace

QStringList QtNameFilters(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        }
        result << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

TMsgResult QtSeams::MessageBox(const QString& text, const QString& caption, TMsgIcon icon, TMsgButtons buttons) {
    QMessageBox box(ToQtIcon(icon), caption, text,
                    buttons == TMsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? TMsgResult::Ok : TMsgResult::Cancel;
}

void QtSeams::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(AppTitle), text, QMessageBox::Ok);
    box.exec();
}

void QtSeams::Notice(const QString& text) {
    // Owned by no window: a dialog it was shown over may go first.
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(AppTitle), text, QMessageBox::Ok);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The run ends with its main window, whether this is read or not.
    box->setAttribute(Qt::WA_QuitOnClose, false);
    // A notice still open when the run ends goes with it, not left behind.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, box, [box] { delete box; });
    box->show();
}

bool QtSeams::ExecuteFileDialog(TFileDialog& dialog) {
    QFileDialog qt;
    qt.setWindowTitle(dialog.Title);
    const bool saving = dialog.Kind == TFileDialogKind::Save;
    qt.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    qt.setFileMode(!saving && (dialog.Options & ofFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    qt.setOption(QFileDialog::DontConfirmOverwrite, !(dialog.Options & ofOverwritePrompt));
    qt.setSizeGripEnabled(dialog.Options & ofEnableSizing);

    QString filter = dialog.Filter;
    if (filter.isEmpty() && dialog.Kind == TFileDialogKind::OpenPicture) filter = DefaultPictureFilter();
    const QStringList nameFilters = QtNameFilters(filter);
    if (!nameFilters.isEmpty()) {
        qt.setNameFilters(nameFilters);
        const int index = std::clamp(dialog.FilterIndex, 1, static_cast<int>(nameFilters.size()));
        qt.selectNameFilter(nameFilters[index - 1]);
    }
    qt.setDirectory(dialog.InitialDir.isEmpty() ? QDir::currentPath() : dialog.InitialDir);
    if (!dialog.FileName.isEmpty()) qt.selectFile(dialog.FileName);
    ShowColumnsWhole(qt);

    for (;;) {
        if (qt.exec() != QDialog::Accepted || qt.selectedFiles().isEmpty()) return false;
        const QString chosen = qt.selectedFiles().constFirst();
        const QFileInfo info(chosen);
        if ((dialog.Options & ofNoReadOnlyReturn) && info.exists() && !info.isWritable()) {
            QMessageBox::warning(&qt, dialog.Title,
                                 chosen + QCoreApplication::translate("desktop", "\nФайл доступен только для чтения."));
            continue;
        }
        dialog.FileName = chosen;
        dialog.FilterIndex = static_cast<int>(nameFilters.indexOf(qt.selectedNameFilter())) + 1;
        if (dialog.FilterIndex < 1) dialog.FilterIndex = 1;
        return true;
    }
}

QDateTime QtSeams::Now() {
    return QDateTime::currentDateTime();
}

void QtSeams::Pause(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

void QtSeams::PlayKeySound(const QString& file) {
    if (IsWaveFile(file)) PlayWaveFile(file);
}

void QtSeams::Beep() {
    QApplication::beep();
}

}  // namespace lumidra::desktop
