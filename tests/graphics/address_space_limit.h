#pragma once

// Runs a piece of a test in a child process whose address space is limited to a little more
// than it uses at the start, as `ulimit -v` limits it: allocations beyond that fail.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>

namespace address_space_limit {

// The child's exit status (what `body` returns), or -1 when it died (an abort, a crash).
inline int runWithHeadroom(std::uint64_t headroom, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        std::uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + headroom;
        const rlimit both{limit, limit};
        _exit(setrlimit(RLIMIT_AS, &both) == 0 ? body() : 100);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace address_space_limit
