#include "platform/foundation/run_loop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

namespace platform::foundation {

namespace {
constexpr double kNever = std::numeric_limits<double>::infinity();
}

RunLoop::RunLoop(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {}

RunLoop& RunLoop::main() {
    static RunLoop loop;
    return loop;
}

void RunLoop::setClock(std::shared_ptr<Clock> clock) {
    clock_ = std::move(clock);
}

bool RunLoop::TimerOrder::operator()(const std::shared_ptr<Timer>& a,
                                     const std::shared_ptr<Timer>& b) const {
    if (a->fireDate() != b->fireDate()) return a->fireDate() < b->fireDate();
    return a->sequence_ < b->sequence_;
}

std::shared_ptr<Timer> RunLoop::scheduleTimer(double interval, bool repeats,
                                              std::function<void(Timer&)> action) {
    // A repeating timer of no length would fire forever within one instant.
    if (repeats && interval <= 0.0) interval = 1e-4;
    auto timer = std::shared_ptr<Timer>(
        new Timer(now(), std::max(interval, 0.0), repeats, nextSequence_++, std::move(action)));
    timers_.push_back(timer);
    return timer;
}

void RunLoop::performAfter(double delay, std::function<void()> action) {
    scheduleTimer(delay, false, [action = std::move(action)](Timer&) { action(); });
}

void RunLoop::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
    wakeLocked();
}

void RunLoop::setEventSource(EventSource* source) {
    std::lock_guard lock(mutex_);
    eventSource_ = source;
}

void RunLoop::wakeLocked() {
    wakeUp_.notify_all();
    if (eventSource_) eventSource_->wake();
}

RunLoop::BackgroundWork::BackgroundWork(RunLoop* loop) : loop_(loop) {
    loop_->backgroundWork_.fetch_add(1);
}

RunLoop::BackgroundWork::BackgroundWork(BackgroundWork&& other) noexcept
    : loop_(std::exchange(other.loop_, nullptr)) {}

RunLoop::BackgroundWork& RunLoop::BackgroundWork::operator=(BackgroundWork&& other) noexcept {
    if (this != &other) {
        end();
        loop_ = std::exchange(other.loop_, nullptr);
    }
    return *this;
}

RunLoop::BackgroundWork::~BackgroundWork() {
    end();
}

void RunLoop::BackgroundWork::end() {
    if (!loop_) return;
    RunLoop* loop = std::exchange(loop_, nullptr);
    std::lock_guard lock(loop->mutex_);
    loop->backgroundWork_.fetch_sub(1);
    loop->wakeLocked();
}

bool RunLoop::runPostedTasks() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(posted_);
    }
    for (auto& task : tasks) task();
    return !tasks.empty();
}

bool RunLoop::hasPostedTasks() {
    std::lock_guard lock(mutex_);
    return !posted_.empty();
}

double RunLoop::nextFireDate() {
    std::erase_if(timers_, [](const auto& t) { return !t->isValid(); });
    double next = kNever;
    for (const auto& t : timers_) next = std::min(next, t->fireDate());
    return next;
}

bool RunLoop::fireDueTimers() {
    // Fire, in time order then scheduling order, every timer due now; timers scheduled
    // by these actions wait for the next pass.
    const double current = now();
    std::vector<std::shared_ptr<Timer>> due;
    for (const auto& t : timers_)
        if (t->isValid() && t->fireDate() <= current) due.push_back(t);
    std::sort(due.begin(), due.end(), TimerOrder{});
    for (const auto& t : due) {
        if (!t->isValid()) continue;  // invalidated by an earlier action
        if (t->repeats_) {
            // Fire once for this slot, then move to the first slot in the future: repeats
            // keep their original schedule t0 + n·interval and never drift.
            const double elapsed = (current - t->start_) / t->interval_;
            t->fires_ = std::max<std::uint64_t>(t->fires_ + 1,
                                                static_cast<std::uint64_t>(std::floor(elapsed)));
        } else {
            t->valid_ = false;
        }
        t->action_(*t);
    }
    nextFireDate();  // drops the invalid ones
    return !due.empty();
}

bool RunLoop::runPending() {
    if (eventSource_) eventSource_->dispatchEvents();
    bool ran = runPostedTasks();
    ran = fireDueTimers() || ran;
    return ran;
}

void RunLoop::waitForWork(double timeout) {
    if (eventSource_) {
        eventSource_->turnEnded();
        eventSource_->waitForEvents(timeout);
        return;
    }
    std::unique_lock lock(mutex_);
    auto ready = [&] { return !posted_.empty(); };
    if (timeout < 0.0) {
        wakeUp_.wait(lock, ready);
    } else {
        wakeUp_.wait_for(lock, std::chrono::duration<double>(timeout), ready);
    }
}

void RunLoop::runUntil(double deadline, bool stopAtDeadline) {
    while (!quitRequested_) {
        if (runPending()) continue;
        const double current = now();
        // On a virtual clock, work under way finishes within the same instant. The count is
        // read before the queue: work posts its result before it ends, so a result can
        // never slip between the two reads.
        const bool awaitingWork = clock_->isVirtual() && backgroundWork_.load() > 0;
        if (hasPostedTasks()) continue;
        if (stopAtDeadline && current >= deadline && !awaitingWork) return;
        const double next = std::min(nextFireDate(), stopAtDeadline ? deadline : kNever);
        if (clock_->isVirtual()) {
            if (awaitingWork) {
                waitForWork(0.05);
            } else if (next == kNever) {
                return;  // nothing can ever happen again on this loop
            } else {
                clock_->advanceTo(next);
            }
        } else {
            waitForWork(next == kNever ? -1.0 : std::max(0.0, next - current));
        }
    }
}

void RunLoop::runFor(double seconds) {
    runUntil(now() + std::max(0.0, seconds), true);
}

int RunLoop::run() {
    runUntil(kNever, false);
    return exitStatus_;
}

void RunLoop::reset() {
    {
        std::lock_guard lock(mutex_);
        posted_.clear();
    }
    for (auto& t : timers_) t->invalidate();
    timers_.clear();
    quitRequested_ = false;
    exitStatus_ = 0;
}

void RunLoop::quit(int status) {
    quitRequested_ = true;
    exitStatus_ = status;
    std::lock_guard lock(mutex_);
    wakeLocked();
}

}  // namespace platform::foundation
