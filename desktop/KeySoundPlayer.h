// The key sound's player, one source file per platform: Qt's sound effect on
// Linux (KeySoundQt.cpp), the system's PlaySoundW on Windows
// (KeySoundWindows.cpp), where the Qt the program is built with may have no
// Multimedia module.
#pragma once

#include <QString>

namespace lumidra::desktop {

// Starts playing the WAV file `file` and returns at once. A missing or
// unplayable file, or no sound device, is silent: nothing is reported.
void PlayWaveFile(const QString& file);

}  // namespace lumidra::desktop
