#include "store/io/WaypointBatchQueue.h"

namespace qx {

WaypointBatchQueue::WaypointBatchQueue(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

bool WaypointBatchQueue::push(std::vector<WaypointRecord> batch) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || batches_.size() < capacity_; });
    if (stopped_) return false;
    batches_.push_back(std::move(batch));
    changed_.notify_all();
    return true;
}

void WaypointBatchQueue::finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

std::optional<std::vector<WaypointRecord>> WaypointBatchQueue::pop() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || finished_ || !batches_.empty(); });
    if (stopped_ || batches_.empty()) return std::nullopt;
    auto batch = std::move(batches_.front());
    batches_.pop_front();
    changed_.notify_all();
    return batch;
}

void WaypointBatchQueue::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    batches_.clear();
    changed_.notify_all();
}

}  // namespace qx
