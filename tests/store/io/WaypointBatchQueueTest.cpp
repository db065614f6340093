#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "store/io/WaypointBatchQueue.h"

namespace qxtest {

namespace {

std::vector<qx::WaypointRecord> batchOf(std::size_t n) { return std::vector<qx::WaypointRecord>(n); }

// Waits until the thread `tid` of this process sleeps: blocked, not merely behind in its work.
void waitUntilAsleep(pid_t tid) {
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    for (;;) {
        std::ifstream stat(path);
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(") ");
        if (close != std::string::npos && line[close + 2] == 'S') return;
        std::this_thread::yield();
    }
}

}  // namespace

// The storing side stops while the reader waits for room: the reader is let go, its batch and
// every later one dropped, and a storing side still waiting gets nothing.
TEST(WaypointBatchQueueTest, StoppingLetsGoAReaderWaitingForRoom) {
    qx::WaypointBatchQueue queue(2);
    std::atomic<pid_t> readerThread{0};
    std::atomic<int> pushed{0};
    bool thirdTaken = true;
    std::thread reader([&] {
        readerThread = static_cast<pid_t>(::syscall(SYS_gettid));
        for (int i = 0; i < 2; ++i) pushed += queue.push(batchOf(3)) ? 1 : 0;
        thirdTaken = queue.push(batchOf(3));  // the queue is full: waits
        pushed += queue.push(batchOf(3)) ? 1 : 0;
    });
    while (pushed < 2 || readerThread == 0) std::this_thread::yield();
    waitUntilAsleep(readerThread);
    queue.stop();
    reader.join();
    EXPECT_FALSE(thirdTaken);
    EXPECT_EQ(pushed, 2);
    EXPECT_FALSE(queue.pop().has_value());
}

}  // namespace qxtest
