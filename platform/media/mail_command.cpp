#include "platform/media/mail_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"

extern char** environ;

namespace platform::media {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Enough of what the command said to tell the user why it failed.
constexpr std::size_t kKeptOutput = 2048;
// How often a command that has stopped talking is checked for having exited.
constexpr std::chrono::milliseconds kExitCheck{20};

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedStringForKey(key);
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }
    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

// A write to a command that has stopped reading raises SIGPIPE, whose default action ends
// the whole application. While the command runs this thread holds the signal blocked, so
// the write fails with EPIPE instead; the signal it left pending is taken before the
// thread's mask is restored.
class SigpipeBlocked {
  public:
    SigpipeBlocked() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeBlocked() {
        if (raised_) {
            const timespec now{};
            while (sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked&) = delete;
    SigpipeBlocked& operator=(const SigpipeBlocked&) = delete;
    void noteRaised() { raised_ = true; }

  private:
    sigset_t pipe_;
    sigset_t previous_;
    bool raised_ = false;
};

// The command runs in a process group of its own, so that a timeout can end whatever the
// shell started too, with the signal state of a fresh process rather than this thread's.
pid_t spawnShell(const std::string& commandLine, int input, int output, int& error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    const char* argv[] = {"sh", "-c", commandLine.c_str(), nullptr};
    pid_t pid = -1;
    error = posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char* const*>(argv),
                        environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

void keepTail(std::string& output, const char* bytes, std::size_t count) {
    output.append(bytes, count);
    if (output.size() > kKeptOutput) output.erase(0, output.size() - kKeptOutput);
}

// Reads what is there without waiting; closes the descriptor at its end.
void readAvailable(FileDescriptor& from, std::string& output) {
    char buffer[4096];
    while (from.isOpen()) {
        const ssize_t n = ::read(from.get(), buffer, sizeof buffer);
        if (n > 0) {
            keepTail(output, buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || errno != EAGAIN) from.close();
            return;
        }
    }
}

// Writes what the pipe takes now; closes it when all is written or the reader has gone.
void writeAvailable(FileDescriptor& to, std::span<const std::uint8_t> input, std::size_t& written,
                    SigpipeBlocked& sigpipe) {
    while (to.isOpen() && written < input.size()) {
        const ssize_t n = ::write(to.get(), input.data() + written, input.size() - written);
        if (n >= 0) {
            written += static_cast<std::size_t>(n);
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN) {
            return;
        } else {
            if (errno == EPIPE) sigpipe.noteRaised();
            to.close();
        }
    }
    to.close();
}

// Waits until the command can take input or has something to say, or `wait` has passed.
void waitForPipes(FileDescriptor& to, FileDescriptor& from, std::chrono::milliseconds wait) {
    pollfd fds[2];
    nfds_t count = 0;
    if (to.isOpen()) fds[count++] = {to.get(), POLLOUT, 0};
    if (from.isOpen()) fds[count++] = {from.get(), POLLIN, 0};
    ::poll(fds, count, static_cast<int>(wait.count()));
}

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

CommandRun ended(int status, std::string output) {
    CommandRun run;
    run.output = std::move(output);
    if (WIFEXITED(status)) {
        run.end = CommandRun::End::Exited;
        run.code = WEXITSTATUS(status);
    } else {
        run.end = CommandRun::End::Signalled;
        run.code = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return run;
}

std::string lastLine(const std::string& output) {
    const auto end = output.find_last_not_of(" \t\r\n");
    if (end == std::string::npos) return {};
    const auto start = output.rfind('\n', end);
    return output.substr(start == std::string::npos ? 0 : start + 1,
                         end - (start == std::string::npos ? 0 : start + 1) + 1);
}

}  // namespace

std::string CommandRun::failure() const {
    using foundation::detail::format;
    const std::string said = lastLine(output);
    switch (end) {
        case End::NotStarted:
            return format(localized("The mail command could not be started: %@"), output);
        case End::TimedOut:
            return localized("The mail command did not finish in time and was stopped");
        case End::Signalled:
            return format(localized("The mail command was ended by signal %d"), code);
        case End::Exited:
            if (code == 0) return {};
            if (said.empty()) return format(localized("The mail command failed (status %d)"), code);
            return format(localized("The mail command failed (status %d): %@"), code, said);
    }
    return {};
}

CommandRun runWithInput(const std::string& commandLine, std::span<const std::uint8_t> input,
                        std::chrono::milliseconds timeout) {
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) return {CommandRun::End::NotStarted, 0, strerror(errno)};
    FileDescriptor childInput(toChild[0]), to(toChild[1]);
    if (::pipe2(fromChild, O_CLOEXEC) != 0)
        return {CommandRun::End::NotStarted, 0, strerror(errno)};
    FileDescriptor from(fromChild[0]), childOutput(fromChild[1]);

    SigpipeBlocked sigpipe;
    int error = 0;
    const pid_t pid = spawnShell(commandLine, childInput.get(), childOutput.get(), error);
    childInput.close();
    childOutput.close();
    if (pid < 0) return {CommandRun::End::NotStarted, 0, strerror(error)};
    setNonBlocking(to.get());
    setNonBlocking(from.get());

    const auto deadline = SteadyClock::now() + timeout;
    std::size_t written = 0;
    std::string output;
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            readAvailable(from, output);
            return ended(status, std::move(output));
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left <= std::chrono::milliseconds::zero()) break;
        waitForPipes(to, from, std::min(left, kExitCheck));
        writeAvailable(to, input, written, sigpipe);
        readAvailable(from, output);
    }
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {CommandRun::End::TimedOut, 0, std::move(output)};
}

}  // namespace platform::media
