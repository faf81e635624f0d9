// The system call the key sound is played with on Windows (KeySoundWindows.cpp),
// replaceable: PlaySoundW reads the file anew on every call and keeps no player
// to look at, so a test puts its own function here to see each call made.
// Windows only.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace lumidra::desktop {

using TPlaySoundCall = BOOL(WINAPI*)(LPCWSTR sound, HMODULE module, DWORD flags);

// PlaySoundW until something else is put in.
extern TPlaySoundCall PlaySoundCall;

}  // namespace lumidra::desktop
