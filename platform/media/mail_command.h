#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace platform::media {

// How a command that was given a message on its standard input ended.
struct CommandRun {
    enum class End { Exited, Signalled, TimedOut, NotStarted };
    End end = End::NotStarted;
    int code = 0;        // the exit status, or the signal that ended it
    std::string output;  // the last of what it wrote on standard output and error
    bool succeeded() const { return end == End::Exited && code == 0; }
    // For the log and the user: why it did not succeed.
    std::string failure() const;
};

// Runs `commandLine` with /bin/sh, writes `input` to its standard input and waits for it to
// exit. A command still running after `timeout` is killed with everything it started. A
// command that stops reading early simply gets no more input; no SIGPIPE reaches us.
CommandRun runWithInput(const std::string& commandLine, std::span<const std::uint8_t> input,
                        std::chrono::milliseconds timeout);

}  // namespace platform::media
