#pragma once

// Folders of a fuzz target's own. A fault ends the process at once, without its exit
// handlers, so the folders of processes that are gone are cleared at the next start.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzz {

// base/prefix-PID, empty; removed again when the process exits normally.
inline std::filesystem::path scratchFolder(const std::filesystem::path& base,
                                           const std::string& prefix) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(base, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix + "-")) continue;
        const long pid = std::strtol(name.c_str() + prefix.size() + 1, nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            fs::remove_all(entry.path(), error);
    }
    static fs::path folder;
    folder = base / (prefix + "-" + std::to_string(::getpid()));
    fs::remove_all(folder, error);
    fs::create_directories(folder);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    });
    return folder;
}

}  // namespace fuzz
