#include "app/Startup.h"

#include "app/AppState.h"
#include "protocol/ProtocolState.h"
#include "desktop/Seams.h"

#include <QDir>

namespace lumidra::app {

using namespace protocol;
using namespace desktop;

bool TakeSingleInstanceLock(TSingleInstanceLock& lock) {
    const QString caption = QString::fromLatin1(AppTitle);
    switch (lock.Acquire()) {
        case TLockResult::Acquired: return true;
        case TLockResult::CannotCreate:
            Seams().MessageBox(QStringLiteral("Невозможно запустить программу!  "), caption, TMsgIcon::Error,
                               TMsgButtons::Ok);
            return false;
        case TLockResult::AlreadyRunning:
            Seams().MessageBox(QStringLiteral("Программа, использующая ресурсы TAVIK Lumidra, уже запущена!   "),
                               caption, TMsgIcon::Warning, TMsgButtons::Ok);
            return false;
    }
    return false;
}

void InitialiseRunState() {
    ResetRunState();
    // The whole path, however long: a shortened one would name another folder
    // and lose the key sound and the dialogs' start folder.
    StartFolder = QDir::currentPath();
}

}  // namespace lumidra::app
