#include "beta/BBNetworkThread.h"

#include <curl/curl.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "beta/BBAlternateSignalStack.h"

namespace bb {

namespace {
// An idle loop still wakes now and then; posted tasks wake it at once anyway.
constexpr int kIdlePollMs = 1000;
}  // namespace

BBNetworkThread& BBNetworkThread::shared() {
    // Never destroyed: the thread runs until the process ends, like the run loop it stands for.
    static BBNetworkThread* instance = new BBNetworkThread();
    return *instance;
}

BBNetworkThread::BBNetworkThread() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    // Exit handlers run last registered first: this one runs before the TLS library's own
    // clean-up (registered when curl set it up), which a transfer still running would trip over.
    std::atexit([] { shared().stopForExit(); });
    std::thread thread([this] { run(); });
    threadID_ = thread.get_id();
    // The system keeps at most 15 characters of a thread's name.
    const std::string shortName = std::string(kName).substr(0, 15);
    pthread_setname_np(thread.native_handle(), shortName.c_str());
    thread.detach();
}

void BBNetworkThread::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

bool BBNetworkThread::isCurrent() const { return std::this_thread::get_id() == threadID_; }

void BBNetworkThread::addTransfer(void* easyHandle, TransferDone done) {
    transfers_[easyHandle] = std::move(done);
    curl_multi_add_handle(static_cast<CURLM*>(multi_), static_cast<CURL*>(easyHandle));
}

void BBNetworkThread::removeTransfer(void* easyHandle) {
    if (transfers_.erase(easyHandle) == 0) return;
    curl_multi_remove_handle(static_cast<CURLM*>(multi_), static_cast<CURL*>(easyHandle));
}

void BBNetworkThread::run() {
    BBAlternateSignalStack::prepareCurrentThread();
    // A peer that closed its end must fail a write here, not raise SIGPIPE: the crash reporter
    // would take that for a crash of the host. The signal a write raises goes to the writing
    // thread, so blocking it here is enough whatever the transport's layers use to write.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    auto* multi = static_cast<CURLM*>(multi_);
    for (;;) {
        parkIfExiting();
        runPostedTasks();
        int running = 0;
        parkIfExiting();
        curl_multi_perform(multi, &running);
        finishDoneTransfers();
        curl_multi_poll(multi, nullptr, 0, pollTimeoutMs(), nullptr);
    }
}

void BBNetworkThread::stopForExit() {
    {
        std::lock_guard lock(mutex_);
        exiting_ = true;
    }
    if (isCurrent()) return;
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
    // Bounded: a thread stuck elsewhere must not hold up the process's end.
    std::unique_lock lock(mutex_);
    stopped_.wait_for(lock, std::chrono::seconds(2), [this] { return parked_; });
}

// Once the process is ending, the thread stays out of every transfer until it is gone.
void BBNetworkThread::parkIfExiting() {
    std::unique_lock lock(mutex_);
    if (!exiting_) return;
    parked_ = true;
    stopped_.notify_all();
    for (;;) stopped_.wait(lock);
}

void BBNetworkThread::runPostedTasks() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& task : batch) task();
}

void BBNetworkThread::finishDoneTransfers() {
    auto* multi = static_cast<CURLM*>(multi_);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* easy = message->easy_handle;
        const int result = message->data.result;
        auto found = transfers_.find(easy);
        if (found == transfers_.end()) continue;
        auto done = std::move(found->second);
        transfers_.erase(found);
        curl_multi_remove_handle(multi, easy);
        if (done) done(result);
    }
}

int BBNetworkThread::pollTimeoutMs() {
    long timeout = kIdlePollMs;
    long curlTimeout = -1;
    curl_multi_timeout(static_cast<CURLM*>(multi_), &curlTimeout);
    if (curlTimeout >= 0) timeout = std::min(timeout, curlTimeout);
    {
        std::lock_guard lock(mutex_);
        if (!tasks_.empty()) timeout = 0;
    }
    return static_cast<int>(timeout);
}

}  // namespace bb
