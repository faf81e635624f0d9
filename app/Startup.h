// The run's first and last steps: the single-instance lock and the start state.
#pragma once

#include <QDir>
#include <QLockFile>
#include <QString>

namespace lumidra::app {

// The system-wide name of the lock every instance takes.
inline constexpr const char* InstanceLockName = "TAVIK_Lumidra_C04E_2014_";

enum class TLockResult { Acquired, CannotCreate, AlreadyRunning };

// A lock file named after InstanceLockName in `folder` (the system's temp
// folder for the program). The lock file records its holder's process, so a
// crashed holder does not keep the next start out; a living holder does,
// however long it has been running.
class TSingleInstanceLock {
public:
    explicit TSingleInstanceLock(const QString& folder = QDir::tempPath());
    TSingleInstanceLock(const TSingleInstanceLock&) = delete;
    TSingleInstanceLock& operator=(const TSingleInstanceLock&) = delete;

    TLockResult Acquire();
    void Release();
    QString FileName() const { return fileName_; }

private:
    QString fileName_;
    QLockFile file_;
};

// Takes the lock; when that fails, shows why (caption "Lumidra", an error or
// a warning icon, OK) and returns false: the program must then end at once.
bool TakeSingleInstanceLock(TSingleInstanceLock& lock);

// The state at start: StartFolder = the current folder (in full), no board,
// key base saved, window detached.
void InitialiseRunState();

// Exit status of a start refused by the lock.
inline constexpr int ExitRefused = 1;

}  // namespace lumidra::app
