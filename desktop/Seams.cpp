#include "desktop/Seams.h"

#include <cstdio>
#include <thread>

namespace lumidra::desktop {

namespace {

// What a run gets before its program sets a default: nothing in it needs a
// display or a person.
class TPlainSeams final : public TUiSeams {
public:
    TMsgResult MessageBox(const QString& text, const QString&, TMsgIcon, TMsgButtons) override {
        ShowMessage(text);
        return TMsgResult::Ok;
    }
    void ShowMessage(const QString& text) override {
        std::fprintf(stderr, "%s\n", text.trimmed().toLocal8Bit().constData());
        std::fflush(stderr);
    }
    bool ExecuteFileDialog(TFileDialog&) override { return false; }
    QDateTime Now() override { return QDateTime::currentDateTime(); }
    void Pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
    void PlayKeySound(const QString&) override {}
    void Beep() override {}
};

TUiSeams* installed = nullptr;
TUiSeams* fallback = nullptr;

}  // namespace

TUiSeams& Seams() {
    if (installed != nullptr) return *installed;
    if (fallback != nullptr) return *fallback;
    static TPlainSeams plain;
    return plain;
}

void InstallSeams(TUiSeams* seams) {
    installed = seams;
}

void SetDefaultSeams(TUiSeams* seams) {
    fallback = seams;
}

bool TFileDialog::Execute() {
    return Seams().ExecuteFileDialog(*this);
}

}  // namespace lumidra::desktop
