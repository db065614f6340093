#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace bb {

// One unit of work of a BBOperationQueue. Operations are concurrent: start() only sets the work
// going (on whatever thread it runs) and the operation reports its end through markFinished().
class BBOperation : public std::enable_shared_from_this<BBOperation> {
public:
    enum QueuePriority : int { VeryLow = -8, Low = -4, Normal = 0, High = 4, VeryHigh = 8 };

    virtual ~BBOperation() = default;

    virtual void start() = 0;
    virtual void cancel();

    bool isCancelled() const { return cancelled_; }
    bool isExecuting() const { return executing_; }
    bool isFinished() const { return finished_; }

    int queuePriority() const { return priority_; }
    void setQueuePriority(int priority) { priority_ = priority; }

protected:
    void setExecuting(bool executing) { executing_ = executing; }
    void setCancelled() { cancelled_ = true; }
    // Ends the operation once; later calls do nothing.
    void markFinished();

private:
    friend class BBOperationQueue;
    void setFinishedObserver(std::function<void()> observer);

    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> priority_{Normal};
    std::mutex observerMutex_;
    std::function<void()> finishedObserver_;
};

}  // namespace bb
