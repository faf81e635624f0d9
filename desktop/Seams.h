// Everything a handler needs from the desktop besides its own widgets: message
// boxes, the three shared file dialogs, the clock, the short pauses and the
// key sound.
//
// Handlers reach them only through Seams(), so the whole program also runs
// headless: the window program sets the toolkit's implementation (QtSeams) as
// its default, the console program its own; tests install a scripted one
// that answers boxes and dialogs, sets the clock and records pauses and
// sounds instead of sleeping and playing them. This file and Seams.cpp need
// Qt Core only, so every feature's job code builds without widgets.
#pragma once

#include <QDateTime>
#include <QString>

#include <chrono>

namespace lumidra::desktop {

// The caption of every message box and the window title.
inline constexpr const char* AppTitle = "Lumidra";

enum class TMsgIcon { None, Error, Warning, Information };
enum class TMsgButtons { Ok, OkCancel };
enum class TMsgResult { Ok, Cancel };

enum class TFileDialogKind { Open, Save, OpenPicture };

// Dialog options, combinable.
enum TFileDialogOption : unsigned {
    ofOverwritePrompt = 1u << 0,   // ask before an existing file is chosen for saving
    ofHideReadOnly = 1u << 1,      // no "open read-only" check box
    ofNoValidate = 1u << 2,        // no check of the characters of the name
    ofPathMustExist = 1u << 3,     // the folder typed must exist
    ofFileMustExist = 1u << 4,     // the file typed must exist
    ofNoReadOnlyReturn = 1u << 5,  // a read-only file is refused
    ofNoTestFileCreate = 1u << 6,  // no trial creation of the chosen file
    ofEnableSizing = 1u << 7,      // the dialog can be resized
};
using TFileDialogOptions = unsigned;

inline constexpr TFileDialogOptions DefaultFileDialogOptions = ofHideReadOnly | ofEnableSizing;

// A file dialog component: it keeps its settings between uses, so the title
// and folder one command sets are what the next command using the same
// dialog shows unless that command sets its own.
class TFileDialog {
public:
    explicit TFileDialog(TFileDialogKind kind, TFileDialogOptions options = DefaultFileDialogOptions)
        : Kind(kind), Options(options) {}

    // Shows the dialog as set up now; true when the user chose a file, whose
    // full name is then in FileName (and the filter used in FilterIndex).
    bool Execute();

    TFileDialogKind Kind;
    // "Description|pattern|Description|pattern"; several patterns joined by ';'.
    QString Filter;
    int FilterIndex = 1;  // 1-based
    QString Title;
    QString InitialDir;
    TFileDialogOptions Options;
    QString FileName;
};

class TUiSeams {
public:
    virtual ~TUiSeams() = default;

    // A platform message box with the given caption, icon and buttons.
    virtual TMsgResult MessageBox(const QString& text, const QString& caption, TMsgIcon icon, TMsgButtons buttons) = 0;
    // A plain modal message: no icon, an OK button, caption AppTitle.
    virtual void ShowMessage(const QString& text) = 0;
    // A warning that waits for nobody: shown beside the window (caption
    // AppTitle) until the operator closes it, while the run goes on and a
    // close ends it with the window. By default as ShowMessage, for seams
    // whose messages wait for nobody anyway (a console, standard error).
    virtual void Notice(const QString& text) { ShowMessage(text); }
    // Shows `dialog`; on a choice stores it in dialog.FileName and returns true.
    virtual bool ExecuteFileDialog(TFileDialog& dialog) = 0;
    // The current local date and time.
    virtual QDateTime Now() = 0;
    // Blocks the calling (GUI) thread for `duration`.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    // Starts playing the sound file `file` and returns at once. A missing or
    // unplayable file, or no sound device, is silent: nothing is reported.
    virtual void PlayKeySound(const QString& file) = 0;
    // The system's bell: a key an edit refuses.
    virtual void Beep() = 0;
};

// The seams every handler uses: the installed ones, else the program's
// default, else plain ones (the system clock and a real pause; boxes and
// messages written to standard error and answered OK; every file dialog
// cancelled; no sound).
TUiSeams& Seams();
// Installs `seams` (not owned; it must outlive its use). Null restores the
// default.
void InstallSeams(TUiSeams* seams);
// Sets the program's default (not owned; it must outlive the run), e.g. the
// toolkit's implementation; null goes back to the plain ones.
void SetDefaultSeams(TUiSeams* seams);

}  // namespace lumidra::desktop
