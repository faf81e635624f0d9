// The seams of the console program: message boxes and messages go to
// standard error, and a file dialog is answered with the file the command
// line named. How a job ended comes as its outcome, not through these.
#pragma once

#include "desktop/Seams.h"

#include <QString>

#include <cstdio>
#include <string>

namespace lumidra::cli {

class TConsoleSeams final : public desktop::TUiSeams {
public:
    // --- set by the run --------------------------------------------------------
    bool Quiet = false;
    // Nothing is told and nothing counts (a try whose failure has a way out).
    bool Silent = false;
    // The answer of the next file dialog; empty: cancelled.
    QString FileAnswer;

    // Writes "lumidra-cli: TEXT" (the text's lines trimmed) to standard error,
    // on a line of its own below a progress line.
    static void Tell(const QString& text);
    // Writes `text` (UTF-8) to `stream` in the console's encoding, as Tell
    // does; false when the write or its flush failed.
    static bool Write(std::FILE* stream, const std::string& text);
    // Writes a progress line over the last one (no line end), and ends it.
    static void ShowProgress(const std::string& line);
    static void EndProgress();

    desktop::TMsgResult MessageBox(const QString& text, const QString& caption, desktop::TMsgIcon icon,
                                   desktop::TMsgButtons buttons) override;
    void ShowMessage(const QString& text) override;
    bool ExecuteFileDialog(desktop::TFileDialog& dialog) override;
    QDateTime Now() override;
    void Pause(std::chrono::milliseconds duration) override;
    void PlayKeySound(const QString&) override {}
    void Beep() override {}
};

}  // namespace lumidra::cli
