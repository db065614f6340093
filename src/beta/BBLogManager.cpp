#include "beta/BBLogManager.h"

#include <dirent.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>

#include "beta/BBAlternateSignalStack.h"
#include "beta/BBSDK.h"
#include "beta/BBTaskThreads.h"

namespace bb {

namespace {

constexpr std::uint64_t kMaximumLogSize = 16 * 1024 * 1024;
constexpr const char* kOversizedNotice =
    "Betabeam: Your log file was larger than 16MB. Betabeam does not support sending log files of this size.";

// Each sink reports its first failure in the process, and only that one.
std::atomic<bool> remoteFailureReported{false};
std::atomic<bool> stderrFailureReported{false};

// The ids every line carries, asked of the system once: the system call would cost a good part of
// writing the line. A child forked from a thread forgets them, as it has ids of its own.
thread_local long tThreadNumber = 0;
std::atomic<long> gProcessID{0};

void forgetIDsInChild() {
    tThreadNumber = 0;
    gProcessID.store(0, std::memory_order_relaxed);
}

void forgetIDsInEveryChild() {
    static const bool registered = (::pthread_atfork(nullptr, nullptr, forgetIDsInChild), true);
    (void)registered;
}

long currentThreadNumber() {
    if (tThreadNumber == 0) {
        forgetIDsInEveryChild();
        tThreadNumber = BBTaskThreads::currentThreadID();
    }
    return tThreadNumber;
}

const std::string& processName() {
    static const std::string name = program_invocation_short_name;
    return name;
}

long processID() {
    long pid = gProcessID.load(std::memory_order_relaxed);
    if (pid == 0) {
        forgetIDsInEveryChild();
        pid = static_cast<long>(::getpid());
        gProcessID.store(pid, std::memory_order_relaxed);
    }
    return pid;
}

// "yyyy-MM-dd HH:mm:ss:SSS " in local time.
std::string stderrDate(plat::Date date) {
    const double t = date.timeIntervalSince1970();
    const double whole = std::floor(t);
    const auto seconds = static_cast<std::time_t>(whole);
    const int millis = static_cast<int>((t - whole) * 1000.0);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d:%03d ", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
    return text;
}

std::uint64_t fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool isLogName(const std::string& name) {
    static constexpr std::string_view suffix = ".ulog";
    // The name must hold an id before the suffix.
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

BBLogManager& BBLogManager::sharedManager() {
    // Never released: the library logs until the process ends.
    static BBLogManager* manager = new BBLogManager(bb_sdk_directory_path());
    return *manager;
}

BBLogManager::BBLogManager(std::string directory)
    : directory_(std::move(directory)), queue_(std::string(kBBReverseDomainPrefix) + ".BBLogManager") {
    remoteLog_.uncompressed_file = -1;
    remoteLog_.path_set = -1;
    post([] { BBAlternateSignalStack::prepareCurrentThread(); });
}

BBLogManager::~BBLogManager() {
    runOnQueue([this] {
        bb_log_forget_crash_log(&remoteLog_);
        bb_log_close(&remoteLog_);
    });
}

void BBLogManager::prepareToStartSession() {
    post([this] {
        dropHeldLines();
        logsRecordedPostPreparePreSetSessionID_.emplace();
    });
}

void BBLogManager::holdLine(std::string_view text) {
    // A line too large to be held at all goes by itself, rather than pushing out all the others.
    if (text.size() > kMaxHeldBytes) {
        ++droppedHeldLines_;
        return;
    }
    auto& held = *logsRecordedPostPreparePreSetSessionID_;
    held.emplace_back(text);
    heldBytes_ += text.size();
    while (!held.empty() && (held.size() > kMaxHeldLines || heldBytes_ > kMaxHeldBytes)) {
        heldBytes_ -= held.front().size();
        held.pop_front();
        ++droppedHeldLines_;
    }
}

// Lines held for a session that did not start are counted as dropped.
void BBLogManager::dropHeldLines() {
    if (logsRecordedPostPreparePreSetSessionID_) droppedHeldLines_ += logsRecordedPostPreparePreSetSessionID_->size();
    logsRecordedPostPreparePreSetSessionID_.reset();
    heldBytes_ = 0;
}

void BBLogManager::setCurrentSessionID(std::optional<std::string> sessionID) {
    post([this, sessionID = std::move(sessionID)]() mutable { changeSession(std::move(sessionID)); });
}

void BBLogManager::changeSession(std::optional<std::string> sessionID) {
    if (sessionID == sessionID_) return;
    if (sessionID_) bb_log_close(&remoteLog_);
    sessionID_ = std::move(sessionID);
    if (!sessionID_) return;
    newSessionIDs_.push_back(*sessionID_);
    bb_log_store_setup(&remoteLog_, directory_.c_str(), sessionID_->c_str());
    bb_log_open(&remoteLog_);
    bb_log_set_crash_log(&remoteLog_);
    if (logsRecordedPostPreparePreSetSessionID_) {
        // Held lines are stamped with the time the session became known.
        for (auto& text : *logsRecordedPostPreparePreSetSessionID_) {
            writeToRemoteLog(lineNow(text), queuedLines_.load() > 0);
        }
    }
    logsRecordedPostPreparePreSetSessionID_.reset();
    heldBytes_ = 0;
    if (droppedHeldLines_ > 0) {
        const std::uint64_t dropped = std::exchange(droppedHeldLines_, 0);
        const std::string notice =
            "Betabeam: " + std::to_string(dropped) + " log lines were dropped while no session could start";
        sinkStep(lineNow(notice), queuedLines_.load() > 0);
    }
}

void BBLogManager::setLogToConsole(bool on) {
    post([this, on] { logToConsole_ = on; });
}

void BBLogManager::setLogToSTDERR(bool on) {
    post([this, on] { logToSTDERR_ = on; });
}

BBLogManager::Line BBLogManager::lineNow(std::string_view text) const {
    return Line{text, plat::Date::now(), currentThreadNumber()};
}

void BBLogManager::post(std::function<void()> task) {
    ++queuedTasks_;
    queue_.async([this, task = std::move(task)] {
        const std::lock_guard lock(stateLock_);
        --queuedTasks_;
        task();
    });
}

void BBLogManager::runOnQueue(const std::function<void()>& task) {
    if (queue_.isCurrent()) {
        task();  // a task of the queue, which holds the lock already
        return;
    }
    ++queuedTasks_;
    queue_.sync([&] {
        const std::lock_guard lock(stateLock_);
        --queuedTasks_;
        task();
    });
}

void BBLogManager::log(std::string_view text) {
    // The caller waits until its line is handled: the line needs no copy of its text.
    const Line line = lineNow(text);
    // With nothing queued the line is handled here, in its turn among the queue's tasks as the
    // lock orders them, sparing it two thread switches; otherwise it waits behind them.
    if (!queue_.isCurrent()) {
        const std::lock_guard lock(stateLock_);
        if (queuedTasks_.load() == 0) {
            sinkStep(line, false);
            return;
        }
    }
    // Counted while it waits, so that lines queued before it may be left for it to write; its
    // own line it writes at once, as the caller goes on when it is handled.
    ++queuedLines_;
    runOnQueue([&] {
        --queuedLines_;
        sinkStep(line, false);
    });
}

void BBLogManager::logAsync(std::string text) {
    ++queuedLines_;
    post([this, text = std::move(text), date = plat::Date::now(), thread = currentThreadNumber()] {
        --queuedLines_;
        sinkStep(Line{text, date, thread}, queuedLines_.load() > 0);
    });
}

void BBLogManager::sinkStep(const Line& line, bool linesWaiting) {
    if (sessionID_) {
        writeToRemoteLog(line, linesWaiting);
    } else if (logsRecordedPostPreparePreSetSessionID_) {
        holdLine(line.text);
    }
    if (logToConsole_) writeToConsole(line);
    if (logToSTDERR_) writeToSTDERR(line);
}

void BBLogManager::writeToRemoteLog(const Line& line, bool linesWaiting) {
    const auto seconds = static_cast<std::int64_t>(line.date.timeIntervalSince1970());
    // While more lines wait on the queue, entries are only held: the last of a burst writes them
    // all at once. A crash writes out what is held before it copies the log.
    int result = bb_log_append_entry_held(&remoteLog_, line.text, seconds);
    if (result == 0 && !linesWaiting) result = bb_log_flush(&remoteLog_);
    if (result != 0 && !remoteFailureReported.exchange(true)) {
        logAsync("**** Betabeam: Remote Logging Failed with errno " + std::to_string(result));
    }
}

void BBLogManager::writeToConsole(const Line& line) {
    // The system log is this platform's console; it reports no failure to its callers.
    static std::once_flag opened;
    std::call_once(opened, [] { ::openlog(nullptr, LOG_NDELAY, LOG_USER); });
    const int length = static_cast<int>(std::min<std::size_t>(line.text.size(), INT_MAX));
    ::syslog(LOG_NOTICE, "%.*s\n", length, line.text.data());
}

void BBLogManager::writeToSTDERR(const Line& line) {
    const std::string date = stderrDate(line.date);
    const std::string ids = "[" + std::to_string(processID()) + ":" + std::to_string(line.thread) + "] ";
    const std::string& name = processName();
    iovec parts[] = {
        {const_cast<char*>(date.data()), date.size()},
        {const_cast<char*>(name.data()), name.size()},
        {const_cast<char*>(ids.data()), ids.size()},
        {const_cast<char*>(line.text.data()), line.text.size()},
        {const_cast<char*>("\n"), 1},
    };
    if (::writev(STDERR_FILENO, parts, std::size(parts)) < 0 && !stderrFailureReported.exchange(true)) {
        logAsync("**** Betabeam: STDERR Logging Failed with errno " + std::to_string(errno));
    }
}

std::string BBLogManager::pathForSessionID(const std::string& sessionID) const {
    return directory_ + "/logs/" + sessionID;
}

std::uint64_t BBLogManager::logSize(const std::string& sessionID) const {
    const std::string path = pathForSessionID(sessionID);
    return fileSize(path + ".ulog") + fileSize(path + ".zlog");
}

bool BBLogManager::writeLogForToFileDescriptorInAHurryBytesWritten(const std::string& sessionID, int fd,
                                                                   bool inAHurry, std::uint64_t* bytesWritten) {
    bool written = false;
    runOnQueue([&] {
        if (sessionID == sessionID_) bb_log_flush(&remoteLog_);
        const std::uint64_t size = logSize(sessionID);
        if (size > kMaximumLogSize) {
            replaceOversizedLog(sessionID);
        } else if (inAHurry && size > kBBLogRunSize) {
            return;
        }
        written = bb_log_copy_to_fd(directory_.c_str(), sessionID.c_str(), fd, 0, bytesWritten) == 0;
    });
    return written;
}

void BBLogManager::replaceOversizedLog(const std::string& sessionID) {
    internalDeleteLogFor(sessionID);
    const auto now = static_cast<std::int64_t>(plat::Date::now().timeIntervalSince1970());
    if (sessionID == sessionID_) {
        // The session is still being written: its later lines go on in the fresh file, not into
        // the deleted one.
        bb_log_close(&remoteLog_);
        bb_log_store_setup(&remoteLog_, directory_.c_str(), sessionID.c_str());
        bb_log_open(&remoteLog_);
        bb_log_append_entry(&remoteLog_, kOversizedNotice, now);
        return;
    }
    BBRemoteLog notice{};
    bb_log_store_setup(&notice, directory_.c_str(), sessionID.c_str());
    bb_log_open(&notice);
    bb_log_append_entry(&notice, kOversizedNotice, now);
    bb_log_close(&notice);
}

std::set<std::string> BBLogManager::sessionIDsWithOldLogs() {
    std::set<std::string> ids;
    const std::string logs = directory_ + "/logs";
    if (DIR* dir = ::opendir(logs.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (!isLogName(name)) continue;
            std::string id = name.substr(0, name.size() - 5);
            if (bb_log_file_is_sent((logs + "/" + name).c_str())) {
                deleteLogFor(id);
            } else {
                ids.insert(std::move(id));
            }
        }
        ::closedir(dir);
    }
    runOnQueue([&] {
        for (const auto& id : newSessionIDs_) ids.erase(id);
    });
    return ids;
}

void BBLogManager::deleteLogFor(const std::string& sessionID) {
    post([this, sessionID] { internalDeleteLogFor(sessionID); });
}

void BBLogManager::internalDeleteLogFor(const std::string& sessionID) {
    const std::string path = pathForSessionID(sessionID);
    ::unlink((path + ".ulog").c_str());
    ::unlink((path + ".zlog").c_str());
}

}  // namespace bb
