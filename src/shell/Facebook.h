#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"

namespace plat {
class UserDefaults;
}

namespace qx {

class FBDialog;
class FBDialogDelegate;

// Told how a login through the social network's web page ended.
class FacebookSessionDelegate {
public:
    virtual ~FacebookSessionDelegate() = default;
    virtual void fbDidLogin() {}
    virtual void fbDidNotLogin(bool cancelled) { (void)cancelled; }
    virtual void fbDidLogout() {}
};

// The social network's session: the access token and its expiry. The application delegate
// restores it at launch from the user defaults and stores it again after a login, which comes
// back as an opened URL of the scheme "fb<app id>".
class Facebook {
public:
    static constexpr const char* kAccessTokenKey = "FBAccessTokenKey";
    static constexpr const char* kExpirationDateKey = "FBExpirationDateKey";
    // Where the application's id is found in the bundle information.
    static constexpr const char* kAppIdInfoKey = "FacebookAppID";

    static Facebook& sharedFacebook();
    // Drops the shared session (tests).
    static void resetShared();

    const std::string& appId() const { return appId_; }
    void setAppId(std::string appId) { appId_ = std::move(appId); }
    // "fb" and the app id; empty without an app id.
    std::string urlScheme() const;

    const std::optional<std::string>& accessToken() const { return accessToken_; }
    void setAccessToken(std::optional<std::string> token) { accessToken_ = std::move(token); }
    const std::optional<plat::Date>& expirationDate() const { return expirationDate_; }
    void setExpirationDate(std::optional<plat::Date> date) { expirationDate_ = date; }
    // A token that has not expired yet.
    bool isSessionValid() const;

    // Takes the token and expiry kept under the two keys; a missing or empty token leaves no
    // session.
    void restoreSession(const plat::UserDefaults& defaults);
    // Writes the token and expiry under the two keys (removes them without a session) and
    // synchronises.
    void storeSession(plat::UserDefaults& defaults) const;

    // The login answer "fb<app id>://authorize#access_token=...&expires_in=..." (or its error
    // form). False for any URL of another scheme or path, which is left to others.
    bool handleOpenURL(const std::string& url);
    void logout();

    void setSessionDelegate(std::weak_ptr<FacebookSessionDelegate> delegate) { delegate_ = std::move(delegate); }

    // Opens a dialog page ("feed") with its parameters over the window; the app id and, with a
    // valid session, the token go along. None when there is no window to show it in.
    std::shared_ptr<FBDialog> dialog(const std::string& action, std::map<std::string, std::string> params,
                                     std::weak_ptr<FBDialogDelegate> delegate);

private:
    Facebook();

    std::string appId_;
    std::optional<std::string> accessToken_;
    std::optional<plat::Date> expirationDate_;
    std::weak_ptr<FacebookSessionDelegate> delegate_;
};

}  // namespace qx
