#include "beta/BBSessionManager.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "beta/BBAppUpdater.h"
#include "beta/BBApplicationInformation.h"
#include "beta/BBCrashSessionRecord.h"
#include "beta/BBCrypto.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBLogManager.h"
#include "beta/BBMessagePack.h"
#include "beta/BBNetworkManager.h"
#include "beta/BBSDK.h"
#include "beta/BBServiceHost.h"
#include "beta/BBURLConnectionOperation.h"
#include "beta/BBUUID.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"

namespace bb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kValid = "valid";
constexpr const char* kSendCheckpoints = "send_checkpoints";
constexpr const char* kSendLogs = "send_logs";
constexpr const char* kSendCrashes = "send_crashes";
constexpr const char* kKeepAlive = "session_keep_alive_timeout";

// The key's value when it is a number, taken as a bool; otherwise NO.
bool flag(const BBDictionary& map, const char* key) {
    const BBValue* value = map.find(key);
    return value && value->isNumber() && value->boolValue();
}

// A short text of an unpacked value for the log.
std::string describe(const BBValue& value) {
    if (value.isString()) return "\"" + std::string(value.string()) + "\"";
    if (value.isBoolean()) return value.boolValue() ? "true" : "false";
    if (value.isInteger()) return std::to_string(value.int64Value());
    if (value.isNumber()) return std::to_string(value.doubleValue());
    if (const BBArray* array = value.asArray()) {
        std::string text = "(";
        for (std::size_t i = 0; i < array->size(); ++i) text += (i ? ", " : "") + describe((*array)[i]);
        return text + ")";
    }
    if (value.isData()) return value.asData()->description();
    return value.isNull() ? "<null>" : "{...}";
}

constexpr const char* kSessionInformationExtension = "session.mpack";
constexpr const char* kSequenceExtension = "seq.mpack";

void writePacked(const std::optional<fs::path>& path, const BBValue& value) {
    if (!path) return;
    if (auto packed = BBMessagePack::pack(value)) plat::file::writeAtomically(*path, packed->view());
}

void removeFile(const std::optional<fs::path>& path) {
    std::error_code ignored;
    if (path) fs::remove(*path, ignored);
}

// True when the file begins with the marker the crash handler leaves on what it reported.
bool isMarkedSent(const fs::path& path) {
    auto bytes = plat::file::read(path);
    return bytes && bytes->size() >= 5 && bytes->compare(0, 5, std::string("sent\0", 5)) == 0;
}

// A boolean of the host's information dictionary, whose values are texts here: a number other
// than zero, or "true"/"YES".
bool infoFlag(const char* key) {
    auto text = BBApplicationInformation::infoDictionaryValue(key);
    if (!text || text->empty()) return false;
    std::string lower;
    for (char c : *text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "true" || lower == "yes") return true;
    char* end = nullptr;
    const double number = std::strtod(text->c_str(), &end);
    return end && *end == '\0' && number != 0;
}

// Whether the application goes on running after it leaves the front. Every process of this
// platform may; the host can still ask to be ended instead.
bool runsInBackground() { return !infoFlag("UIApplicationExitsOnSuspend"); }

BBLogManager& logManager() { return BBLogManager::sharedManager(); }

}  // namespace

BBSessionManager& BBSessionManager::sharedSessionManager() {
    static auto* instance = new std::shared_ptr<BBSessionManager>(create());
    return **instance;
}

std::shared_ptr<BBSessionManager> BBSessionManager::create() {
    return std::shared_ptr<BBSessionManager>(new BBSessionManager());
}

BBSessionManager::BBSessionManager() : eventManager_(BBEventManager::eventManagerWithQueueKeyUrl("events", std::nullopt)) {
    _loadPermissions();
    plat::file::ensureDirectory(sessionInfoDirectoryPath());
}

BBSessionManager::~BBSessionManager() = default;

std::filesystem::path BBSessionManager::permissionsFilePath() {
    return std::filesystem::path(bb_sdk_directory_path()) / "permissions.mpack";
}

std::string BBSessionManager::baseURLForToken(const std::optional<std::string>& token) {
    const std::string host = BBServiceHost::sdkHostName();
    return "https://" + (token ? BBCrypto::sha1(token) + "." + host : host) + "/";
}

void BBSessionManager::setApplicationToken(std::optional<std::string> token) {
    appToken_ = std::move(token);
    url_ = baseURLForToken(appToken_);
    eventManager_->setUrl(*url_ + kSessionsPath);
}

void BBSessionManager::_loadPermissions() {
    auto bytes = plat::file::read(permissionsFilePath());
    auto map = bytes ? BBMessagePack::unpackDictionary(*bytes) : std::nullopt;
    if (!map) {
        serverPermissions_ = BBServerPermissions{};
        return;
    }
    serverPermissions_ = {flag(*map, kValid), flag(*map, kSendCheckpoints), flag(*map, kSendLogs),
                          flag(*map, kSendCrashes)};
}

void BBSessionManager::_savePermissions() const {
    const BBDictionary map{{kValid, serverPermissions_.applicationTokenValid},
                           {kSendCheckpoints, serverPermissions_.sendsCheckpoints},
                           {kSendLogs, serverPermissions_.sendsLogs},
                           {kSendCrashes, serverPermissions_.sendsCrashes}};
    if (auto packed = BBMessagePack::pack(BBValue(map))) plat::file::writeAtomically(permissionsFilePath(), packed->view());
}

void BBSessionManager::doApiHandshake() {
    if (!url_ || !appToken_) return;
    const BBDictionary body{{"device_info", BBValue(BBDeviceInfo::deviceInformation())},
                            {"bundle_info", BBValue(BBApplicationInformation::bundleInformation())},
                            {"application_token", *appToken_}};
    auto packed = BBMessagePack::pack(BBValue(body));
    if (!packed) return;
    BBURLRequest request;
    request.url = *url_ + kTokensPath;
    request.httpMethod = "POST";
    request.httpBody = std::string(packed->view());
    std::weak_ptr<BBSessionManager> weak = weak_from_this();
    auto operation = BBURLConnectionOperation::initWithRequestCompletionHandler(
        request, [weak](const auto&, auto data, auto response, auto error) {
            if (auto manager = weak.lock()) manager->finishedHandshakeWithDataResponseError(data, response, error);
        });
    if (!operation) return;
    operation->setQueuePriority(BBOperation::VeryHigh);  // ahead of every file upload
    BBNetworkManager::sharedManager().addNetworkOperation(operation);
}

void BBSessionManager::finishedHandshakeWithDataResponseError(const std::optional<std::string>& data,
                                                              const std::optional<BBURLResponse>& response,
                                                              const std::optional<BBURLError>& error) {
    if (error) return;
    // A reply the service did not mean as an answer (an error page, an outage) says nothing
    // about the permissions, so they are kept.
    if ((response && !response->isSuccess()) || !data || data->empty()) {
        bb_log_format("Betabeam: Communication error has occurred");
        return;
    }
    auto reply = BBMessagePack::unpack(*data);
    if (!reply || !reply->isDictionary()) {
        bb_log_format("Betabeam: Bad data received from Handshake: %s", reply ? describe(*reply).c_str() : "(null)");
        return;
    }
    applyReply(*reply->asDictionary());
    _savePermissions();
    BBAppUpdater::promptIfUpdateExists(*reply->asDictionary());
}

void BBSessionManager::applyReply(const BBDictionary& reply) {
    if (!flag(reply, kValid)) {
        bb_log_format("Betabeam: App Token Error - Your App Token is not recognized %s",
                      BBServiceHost::webAddress().c_str());
        serverPermissions_ = {false, false, false, false};
        return;
    }
    bb_log_format("Betabeam: App Token is recognized");
    serverPermissions_ = {true, flag(reply, kSendCheckpoints), flag(reply, kSendLogs), flag(reply, kSendCrashes)};
    // Only a real span of time can keep sessions alive; anything else leaves the last value.
    const BBValue* keepAlive = reply.find(kKeepAlive);
    if (keepAlive && keepAlive->isNumber()) {
        const double seconds = keepAlive->doubleValue();
        if (std::isfinite(seconds) && seconds > 0) bbSessionKeepAliveTimeout_ = seconds;
    }
}

// Sessions

std::string BBSessionManager::hadFirstSessionKey() { return std::string(kBBReverseDomainPrefix) + ".had-first-session"; }

double BBSessionManager::unixTime() { return plat::Date::now().timeIntervalSince1970(); }

std::string BBSessionManager::getUUID() { return BBUUID::uuidString(); }

std::optional<std::string> BBSessionManager::getStringOrNilFromWithKey(const BBDictionary& dictionary,
                                                                      const std::string& key) {
    const BBValue* value = dictionary.find(key);
    if (!value || !value->isString()) return std::nullopt;
    return std::string(value->string());
}

const BBValue* BBSessionManager::getNumberOrNilFromWithKey(const BBDictionary& dictionary, const std::string& key) {
    const BBValue* value = dictionary.find(key);
    return value && value->isNumber() ? value : nullptr;
}

double BBSessionManager::sessionKeepAliveTimeout() const {
    return sessionKeepAliveTimeout_ != -1.0 ? sessionKeepAliveTimeout_ : bbSessionKeepAliveTimeout_;
}

std::int32_t BBSessionManager::useSeqNumber() {
    const std::int32_t number = nextSeqNumber_;
    nextSeqNumber_ = bb_next_sequence_number(number);
    return number;
}

BBDictionary BBSessionManager::currentSessionInformation() const {
    if (!sessionID_) return {};
    const double now = unixTime();
    BBDictionary information{{"session_id", *sessionID_},
                             {"start_time", startTime_},
                             {"timestamp", now},
                             {"duration", now - startTime_}};
    if (fragmentStartTime_ != startTime_) {
        information.set("fragment_start_time", fragmentStartTime_);
        information.set("fragment_duration", now - fragmentStartTime_);
    }
    return information;
}

void BBSessionManager::startSession(bool manual) {
    inSession_ = true;
    const double now = unixTime();
    if (sessionID_ && now <= lastSessionEndTime_ + sessionKeepAliveTimeout()) {
        continueSession(now);
    } else {
        beginNewSession(manual, now);
    }
    saveLastSessionInformation();
    doApiHandshake();
    startPersistSessionTimer();
}

void BBSessionManager::continueSession(double now) {
    fragmentStartTime_ = now;
    saveEndSessionInformation();
    for (const auto& event : eventsRecordedOutOfSession_) eventManager_->enqueueObject(BBValue(event));
    eventsRecordedOutOfSession_.clear();
}

void BBSessionManager::beginNewSession(bool manual, double now) {
    fragmentStartTime_ = startTime_ = now;
    sessionID_ = getUUID();
    nextSeqNumber_ = 0;
    auto& defaults = plat::UserDefaults::standard();
    const bool first = !defaults.boolForKey(hadFirstSessionKey());
    BBDictionary entries;
    if (manual) entries.set("manual", true);
    if (first) entries.set("first_session", true);
    // The first session of an installation is announced at once, whatever the stored permissions.
    recordEventWithDictionaryHighPriority("session_start", entries, first);
    if (first) {
        defaults.setBool(hadFirstSessionKey(), true);
        defaults.synchronize();
    }
    // What was recorded after the last session ended belongs to no session now.
    eventsRecordedOutOfSession_.clear();
}

void BBSessionManager::startPersistSessionTimer() {
    if (persistSessionTimer_) persistSessionTimer_->invalidate();
    // The timer must not keep the manager alive.
    std::weak_ptr<BBSessionManager> weak = weak_from_this();
    persistSessionTimer_ = BBTimer::initWithIntervalDispatchQueueBlock(kPersistSessionInterval, &bb_sdk_queue(), [weak] {
        if (auto manager = weak.lock()) manager->saveEndSessionInformation();
    });
}

void BBSessionManager::recordEvent(const std::string& type) { recordEventWithDictionary(type, std::nullopt); }

void BBSessionManager::recordEventWithDictionary(const std::string& type, const std::optional<BBDictionary>& entries) {
    recordEventWithDictionaryHighPriority(type, entries, false);
}

void BBSessionManager::recordEventWithDictionaryHighPriority(const std::string& type,
                                                            const std::optional<BBDictionary>& entries,
                                                            bool highPriority) {
    if (!serverPermissions_.applicationTokenValid && !highPriority) return;
    BBDictionary record = currentSessionInformation();
    record.set("type", type);
    record.set("sequence_number", useSeqNumber());
    if (entries) {
        for (const auto& [key, value] : *entries) record.set(key, value);
    }
    if (!inSession_) {
        // The end information of an ended session stays as its end left it (or gone): rewriting
        // it here would have the next process end that session a second time.
        eventsRecordedOutOfSession_.push_back(std::move(record));
        return;
    }
    saveEndSessionInformation();
    eventManager_->enqueueObjectAndSendImmediately(BBValue(std::move(record)), highPriority);
}

void BBSessionManager::checkpointHitWithParameters(const std::optional<std::string>& name,
                                                   const std::optional<BBValue>& parameters) {
    if (!serverPermissions_.sendsCheckpoints) {
        bb_log_format("Betabeam: checkpoint permission denied");
        return;
    }
    if (!name) {
        bb_log_format("Betabeam: checkpoint is nil unable to send to Betabeam");
        return;
    }
    if (name->empty()) {
        bb_log_format("Betabeam: checkpoint is empty unable to send to Betabeam");
        return;
    }
    BBDictionary entries{{"checkpoint_id", *name}};
    if (parameters) entries.set("parameters", *parameters);
    recordEventWithDictionary("checkpoint", entries);
}

void BBSessionManager::respondTofeedbackFeedbackType(const std::string& text, const std::string& type) {
    recordEventWithDictionary(type, BBDictionary{{"feedback_text", text}});
}

void BBSessionManager::respondToFeedbackCustom(const std::optional<std::string>& text) {
    if (!text) {
        bb_log_format("Betabeam: Custom Feedback was nil");
        return;
    }
    bb_log_format("Betabeam: Submitting custom feedback: %s", text->c_str());
    respondTofeedbackFeedbackType(*text, "feedback_custom");
}

void BBSessionManager::endSession(bool manual) {
    if (!sessionID_) return;
    persistSessionTimer_.reset();
    saveEndSessionInformation();
    lastSessionEndTime_ = unixTime();
    const bool sendLogs = shouldSendLogs();
    const bool valid = serverPermissions_.applicationTokenValid;
    const bool background = runsInBackground();
    BBDictionary record = currentSessionInformation();
    record.set("type", "session_end");
    record.set("sequence_number", useSeqNumber());
    if (manual) record.set("manual", true);
    inSession_ = false;
    const std::string sessionID = *sessionID_;
    if (!background) {
        // The process is about to end: the log goes only when it can be copied quickly.
        queueEndedSession(record, sessionID, sendLogs, valid, true);
        return;
    }
    std::weak_ptr<BBSessionManager> weak = weak_from_this();
    bb_run_in_background_task([weak, record, sessionID, sendLogs, valid] {
        if (auto manager = weak.lock()) manager->queueEndedSession(record, sessionID, sendLogs, valid, false);
    });
}

bool BBSessionManager::enqueueSessionEnd(const BBDictionary& record, const std::string& sessionID, bool withLog,
                                         bool inAHurry) {
    if (withLog) {
        const bool streamed = eventManager_->enqueueDictionaryWithExtraPairWithKeyAndObjectDataWriter(
            record, "log", [&sessionID, inAHurry](int fd) {
                return logManager().writeLogForToFileDescriptorInAHurryBytesWritten(sessionID, fd, inAHurry, nullptr);
            });
        if (streamed) return true;
    }
    BBDictionary withoutLog = record;
    withoutLog.set("log", BBArray{});
    eventManager_->enqueueObject(BBValue(std::move(withoutLog)));
    return false;
}

void BBSessionManager::queueEndedSession(const BBDictionary& record, const std::string& sessionID, bool sendLogs,
                                         bool valid, bool inAHurry) {
    // A log that should have gone and could not keeps the saved information, so that the next
    // process ends the session again, with its log.
    const bool logSent = valid && enqueueSessionEnd(record, sessionID, sendLogs, inAHurry);
    if (!valid || logSent || !sendLogs) {
        // A session that already runs again keeps its information: it is live once more.
        if (!(inSession_ && sessionID_ == sessionID)) deleteSavedEndSessionInformationForSessionID(sessionID);
    }
}

void BBSessionManager::endOldSessions() {
    std::set<std::string> ids = sessionIDsWithOldSavedSessionInformation();
    std::set<std::string> logIDs = logManager().sessionIDsWithOldLogs();
    if (ids.size() > kOldSessionsPerPass) {
        // The rest wait for a later process; their logs must stay for them.
        ids.erase(std::next(ids.begin(), kOldSessionsPerPass), ids.end());
        logIDs.clear();
    }
    std::weak_ptr<BBSessionManager> weak = weak_from_this();
    bb_sdk_queue().async([weak, ids = std::move(ids), logIDs = std::move(logIDs)] {
        auto manager = weak.lock();
        if (!manager) return;
        for (const auto& id : ids) manager->endOldSession(id);
        for (const auto& id : logIDs) logManager().deleteLogFor(id);
    });
}

void BBSessionManager::endOldSession(const std::string& sessionID) {
    BBDictionary record{{"type", "session_end"}, {"session_id", sessionID}};
    if (auto saved = savedEndSessionInformationForSessionID(sessionID)) {
        for (const auto& [key, value] : *saved) record.set(key, value);
        record.set("sesinfo source", "disk");
    } else {
        record.set("timestamp", unixTime());
        record.set("duration", 0);
        record.set("sesinfo source", "none");
    }
    auto path = sequenceNumberPathForSessionID(sessionID);
    auto bytes = path ? plat::file::read(*path) : std::nullopt;
    auto sequence = bytes ? BBMessagePack::unpack(*bytes) : std::nullopt;
    record.set("sequence_number", sequence && sequence->isNumber()
                                      ? static_cast<std::int32_t>(sequence->int64Value())
                                      : std::int32_t{-1});
    if (serverPermissions_.applicationTokenValid) enqueueSessionEnd(record, sessionID, shouldSendLogs(), false);
    logManager().deleteLogFor(sessionID);
    deleteSavedEndSessionInformationForSessionID(sessionID);
}

void BBSessionManager::sendOldCrashReport(const std::string& path) {
    bb_sdk_queue().sync([&] {
        if (const auto& url = eventManager_->url()) BBNetworkManager::sharedManager().sendFileToURL(path, *url);
    });
}

// Session files

fs::path BBSessionManager::sessionInfoDirectoryPath() { return fs::path(bb_sdk_directory_path()) / "session_info"; }

std::optional<fs::path> BBSessionManager::sessionFilePathForFileNameExtension(const std::optional<std::string>& name,
                                                                            const std::string& extension) {
    if (!name) return std::nullopt;
    return sessionInfoDirectoryPath() / (*name + "." + extension);
}

std::optional<fs::path> BBSessionManager::sequenceNumberPathForSessionID(const std::string& sessionID) {
    return sessionFilePathForFileNameExtension(sessionID, kSequenceExtension);
}

void BBSessionManager::saveLastSessionInformation() const {
    if (!sessionID_) return;
    writePacked(sessionFilePathForFileNameExtension("last_session_id", "mpack"), BBValue(*sessionID_));
    writePacked(sessionFilePathForFileNameExtension("last_session_start_time", "mpack"), BBValue(startTime_));
    writePacked(sessionFilePathForFileNameExtension("last_session_fragment_start_time", "mpack"),
                BBValue(fragmentStartTime_));
}

void BBSessionManager::saveEndSessionInformation() {
    if (sessionID_) {
        writePacked(sessionFilePathForFileNameExtension(sessionID_, kSessionInformationExtension),
                    BBValue(currentSessionInformation()));
        if (auto path = sequenceNumberPathForSessionID(*sessionID_)) bb_write_int32_file(path->c_str(), nextSeqNumber_);
    }
    if (persistSessionTimer_) persistSessionTimer_->restart();
}

std::optional<BBDictionary> BBSessionManager::savedEndSessionInformationForSessionID(const std::string& sessionID) {
    auto path = sessionFilePathForFileNameExtension(sessionID, kSessionInformationExtension);
    auto bytes = path ? plat::file::read(*path) : std::nullopt;
    return bytes ? BBMessagePack::unpackDictionary(*bytes) : std::nullopt;
}

void BBSessionManager::deleteSavedEndSessionInformationForSessionID(const std::string& sessionID) {
    removeFile(sessionFilePathForFileNameExtension(sessionID, kSessionInformationExtension));
    removeFile(sequenceNumberPathForSessionID(sessionID));
}

std::set<std::string> BBSessionManager::sessionIDsWithOldSavedSessionInformation() {
    std::optional<std::string> current;
    bb_sdk_queue().sync([&] { current = sessionID_; });
    static const std::string suffix = std::string(".") + kSessionInformationExtension;
    std::set<std::string> ids;
    std::error_code error;
    for (fs::directory_iterator it(sessionInfoDirectoryPath(), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
        std::string id = name.substr(0, name.size() - suffix.size());
        if (id == current) continue;
        if (isMarkedSent(it->path())) {
            deleteSavedEndSessionInformationForSessionID(id);
        } else {
            ids.insert(std::move(id));
        }
    }
    return ids;
}

}  // namespace bb
