#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "store/io/WaypointRecord.h"

namespace qx {

// Hands batches of records from the thread reading them (a file being imported, the store being
// exported) to the thread using them (storing them, writing the export file), so that the two
// work at once. It holds only a few batches: a reader that gets ahead waits, and memory stays
// bounded whatever the file's or the store's size.
class WaypointBatchQueue {
public:
    explicit WaypointBatchQueue(std::size_t capacity);

    // Reader side: waits for room; false once the using side stopped, the batch then dropped.
    bool push(std::vector<WaypointRecord> batch);
    // Reader side: no more batches will come.
    void finish();

    // Using side: waits for the next batch; none once the reader finished and all were taken.
    std::optional<std::vector<WaypointRecord>> pop();
    // Using side: takes no more; the reader's waiting and later pushes return false.
    void stop();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<WaypointRecord>> batches_;
    std::size_t capacity_;
    bool finished_ = false;
    bool stopped_ = false;
};

}  // namespace qx
