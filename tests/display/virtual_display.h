#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

// An Xvfb server of our own for window tests: it picks a free display number itself
// (-displayfd) and is ended, by its process id, when the object goes, or with the test
// process should that die first.
class VirtualDisplay {
  public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    // Starts the server; the display name (":N"), or nothing if it did not come up.
    std::optional<std::string> start(const std::string& screen = "1280x1024x24") {
        int fds[2];
        if (pipe(fds) != 0) return std::nullopt;
        const std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd,          "-screen",
                                      "0",    screen,       "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        close(fds[1]);
        if (pid_ < 0) {
            pid_ = 0;
            close(fds[0]);
            return std::nullopt;
        }
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char c;
        while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return std::nullopt;
        return ":" + number;
    }

  private:
    pid_t pid_ = 0;
};

inline bool commandExists(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its standard output without the last newline, or nothing if it
// failed.
inline std::optional<std::string> commandOutput(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pclose(pipe) != 0) return std::nullopt;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}
