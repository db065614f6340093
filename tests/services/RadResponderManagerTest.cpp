#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>

#include "ServicesTestSupport.h"
#include "model/DateStrings.h"
#include "platform/foundation/SecretStore.h"
#include "platform/foundation/UserDefaults.h"
#include "services/RadResponderPending.h"
#include "services/ServicesLayer.h"

using namespace qx;

namespace qxtest {

namespace {

constexpr double kNoon = 1719835200;  // 2024-07-01 12:00:00 UTC

const char* kTokens = R"({"access_token":"acc-1","refresh_token":"ref+/=1","token_type":"Bearer","expires_in":3600})";
// One sponsor's name was pasted in Latin-1: the byte is replaced, and the list still taken.
const char* kEvents =
    R"([{"id":7,"name":"Drill","sponsorName":"County"},{"id":"8","name":"Solo","sponsorName":""},)"
    R"({"name":"No id"},{"id":9},{"id":10,"name":"Plain"},{"id":11,"name":"Fire","sponsorName":"Z)" "\xFC" R"(rich"}])";

}  // namespace

class RadResponderManagerTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        clock().set(plat::Date(kNoon));
        settings().setRRServerAddress(server.url());
        registerServicesLayer();
    }

    // The service's side of a login: tokens for the code, then the events.
    void serveLogin(const char* tokens = kTokens, const char* events = kEvents) {
        server.setHandler([tokens, events](const RecordedRequest& r) {
            if (r.path() == "/oauth/token") return FakeReply::with(200, tokens);
            if (r.path() == "/api/v1/event") return FakeReply::with(200, events);
            return FakeReply::with(200, "{}");
        });
    }

    bool openRedirect(const std::string& url) {
        auto app = std::make_shared<KestrelAppDelegate>();
        const bool taken = app->openURL(url);
        drain();
        return taken;
    }

    // The redirect that ends a login begun now, with `pairs` before its state.
    static std::string redirectOfNewLogin(const std::string& pairs) {
        rr().getAuthorizationUrl();
        return "quorix://authorize?" + pairs + "&state=" + rr().pendingState();
    }

    void logIn() {
        serveLogin();
        ASSERT_TRUE(openRedirect(redirectOfNewLogin("code=abc")));
        ASSERT_TRUE(rr().isConnected());
    }

    std::vector<RecordedRequest> surveys() const {
        std::vector<RecordedRequest> out;
        for (const auto& r : server.requests()) {
            if (r.path() == "/api/v1/fieldsurvey") out.push_back(r);
        }
        return out;
    }

    static VNRadResponderManager& rr() { return VNRadResponderManager::sharedInstance(); }
};

TEST_F(RadResponderManagerTest, TheRedirectExchangesTheCodeThenLoadsTheEvents) {
    qxtest::LogCapture log;
    auto connects = count(kVNRadResponderConnectNotification);
    auto eventLists = count(kVNRadResponderEventsNotification);
    serveLogin();
    EXPECT_TRUE(openRedirect(redirectOfNewLogin("code=abc")));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    const auto& token = requests[0];
    EXPECT_EQ(token.method, "POST");
    EXPECT_EQ(token.target, "/oauth/token");
    EXPECT_EQ(token.header("Content-Type").value_or(""), "application/x-www-form-urlencoded");
    EXPECT_EQ(token.body, std::string("client_id=") + VNRadResponderManager::kClientId + "&client_secret=" +
                              VNRadResponderManager::kClientSecret +
                              "&grant_type=authorization_code&code=abc&redirect_uri=quorix%3A%2F%2Fauthorize");
    const auto& events = requests[1];
    EXPECT_EQ(events.method, "GET");
    EXPECT_EQ(events.target, "/api/v1/event");
    EXPECT_EQ(events.header("Authorization").value_or(""), "Bearer acc-1");

    EXPECT_TRUE(rr().isConnected());
    EXPECT_EQ(*connects, 1);
    EXPECT_EQ(*eventLists, 1);
    EXPECT_EQ(rr().events(), (std::map<std::int64_t, std::string>{{7, "Drill (County)"}, {8, "Solo"}, {10, "Plain"}, {11, "Fire (Z\uFFFDrich)"}}));
    EXPECT_EQ(rr().refreshToken(), "ref+/=1");
    // The tokens are kept in memory only: never in the secret store nor in the log.
    auto secrets = plat::SecretStore::standard();
    for (const char* account : {"accessToken", "refreshToken", "tokenType"}) {
        EXPECT_FALSE(secrets.passwordForService(VNRadResponderManager::kKeychainService, account)) << account;
    }
    EXPECT_TRUE(log.contains("request: " + server.url("/oauth/token")));
    for (const auto& line : log.lines()) {
        for (const char* secret : {"acc-1", "ref+/=1", VNRadResponderManager::kClientSecret, "code=abc"}) {
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
        }
    }
}

TEST_F(RadResponderManagerTest, RedirectsWithoutACodeChangeNothing) {
    auto connects = count(kVNRadResponderConnectNotification);
    EXPECT_TRUE(openRedirect(redirectOfNewLogin("error=access_denied&error_description=no")));
    rr().getAuthorizationUrl();
    EXPECT_TRUE(openRedirect("QUORIX://authorize#access_token=xyz&state=" + rr().pendingState()));
    EXPECT_TRUE(openRedirect(redirectOfNewLogin("code")));
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_FALSE(rr().isConnected());
    EXPECT_EQ(*connects, 0);
}

TEST_F(RadResponderManagerTest, OnlyTheRedirectOfTheLoginInProgressIsExchanged) {
    qxtest::LogCapture log;
    serveLogin();
    // No login asked for this one: a forged redirect of another program.
    EXPECT_TRUE(openRedirect("quorix://authorize?code=forged"));
    const std::string page = rr().getAuthorizationUrl();
    const std::string state = rr().pendingState();
    EXPECT_EQ(state.size(), 32u);
    EXPECT_NE(page.find("&state=" + state), std::string::npos) << page;
    EXPECT_TRUE(openRedirect("quorix://authorize?code=forged&state=0123"));
    EXPECT_TRUE(openRedirect("quorix://authorize?code=forged&state="));
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(log.count("refused"), 3u);

    // Every login page has a state of its own; the earlier one's redirect no longer counts.
    rr().getAuthorizationUrl();
    EXPECT_NE(rr().pendingState(), state);
    EXPECT_TRUE(openRedirect("quorix://authorize?code=old&state=" + state));
    EXPECT_EQ(server.requestCount(), 0u);
    // It ends the login shown, as a failed one, and the next page starts afresh.
    EXPECT_TRUE(log.contains("the login failed: The RadResponder page sent back an answer that does not belong"));
    EXPECT_TRUE(rr().pendingState().empty());
    rr().getAuthorizationUrl();
    const std::string current = rr().pendingState();
    EXPECT_TRUE(openRedirect("quorix://authorize?code=abc&state=" + current));
    EXPECT_TRUE(rr().isConnected());
    // A redirect is taken once: replaying it sends nothing more.
    const auto sent = server.requestCount();
    EXPECT_TRUE(openRedirect("quorix://authorize?code=abc&state=" + current));
    EXPECT_EQ(server.requestCount(), sent);
}

TEST_F(RadResponderManagerTest, AFragmentGoesBeforeTheQueryAndCodesKeepTheirPadding) {
    serveLogin();
    rr().getAuthorizationUrl();
    EXPECT_TRUE(openRedirect("quorix://authorize?code=wrong#code=a%2Bb%3D%3D&state=" + rr().pendingState()));
    ASSERT_GE(server.requestCount(), 1u);
    EXPECT_NE(server.requests()[0].body.find("&code=a%2Bb%3D%3D&"), std::string::npos) << server.requests()[0].body;
    EXPECT_EQ(VNRadResponderManager::parseURLParams("code=x==&lone&e=%E6%97%A5"),
              (std::map<std::string, std::string>{{"code", "x=="}, {"e", "\xE6\x97\xA5"}}));
}

TEST_F(RadResponderManagerTest, AFailedOrUnusableCodeExchangeLeavesTheClientDisconnected) {
    auto connects = count(kVNRadResponderConnectNotification);
    for (const char* body : {"", "not json", "{\"token_type\":\"Bearer\"}", "[1,2]"}) {
        server.enqueue(FakeReply::with(200, body));
        EXPECT_TRUE(openRedirect(redirectOfNewLogin("code=abc")));
    }
    server.enqueue(FakeReply::with(400, kTokens));
    EXPECT_TRUE(openRedirect(redirectOfNewLogin("code=abc")));
    EXPECT_EQ(server.requestCount(), 5u);  // no event list after any of them
    EXPECT_FALSE(rr().isConnected());
    EXPECT_EQ(*connects, 0);
    EXPECT_TRUE(rr().events().empty());
}

TEST_F(RadResponderManagerTest, RequestsThatCannotBeMadeFailAtOnce) {
    std::vector<bool> results;
    auto record = [&](bool ok) { results.push_back(ok); };
    rr().sendRequest(3, record);
    rr().sendRequest(VNRadResponderManager::kTokenFromCode, record);  // no code yet
    rr().sendRequest(VNRadResponderManager::kTokenRefresh, record);   // no refresh token
    rr().sendRequest(VNRadResponderManager::kEventList, record);      // no access token
    EXPECT_EQ(results, (std::vector<bool>{false, false, false, false}));
    drain();
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(RadResponderManagerTest, AReadingIsPostedAsOneFieldSurveyOfTheChosenEvent) {
    logIn();
    settings().setRREventId(68800);
    std::optional<bool> result;
    // 09:05:59 in Berlin, two hours ahead of UTC.
    rr().submitWaypoint(2.5, plat::Location(50.45, -0.1275), plat::Date(1719817559), [&](bool ok) { result = ok; });
    drain();
    ASSERT_EQ(surveys().size(), 1u);
    const auto r = surveys()[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Accept").value_or(""), "application/json");
    EXPECT_EQ(r.header("Content-Type").value_or(""), "application/json");
    EXPECT_EQ(r.header("Authorization").value_or(""), "Bearer acc-1");
    const auto body = nlohmann::json::parse(r.body, nullptr, false);
    ASSERT_TRUE(body.is_object()) << r.body;
    ASSERT_EQ(body["fieldSurveys"].size(), 1u);
    const auto& survey = body["fieldSurveys"][0];
    EXPECT_EQ(survey["eventId"], 68800);
    EXPECT_EQ(survey["collectionDate"], "2024-07-01 07:05");
    EXPECT_TRUE(survey["address"].is_null());
    EXPECT_EQ(survey["coordinate"]["latitude"], "50.450000");
    EXPECT_EQ(survey["coordinate"]["longitude"], "-0.127500");
    EXPECT_EQ(survey["radiationType"], "gamma");
    EXPECT_EQ(survey["radiationUnit"], "mR/hr");
    EXPECT_NE(r.body.find("\"value\":0.250}"), std::string::npos) << r.body;
    EXPECT_EQ(result, true);

    // Tiny numbers keep to plain decimals of the same precision, never an exponent.
    rr().submitWaypoint(0.00004, plat::Location(0.00001, -1e-7), plat::Date(1719817559));
    drain();
    ASSERT_EQ(surveys().size(), 2u);
    const std::string tiny = surveys()[1].body;
    EXPECT_NE(tiny.find("\"latitude\":\"0.000010\",\"longitude\":\"-0.000000\""), std::string::npos) << tiny;
    EXPECT_NE(tiny.find("\"value\":0.000}"), std::string::npos) << tiny;
}

TEST_F(RadResponderManagerTest, ReadingsWithoutEventLocationOrValueAreRefusedAtOnce) {
    std::vector<bool> results;
    auto record = [&](bool ok) { results.push_back(ok); };
    rr().submitWaypoint(1, plat::Location(1, 2), plat::Date(kNoon), record);  // not connected
    logIn();
    const auto sent = server.requestCount();
    rr().submitWaypoint(1, std::nullopt, plat::Date(kNoon), record);
    rr().submitWaypoint(0, plat::Location(1, 2), plat::Date(kNoon), record);
    settings().setRREventId(0);
    rr().submitWaypoint(1, plat::Location(1, 2), plat::Date(kNoon), record);
    EXPECT_EQ(results, (std::vector<bool>{false, false, false, false}));
    drain();
    EXPECT_EQ(server.requestCount(), sent);
}

TEST_F(RadResponderManagerTest, OnlyStatus200CountsAsASubmittedReading) {
    logIn();
    std::vector<bool> results;
    for (int status : {201, 401, 500, 200}) {
        server.enqueue(FakeReply::with(status));
        rr().submitWaypoint(1, plat::Location(1, 2), plat::Date(kNoon), [&](bool ok) { results.push_back(ok); });
        drain();
    }
    EXPECT_EQ(results, (std::vector<bool>{false, false, false, true}));
}

// The service's answer decides what becomes of a reading not taken. Refused as wrong (400, 422):
// dropped, and the person told which one; one alert stands for refusals that follow while it is
// open. Not taken for now (login, address, time-out, rate, server trouble): kept, and sent again
// with the next upload, which leaves the dropped ones out.
TEST_F(RadResponderManagerTest, AReadingRefusedAsWrongIsDroppedAndTheOthersAreKept) {
    logIn();
    const std::map<std::string, int> statusOfValue{{"0.100", 422}, {"0.200", 400}, {"0.300", 401}, {"0.400", 404},
                                                   {"0.500", 408}, {"0.600", 429}, {"0.700", 503}};
    auto valueOf = [](const std::string& body) {
        const auto at = body.find("\"value\":");
        return at == std::string::npos ? std::string() : body.substr(at + 8, 5);
    };
    server.setHandler([&](const RecordedRequest& r) {
        if (r.path() == "/oauth/token") return FakeReply::with(200, kTokens);
        const auto status = statusOfValue.find(valueOf(r.body));
        return FakeReply::with(status == statusOfValue.end() ? 200 : status->second, "{}");
    });
    for (double rate = 1; rate <= static_cast<double>(statusOfValue.size()); ++rate) {
        rr().submitWaypoint(rate, plat::Location(1, 2), plat::Date(kNoon + 60 * rate));
        drain();
    }
    std::vector<std::string> told;
    for (const auto& a : plat::AlertView::visibleAlerts()) told.push_back(a->message());
    EXPECT_EQ(told, (std::vector<std::string>{
                        "RadResponder refused the reading taken " + DateStrings::dateTimeShortStr(plat::Date(kNoon + 60)) +
                            ". It will not be sent again.",
                        "Readings could not be uploaded to RadResponder. They are kept and will be sent with the next "
                        "upload."}));
    std::vector<double> kept;
    for (const auto& survey : RadResponderPending::all()) kept.push_back(survey.doseRate);
    EXPECT_EQ(kept, (std::vector<double>{3, 4, 5, 6, 7}));

    // The next upload is taken; the kept ones go with it, the dropped ones never again.
    const auto before = surveys().size();
    rr().submitWaypoint(9, plat::Location(1, 2), plat::Date(kNoon + 600));
    drain();
    std::vector<std::string> sent;
    for (std::size_t i = before; i < surveys().size(); ++i) sent.push_back(valueOf(surveys()[i].body));
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent, (std::vector<std::string>{"0.300", "0.400", "0.500", "0.600", "0.700", "0.900"}));
}

// A service out of order for long: the kept readings stay within their bound, the oldest going
// first; the person is told once, and the log says how many went.
TEST_F(RadResponderManagerTest, KeptReadingsStayWithinTheirBoundDroppingTheOldest) {
    logIn();
    qxtest::LogCapture log;
    plat::UserDefaults::StringList lines;
    for (std::size_t i = 0; i < RadResponderPending::kMostKept; ++i) {
        // Newest first, as an older version may have left them: the oldest is the last line.
        lines.push_back(RadResponderPending::Survey{7, plat::Date(kNoon - 60.0 * static_cast<double>(i)), 1, 2, 0.5}.text());
    }
    plat::UserDefaults::standard().setStringList(RadResponderPending::kPreferencesKey, lines);
    server.setHandler([](const RecordedRequest& r) {
        if (r.path() == "/oauth/token") return FakeReply::with(200, kTokens);
        return FakeReply::with(503, "busy");
    });
    for (double minutes : {1, 2}) {
        rr().submitWaypoint(0.8, plat::Location(1, 2), plat::Date(kNoon + 60 * minutes));
        drain();
    }
    const auto kept = RadResponderPending::all();
    ASSERT_EQ(kept.size(), RadResponderPending::kMostKept);
    auto oldest = std::min_element(kept.begin(), kept.end(), [](auto& a, auto& b) { return a.date < b.date; });
    EXPECT_EQ(oldest->date, plat::Date(kNoon - 60.0 * static_cast<double>(RadResponderPending::kMostKept - 3)));
    EXPECT_EQ(kept.back().date, plat::Date(kNoon + 120));
    std::vector<std::string> told;
    for (const auto& a : plat::AlertView::visibleAlerts()) told.push_back(a->message());
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Readings could not be uploaded to RadResponder. They are kept and will be sent with the next "
                        "upload.",
                        "More than 500 readings are waiting for RadResponder: the oldest are no longer kept."}));
    EXPECT_TRUE(log.contains("1 of the oldest readings not yet sent were dropped; 500 are kept at most"));
}

TEST_F(RadResponderManagerTest, NoReplyRenewsTheTokenAndSendsTheReadingOnceMore) {
    logIn();
    const auto before = server.requestCount();
    server.enqueue(FakeReply::drop());
    server.enqueue(FakeReply::with(200, R"({"access_token":"acc-2","token_type":"Bearer"})"));
    server.enqueue(FakeReply::drop());
    std::vector<bool> results;
    rr().submitWaypoint(1, plat::Location(1, 2), plat::Date(kNoon), [&](bool ok) { results.push_back(ok); });
    drain();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), before + 3);  // survey, refresh, one more survey: no endless retries
    const auto& refresh = requests[before + 1];
    EXPECT_EQ(refresh.target, "/oauth/token");
    EXPECT_EQ(refresh.body, std::string("client_id=") + VNRadResponderManager::kClientId + "&client_secret=" +
                                VNRadResponderManager::kClientSecret +
                                "&grant_type=refresh_token&refresh_token=ref%2B%2F%3D1");
    EXPECT_EQ(requests[before + 2].header("Authorization").value_or(""), "Bearer acc-2");
    EXPECT_EQ(results, std::vector<bool>{false});
    // A renewal without a new refresh token keeps the old one; the login stays.
    EXPECT_EQ(rr().refreshToken(), "ref+/=1");
    EXPECT_TRUE(rr().isConnected());
}

TEST_F(RadResponderManagerTest, LogoutIsLocalAndANewLoginFillsTheEventsAgain) {
    logIn();
    auto eventLists = count(kVNRadResponderEventsNotification);
    const auto sent = server.requestCount();
    std::optional<bool> result;
    rr().submitLogout(true, [&](bool ok) { result = ok; });
    EXPECT_EQ(result, true);
    drain();
    EXPECT_EQ(server.requestCount(), sent);
    EXPECT_FALSE(rr().isConnected());
    EXPECT_TRUE(rr().events().empty());
    EXPECT_EQ(rr().accessToken(), "");
    EXPECT_EQ(*eventLists, 1);
    EXPECT_FALSE(
        plat::SecretStore::standard().passwordForService(VNRadResponderManager::kKeychainService, "accessToken"));

    ASSERT_TRUE(openRedirect(redirectOfNewLogin("code=def")));
    EXPECT_TRUE(rr().isConnected());
    EXPECT_EQ(rr().events().size(), 4u);
}

TEST_F(RadResponderManagerTest, AddressesHangOffTheConfiguredServerOrTheDefaultHost) {
    EXPECT_EQ(rr().getUrlForRequest(0), server.url("/oauth/token"));
    EXPECT_EQ(rr().getUrlForRequest(1), server.url("/oauth/token"));
    EXPECT_EQ(rr().getUrlForRequest(2), server.url("/api/v1/event"));
    EXPECT_EQ(rr().getUrlForRequest(9), server.url());
    const std::string page = rr().getAuthorizationUrl();
    EXPECT_EQ(page,
              server.url("/oauth/authorize?scope=create_field_survey%20create_observation%20get_accessible_events"
                         "&redirect_uri=quorix%3A%2F%2Fauthorize&response_type=code&client_id=") +
                  VNRadResponderManager::kClientId + "&state=" + rr().pendingState());
    settings().setRRServerAddress("");
    rr().setTestMode(true);
    EXPECT_EQ(rr().getServiceUrl(), std::string("https://") + VNRadResponderManager::kTestHost);
    // Launch takes the client out of test mode.
    auto app = std::make_shared<KestrelAppDelegate>();
    for (const auto* hook : LaunchHooks::hooksFor(LaunchStep::radResponderLive)) hook->hook(*app);
    EXPECT_FALSE(rr().testMode());
    EXPECT_EQ(rr().getServiceUrl(), std::string("https://") + VNRadResponderManager::kProductionHost);
}

}  // namespace qxtest
