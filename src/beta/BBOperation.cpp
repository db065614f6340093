#include "beta/BBOperation.h"

namespace bb {

void BBOperation::cancel() { setCancelled(); }

void BBOperation::markFinished() {
    executing_ = false;
    if (finished_.exchange(true)) return;
    std::function<void()> observer;
    {
        std::lock_guard lock(observerMutex_);
        observer = std::move(finishedObserver_);
    }
    if (observer) observer();
}

void BBOperation::setFinishedObserver(std::function<void()> observer) {
    bool alreadyFinished = false;
    {
        std::lock_guard lock(observerMutex_);
        alreadyFinished = finished_;
        if (!alreadyFinished) finishedObserver_ = std::move(observer);
    }
    if (alreadyFinished && observer) observer();
}

}  // namespace bb
