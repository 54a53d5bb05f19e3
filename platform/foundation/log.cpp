#include "platform/foundation/log.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform::foundation {

namespace {
std::mutex& logMutex() {
    static std::mutex m;
    return m;
}
SystemLog::Capture*& activeCapture() {
    static SystemLog::Capture* capture = nullptr;
    return capture;
}
std::atomic<LogLevel>& shownFrom() {
    static std::atomic<LogLevel> level{LogLevel::Info};
    return level;
}
const char* marker(LogLevel level) {
    switch (level) {
        case LogLevel::Warning:
            return "warning: ";
        case LogLevel::Error:
            return "error: ";
        default:
            return "";
    }
}
}  // namespace

void SystemLog::write(LogLevel level, const std::string& message) {
    std::lock_guard lock(logMutex());
    if (level >= shownFrom())
        std::fprintf(stderr, "orvex[%d]: %s%s\n", static_cast<int>(getpid()), marker(level),
                     message.c_str());
    if (Capture* capture = activeCapture()) capture->lines_.push_back(message);
}

void SystemLog::setThreshold(LogLevel level) {
    shownFrom() = level;
}

LogLevel SystemLog::threshold() {
    return shownFrom();
}

SystemLog::Capture::Capture() {
    std::lock_guard lock(logMutex());
    previous_ = activeCapture();
    activeCapture() = this;
}

SystemLog::Capture::~Capture() {
    std::lock_guard lock(logMutex());
    activeCapture() = previous_;
}

bool SystemLog::Capture::contains(std::string_view line) const {
    return count(line) > 0;
}

int SystemLog::Capture::count(std::string_view line) const {
    return static_cast<int>(std::count(lines_.begin(), lines_.end(), line));
}

}  // namespace platform::foundation
