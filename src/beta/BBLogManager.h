#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "beta/BBRemoteLog.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Dispatch.h"

namespace bb {

// Takes every line the library and its host log and sends it to the current session's log files,
// the system log and standard error. All of its state changes on its own serial queue.
class BBLogManager {
public:
    static BBLogManager& sharedManager();

    // A manager whose session logs live in "<directory>/logs".
    explicit BBLogManager(std::string directory);
    ~BBLogManager();
    BBLogManager(const BBLogManager&) = delete;
    BBLogManager& operator=(const BBLogManager&) = delete;

    // Holds the lines logged from now until the session id is known. Only the latest lines are
    // held (kMaxHeldLines, kMaxHeldBytes) for a session that may never start; how many were
    // dropped is logged once it does.
    void prepareToStartSession();
    // Closes the current session's log and opens a fresh one for `sessionID`, writing the held
    // lines into it first. No id: lines go to the other sinks only.
    void setCurrentSessionID(std::optional<std::string> sessionID);
    void setLogToConsole(bool on);
    void setLogToSTDERR(bool on);

    // Handles the line before returning; logAsync() only queues it (use it on the log queue).
    void log(std::string_view text);
    void logAsync(std::string text);

    // Writes the session's log to `fd` as one raw item. A log above 16 MiB is replaced by a
    // one-line notice first; in a hurry, a log above 64 KiB is not written (false).
    bool writeLogForToFileDescriptorInAHurryBytesWritten(const std::string& sessionID, int fd, bool inAHurry,
                                                         std::uint64_t* bytesWritten);
    // Sessions whose logs are still on disk from earlier processes; delivered ones are deleted.
    std::set<std::string> sessionIDsWithOldLogs();
    void deleteLogFor(const std::string& sessionID);
    std::string pathForSessionID(const std::string& sessionID) const;

    static constexpr std::size_t kMaxHeldLines = 1000;
    static constexpr std::size_t kMaxHeldBytes = 1024 * 1024;

    bool logCheckpoints() const { return logCheckpoints_; }
    void setLogCheckpoints(bool on) { logCheckpoints_ = on; }

    const std::string& directory() const { return directory_; }
    // Runs `task` on the log queue and waits for it (also lets callers wait for queued work).
    void sync(const std::function<void()>& task) { runOnQueue(task); }

private:
    // The text is the caller's: it outlives the handling of the line.
    struct Line {
        std::string_view text;
        plat::Date date;
        long thread;
    };
    // Work on the state below: queued in order, each task run holding stateLock_.
    void post(std::function<void()> task);
    void runOnQueue(const std::function<void()>& task);
    // `linesWaiting`: more lines are queued, the last of which writes what this one leaves held.
    void sinkStep(const Line& line, bool linesWaiting);
    void writeToRemoteLog(const Line& line, bool linesWaiting);
    void writeToConsole(const Line& line);
    void writeToSTDERR(const Line& line);
    void changeSession(std::optional<std::string> sessionID);
    void holdLine(std::string_view text);
    void dropHeldLines();
    void replaceOversizedLog(const std::string& sessionID);
    void internalDeleteLogFor(const std::string& sessionID);
    std::uint64_t logSize(const std::string& sessionID) const;
    Line lineNow(std::string_view text) const;

    std::string directory_;
    std::optional<std::string> sessionID_;
    std::vector<std::string> newSessionIDs_;
    bool logToConsole_ = true;
    bool logToSTDERR_ = true;
    BBRemoteLog remoteLog_{};
    std::optional<std::deque<std::string>> logsRecordedPostPreparePreSetSessionID_;
    std::size_t heldBytes_ = 0;
    std::uint64_t droppedHeldLines_ = 0;
    std::atomic<bool> logCheckpoints_{true};
    std::atomic<int> queuedLines_{0};  // lines on the queue not yet handled
    // Held by whatever works on the state: a queue task, or a logging thread that found nothing
    // queued and handles its line itself.
    std::mutex stateLock_;
    std::atomic<int> queuedTasks_{0};  // tasks on the queue not yet run
    plat::SerialQueue queue_;  // last: its thread stops before the state it works on goes
};

}  // namespace bb
