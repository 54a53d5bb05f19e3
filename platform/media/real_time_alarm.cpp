#include "platform/media/real_time_alarm.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform::media {

struct RealTimeAlarm::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
};

RealTimeAlarm::RealTimeAlarm(foundation::RunLoop& loop, double seconds,
                             std::function<void()> action)
    : shared_(std::make_shared<Shared>()) {
    const auto due = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
    waiter_ = std::thread([&loop, due, shared = shared_, action = std::move(action)]() mutable {
        {
            std::unique_lock lock(shared->mutex);
            if (shared->changed.wait_until(lock, due, [&] { return shared->cancelled; })) return;
        }
        // Cancelled after the post, the action still must not run: the task asks again.
        loop.post([shared, action = std::move(action)] {
            bool cancelled;
            {
                std::lock_guard lock(shared->mutex);
                cancelled = shared->cancelled;
            }
            if (!cancelled) action();
        });
    });
}

RealTimeAlarm::~RealTimeAlarm() {
    cancel();
}

RealTimeAlarm& RealTimeAlarm::operator=(RealTimeAlarm&& other) noexcept {
    if (this != &other) {
        cancel();
        shared_ = std::move(other.shared_);
        waiter_ = std::move(other.waiter_);
    }
    return *this;
}

void RealTimeAlarm::cancel() {
    if (!shared_) return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->cancelled = true;
    }
    shared_->changed.notify_all();
    if (waiter_.joinable()) waiter_.join();
    shared_.reset();
}

}  // namespace platform::media
