#include "desktop/OutputFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace lumidra::desktop {

namespace {

std::atomic<bool> closedPipeSeen{false};
std::atomic<bool> writesCut{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

#if defined(_WIN32)
int OpenStream(const QString& name, bool newOnly) {
    const int flags = _O_WRONLY | _O_CREAT | _O_BINARY | (newOnly ? _O_EXCL : _O_TRUNC);
    return ::_wopen(reinterpret_cast<const wchar_t*>(name.utf16()), flags, _S_IREAD | _S_IWRITE);
}
qint64 WriteSome(int fd, const char* data, qint64 size) {
    return ::_write(fd, data, static_cast<unsigned>(std::min<qint64>(size, 1 << 30)));
}
void CloseFd(int fd) {
    ::_close(fd);
}
bool TakesWriteNow(int) {
    return true;
}
#else
int OpenStream(const QString& name, bool newOnly) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (newOnly ? O_EXCL : O_TRUNC);
    return ::open(QFile::encodeName(name).constData(), flags, 0666);
}
qint64 WriteSome(int fd, const char* data, qint64 size) {
    return ::write(fd, data, static_cast<std::size_t>(size));
}
// Whether `fd` takes a write now; asked only once a closing signal came, so
// the run's last writes never wait for a reader that stopped reading.
bool TakesWriteNow(int fd) {
    pollfd ready{fd, POLLOUT, 0};
    return ::poll(&ready, 1, 0) == 1 && (ready.revents & POLLOUT) != 0;
}
void CloseFd(int fd) {
    ::close(fd);
}
#endif

int StdoutFd() {
#if defined(_WIN32)
    const int fd = _fileno(stdout);
    _setmode(fd, _O_BINARY);
    return fd;
#else
    return STDOUT_FILENO;
#endif
}

}  // namespace

TOutputFile::TOutputFile() = default;

TOutputFile::~TOutputFile() {
    Discard();
}

bool TOutputFile::Fail(int error) {
    if (error == EINTR) {
        state_ = TOutputState::Cut;
        reason_ = qt_error_string(error);
        Close();
        return false;
    }
    if (error == EPIPE) {
        closedPipeSeen = true;
        state_ = TOutputState::ClosedPipe;
        reason_ = qt_error_string(error);
        Close();
        return false;
    }
    return Fail(qt_error_string(error));
}

bool TOutputFile::Fail(const QString& reason) {
    state_ = TOutputState::Failed;
    reason_ = reason;
    Close();
    return false;
}

void TOutputFile::Close() {
    if (fd_ >= 0 && kind_ != TKind::Stdout) CloseFd(fd_);
    fd_ = -1;
    whole_.reset();
    open_ = false;
}

bool TOutputFile::Check(const QString& name, TForm form) {
    Close();
    name_ = name;
    form_ = form;
    state_ = TOutputState::Good;
    reason_.clear();
    kind_ = TKind::Regular;
    if (name == KeptInMemory) {
        kind_ = TKind::Memory;
        return true;
    }
    if (name == QLatin1String(StandardOutputName)) {
        kind_ = TKind::Stdout;
        fd_ = StdoutFd();
        return true;
    }
    const QFileInfo info(name);
    if (info.isDir()) return Fail(QCoreApplication::translate("desktop", "это папка"));
#if !defined(_WIN32)
    struct stat status {};
    if (::stat(QFile::encodeName(name).constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        if (S_ISSOCK(status.st_mode)) return Fail(QCoreApplication::translate("desktop", "это сокет"));
        // Without waiting: a FIFO that no one reads refuses at once (ENXIO)
        // instead of holding the program until someone comes.
        const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return errno == ENXIO ? Fail(QCoreApplication::translate("desktop", "его никто не читает")) : Fail(errno);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        kind_ = TKind::Special;
        fd_ = fd;
        return true;
    }
#endif
    if (form == TForm::Whole) {
        // A new content beside it, made and dropped: the folder takes it.
        QSaveFile probe(name);
        if (!probe.open(QIODevice::WriteOnly)) return Fail(probe.errorString());
        probe.cancelWriting();
        return true;
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir()) return Fail(qt_error_string(ENOENT));
    if (info.exists() ? !info.isWritable() : !folder.isWritable()) return Fail(qt_error_string(EACCES));
    return true;
}

bool TOutputFile::Open(const QString& name, TForm form, bool newOnly) {
    if (newOnly) {
        Close();
        name_ = name;
        form_ = form;
        kind_ = TKind::Regular;
        state_ = TOutputState::Good;
        reason_.clear();
    } else if (name != name_ || form != form_ || kind_ == TKind::Unknown || state_ != TOutputState::Good) {
        if (!Check(name, form)) return false;
    }
    held_.clear();
    if (kind_ == TKind::Regular) {
        if (form == TForm::Whole) {
            whole_ = std::make_unique<QSaveFile>(name);
            if (!whole_->open(QIODevice::WriteOnly)) return Fail(whole_->errorString());
        } else {
            fd_ = OpenStream(name, newOnly);
            if (fd_ < 0) return Fail(errno);
        }
    }
    open_ = true;
    return true;
}

bool TOutputFile::WriteOut(const char* data, qint64 size) {
    const bool mayWait = kind_ == TKind::Special || kind_ == TKind::Stdout;
    while (size > 0) {
        if (mayWait && writesCut && !TakesWriteNow(fd_)) return Fail(EINTR);
        const qint64 written = WriteSome(fd_, data, size);
        if (written < 0 && errno == EINTR && !writesCut) continue;
        if (written <= 0) return Fail(written < 0 ? errno : ENOSPC);
        data += written;
        size -= written;
    }
    return true;
}

bool TOutputFile::Write(const char* data, qint64 size) {
    if (!open_) return false;
    if (form_ == TForm::Stream) return kind_ == TKind::Memory || WriteOut(data, size);
    held_.append(data, size);
    // Pushed to the disk at once, so a full disk ends the work at the block
    // that did not fit.
    if (whole_ && (whole_->write(data, size) != size || !whole_->flush())) return Fail(whole_->errorString());
    return true;
}

bool TOutputFile::Commit() {
    if (!open_) return false;
    bool done = true;
    if (whole_) {
        // commit() would not see an error of its own final flush.
        done = (whole_->flush() && whole_->commit()) || Fail(whole_->errorString());
    } else if (form_ == TForm::Whole && kind_ != TKind::Memory) {
        done = WriteOut(held_.constData(), held_.size());
    }
    if (done) Close();
    return done;
}

void TOutputFile::Discard() {
    // A QSaveFile never committed takes its new content away with it.
    Close();
    kind_ = TKind::Unknown;
}

void CutBlockedWrites() {
    writesCut = true;
}

bool WritesCut() {
    return writesCut;
}

bool ClosedPipeSeen() {
    return closedPipeSeen;
}

void KeepRunningOnClosedPipe() {
#if !defined(_WIN32)
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace lumidra::desktop
