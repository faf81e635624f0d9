// The seams for tests: message boxes and file dialogs answered from a script,
// a clock the test sets, pauses and key sounds recorded instead of slept and
// played. Installed for its lifetime. A box or dialog the script does not
// answer is a failure (Failure.h).
#pragma once

#include "desktop/Seams.h"

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace lumidra::testing {

class ScriptedSeams final : public desktop::TUiSeams {
public:
    struct TBox {
        QString Text;
        QString Caption;
        desktop::TMsgIcon Icon = desktop::TMsgIcon::None;
        desktop::TMsgButtons Buttons = desktop::TMsgButtons::Ok;
        bool Plain = false;  // ShowMessage rather than MessageBox
    };
    // A dialog as it was set up when it was shown.
    struct TDialogUse {
        desktop::TFileDialogKind Kind;
        QString Filter;
        int FilterIndex;
        QString Title;
        QString InitialDir;
        desktop::TFileDialogOptions Options;
    };

    ScriptedSeams();
    ~ScriptedSeams() override;
    ScriptedSeams(const ScriptedSeams&) = delete;
    ScriptedSeams& operator=(const ScriptedSeams&) = delete;

    // When set, every box and dialog the script does not answer is answered
    // Cancel instead of failing the test.
    bool CancelUnscripted = false;
    // Answers of the coming MessageBox calls, in order (ShowMessage needs none).
    std::deque<desktop::TMsgResult> BoxAnswers;
    // Answers of the coming dialogs: a file name, or nullopt for Cancel.
    std::deque<std::optional<QString>> DialogAnswers;
    // The time Now() reports.
    QDateTime Clock{QDate(2026, 3, 5), QTime(9, 5, 7)};
    // Runs inside each Pause, e.g. to see what had been sent by then.
    std::function<void()> OnPause;
    // Runs inside each box and message while it is "open", e.g. to let input
    // reports arrive the way they do behind a modal box.
    std::function<void(const QString& text)> OnBox;

    std::vector<TBox> Boxes;
    // The text of every notice, in order (they wait for nobody: no answer).
    std::vector<QString> Notices;
    std::vector<TDialogUse> Dialogs;
    std::vector<std::chrono::milliseconds> Pauses;
    // The file of every key sound played, in order.
    std::vector<QString> KeySounds;
    // How often the bell rang.
    int Beeps = 0;

    desktop::TMsgResult MessageBox(const QString& text, const QString& caption, desktop::TMsgIcon icon,
                                   desktop::TMsgButtons buttons) override;
    void ShowMessage(const QString& text) override;
    void Notice(const QString& text) override { Notices.push_back(text); }
    bool ExecuteFileDialog(desktop::TFileDialog& dialog) override;
    QDateTime Now() override;
    void Pause(std::chrono::milliseconds duration) override;
    void PlayKeySound(const QString& file) override;
    void Beep() override;
};

}  // namespace lumidra::testing
