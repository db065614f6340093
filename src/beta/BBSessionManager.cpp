#include "beta/BBSessionManager.h"

#include <cmath>

#include "beta/BBAppUpdater.h"
#include "beta/BBApplicationInformation.h"
#include "beta/BBCrypto.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBMessagePack.h"
#include "beta/BBNetworkManager.h"
#include "beta/BBSDK.h"
#include "beta/BBServiceHost.h"
#include "beta/BBURLConnectionOperation.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

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
    if (value.isString()) return "\"" + value.string() + "\"";
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

}  // namespace bb
