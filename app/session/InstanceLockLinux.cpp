// The single-instance lock on Linux: flock, which the kernel drops with its
// holder whatever way that process ends.
#include "app/session/Startup.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumidra::app {

namespace {

QString SharedLockFolder() {
    // /run/lock is the system's folder for such locks; /tmp where it is missing.
    const char* const run = "/run/lock";
    return ::access(run, W_OK | X_OK) == 0 ? QString::fromLatin1(run) : QStringLiteral("/tmp");
}

// The folder is one every user may write, so what stands at the lock's name
// may have been planted: a link is not followed (it could lead to anybody's
// file), a FIFO or device is opened without waiting and without becoming our
// terminal, and only a regular file is kept (IsPlainFile).
constexpr int LockOpenFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

bool IsPlainFile(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Opens the lock file, creating it readable and writable by every user so
// that another user's start finds and locks the same file. A file of another
// user that we may not write (one made before with a narrower mode), or one
// the sticky folder protects from O_CREAT, is opened read-only: flock does not
// need write access.
int OpenLockFile(const QByteArray& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.constData(), O_RDWR | LockOpenFlags);
        if (fd < 0 && errno == EACCES) fd = ::open(path.constData(), O_RDONLY | LockOpenFlags);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | LockOpenFlags, 0666);
        if (fd >= 0) {
            ::fchmod(fd, 0666);  // past the umask
            return fd;
        }
        if (errno != EEXIST) return -1;  // lost a race with another start: open theirs
    }
    return -1;
}

}  // namespace

TSingleInstanceLock::TSingleInstanceLock(const QString& folder)
    : name_((folder.isEmpty() ? SharedLockFolder() : folder) + QLatin1Char('/') +
            QString::fromLatin1(InstanceLockName) + QStringLiteral(".lock")) {}

TSingleInstanceLock::~TSingleInstanceLock() {
    Release();
}

TLockResult TSingleInstanceLock::Acquire() {
    if (handle_ >= 0) return TLockResult::Acquired;
    const int fd = OpenLockFile(QFile::encodeName(name_));
    if (fd < 0) return TLockResult::CannotCreate;
    if (!IsPlainFile(fd)) {
        ::close(fd);
        return TLockResult::CannotCreate;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        handle_ = fd;
        return TLockResult::Acquired;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? TLockResult::AlreadyRunning : TLockResult::CannotCreate;
}

void TSingleInstanceLock::Release() {
    if (handle_ < 0) return;
    // The file stays: removing it could let two later starts lock two files.
    ::close(static_cast<int>(handle_));
    handle_ = -1;
}

}  // namespace lumidra::app
