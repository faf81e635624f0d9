// The run's first and last steps: the single-instance lock and the start state.
#pragma once

#include "desktop/UserText.h"

#include <QString>

#include <cstdint>

namespace lumidra::app {

// The system-wide name of the lock every instance takes.
inline constexpr const char* InstanceLockName = "TAVIK_Lumidra_C04E_2014_";

enum class TLockResult { Acquired, CannotCreate, AlreadyRunning };

// The one-instance-per-machine lock, held by the kernel for its holder's
// lifetime: a holder that crashed or was killed leaves nothing that keeps
// the next start out, and another user's running instance is seen too.
// Linux: flock on a file named after InstanceLockName in a folder every user
// can write (/run/lock, else /tmp), created readable and writable by all.
// Windows: the named mutex "Global\" InstanceLockName.
class TSingleInstanceLock {
public:
    // `folder` replaces the shared folder of the Linux lock file (tests).
    explicit TSingleInstanceLock(const QString& folder = QString());
    ~TSingleInstanceLock();
    TSingleInstanceLock(const TSingleInstanceLock&) = delete;
    TSingleInstanceLock& operator=(const TSingleInstanceLock&) = delete;

    TLockResult Acquire();
    void Release();
    // The lock's name: the file on Linux, the mutex's name on Windows.
    QString Name() const { return name_; }

private:
    QString name_;
    std::intptr_t handle_ = -1;  // descriptor, or the mutex's handle
};

// Takes the lock; when that fails, shows why (caption "Lumidra", an error or
// a warning icon, OK): the program must then end at once.
TLockResult TakeSingleInstanceLock(TSingleInstanceLock& lock);
inline constexpr const char* LockCannotCreateText = LUMIDRA_TEXT("app", "Невозможно запустить программу!  ");
inline constexpr const char* AlreadyRunningText =
    LUMIDRA_TEXT("app", "Программа, использующая ресурсы TAVIK Lumidra, уже запущена!   ");

// The state at start: StartFolder = the current folder (in full), no board,
// key base saved, window detached.
void InitialiseRunState();

// Exit status of a start refused by the lock.
inline constexpr int ExitRefused = 1;

}  // namespace lumidra::app
