#include "services/VNRadResponderManager.h"

#include <sys/random.h>

#include <array>
#include <cmath>
#include <random>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "model/StorageAlert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SecretStore.h"
#include "platform/foundation/URLText.h"
#include "platform/ui/AlertView.h"
#include "services/NetworkFailure.h"
#include "services/RadResponderWire.h"

namespace qx {

namespace {

constexpr const char* kAccessAccount = "accessToken";
constexpr const char* kRefreshAccount = "refreshToken";
constexpr const char* kTypeAccount = "tokenType";

void report(const VNRadResponderManager::Completion& completion, bool success) {
    if (completion) completion(success);
}

// 128 random bits as hex: the state of one login.
std::string freshState() {
    std::array<unsigned char, 16> bytes{};
    if (getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        std::random_device device;
        for (auto& b : bytes) b = static_cast<unsigned char>(device());
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

// A client error that is about the reading itself: sending it again cannot help. A refused or
// expired login (401, 403), a wrong server address (404, 405), a time-out (408) and being asked
// to slow down (429) pass, as server errors do: those readings are kept.
bool refusedForGood(long status) {
    if (status < 400 || status >= 500) return false;
    for (long passing : {401L, 403L, 404L, 405L, 408L, 429L}) {
        if (status == passing) return false;
    }
    return true;
}

}  // namespace

VNRadResponderManager& VNRadResponderManager::sharedInstance() {
    static VNRadResponderManager* manager = new VNRadResponderManager();  // lives until the process ends
    return *manager;
}

VNRadResponderManager::VNRadResponderManager() { dropStoredTokens(); }

void VNRadResponderManager::dropStoredTokens() {
    auto store = plat::SecretStore::standard();
    for (const char* account : {kAccessAccount, kRefreshAccount, kTypeAccount}) {
        store.deletePassword(kKeychainService, account);
    }
}

void VNRadResponderManager::reset() {
    sending_.clear();
    toldFailure_ = false;
    authorizationCode_.clear();
    pendingState_.clear();
    forgetLogin();
}

void VNRadResponderManager::forgetLogin() {
    connected_ = false;
    events_.clear();
    accessToken_.clear();
    refreshToken_.clear();
    tokenType_.clear();
}

std::string VNRadResponderManager::getServiceUrl() const {
    const std::string& address = Settings::sharedSettings().RRServerAddress();
    if (!address.empty()) return address;
    return std::string("https://") + (testMode_ ? kTestHost : kProductionHost);
}

std::string VNRadResponderManager::getAuthorizationUrl() {
    pendingState_ = freshState();
    return getServiceUrl() + "/oauth/authorize?" +
           RadResponderWire::formBody({{"scope", kScope},
                                       {"redirect_uri", kRedirectUri},
                                       {"response_type", "code"},
                                       {"client_id", kClientId},
                                       {"state", pendingState_}});
}

std::string VNRadResponderManager::getUrlForRequest(unsigned request) const {
    switch (request) {
        case kTokenFromCode:
        case kTokenRefresh: return getServiceUrl() + "/oauth/token";
        case kEventList: return getServiceUrl() + "/api/v1/event";
        default: return getServiceUrl();
    }
}

std::map<std::string, std::string> VNRadResponderManager::parseURLParams(const std::string& query) {
    // A pair without "=" carries nothing; a value keeps any further "=" (padding of a code).
    std::map<std::string, std::string> params = plat::url::formValues(query);
    for (auto it = params.begin(); it != params.end();) {
        it = it->second.empty() ? params.erase(it) : std::next(it);
    }
    return params;
}

bool VNRadResponderManager::handleOpenURL(const std::string& url) {
    std::string part = plat::url::fragment(url);
    if (part.empty()) part = plat::url::query(url);
    const auto params = parseURLParams(part);
    const auto state = params.find("state");
    if (pendingState_.empty()) {
        plat::Log::line("VNRadResponderManager handleOpenURL: refused, no login is in progress");
        return true;
    }
    if (state == params.end() || state->second != pendingState_) {
        // Not the answer to the page shown: that login ends here, and the person is told.
        plat::Log::line("VNRadResponderManager handleOpenURL: refused, not the redirect of the login in progress");
        pendingState_.clear();
        loginFailed(Language::get("The RadResponder page sent back an answer that does not belong to this login."));
        return true;
    }
    pendingState_.clear();  // one redirect per login page
    if (const auto code = params.find("code"); code != params.end()) {
        exchangeCode(code->second);
    } else if (const auto error = params.find("error"); error != params.end()) {
        plat::Log::line("VNRadResponderManager handleOpenURL: error " + RadResponderWire::loggedBody(error->second));
        loginFailed(error->second == "access_denied"
                        ? Language::get("Access was not granted on the RadResponder page.")
                        : Language::get("The RadResponder page ended the login with an error."));
    } else {
        // An access token without a code included: this client logs in only by a code.
        plat::Log::line("VNRadResponderManager handleOpenURL: the redirect holds no code");
        loginFailed(Language::get("The RadResponder page sent no login code back."));
    }
    return true;
}

void VNRadResponderManager::exchangeCode(const std::string& code) {
    authorizationCode_ = code;
    exchange(kTokenFromCode, [this](const plat::HttpResponse& r, bool usable) {
        if (!usable) return loginFailed(tokenFailure(r));
        // Without the list the readings would go to whatever event was chosen before: the
        // person must know, though the login itself stands.
        exchange(kEventList, [](const plat::HttpResponse& events, bool listed) {
            if (!listed) loginFailed(eventsFailure(events));
        });
    });
}

std::string VNRadResponderManager::tokenFailure(const plat::HttpResponse& reply) {
    if (reply.status == 0) return NetworkFailure::text(reply.failure);
    if (reply.status != 200) {
        return Language::get("The server did not accept the login.") + " (HTTP " + std::to_string(reply.status) + ")";
    }
    return Language::get("The server's answer was not a RadResponder login.");
}

std::string VNRadResponderManager::eventsFailure(const plat::HttpResponse& reply) {
    const std::string notLoaded = Language::get("The RadResponder events could not be loaded.");
    if (reply.status == 0) return notLoaded + " " + NetworkFailure::text(reply.failure);
    if (reply.status != 200) return notLoaded + " (HTTP " + std::to_string(reply.status) + ")";
    return Language::get("The server's answer was not a RadResponder event list.");
}

void VNRadResponderManager::loginFailed(const std::string& why) {
    plat::Log::line("VNRadResponderManager: the login failed: " + why);
    plat::NotificationCenter::defaultCenter().post(kVNRadResponderLoginFailedNotification, why);
}

std::string VNRadResponderManager::authorization() const {
    // A token reply without a type means the usual bearer token.
    return (tokenType_.empty() ? std::string("Bearer") : tokenType_) + " " + accessToken_;
}

std::optional<plat::HttpRequest> VNRadResponderManager::buildRequest(unsigned request) const {
    plat::HttpRequest r;
    r.url = getUrlForRequest(request);
    r.timeout = kTimeout;
    r.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
    const auto tokenRequest = [&r](const char* grant, const char* key, const std::string& value) {
        r.method = "POST";
        std::vector<std::pair<std::string, std::string>> form{
            {"client_id", kClientId}, {"client_secret", kClientSecret}, {"grant_type", grant}, {key, value}};
        if (std::string(grant) == "authorization_code") form.emplace_back("redirect_uri", kRedirectUri);
        r.body = RadResponderWire::formBody(form);
        return r;
    };
    switch (request) {
        case kTokenFromCode:
            if (authorizationCode_.empty()) return std::nullopt;
            r.purpose = "RadResponder login";
            return tokenRequest("authorization_code", "code", authorizationCode_);
        case kTokenRefresh:
            if (refreshToken_.empty()) return std::nullopt;
            r.purpose = "RadResponder token refresh";
            return tokenRequest("refresh_token", "refresh_token", refreshToken_);
        case kEventList:
            if (accessToken_.empty()) return std::nullopt;
            r.purpose = "RadResponder event list";
            r.method = "GET";
            r.headers.emplace_back("Authorization", authorization());
            return r;
        default: return std::nullopt;
    }
}

void VNRadResponderManager::sendRequest(unsigned request, Completion completion) {
    exchange(request, [completion](const plat::HttpResponse&, bool usable) { report(completion, usable); });
}

void VNRadResponderManager::exchange(unsigned request, Reply done) {
    auto built = buildRequest(request);
    if (!built) {
        plat::Log::line("VNRadResponderManager sendRequest: request " + std::to_string(request) + " cannot be made");
        return done(plat::HttpResponse{}, false);
    }
    RadResponderWire::logRequest(*built);
    plat::HttpClient::shared().send(std::move(*built), [this, request, done](const plat::HttpResponse& r) {
        RadResponderWire::logResponse(r, request != kEventList);
        bool usable = false;
        if (r.status == 200) {
            if (request == kEventList) {
                usable = takeEvents(r.body);
                if (usable) plat::NotificationCenter::defaultCenter().post(kVNRadResponderEventsNotification);
            } else {
                usable = takeTokens(r.body, request == kTokenRefresh);
                if (usable && request == kTokenFromCode) {
                    connected_ = true;
                    plat::NotificationCenter::defaultCenter().post(kVNRadResponderConnectNotification);
                }
            }
        }
        done(r, usable);
    });
}

bool VNRadResponderManager::takeTokens(const std::string& body, bool refreshing) {
    const auto tokens = RadResponderWire::readTokens(body);
    if (!tokens) {
        plat::Log::line("VNRadResponderManager: the token reply holds no access token");
        return false;
    }
    accessToken_ = tokens->accessToken;
    // A refresh answered without a new refresh token leaves the old one in force.
    if (!tokens->refreshToken.empty() || !refreshing) refreshToken_ = tokens->refreshToken;
    tokenType_ = tokens->tokenType;
    return true;
}

bool VNRadResponderManager::takeEvents(const std::string& body) {
    const auto events = RadResponderWire::readEvents(body);
    if (!events) {
        plat::Log::line("VNRadResponderManager: the event list is not a JSON array");
        return false;
    }
    plat::Log::line("VNRadResponderManager array: " + std::to_string(events->size()) + " events");
    for (const auto& [id, name] : *events) events_[id] = name;
    std::string listed;
    for (const auto& [id, name] : events_) listed += (listed.empty() ? "" : ", ") + std::to_string(id) + ": " + name;
    plat::Log::line("VNRadResponderManager events: " + listed);
    return true;
}

void VNRadResponderManager::submitWaypoint(double doseRate, const std::optional<plat::Location>& location,
                                           plat::Date date, Completion completion) {
    if (!connected_ || Settings::sharedSettings().RREventId() == 0 || !location || doseRate == 0 ||
        !std::isfinite(doseRate)) {
        return report(completion, false);
    }
    const Survey survey{Settings::sharedSettings().RREventId(), date, location->coordinate().latitude,
                        location->coordinate().longitude, doseRate};
    submit(survey, true, std::move(completion));
    sendPending();
}

void VNRadResponderManager::sendPending() {
    for (const Survey& survey : RadResponderPending::all()) {
        const std::string key = survey.text();
        if (!sending_.insert(key).second) continue;  // under way already
        submit(survey, false, [this, key](bool) { sending_.erase(key); });
    }
}

void VNRadResponderManager::submit(const Survey& survey, bool mayRetry, Completion completion) {
    plat::HttpRequest r;
    r.method = "POST";
    r.url = getServiceUrl() + "/api/v1/fieldsurvey";
    r.timeout = kTimeout;
    r.purpose = "RadResponder survey upload";
    r.headers = {{"Accept", "application/json"}, {"Content-Type", "application/json"}, {"Authorization", authorization()}};
    r.body = RadResponderWire::fieldSurveyBody(survey.eventId, survey.date, survey.latitude, survey.longitude,
                                               survey.doseRate);
    RadResponderWire::logRequest(r);
    plat::HttpClient::shared().send(std::move(r), [=, this](const plat::HttpResponse& reply) {
        RadResponderWire::logResponse(reply, false);
        if (reply.status == 200) {
            delivered(survey);
        } else if (refusedForGood(reply.status)) {
            refused(survey, reply.status);
        } else if (reply.status == 0 && mayRetry) {
            // No reply at all may mean the token ran out: renew it and send the reading once more.
            sendRequest(kTokenRefresh, [=, this](bool renewed) {
                if (renewed && connected_) return submit(survey, false, {});
                notDelivered(survey);
            });
        } else {
            notDelivered(survey);
        }
        report(completion, reply.status == 200);
    });
}

void VNRadResponderManager::delivered(const Survey& survey) {
    RadResponderPending::drop(survey);
    toldFailure_ = false;
    toldDropped_ = false;
}

void VNRadResponderManager::notDelivered(const Survey& survey) {
    std::size_t dropped = 0;
    if (!RadResponderPending::keep(survey, &dropped)) return;
    plat::Log::line("VNRadResponderManager: a reading was not taken; it is kept for the next upload");
    if (!toldFailure_) {
        toldFailure_ = true;
        plat::AlertView::show(Language::get("RadResponder"),
                              Language::get("Readings could not be uploaded to RadResponder. They are kept and will be "
                                            "sent with the next upload."),
                              Language::get("OK"), {}, {});
    }
    if (dropped == 0 || toldDropped_) return;
    toldDropped_ = true;
    StorageAlert::show("RadResponder",
                       "More than %@ readings are waiting for RadResponder: the oldest are no longer kept.",
                       std::to_string(RadResponderPending::kMostKept));
}

void VNRadResponderManager::refused(const Survey& survey, long status) {
    RadResponderPending::drop(survey);
    plat::Log::line("VNRadResponderManager: the service refused a reading (status " + std::to_string(status) +
                    "); it is not sent again: " + survey.text());
    // Several refused at once (the kept ones going out together) are told by the one alert
    // still open; the log names each.
    if (auto shown = refusedAlert_.lock(); shown && shown->isVisible()) return;
    refusedAlert_ = StorageAlert::show("RadResponder",
                                       "RadResponder refused the reading taken %@. It will not be sent again.",
                                       DateStrings::dateTimeShortStr(survey.date));
}

void VNRadResponderManager::submitLogout(bool, Completion completion) {
    forgetLogin();
    plat::NotificationCenter::defaultCenter().post(kVNRadResponderEventsNotification);
    report(completion, true);
}

}  // namespace qx
