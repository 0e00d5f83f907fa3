#pragma once

#include <QtGlobal>

#include <sys/resource.h>

// While it lives, a file this process writes, or a child started meanwhile,
// stops at `bytes`. SIGXFSZ keeps its default: a program that does not
// ignore it dies at the limit, as it would under the user's ulimit.
struct FileSizeLimit
{
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{bytes, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
    Q_DISABLE_COPY(FileSizeLimit)
    rlimit old{};
};
