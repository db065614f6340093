#include "shell/Facebook.h"

#include <cstdlib>
#include <limits>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "shell/FBDialog.h"
#include "platform/foundation/URLText.h"

namespace qx {

namespace {

std::unique_ptr<Facebook>& sharedSlot() {
    static std::unique_ptr<Facebook> slot;
    return slot;
}

// A token without a stated lifetime does not expire.
constexpr double kDistantFuture = 64092211200.0;  // 4001-01-01

}  // namespace

Facebook::Facebook() : appId_(plat::Bundle::main().infoValue(kAppIdInfoKey)) {}

Facebook& Facebook::sharedFacebook() {
    auto& slot = sharedSlot();
    if (!slot) slot.reset(new Facebook());
    return *slot;
}

void Facebook::resetShared() { sharedSlot().reset(); }

std::string Facebook::urlScheme() const { return appId_.empty() ? std::string{} : "fb" + appId_; }

bool Facebook::isSessionValid() const {
    return accessToken_ && !accessToken_->empty() && expirationDate_ && *expirationDate_ > plat::Date::now();
}

void Facebook::restoreSession(const plat::UserDefaults& defaults) {
    auto token = defaults.optionalStringForKey(kAccessTokenKey);
    auto expiry = defaults.dateForKey(kExpirationDateKey);
    if (token && !token->empty() && expiry) {
        accessToken_ = std::move(token);
        expirationDate_ = expiry;
    } else {
        accessToken_.reset();
        expirationDate_.reset();
    }
}

void Facebook::storeSession(plat::UserDefaults& defaults) const {
    if (accessToken_ && expirationDate_) {
        defaults.setString(kAccessTokenKey, *accessToken_);
        defaults.setDate(kExpirationDateKey, *expirationDate_);
    } else {
        defaults.remove(kAccessTokenKey);
        defaults.remove(kExpirationDateKey);
    }
    defaults.synchronize();
}

bool Facebook::handleOpenURL(const std::string& openedUrl) {
    const std::string ownScheme = urlScheme();
    if (ownScheme.empty() || plat::url::scheme(openedUrl) != ownScheme) return false;
    const std::string rest = openedUrl.substr(ownScheme.size() + 1);
    if (rest.rfind("//authorize", 0) != 0) return false;

    std::string params = plat::url::fragment(openedUrl);
    if (params.empty()) params = plat::url::query(openedUrl);
    const auto values = plat::url::formValues(params);
    const auto delegate = delegate_.lock();

    const auto token = values.find("access_token");
    if (token == values.end() || token->second.empty()) {
        const auto reason = values.find("error_reason");
        const bool cancelled = reason != values.end() && reason->second == "user_denied";
        plat::Log::line("Facebook handleOpenURL: login did not complete");
        if (delegate) delegate->fbDidNotLogin(cancelled);
        return true;
    }

    double lifetime = 0;
    if (auto expires = values.find("expires_in"); expires != values.end()) {
        char* end = nullptr;
        lifetime = std::strtod(expires->second.c_str(), &end);
        if (end == expires->second.c_str() || !(lifetime > 0) || lifetime > std::numeric_limits<int>::max()) {
            lifetime = 0;
        }
    }
    accessToken_ = token->second;
    expirationDate_ = lifetime > 0 ? plat::Date::now().addingTimeInterval(lifetime) : plat::Date(kDistantFuture);
    if (delegate) delegate->fbDidLogin();
    return true;
}

std::shared_ptr<FBDialog> Facebook::dialog(const std::string& action, std::map<std::string, std::string> params,
                                           std::weak_ptr<FBDialogDelegate> delegate) {
    if (!appId_.empty()) params.emplace("app_id", appId_);
    if (isSessionValid()) params.emplace("access_token", *accessToken_);
    auto shown = std::make_shared<FBDialog>(action, std::move(params), std::move(delegate));
    return shown->show() ? shown : nullptr;
}

void Facebook::logout() {
    accessToken_.reset();
    expirationDate_.reset();
    if (auto delegate = delegate_.lock()) delegate->fbDidLogout();
}

}  // namespace qx
