#include "platform/foundation/work_queue.h"

namespace platform::foundation {

WorkQueue::WorkQueue(RunLoop& loop) : loop_(loop), thread_([this] { drain(); }) {}

WorkQueue::~WorkQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void WorkQueue::enqueue(std::function<void()> run) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(run), loop_.beginBackgroundWork()});
    }
    wake_.notify_one();
}

void WorkQueue::drain() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job.run();
        // The result is posted before the mark ends, so the loop never sees neither.
        job.work.end();
    }
}

}  // namespace platform::foundation
