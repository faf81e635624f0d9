// A disk that refuses writes, for tests of what a failed write does: while an
// object lives, the process may write no file beyond a given size (Linux).
#pragma once

#if defined(__linux__)
#include <csignal>
#include <sys/resource.h>

namespace lumidra::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        // A write past the limit then fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

}  // namespace lumidra::testing
#endif
