#include "beta/BBOperationQueue.h"

#include <algorithm>

namespace bb {

BBOperationQueue::BBOperationQueue(std::string name, std::size_t maxConcurrentOperationCount)
    : name_(std::move(name)), maxConcurrent_(std::max<std::size_t>(1, maxConcurrentOperationCount)) {}

BBOperationQueue::~BBOperationQueue() {
    std::lock_guard lock(mutex_);
    for (const auto& operation : running_) operation->setFinishedObserver(nullptr);
    for (const auto& entry : waiting_) entry.operation->setFinishedObserver(nullptr);
}

void BBOperationQueue::addOperation(const std::shared_ptr<BBOperation>& operation) {
    if (!operation) return;
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back({operation, nextOrder_++});
        count = waiting_.size() + running_.size();
    }
    operation->setFinishedObserver([this, raw = operation.get()] { operationDidFinish(raw); });
    notifyCount(count);
    startWhatIsDue();
}

void BBOperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
    }
    if (!suspended) startWhatIsDue();
}

bool BBOperationQueue::isSuspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

std::size_t BBOperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + running_.size();
}

std::vector<std::shared_ptr<BBOperation>> BBOperationQueue::operations() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<BBOperation>> result = running_;
    std::vector<Entry> order = waiting_;
    std::stable_sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) {
        return a.operation->queuePriority() > b.operation->queuePriority();
    });
    for (const auto& entry : order) result.push_back(entry.operation);
    return result;
}

void BBOperationQueue::setOperationCountObserver(CountObserver observer) {
    std::lock_guard lock(observerMutex_);
    countObserver_ = std::move(observer);
}

void BBOperationQueue::operationDidFinish(const BBOperation* operation) {
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        auto running = std::find_if(running_.begin(), running_.end(),
                                    [&](const auto& op) { return op.get() == operation; });
        if (running != running_.end()) {
            running_.erase(running);
        } else {
            // Cancelled before it ever started.
            std::erase_if(waiting_, [&](const Entry& e) { return e.operation.get() == operation; });
        }
        count = waiting_.size() + running_.size();
    }
    notifyCount(count);
    startWhatIsDue();
}

void BBOperationQueue::startWhatIsDue() {
    for (;;) {
        std::shared_ptr<BBOperation> next;
        {
            std::lock_guard lock(mutex_);
            next = takeNextLocked();
        }
        if (!next) return;
        next->start();
    }
}

std::shared_ptr<BBOperation> BBOperationQueue::takeNextLocked() {
    if (suspended_ || waiting_.empty() || running_.size() >= maxConcurrent_) return nullptr;
    auto best = waiting_.begin();
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (it->operation->queuePriority() > best->operation->queuePriority()) best = it;
    }
    auto operation = best->operation;
    waiting_.erase(best);
    running_.push_back(operation);
    return operation;
}

void BBOperationQueue::notifyCount(std::size_t count) {
    CountObserver observer;
    {
        std::lock_guard lock(observerMutex_);
        observer = countObserver_;
    }
    if (observer) observer(count);
}

}  // namespace bb
