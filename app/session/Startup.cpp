#include "app/session/Startup.h"

#include "app/session/AppState.h"
#include "protocol/ProtocolState.h"
#include "desktop/Seams.h"

#include <QCoreApplication>
#include <QDir>

namespace lumidra::app {

using namespace protocol;
using namespace desktop;

TLockResult TakeSingleInstanceLock(TSingleInstanceLock& lock) {
    const QString caption = QString::fromLatin1(AppTitle);
    const TLockResult result = lock.Acquire();
    switch (result) {
        case TLockResult::Acquired: break;
        case TLockResult::CannotCreate:
            Seams().MessageBox(QCoreApplication::translate("app", LockCannotCreateText), caption, TMsgIcon::Error,
                               TMsgButtons::Ok);
            break;
        case TLockResult::AlreadyRunning:
            Seams().MessageBox(QCoreApplication::translate("app", AlreadyRunningText), caption, TMsgIcon::Warning,
                               TMsgButtons::Ok);
            break;
    }
    return result;
}

void InitialiseRunState() {
    ResetRunState();
    // The whole path, however long: a shortened one would name another folder
    // and lose the key sound and the dialogs' start folder.
    StartFolder = QDir::currentPath();
}

}  // namespace lumidra::app
