#pragma once
// A full disk for the tests: while a FileSizeLimit lives, no file of this
// process grows beyond the given size, and a write past it fails (EFBIG, its
// signal ignored) as a write to a full disk does.

#include <csignal>
#include <sys/resource.h>

struct FileSizeLimit {
    rlimit old {};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
};
