#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "beta/BBOperation.h"

namespace bb {

// A queue that runs its operations a limited number at a time, the highest priority first and,
// within one priority, in the order they were added. Suspending it stops new starts; what runs
// goes on to its end.
class BBOperationQueue {
public:
    using CountObserver = std::function<void(std::size_t count)>;

    explicit BBOperationQueue(std::string name, std::size_t maxConcurrentOperationCount = 1);
    // Operations still running then end without telling the queue.
    ~BBOperationQueue();
    BBOperationQueue(const BBOperationQueue&) = delete;
    BBOperationQueue& operator=(const BBOperationQueue&) = delete;

    const std::string& name() const { return name_; }

    void addOperation(const std::shared_ptr<BBOperation>& operation);

    void setSuspended(bool suspended);
    bool isSuspended() const;

    // Operations added and not yet finished, running ones included.
    std::size_t operationCount() const;
    // Running operations first, then the waiting ones in the order they would start.
    std::vector<std::shared_ptr<BBOperation>> operations() const;

    // Told the new count whenever it changes, on the thread that changed it.
    void setOperationCountObserver(CountObserver observer);

private:
    struct Entry {
        std::shared_ptr<BBOperation> operation;
        std::uint64_t order;
    };

    void operationDidFinish(const BBOperation* operation);
    void startWhatIsDue();
    std::shared_ptr<BBOperation> takeNextLocked();
    void notifyCount(std::size_t count);

    std::string name_;
    std::size_t maxConcurrent_;
    mutable std::mutex mutex_;
    std::vector<Entry> waiting_;
    std::vector<std::shared_ptr<BBOperation>> running_;
    std::uint64_t nextOrder_ = 0;
    bool suspended_ = false;
    std::mutex observerMutex_;
    CountObserver countObserver_;
};

}  // namespace bb
