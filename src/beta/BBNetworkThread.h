#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace bb {

// The library's one network thread. It owns a libcurl multi handle and runs, forever, a loop of
// posted tasks and the transfers added to it. Every
// connection of the library runs here, so no transfer state is shared between threads.
class BBNetworkThread {
public:
    using TransferDone = std::function<void(int curlResult)>;

    static constexpr const char* kName = "Betabeam Network Runloop Thread";

    // Started on first use; lives until the process ends.
    static BBNetworkThread& shared();

    // Queues a task for the thread; safe from any thread.
    void post(std::function<void()> task);
    bool isCurrent() const;

    // The calls below are for the network thread only.
    // Adds a prepared easy handle (a CURL*); `done` runs here when the transfer ends.
    void addTransfer(void* easyHandle, TransferDone done);
    // Takes a running transfer out without calling its `done`.
    void removeTransfer(void* easyHandle);

private:
    BBNetworkThread();
    void run();
    void stopForExit();
    void parkIfExiting();
    void runPostedTasks();
    void finishDoneTransfers();
    int pollTimeoutMs();

    void* multi_ = nullptr;
    std::thread::id threadID_;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    std::condition_variable stopped_;
    bool exiting_ = false;  // the process is ending
    bool parked_ = false;   // the thread has stopped for it
    std::map<void*, TransferDone> transfers_;
};

}  // namespace bb
