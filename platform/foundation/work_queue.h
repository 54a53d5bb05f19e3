#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/foundation/run_loop.h"

namespace platform::foundation {

// One thread that runs jobs in the order given and hands each result back to the run
// loop. A job under way counts as background work, so a virtual clock waits for it.
class WorkQueue {
  public:
    explicit WorkQueue(RunLoop& loop = RunLoop::main());
    // Finishes the jobs already given.
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Runs `work` on the queue's thread, then `done` with its result on the loop's thread.
    template <class Result>
    void async(std::function<Result()> work, std::function<void(Result)> done) {
        enqueue([this, work = std::move(work), done = std::move(done)]() mutable {
            auto result = std::make_shared<Result>(work());
            loop_.post([done = std::move(done), result] { done(std::move(*result)); });
        });
    }

  private:
    struct Job {
        std::function<void()> run;
        RunLoop::BackgroundWork work;
    };
    void enqueue(std::function<void()> run);
    void drain();

    RunLoop& loop_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the rest exists
};

}  // namespace platform::foundation
