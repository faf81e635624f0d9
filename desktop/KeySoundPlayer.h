// The key sound's player, one source file per platform: Qt's sound effect on
// Linux (KeySoundQt.cpp), the system's PlaySoundW on Windows
// (KeySoundWindows.cpp), where the Qt the program is built with may have no
// Multimedia module.
#pragma once

#include <QString>

#include <string_view>

namespace lumidra::desktop {

// Whether `head`, a file's first bytes, begins a RIFF/WAVE file.
bool IsWaveHeader(std::string_view head);
// Whether `file` can be read and begins as a WAVE file does. The key sound is
// played only then: a player given anything else complains on the terminal
// at every key, and the sound is optional.
bool IsWaveFile(const QString& file);

// Starts playing the WAV file `file` and returns at once. A missing or
// unplayable file, or no sound device, is silent: nothing is reported.
void PlayWaveFile(const QString& file);

}  // namespace lumidra::desktop
