// Makes a write fail half way, even for root: runs f under a file-size
// limit of the given bytes (POSIX only; Windows has no such limit).
#pragma once

#ifndef _WIN32
#include <sys/resource.h>
#include <csignal>

namespace quorvane::test {

template <class F>
auto UnderFileSizeLimit(rlim_t bytes, F f) {
    std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    auto result = f();
    setrlimit(RLIMIT_FSIZE, &saved);
    return result;
}

}  // namespace quorvane::test
#endif
