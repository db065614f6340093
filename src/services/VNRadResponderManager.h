#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/foundation/HttpClient.h"
#include "platform/map/Location.h"
#include "services/RadResponderPending.h"

namespace plat {
class AlertView;
}

namespace qx {

inline constexpr const char* kVNRadResponderConnectNotification = "kVNRadResponderConnectNotification";
inline constexpr const char* kVNRadResponderEventsNotification = "kVNRadResponderEventsNotification";
// Posted when a login came back from the service's page but did not log in: the redirect
// carried an error or no code, or the code exchange failed. Its object is why, as a text in the
// interface language.
inline constexpr const char* kVNRadResponderLoginFailedNotification = "kVNRadResponderLoginFailedNotification";

// The client of the radiation-reporting web service. The person logs in on the service's own
// page (OAuth2 authorisation code); the page's redirect "quorix://authorize" comes back through
// handleOpenURL, the code is exchanged for tokens, and the events the person may report to are
// loaded. Readings go out one per request as field surveys of Settings::RREventId.
//
// A login lasts as long as the process: the client starts disconnected, and the tokens live in
// memory only (never in a file or the log), so that nothing of a login outlives a crash. Every
// login page carries an unguessable state, and a redirect is taken only with the state of the
// login in progress: an address that another program opens cannot log the person in to an
// account of its choosing.
// Main thread only; completions run there with true exactly when the service answered 200
// with a usable reply.
class VNRadResponderManager {
public:
    using Completion = std::function<void(bool success)>;

    enum Request : unsigned { kTokenFromCode = 0, kTokenRefresh = 1, kEventList = 2 };

    static constexpr const char* kClientId = "3c9e51a7-0b4d-4f6e-9a2c-7d18e6b5f043";
    static constexpr const char* kClientSecret = "Qm7vT2xLp9RwZc4NhB8sKd3FyJ6uGa1EoVn5HtXr";
    static constexpr const char* kRedirectUri = "quorix://authorize";
    static constexpr const char* kScope = "create_field_survey create_observation get_accessible_events";
    static constexpr const char* kProductionHost = "www.radresponder.net";
    static constexpr const char* kTestHost = "test.radresponder.net";
    // The secret store's service under which earlier versions kept the tokens.
    static constexpr const char* kKeychainService = "RadResponder";
    static constexpr double kTimeout = 30;

    static VNRadResponderManager& sharedInstance();

    bool testMode() const { return testMode_; }
    void setTestMode(bool on) { testMode_ = on; }
    bool isConnected() const { return connected_; }
    // Event id to display name.
    const std::map<std::int64_t, std::string>& events() const { return events_; }

    // The base address: Settings::RRServerAddress when it is set, else the production host (the
    // test host in test mode).
    std::string getServiceUrl() const;
    // The service's login page for this client. Each call starts a new login: the address
    // carries a fresh state, and only that login's redirect is taken from then on.
    std::string getAuthorizationUrl();
    // The address of a request: the token endpoint for 0 and 1, the event list for 2, the base
    // for any other number.
    std::string getUrlForRequest(unsigned request) const;

    // The login redirect: with the state of the login in progress, a code is exchanged for tokens
    // and the events are loaded and an error is only logged; a redirect without that state is
    // refused. Always true: the redirect is this client's whatever it holds.
    bool handleOpenURL(const std::string& url);
    // "a=1&b=2" to its pairs, values percent-decoded.
    static std::map<std::string, std::string> parseURLParams(const std::string& query);

    // 0 exchanges the stored code, 1 refreshes the tokens, 2 loads the events; any other number
    // reports false at once, as does a request that lacks what it needs.
    void sendRequest(unsigned request, Completion completion = {});

    // Posts one reading (µSv/h) taken at `location` and `date` as a field survey, and with it the
    // readings kept from earlier uploads. Refused (false at once) while disconnected, without an
    // event, without a location or for a dose rate of 0. A reading the service does not take
    // (also after a token refresh and one more try) is kept for the next upload, unless the
    // service refused it as wrong: that one is dropped.
    void submitWaypoint(double doseRate, const std::optional<plat::Location>& location, plat::Date date,
                        Completion completion = {});

    // Local only: forgets the tokens and the events and reports true.
    void submitLogout(bool unused, Completion completion = {});

    // The tokens as held now (for the settings screens' state and the tests).
    const std::string& accessToken() const { return accessToken_; }
    const std::string& refreshToken() const { return refreshToken_; }
    const std::string& tokenType() const { return tokenType_; }

    // Drops the login and the login in progress (tests).
    void reset();
    // The state the login in progress expects back; empty when none is in progress.
    const std::string& pendingState() const { return pendingState_; }

private:
    VNRadResponderManager();

    std::optional<plat::HttpRequest> buildRequest(unsigned request) const;
    // Sends a request and hands its reply over with whether it was usable (status 200 and a
    // reply the client could take in); a request that cannot be made is an empty reply.
    using Reply = std::function<void(const plat::HttpResponse& reply, bool usable)>;
    void exchange(unsigned request, Reply done);
    // Exchanges the redirect's code; a failed exchange is told as a failed login.
    void exchangeCode(const std::string& code);
    static void loginFailed(const std::string& why);
    // Why a token reply gave no tokens, in the interface language.
    static std::string tokenFailure(const plat::HttpResponse& reply);
    // Why the event list after a login was not taken, in the interface language.
    static std::string eventsFailure(const plat::HttpResponse& reply);
    bool takeTokens(const std::string& body, bool refreshing);
    bool takeEvents(const std::string& body);
    // Disconnected, no tokens, no events.
    void forgetLogin();
    // Tokens an earlier version left in the secret store.
    static void dropStoredTokens();
    using Survey = RadResponderPending::Survey;
    void submit(const Survey& survey, bool mayRetry, Completion completion);
    // The readings an earlier upload could not deliver go out with this one.
    void sendPending();
    void delivered(const Survey& survey);
    // Keeps the reading for the next upload and, the first time since uploads last worked, tells
    // the person; so too when the oldest kept readings had to go to make room.
    void notDelivered(const Survey& survey);
    // The service said the reading itself is wrong: it is never sent again, and the person is
    // told which one it was.
    void refused(const Survey& survey, long status);
    std::string authorization() const;

    bool connected_ = false;
    bool testMode_ = false;
    std::map<std::int64_t, std::string> events_;
    std::string authorizationCode_, accessToken_, refreshToken_, tokenType_;
    std::string pendingState_;
    std::set<std::string> sending_;  // kept readings under way, by their text
    bool toldFailure_ = false;
    bool toldDropped_ = false;
    std::weak_ptr<plat::AlertView> refusedAlert_;  // the last refusal told, while it is shown
};

}  // namespace qx
