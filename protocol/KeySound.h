// The short sound played when a key is presented to the board's reader.
#pragma once

#include <QString>

namespace lumidra::protocol {

// The sound file: "keytry.wav" in `startFolder`, written with the platform's
// separators. The folder is kept whole, however long: a name cut to a fixed
// length would point somewhere else.
QString KeySoundFile(const QString& startFolder);

// Whether a held key sounds now: only when the last sound is at least the
// key timer's 2 s old and the board has reported the key read (status 2)
// since; so a held key sounds once per presentation.
inline bool KeySoundDue(bool keyTimerRunning, bool armed) {
    return armed && !keyTimerRunning;
}

// How long a sound keeps the next one away.
inline constexpr int KeyTimerInterval = 2000;  // ms

}  // namespace lumidra::protocol
