#include "platform/foundation/Dispatch.h"

#include <algorithm>
#include <future>

#include "platform/foundation/RunLoop.h"

namespace plat {

WorkerPool& WorkerPool::shared() {
    // Leaked on purpose: its threads may be running while static objects are destroyed.
    static WorkerPool* pool = new WorkerPool(std::max(2u, std::thread::hardware_concurrency()));
    return *pool;
}

WorkerPool::WorkerPool(unsigned threads) {
    for (unsigned i = 0; i < std::max(1u, threads); ++i) threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // A pool must not be destroyed by one of its own tasks: joining itself fails loudly.
    for (auto& t : threads_) t.join();
}

bool WorkerPool::runsOnCurrentThread() const {
    const auto self = std::this_thread::get_id();
    for (const auto& t : threads_) {
        if (t.get_id() == self) return true;
    }
    return false;
}

void WorkerPool::async(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void WorkerPool::work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {}

void SerialQueue::sync(const std::function<void()>& task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    async([&] {
        task();
        done.set_value();
    });
    done.get_future().wait();
}

namespace dispatch {

namespace {
std::function<void()> counted(std::function<void()> work) {
    const RunLoop::WorkId id = RunLoop::main().beginBackgroundWork();
    return [work = std::move(work), id] {
        RunLoop::setCurrentWork(id);
        work();
        RunLoop::setCurrentWork(0);
        RunLoop::main().endBackgroundWork(id);
    };
}
}  // namespace

void background(std::function<void()> work) { WorkerPool::shared().async(counted(std::move(work))); }

void backgroundThenMain(std::function<void()> work, std::function<void()> done) {
    background([work = std::move(work), done = std::move(done)]() mutable {
        work();
        RunLoop::main().post(std::move(done));
    });
}

void toMain(std::function<void()> task) { RunLoop::main().post(std::move(task)); }

void onQueue(SerialQueue& queue, std::function<void()> work) { queue.async(counted(std::move(work))); }

}  // namespace dispatch
}  // namespace plat
