#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "beta/BBEventManager.h"
#include "beta/BBTimer.h"
#include "beta/BBURLRequest.h"
#include "beta/BBValue.h"

namespace bb {

// What the service allows the library to send, as its last handshake reply said.
struct BBServerPermissions {
    bool applicationTokenValid = true;
    bool sendsCheckpoints = true;
    bool sendsLogs = true;
    bool sendsCrashes = true;

    bool operator==(const BBServerPermissions&) const = default;
};

// The keeper of the library's sessions. A return to the foreground soon after the last end
// continues that session; otherwise a new one begins. Every event of a session is numbered and
// queued in the "events" queue; the session's timing is kept on disk (in "session_info") so that
// a later process, or the crash handler, can end it properly.
//
// At every session start the application is introduced to the service (the tokens request); the
// permissions of its reply, kept on disk as well, gate what is recorded and sent. Used on the SDK
// queue.
class BBSessionManager : public std::enable_shared_from_this<BBSessionManager> {
public:
    static constexpr double kDefaultKeepAliveTimeout = 30.0;
    static constexpr double kPersistSessionInterval = 30.0;
    // At most this many sessions of earlier processes are ended in one pass.
    static constexpr std::size_t kOldSessionsPerPass = 5;

    static BBSessionManager& sharedSessionManager();
    static std::shared_ptr<BBSessionManager> create();
    ~BBSessionManager();
    BBSessionManager(const BBSessionManager&) = delete;
    BBSessionManager& operator=(const BBSessionManager&) = delete;

    // Keeps the token and derives the service's addresses from it.
    void setApplicationToken(std::optional<std::string> token);
    const std::optional<std::string>& appToken() const { return appToken_; }
    const std::optional<std::string>& url() const { return url_; }

    void doApiHandshake();
    void finishedHandshakeWithDataResponseError(const std::optional<std::string>& data,
                                                const std::optional<BBURLResponse>& response,
                                                const std::optional<BBURLError>& error);

    void _loadPermissions();
    void _savePermissions() const;
    const BBServerPermissions& serverPermissions() const { return serverPermissions_; }
    bool allowedToSendCrashes() const { return serverPermissions_.sendsCrashes; }
    // The keep-alive the service asked for, in seconds.
    double bbSessionKeepAliveTimeout() const { return bbSessionKeepAliveTimeout_; }

    const std::shared_ptr<BBEventManager>& eventManager() const { return eventManager_; }

    // Sessions.
    void startSession(bool manual);
    void endSession(bool manual);
    // Ends the sessions earlier processes left unended. Called on a background queue: it lists
    // them there and ends them on the SDK queue.
    void endOldSessions();
    // Uploads a crash file of an earlier process, once the service's address is known.
    void sendOldCrashReport(const std::string& path);

    // Events. Without the valid permission only high-priority events are recorded; events recorded
    // while no session runs wait for the session to continue.
    void recordEvent(const std::string& type);
    void recordEventWithDictionary(const std::string& type, const std::optional<BBDictionary>& entries);
    void recordEventWithDictionaryHighPriority(const std::string& type, const std::optional<BBDictionary>& entries,
                                               bool highPriority);
    void checkpointHitWithParameters(const std::optional<std::string>& name, const std::optional<BBValue>& parameters);
    void respondTofeedbackFeedbackType(const std::string& text, const std::string& type);
    void respondToFeedbackCustom(const std::optional<std::string>& text);

    bool shouldSendLogs() const { return serverPermissions_.sendsLogs && !sendLogOnlyOnCrash_; }
    // The host's keep-alive when it set one, else the service's.
    double sessionKeepAliveTimeout() const;
    void setSessionKeepAliveTimeout(double seconds) { sessionKeepAliveTimeout_ = seconds; }
    std::int32_t useSeqNumber();
    // "session_id", "start_time", "timestamp" and "duration" (and, in a continued session,
    // "fragment_start_time" and "fragment_duration") as of now; empty before the first session.
    BBDictionary currentSessionInformation() const;

    // The session files.
    void saveLastSessionInformation() const;
    void saveEndSessionInformation();
    static std::filesystem::path sessionInfoDirectoryPath();
    static std::optional<std::filesystem::path> sessionFilePathForFileNameExtension(const std::optional<std::string>& name,
                                                                                   const std::string& extension);
    static std::optional<std::filesystem::path> sequenceNumberPathForSessionID(const std::string& sessionID);
    static std::optional<BBDictionary> savedEndSessionInformationForSessionID(const std::string& sessionID);
    static void deleteSavedEndSessionInformationForSessionID(const std::string& sessionID);
    // Sessions of earlier processes whose end information is on disk and not yet reported; the
    // files of those the crash handler reported are removed. Not to be called on the SDK queue
    // by anyone but the manager itself.
    std::set<std::string> sessionIDsWithOldSavedSessionInformation();

    static double unixTime();
    static std::string getUUID();
    static std::optional<std::string> getStringOrNilFromWithKey(const BBDictionary& dictionary, const std::string& key);
    static const BBValue* getNumberOrNilFromWithKey(const BBDictionary& dictionary, const std::string& key);

    bool inSession() const { return inSession_; }
    void setInSession(bool inSession) { inSession_ = inSession; }
    const std::optional<std::string>& sessionID() const { return sessionID_; }
    void setSessionID(std::optional<std::string> sessionID) { sessionID_ = std::move(sessionID); }
    std::int32_t nextSeqNumber() const { return nextSeqNumber_; }
    void setNextSeqNumber(std::int32_t number) { nextSeqNumber_ = number; }
    bool sendLogOnlyOnCrash() const { return sendLogOnlyOnCrash_; }
    void setSendLogOnlyOnCrash(bool on) { sendLogOnlyOnCrash_ = on; }
    double startTime() const { return startTime_; }
    double fragmentStartTime() const { return fragmentStartTime_; }
    double lastSessionEndTime() const { return lastSessionEndTime_; }
    const std::vector<BBDictionary>& eventsRecordedOutOfSession() const { return eventsRecordedOutOfSession_; }
    bool hasPersistSessionTimer() const { return static_cast<bool>(persistSessionTimer_); }

    static std::string hadFirstSessionKey();
    static std::filesystem::path permissionsFilePath();
    // "https://", the token's SHA-1 and a dot, then the service's SDK host (no token: the host).
    static std::string baseURLForToken(const std::optional<std::string>& token);
    static constexpr const char* kTokensPath = "beamdeck/1.0/tokens.mpack";
    static constexpr const char* kSessionsPath = "beamdeck/1.0/sessions.mpack";

private:
    BBSessionManager();
    void applyReply(const BBDictionary& reply);
    void continueSession(double now);
    void beginNewSession(bool manual, double now);
    void startPersistSessionTimer();
    // Queues a session's end: with its log streamed in when logs are sent, else with an empty
    // log. True when the log went with it.
    bool enqueueSessionEnd(const BBDictionary& record, const std::string& sessionID, bool withLog, bool inAHurry);
    void queueEndedSession(const BBDictionary& record, const std::string& sessionID, bool sendLogs, bool valid,
                           bool inAHurry);
    void endOldSession(const std::string& sessionID);

    std::optional<std::string> appToken_;
    std::optional<std::string> url_;
    double bbSessionKeepAliveTimeout_ = kDefaultKeepAliveTimeout;
    BBServerPermissions serverPermissions_;
    std::shared_ptr<BBEventManager> eventManager_;

    double startTime_ = 0;
    double fragmentStartTime_ = 0;
    double lastSessionEndTime_ = 0;
    std::shared_ptr<BBTimer> persistSessionTimer_;
    std::vector<BBDictionary> eventsRecordedOutOfSession_;
    bool sendLogOnlyOnCrash_ = false;
    bool inSession_ = false;
    std::int32_t nextSeqNumber_ = 0;
    double sessionKeepAliveTimeout_ = -1.0;  // -1: the host set none
    std::optional<std::string> sessionID_;
};

}  // namespace bb
