// The seams over Qt: QMessageBox, QFileDialog, the system clock, a real sleep,
// and the platform's sound player (KeySoundPlayer.h).
#pragma once

#include "desktop/Seams.h"

#include <QStringList>

namespace lumidra::desktop {

class QtSeams final : public TUiSeams {
public:
    TMsgResult MessageBox(const QString& text, const QString& caption, TMsgIcon icon, TMsgButtons buttons) override;
    void ShowMessage(const QString& text) override;
    void Notice(const QString& text) override;
    bool ExecuteFileDialog(TFileDialog& dialog) override;
    QDateTime Now() override;
    void Pause(std::chrono::milliseconds duration) override;
    void PlayKeySound(const QString& file) override;
    void Beep() override;
};

// "Text|*.txt|All|*.*" -> {"Text (*.txt)", "All (*)"}: the name filters of a
// QFileDialog. Patterns joined by ';' become space-separated; "*.*" becomes
// "*", since Qt would otherwise hide files without an extension. An odd last
// description without a pattern is dropped.
QStringList QtNameFilters(const QString& filter);

}  // namespace lumidra::desktop
