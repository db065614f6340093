#include "FakeHttpServer.h"
#include "FakeServices.h"
#include "SettingsTestFixture.h"
#include "platform/foundation/SecretStore.h"
#include "platform/ui/Application.h"
#include "services/VNRadResponderManager.h"
#include "services/VNZENETManager.h"
#include "settings/VNEventsSection.h"
#include "settings/VNNetworkSection.h"
#include "settings/VNRRESSection.h"
#include "settings/VNUploadSection.h"
#include "settings/VNWebViewController.h"
#include "settings/VNZENETSection.h"

using qx::VNRRESSection;
using qx::VNZENETSection;

namespace {

class NetworkSectionsTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        qx::VNRadResponderManager::sharedInstance().reset();
    }
    void TearDown() override {
        drain();
        plat::Application::shared().setOwnURLHandler({}, {});
        qx::VNZENETManager::sharedInstance().dropPendingLists();
        qx::VNRadResponderManager::sharedInstance().reset();
        SettingsTest::TearDown();
    }
    static std::optional<std::string> keychainPassword(const std::string& account) {
        return plat::SecretStore::standard().passwordForService("ZENET", account);
    }
    void storeAccount(const std::string& name, const std::string& password) {
        settings().setZENETUsername(name);
        settings().save();
        ASSERT_TRUE(plat::SecretStore::standard().setPassword(password, "ZENET", name));
    }
    std::shared_ptr<VNZENETSection> zenet() {
        settings().setZENETServerAddress(server.url("/Zenet31/DeviceService"));
        server.setHandler([](const qxtest::RecordedRequest&) { return qxtest::zenetAnswer(); });
        return showNew<VNZENETSection>();
    }
    std::size_t soapCalls(const std::string& action) const {
        std::size_t n = 0;
        for (const auto& r : server.requests()) n += r.header("SOAPAction").value_or("").find(action) != std::string::npos;
        return n;
    }
    // The reporting service answers the login page, the token exchange and the event list.
    void serveRadResponder(const std::string& eventsJson) {
        server.setHandler(qxtest::radResponderService(
            R"({"access_token":"a1","refresh_token":"r1","token_type":"Bearer"})", eventsJson));
    }
    // Logs in as the login page's redirect would, without the page.
    void loginToRadResponder(const std::string& eventsJson) {
        serveRadResponder(eventsJson);
        auto& client = qx::VNRadResponderManager::sharedInstance();
        client.getAuthorizationUrl();
        client.handleOpenURL("quorix://authorize?code=c0de&state=" + client.pendingState());
        drain();
        ASSERT_TRUE(client.isConnected());
    }
    std::shared_ptr<VNRRESSection> radResponder() {
        settings().setRRServerAddress(server.url());
        return showNew<VNRRESSection>();
    }

    qxtest::FakeHttpServer server;
};

TEST_F(NetworkSectionsTest, ServicePagesOpenFromTheNetworkSectionAndSaveOnBack) {
    auto network = showNew<qx::VNNetworkSection>();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 0}));
    auto* page = shown<qx::VNTableViewController>();
    ASSERT_TRUE(page && page != host.get());
    EXPECT_EQ(page->title(), "ZENET");
    EXPECT_EQ(page->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    auto section = std::dynamic_pointer_cast<VNZENETSection>(page->sections().at(0));
    ASSERT_TRUE(section);
    EXPECT_EQ(section->title(), "     ZENET");
    EXPECT_EQ(rowTexts(*section), (std::vector<std::string>{"", "Server Address", "Login"}));
    EXPECT_EQ(section->autoUploadCell()->title().text(), "Auto Upload");
    snapshot(*page, "zenet-page");

    // The switch writes the setting; going back saves it.
    const bool before = settings().ZENETAutoApload();
    section->autoUploadCell()->cellSwitch().performTap();
    EXPECT_EQ(settings().ZENETAutoApload(), !before);
    EXPECT_EQ(saved().boolForKey("ZENETAutoApload"), before);
    page->onBack();
    EXPECT_EQ(window->visibleViewController(), host.get());
    EXPECT_EQ(saved().boolForKey("ZENETAutoApload"), !before);

    ASSERT_TRUE(host->tableView()->userSelectRow({0, 1}));
    page = shown<qx::VNTableViewController>();
    ASSERT_TRUE(page && page != host.get());
    EXPECT_TRUE(std::dynamic_pointer_cast<VNRRESSection>(page->sections().at(0)));
}

TEST_F(NetworkSectionsTest, EmptyServerAddressGreysTheLoginRow) {
    auto section = zenet();
    auto login = section->loginLogoutCell();
    EXPECT_TRUE(login->isLabelEnabled());
    auto& field = section->serverAddressCell()->cellTextField();
    ASSERT_TRUE(field.becomeFirstResponder());
    EXPECT_FALSE(login->isLabelEnabled()) << "an edit begins with the empty text";
    field.clearText();
    field.resignFirstResponder();
    EXPECT_FALSE(login->isLabelEnabled());
    EXPECT_EQ(saved().stringForKey("ZENETServerAddress"), "");

    login->onSelectCell();
    EXPECT_FALSE(alert()) << "no account and no address: nothing happens";

    ASSERT_TRUE(field.becomeFirstResponder());
    field.typeText(server.url("/z"));
    field.resignFirstResponder();
    EXPECT_TRUE(login->isLabelEnabled());
    EXPECT_EQ(settings().ZENETServerAddress(), server.url("/z"));
    login->onSelectCell();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Login to ZENET");

    // A page opened with the address empty starts greyed.
    auto again = showNew<VNZENETSection>();
    settings().setZENETServerAddress("");
    again->initRows();
    EXPECT_FALSE(again->loginLogoutCell()->isLabelEnabled());
}

TEST_F(NetworkSectionsTest, ZenetLoginAsksForTheAccountThenLogsOut) {
    settings().setZENETAutoApload(false);
    auto section = zenet();
    section->loginLogoutCell()->onSelectCell();
    auto prompt = alert();
    ASSERT_TRUE(prompt);
    EXPECT_EQ(prompt->message(), "Please enter username and password");
    EXPECT_EQ(prompt->alertViewStyle(), plat::AlertStyle::LoginAndPasswordInput);
    EXPECT_EQ(prompt->textFieldAtIndex(0)->placeholder(), "username");
    EXPECT_EQ(prompt->textFieldAtIndex(1)->placeholder(), "password");

    // A refused login changes nothing but says so.
    server.enqueue(qxtest::FakeReply::with(500));
    prompt->textFieldAtIndex(0)->typeText("ann");
    prompt->textFieldAtIndex(1)->typeText("s3cret");
    ASSERT_TRUE(prompt->pressButton("Login"));
    drain();
    EXPECT_FALSE(settings().ZENETLoggedIn());
    EXPECT_FALSE(settings().ZENETUsername());
    EXPECT_FALSE(keychainPassword("ann"));
    EXPECT_FALSE(section->showsLogout());
    auto refused = alert();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->title(), "Login Error!");
    EXPECT_EQ(refused->message(), "The server did not accept the login. (HTTP 500)");
    refused->pressButton("OK");

    section->loginLogoutCell()->onSelectCell();
    prompt = alert();
    ASSERT_TRUE(prompt);
    prompt->textFieldAtIndex(0)->typeText("ann");
    prompt->textFieldAtIndex(1)->typeText("s3cret");
    ASSERT_TRUE(prompt->pressButton("Login"));
    drain();
    EXPECT_TRUE(settings().ZENETLoggedIn());
    EXPECT_EQ(saved().optionalStringForKey("ZENETUsername"), "ann");
    EXPECT_EQ(keychainPassword("ann"), "s3cret");
    EXPECT_EQ(section->loginLogoutCell()->textLabel().text(), "Logout");

    // The logout sends the account logged in on this very page.
    section->loginLogoutCell()->onSelectCell();
    drain();
    ASSERT_EQ(soapCalls("SubmitLogout"), 1u);
    EXPECT_NE(server.requests().back().body.find("ann"), std::string::npos);
    EXPECT_FALSE(settings().ZENETLoggedIn());
    EXPECT_FALSE(saved().optionalStringForKey("ZENETUsername"));
    EXPECT_FALSE(keychainPassword("ann"));
    EXPECT_EQ(section->loginLogoutCell()->textLabel().text(), "Login");
}

TEST_F(NetworkSectionsTest, StoredZenetAccountLogsInOrIsForgotten) {
    storeAccount("bob", "pw");
    settings().setZENETAutoApload(true);
    auto section = zenet();
    EXPECT_EQ(section->loginLogoutCell()->textLabel().text(), "Login") << "not logged in in this process yet";

    section->loginLogoutCell()->onSelectCell();
    EXPECT_FALSE(alert()) << "a stored account is used without asking";
    drain();
    EXPECT_EQ(soapCalls("SubmitLogin"), 1u);
    EXPECT_TRUE(settings().ZENETLoggedIn());
    EXPECT_TRUE(section->showsLogout());
    EXPECT_TRUE(qx::VNZENETManager::sharedInstance().waypointsFetchResultsController()) << "uploads follow the login";

    // A page opened while logged in offers the logout.
    EXPECT_TRUE(showNew<VNZENETSection>()->showsLogout());

    settings().setZENETLoggedIn(false);
    server.enqueue(qxtest::FakeReply::with(401));
    section->loginLogoutCell()->onSelectCell();
    drain();
    EXPECT_FALSE(settings().ZENETLoggedIn());
    EXPECT_FALSE(saved().optionalStringForKey("ZENETUsername")) << "the next try asks for the account";
    EXPECT_FALSE(keychainPassword("bob")) << "no password is left without its account";
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Login Error!");
    alert()->pressButton("OK");
    section->loginLogoutCell()->onSelectCell();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->message(), "Please enter username and password");
}

// A login that reaches no service (a mistyped address, no network) must not fail silently.
TEST_F(NetworkSectionsTest, ZenetLoginThatReachesNoServerShowsWhy) {
    // Told in the program's words, not the transfer library's.
    const std::pair<const char*, const char*> cases[] = {
        {"http://127.0.0.1:1/Zenet31/DeviceService", "The server could not be reached."},
        {"ftp://127.0.0.1/Zenet31/DeviceService", "The network connection failed."},
    };
    for (const auto& [address, why] : cases) {
        storeAccount("cy", "pw");
        settings().setZENETServerAddress(address);
        auto section = showNew<VNZENETSection>();
        section->loginLogoutCell()->onSelectCell();
        drain();
        EXPECT_FALSE(settings().ZENETLoggedIn()) << address;
        auto failure = alert();
        ASSERT_TRUE(failure) << address;
        EXPECT_EQ(failure->title(), "Login Error!");
        EXPECT_EQ(failure->message(), why);
        failure->pressButton("OK");
    }
}

TEST_F(NetworkSectionsTest, RadResponderPageRepairsItsSettings) {
    settings().setRREventName("");
    settings().setRRServerAddress("");
    settings().setRRUploadMode(2);
    auto section = showNew<VNRRESSection>();
    EXPECT_EQ(section->title(), "     RadResponder");
    EXPECT_EQ(rowTexts(*section), (std::vector<std::string>{"Upload Mode", "Server Address", "Login", "Select Event"}));
    EXPECT_EQ(section->uploadCell()->detailTextLabel().text(), "Auto upload alarm events");
    EXPECT_EQ(saved().stringForKey("RRServerAddress"), qx::VNRadResponderManager::sharedInstance().getServiceUrl());
    EXPECT_FALSE(settings().RRServerAddress().empty());
    EXPECT_EQ(saved().stringForKey("RREventName"), "Testing/Training (Vennorlabs US)");
    EXPECT_EQ(saved().integerForKey("RREventId"), 68800);
    EXPECT_EQ(section->eventsCell()->detailTextLabel().text(), "Testing/Training (Vennorlabs US)");
    EXPECT_TRUE(section->eventsCell()->isHidden()) << "no events known before a login";
    EXPECT_TRUE(section->loginLogoutCell()->isLabelEnabled());
}

TEST_F(NetworkSectionsTest, UploadModeListStoresTheMode) {
    auto section = radResponder();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 0}));
    auto* list = shown<qx::VNTableViewController>();
    ASSERT_TRUE(list && list != host.get());
    auto modes = std::dynamic_pointer_cast<qx::VNUploadSection>(list->sections().at(0));
    ASSERT_TRUE(modes);
    EXPECT_EQ(rowTexts(*modes), (std::vector<std::string>{"Manually upload", "Auto upload", "Auto upload alarm events"}));
    EXPECT_EQ(checkedRows(*modes), std::vector<std::size_t>{0});
    ASSERT_TRUE(list->tableView()->userSelectRow({0, 2}));
    EXPECT_EQ(saved().integerForKey("RRUploadMode"), 2);
    list->onBack();
    EXPECT_EQ(section->uploadCell()->detailTextLabel().text(), "Auto upload alarm events");
}

TEST_F(NetworkSectionsTest, LoginPageClosesByItselfAndTheEventsAppear) {
    settings().setRREventId(1234);
    auto section = radResponder();
    // The page loads the service's login, whose redirect comes back into the application.
    serveRadResponder(R"([{"id":7,"name":"Exercise"},{"id":9,"name":"Test Event"},{"id":12,"name":"Drill"}])");
    plat::Application::shared().setOwnURLHandler(
        "quorix", [](const std::string& url) { return qx::VNRadResponderManager::sharedInstance().handleOpenURL(url); });
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 2}));
    auto& client = qx::VNRadResponderManager::sharedInstance();
    auto* page = dynamic_cast<qx::VNWebViewController*>(window->visibleViewController());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->title(), "Login");
    ASSERT_TRUE(page->webView()->request());
    EXPECT_EQ(page->webView()->request()->url.rfind(server.url("/oauth/authorize?"), 0), 0u);
    EXPECT_NE(page->webView()->request()->url.find("&state=" + client.pendingState()), std::string::npos);
    EXPECT_EQ(page->webView()->request()->timeoutInterval, 30);
    drain();
    ASSERT_TRUE(client.isConnected());
    ASSERT_GE(server.requestCount(), 3u);
    EXPECT_NE(server.requests()[1].body.find("code=c0de"), std::string::npos);
    EXPECT_EQ(window->visibleViewController(), host.get()) << "the login closed the page";
    EXPECT_EQ(section->loginLogoutCell()->textLabel().text(), "Logout");
    EXPECT_FALSE(section->eventsCell()->isHidden());
    // The stored event is not offered: the test event takes its place.
    EXPECT_EQ(settings().RREventId(), 9u);
    EXPECT_EQ(section->eventsCell()->detailTextLabel().text(), "Test Event");
    EXPECT_EQ(saved().integerForKey("RREventId"), 9);
    snapshot(*host, "radresponder-page");

    // Choosing an event stores its id and name.
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 3}));
    auto* list = shown<qx::VNTableViewController>();
    ASSERT_TRUE(list && list != host.get());
    auto events = std::dynamic_pointer_cast<qx::VNEventsSection>(list->sections().at(0));
    ASSERT_TRUE(events);
    EXPECT_EQ(rowTexts(*events), (std::vector<std::string>{"Exercise", "Test Event", "Drill"}));
    EXPECT_EQ(checkedRows(*events), std::vector<std::size_t>{1});
    ASSERT_TRUE(list->tableView()->userSelectRow({0, 2}));
    EXPECT_EQ(saved().integerForKey("RREventId"), 12);
    EXPECT_EQ(saved().stringForKey("RREventName"), "Drill");
    list->onBack();
    EXPECT_EQ(section->eventsCell()->detailTextLabel().text(), "Drill");

    // Logging out hides the events again.
    section->loginLogoutCell()->onSelectCell();
    EXPECT_EQ(section->loginLogoutCell()->textLabel().text(), "Login");
    EXPECT_TRUE(section->eventsCell()->isHidden());
}

TEST_F(NetworkSectionsTest, UnknownStoredEventFallsBackToTheFirstWithoutATestEvent) {
    settings().setRREventId(1234);
    auto section = radResponder();
    loginToRadResponder(R"([{"id":31,"name":"Exercise"},{"id":40,"name":"Drill"}])");
    section->updateCellsTitles();
    EXPECT_EQ(settings().RREventId(), 31u);
    EXPECT_EQ(section->eventsCell()->detailTextLabel().text(), "Exercise");
    // A stored event the service still offers is kept.
    settings().setRREventId(40);
    section->updateCellsTitles();
    EXPECT_EQ(settings().RREventId(), 40u);
    EXPECT_EQ(section->eventsCell()->detailTextLabel().text(), "Drill");
}

// A login that does not complete closes its page, leaves the section as it was and says why, in
// the program's words.
TEST_F(NetworkSectionsTest, ALoginThatFailsClosesItsPageAndSaysWhy) {
    struct Case {
        qxtest::FakeReply page;
        std::optional<qxtest::FakeReply> tokens;  // when the redirect carries a code
        const char* redirect;
        const char* why;
    };
    const auto pageReply = qxtest::FakeReply::with(200, "<p>Sign in</p>");
    const Case cases[] = {
        {pageReply, qxtest::FakeReply::with(400, R"({"error":"invalid_grant"})"), "code=bad",
         "The server did not accept the login. (HTTP 400)"},
        {pageReply, qxtest::FakeReply::with(200, "<html>Welcome</html>"), "code=c0de",
         "The server's answer was not a RadResponder login."},
        {pageReply, qxtest::FakeReply::drop(), "code=c0de", "The server closed the connection before it answered."},
        {pageReply, std::nullopt, "error=access_denied", "Access was not granted on the RadResponder page."},
        {qxtest::FakeReply::drop(), std::nullopt, nullptr, "The server closed the connection before it answered."},
    };
    auto section = radResponder();
    auto& client = qx::VNRadResponderManager::sharedInstance();
    for (const auto& c : cases) {
        server.enqueue(c.page);
        ASSERT_TRUE(host->tableView()->userSelectRow({0, 2}));
        ASSERT_TRUE(shown<qx::VNWebViewController>());
        drain();
        if (c.redirect) {
            if (c.tokens) server.enqueue(*c.tokens);
            client.handleOpenURL("quorix://authorize?" + std::string(c.redirect) + "&state=" + client.pendingState());
            drain();
        }
        EXPECT_FALSE(client.isConnected()) << c.why;
        EXPECT_EQ(window->visibleViewController(), host.get()) << c.why;
        EXPECT_EQ(section->loginLogoutCell()->textLabel().text(), "Login");
        ASSERT_TRUE(alert()) << c.why;
        EXPECT_EQ(alert()->title(), "Login Error!");
        EXPECT_EQ(alert()->message(), c.why);
        alert()->pressButton("OK");
    }
    EXPECT_TRUE(section->eventsCell()->isHidden());

    // Gone back, a later login no longer touches the closed page.
    loginToRadResponder("[]");
    EXPECT_EQ(window->visibleViewController(), host.get());

    // Without an address the page is never opened.
    qx::VNRadResponderManager::sharedInstance().submitLogout(true);
    auto again = showNew<VNRRESSection>();
    settings().setRRServerAddress("x");
    again->initRows();
    auto& field = again->serverAddressCell()->cellTextField();
    ASSERT_TRUE(field.becomeFirstResponder());
    field.clearText();
    field.resignFirstResponder();
    again->loginLogoutCell()->onSelectCell();
    EXPECT_EQ(window->visibleViewController(), host.get());
}

}  // namespace
