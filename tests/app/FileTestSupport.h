// Files for tests that save and load: whole-file reads and writes, a limit
// on the size of the files the process may write (a full disk), and a file
// nobody may write.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace lumidra::testing {

inline QByteArray FileBytes(const QString& name) {
    QFile file(name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

inline void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline void WriteFile(const QString& name, const std::vector<std::uint8_t>& bytes) {
    WriteFile(name, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

#if !defined(_WIN32)
// Files larger than `bytes` cannot be written while this lives (root
// included); a write past the limit fails instead of raising SIGXFSZ.
// (Windows has no such limit.)
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, old_.rlim_max};
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool Ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};
#endif

// A file that cannot be opened for writing while this lives, not even by
// root: read-only permissions, and the immutable attribute where the file
// system and the privileges allow it.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& name) : name_(name) {
        QFile::setPermissions(name, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        SetImmutable(true);
    }
    ~ReadOnlyFile() { SetImmutable(false); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool Ok() const {
        QFile file(name_);
        return !file.open(QIODevice::ReadWrite);
    }

private:
    void SetImmutable([[maybe_unused]] bool on) const {
#if !defined(_WIN32)  // Windows: the read-only attribute alone keeps every writer out
        const int fd = ::open(QFile::encodeName(name_).constData(), O_RDONLY);
        if (fd < 0) return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
#endif
    }

    QString name_;
};

}  // namespace lumidra::testing
