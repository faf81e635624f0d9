#include "tests/support/ScriptedSeams.h"

#include "tests/support/Failure.h"

namespace lumidra::testing {

using namespace desktop;

ScriptedSeams::ScriptedSeams() {
    InstallSeams(this);
}

ScriptedSeams::~ScriptedSeams() {
    InstallSeams(nullptr);
}

TMsgResult ScriptedSeams::MessageBox(const QString& text, const QString& caption, TMsgIcon icon, TMsgButtons buttons) {
    Boxes.push_back({text, caption, icon, buttons, false});
    if (OnBox) OnBox(text);
    if (BoxAnswers.empty()) {
        if (CancelUnscripted) return TMsgResult::Cancel;
        Fail("unexpected message box: " + text.toStdString());
        return TMsgResult::Cancel;
    }
    const TMsgResult answer = BoxAnswers.front();
    BoxAnswers.pop_front();
    return answer;
}

void ScriptedSeams::ShowMessage(const QString& text) {
    Boxes.push_back({text, QString::fromLatin1(AppTitle), TMsgIcon::None, TMsgButtons::Ok, true});
    if (OnBox) OnBox(text);
}

bool ScriptedSeams::ExecuteFileDialog(TFileDialog& dialog) {
    Dialogs.push_back(
        {dialog.Kind, dialog.Filter, dialog.FilterIndex, dialog.Title, dialog.InitialDir, dialog.Options});
    if (DialogAnswers.empty()) {
        if (CancelUnscripted) return false;
        Fail("unexpected file dialog: " + dialog.Title.toStdString());
        return false;
    }
    const std::optional<QString> answer = DialogAnswers.front();
    DialogAnswers.pop_front();
    if (!answer) return false;
    dialog.FileName = *answer;
    return true;
}

QDateTime ScriptedSeams::Now() {
    return Clock;
}

void ScriptedSeams::Pause(std::chrono::milliseconds duration) {
    Pauses.push_back(duration);
    if (OnPause) OnPause();
}

void ScriptedSeams::PlayKeySound(const QString& file) {
    KeySounds.push_back(file);
}

void ScriptedSeams::Beep() {
    ++Beeps;
}

}  // namespace lumidra::testing
