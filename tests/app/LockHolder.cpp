// Takes the single-instance lock in the folder given and holds it until it is
// killed: another process for the lock's cross-process tests.
#include "app/session/Startup.h"

#include <cstdio>
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    lumidra::app::TSingleInstanceLock lock(QString::fromLocal8Bit(argv[1]));
    if (lock.Acquire() != lumidra::app::TLockResult::Acquired) return 3;
    std::puts("held");
    std::fflush(stdout);
    for (;;) {
#if defined(_WIN32)
        ::Sleep(INFINITE);
#else
        ::pause();
#endif
    }
}
