#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plat {

// A fixed set of worker threads taking tasks in order of submission.
class WorkerPool {
public:
    static WorkerPool& shared();
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void async(std::function<void()> task);
    unsigned threadCount() const { return static_cast<unsigned>(threads_.size()); }
    bool runsOnCurrentThread() const;

private:
    void work();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

// Tasks run one after the other, in submission order, on a thread of the queue's own; destroying
// the queue runs what is queued first.
class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> task) { thread_.async(std::move(task)); }
    // Runs `task` on the queue and waits for it; called on the queue itself it runs at once.
    void sync(const std::function<void()>& task);
    bool isCurrent() const { return thread_.runsOnCurrentThread(); }
    const std::string& label() const { return label_; }

private:
    std::string label_;
    WorkerPool thread_{1};
};

namespace dispatch {

// Runs `work` on the shared worker pool. The main run loop counts it as in flight until it
// returns, so RunLoop::drain() also waits for what it posts back.
void background(std::function<void()> work);

// Runs `work` in the background, then `done` on the main run loop.
void backgroundThenMain(std::function<void()> work, std::function<void()> done);

// Queues `task` on the main run loop (never runs it inline).
void toMain(std::function<void()> task);

// Runs `work` on `queue`, counted as in flight for the main run loop like background().
void onQueue(SerialQueue& queue, std::function<void()> work);

}  // namespace dispatch
}  // namespace plat
