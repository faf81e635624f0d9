#include "app/Startup.h"

#include "app/AppState.h"
#include "protocol/ProtocolState.h"
#include "desktop/Seams.h"

namespace lumidra::app {

using namespace protocol;
using namespace desktop;

TSingleInstanceLock::TSingleInstanceLock(const QString& folder)
    : fileName_(QDir(folder).filePath(QString::fromLatin1(InstanceLockName) + QStringLiteral(".lock"))),
      file_(fileName_) {
    // Never take over a lock whose holder still runs, however old the lock
    // file is (the default would after 30 seconds).
    file_.setStaleLockTime(0);
}

TLockResult TSingleInstanceLock::Acquire() {
    if (file_.tryLock(0)) return TLockResult::Acquired;
    // Held by a living process, whoever it belongs to: another instance.
    // Anything else (no folder, no rights, a full disk): no lock at all.
    return file_.error() == QLockFile::LockFailedError ? TLockResult::AlreadyRunning
                                                       : TLockResult::CannotCreate;
}

void TSingleInstanceLock::Release() {
    file_.unlock();
}

bool TakeSingleInstanceLock(TSingleInstanceLock& lock) {
    const QString caption = QString::fromLatin1(AppTitle);
    switch (lock.Acquire()) {
        case TLockResult::Acquired:
            return true;
        case TLockResult::CannotCreate:
            Seams().MessageBox(QStringLiteral("Невозможно запустить программу!  "), caption,
                               TMsgIcon::Error, TMsgButtons::Ok);
            return false;
        case TLockResult::AlreadyRunning:
            Seams().MessageBox(
                QStringLiteral("Программа, использующая ресурсы TAVIK Lumidra, уже запущена!   "),
                caption, TMsgIcon::Warning, TMsgButtons::Ok);
            return false;
    }
    return false;
}

void InitialiseRunState() {
    // The whole path: cutting it (as a fixed-size buffer once did) would name
    // another folder and lose the key sound and the dialogs' start folder.
    StartFolder = QDir::currentPath();
    AttachedDevice = nullptr;
    KeyBaseSaved = true;
    BoardAttached = false;
}

}  // namespace lumidra::app
