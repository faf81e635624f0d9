#include "app/cli/ConsoleSeams.h"

#include "desktop/OutputFile.h"

#include <cstdio>
#include <thread>

namespace lumidra::cli {

using namespace desktop;

namespace {
bool progressOpen = false;  // a progress line without its line end on standard error
}

void TConsoleSeams::ShowProgress(const std::string& line) {
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    progressOpen = true;
}

void TConsoleSeams::EndProgress() {
    if (!progressOpen) return;
    std::fputc('\n', stderr);
    progressOpen = false;
}

void TConsoleSeams::Tell(const QString& text) {
    // A pipeline whose reader has seen enough ends without a word.
    if (desktop::ClosedPipeSeen()) return;
    EndProgress();
    // A box's text may end in blanks and hold line breaks: one line here.
    const QString line = text.simplified();
    std::fprintf(stderr, "lumidra-cli: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool TConsoleSeams::Write(std::FILE* stream, const std::string& text) {
    const QByteArray bytes = QString::fromStdString(text).toLocal8Bit();
    const bool written =
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) == std::size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

TMsgResult TConsoleSeams::MessageBox(const QString& text, const QString&, TMsgIcon icon, TMsgButtons) {
    if (Silent) return TMsgResult::Ok;
    if (icon == TMsgIcon::Error || icon == TMsgIcon::Warning || !Quiet) Tell(text);
    return TMsgResult::Ok;
}

void TConsoleSeams::ShowMessage(const QString& text) {
    if (Silent) return;
    Tell(text);
}

bool TConsoleSeams::ExecuteFileDialog(TFileDialog& dialog) {
    if (FileAnswer.isEmpty()) return false;
    dialog.FileName = FileAnswer;
    return true;
}

QDateTime TConsoleSeams::Now() {
    return QDateTime::currentDateTime();
}

void TConsoleSeams::Pause(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace lumidra::cli
