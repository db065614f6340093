#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "beta/BBEventManager.h"
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

// The keeper of the library's sessions. This part introduces the application to the service at
// every session start (the tokens request) and keeps the permissions the reply grants, on disk
// as well, so that the next process starts with the last ones known. Used on the SDK queue.
class BBSessionManager : public std::enable_shared_from_this<BBSessionManager> {
public:
    static constexpr double kDefaultKeepAliveTimeout = 30.0;

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

    static std::filesystem::path permissionsFilePath();
    // "https://", the token's SHA-1 and a dot, then the service's SDK host (no token: the host).
    static std::string baseURLForToken(const std::optional<std::string>& token);
    static constexpr const char* kTokensPath = "beamdeck/1.0/tokens.mpack";
    static constexpr const char* kSessionsPath = "beamdeck/1.0/sessions.mpack";

private:
    BBSessionManager();
    void applyReply(const BBDictionary& reply);

    std::optional<std::string> appToken_;
    std::optional<std::string> url_;
    double bbSessionKeepAliveTimeout_ = kDefaultKeepAliveTimeout;
    BBServerPermissions serverPermissions_;
    std::shared_ptr<BBEventManager> eventManager_;
};

}  // namespace bb
