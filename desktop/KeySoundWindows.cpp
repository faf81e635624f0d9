// The key sound on Windows: the system plays the file itself.
#include "desktop/KeySoundPlayer.h"
#include "desktop/KeySoundWindows.h"

#include <QDir>

namespace lumidra::desktop {

TPlaySoundCall PlaySoundCall = &PlaySoundW;

// Read from disk on every call, so a file put in place while the program runs
// sounds from then on. SND_ASYNC returns at once and a new sound cuts the one
// still playing; SND_NODEFAULT keeps the system's default sound from standing
// in for a missing or unreadable file, which stays silent.
void PlayWaveFile(const QString& file) {
    const QString native = QDir::toNativeSeparators(file);
    PlaySoundCall(reinterpret_cast<const wchar_t*>(native.utf16()), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
}

}  // namespace lumidra::desktop
