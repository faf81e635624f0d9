// The single-instance lock on Windows: a named mutex in the global namespace,
// which the system removes with the last process holding a handle to it.
#include "app/session/Startup.h"

#include <QCryptographicHash>

#include <windows.h>

namespace lumidra::app {

namespace {

using TCreateMutexA = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR);

// Bound at run time, like the rest of the program's Windows interfaces.
TCreateMutexA CreateMutexEntry() {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel == nullptr
               ? nullptr
               : reinterpret_cast<TCreateMutexA>(reinterpret_cast<void*>(GetProcAddress(kernel, "CreateMutexA")));
}

}  // namespace

// A folder given (tests only) names a mutex of its own, as it names a lock
// file of its own on Linux: tests running side by side, and a program
// running beside them, do not take each other's lock.
TSingleInstanceLock::TSingleInstanceLock(const QString& folder)
    : name_(QStringLiteral("Global\\") + QString::fromLatin1(InstanceLockName) +
            (folder.isEmpty()
                 ? QString()
                 : QString::fromLatin1(QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex()))) {}

TSingleInstanceLock::~TSingleInstanceLock() {
    Release();
}

TLockResult TSingleInstanceLock::Acquire() {
    if (handle_ != -1) return TLockResult::Acquired;
    const TCreateMutexA createMutex = CreateMutexEntry();
    if (createMutex == nullptr) return TLockResult::CannotCreate;
    const HANDLE mutex = createMutex(nullptr, FALSE, name_.toLatin1().constData());
    if (mutex == nullptr) {
        // Another user's instance made it and this one may not open it.
        return GetLastError() == ERROR_ACCESS_DENIED ? TLockResult::AlreadyRunning : TLockResult::CannotCreate;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_ACCESS_DENIED) {
        CloseHandle(mutex);
        return TLockResult::AlreadyRunning;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    return TLockResult::Acquired;
}

void TSingleInstanceLock::Release() {
    if (handle_ == -1) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

}  // namespace lumidra::app
