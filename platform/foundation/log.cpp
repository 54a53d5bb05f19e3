#include "platform/foundation/log.h"

#include <unistd.h>

#include <algorithm>
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
}  // namespace

void SystemLog::write(const std::string& message) {
    std::lock_guard lock(logMutex());
    std::fprintf(stderr, "orvex[%d]: %s\n", static_cast<int>(getpid()), message.c_str());
    if (Capture* capture = activeCapture()) capture->lines_.push_back(message);
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
