#pragma once
// The worker threads of a loader: the job under way and the stopped ones still finishing. A
// stopped job is told to cancel and joined once it says it is done (or when its loader goes),
// never while the user waits. GUI thread only.

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace tirelle::app {

// What every loader's job carries for its thread; the loaders' jobs derive from it.
struct WorkerJob {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};  // set by the thread as it ends
    std::thread thread;
};

template <class Job>
class Workers {
public:
    Workers() = default;
    // Cancels the job under way and waits for every thread.
    ~Workers() {
        stop();
        for (const auto& job : retired_)
            if (job->thread.joinable()) job->thread.join();
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Runs work(job) on a thread of its own; the job before must have been stopped.
    template <class Work>
    void start(std::shared_ptr<Job> job, Work work) {
        current_ = job;
        job->thread = std::thread([job, work = std::move(work)]() mutable { work(std::move(job)); });
    }
    // Tells the job under way to cancel and keeps it until its thread ends.
    void stop() {
        if (!current_) return;
        current_->cancel = true;
        retired_.push_back(std::move(current_));
        current_.reset();
    }
    // Joins the stopped jobs whose threads have ended.
    void reap() {
        std::erase_if(retired_, [](const std::shared_ptr<Job>& job) {
            if (!job->done) return false;
            if (job->thread.joinable()) job->thread.join();
            return true;
        });
    }

private:
    std::shared_ptr<Job> current_;
    std::vector<std::shared_ptr<Job>> retired_;
};

}  // namespace tirelle::app
