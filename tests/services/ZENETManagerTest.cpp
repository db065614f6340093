#include "FakeServices.h"
#include "ServicesTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/SecretStore.h"
#include "platform/foundation/XmlReader.h"
#include "platform/ui/Window.h"
#include "services/NetworkReachability.h"
#include "services/ServicesLayer.h"

using namespace qx;

namespace qxtest {

namespace {

// 2024-07-01 09:05:07 in Berlin (summer time, two hours ahead of UTC).
constexpr double kMorning = 1719817507;

std::string element(const RecordedRequest& r, const std::string& name) {
    const auto open = r.body.find("<a:" + name);
    if (open == std::string::npos) return "(absent)";
    const auto end = r.body.find('\n', open);
    return r.body.substr(open, end - open);
}

bool wellFormed(const std::string& xml) { return plat::XmlReader::parse(xml, plat::XmlReader::Handler{}); }

}  // namespace

class ZENETManagerTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        clock().set(plat::Date(kMorning));
        settings().setZENETServerAddress(server.url("/Zenet31/DeviceService"));
        server.setHandler([](const RecordedRequest&) { return zenetAnswer(); });
        window.setRootViewController(std::make_shared<plat::ViewController>());
        window.makeKeyAndVisible();
    }

    // Logs in as the stored account (answered 200) and lets uploads run.
    void logIn() {
        settings().setZENETUsername(std::string("ann"));
        ASSERT_TRUE(plat::SecretStore::standard().setPassword("pw", VNZENETManager::kKeychainService, "ann"));
        bool ok = false;
        zenet().submitLoginWithUsername("ann", "pw", [&](bool success) { ok = success; });
        drain();
        ASSERT_TRUE(ok);
        settings().setZENETLoggedIn(true);
    }

    std::vector<RecordedRequest> measures() const {
        std::vector<RecordedRequest> out;
        for (const auto& r : server.requests()) {
            if (r.header("SOAPAction").value_or("").find("SubmitMeasure") != std::string::npos) out.push_back(r);
        }
        return out;
    }

    bool uploaded(const std::shared_ptr<Measurement>& m) {
        return main().inContext(m)->uploaded();
    }

    static VNZENETManager& zenet() { return VNZENETManager::sharedInstance(); }
    plat::Window window;
};

TEST_F(ZENETManagerTest, LoginPostsAnEscapedSoapEnvelopeWithTheServiceHeaders) {
    std::optional<bool> result;
    zenet().submitLoginWithUsername("ann <dev>", "p&ss\"1", [&](bool ok) { result = ok; });
    drain();
    ASSERT_EQ(server.requestCount(), 1u);
    const auto r = server.requests()[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/Zenet31/DeviceService");
    EXPECT_EQ(r.header("Content-Type").value_or(""), "text/xml; charset=utf-8");
    EXPECT_EQ(r.header("SOAPAction").value_or(""), "http://tempuri.org/IDeviceService/SubmitLogin");
    EXPECT_EQ(r.header("Accept-Encoding").value_or(""), "gzip, deflate");
    EXPECT_TRUE(wellFormed(r.body)) << r.body;
    EXPECT_NE(r.body.find("<SubmitLogin xmlns=\"http://tempuri.org/\">"), std::string::npos);
    EXPECT_NE(r.body.find("<measureDto xmlns:a=\"http://schemas.datacontract.org/2004/07/Zenet.Services\""),
              std::string::npos);
    EXPECT_EQ(element(r, "AlarmType"), "<a:AlarmType>None</a:AlarmType>");
    EXPECT_EQ(element(r, "DateTaken"), "<a:DateTaken>2024-07-01T07:05:07</a:DateTaken>");
    EXPECT_EQ(element(r, "DeviceId"), "<a:DeviceId>ann &lt;dev&gt;</a:DeviceId>");
    EXPECT_EQ(element(r, "DevicePassword"), "<a:DevicePassword>p&amp;ss&quot;1</a:DevicePassword>");
    EXPECT_EQ(element(r, "Lattitude"), "<a:Lattitude i:nil=\"true\"/>");
    EXPECT_EQ(element(r, "MeasureType"), "<a:MeasureType i:nil=\"true\"/>");
    EXPECT_EQ(element(r, "MeasureValue"), "(absent)");
    EXPECT_EQ(result, true);
    // A successful login follows the pending readings and shows nothing.
    EXPECT_TRUE(zenet().waypointsFetchResultsController());
    EXPECT_TRUE(zenet().measurementsFetchResultsController());
    EXPECT_TRUE(plat::AlertView::visibleAlerts().empty());
}

TEST_F(ZENETManagerTest, TextXmlCannotCarryIsReplacedAndNumbersStayPlainDecimals) {
    // Non-characters, a byte that is no UTF-8, a C0 control: the envelope stays well-formed.
    zenet().submitLoginWithUsername("ann\xEF\xBF\xBE\xEF\xBF\xBF", "p\xFFw\x01" "d", {});
    drain();
    ASSERT_EQ(server.requestCount(), 1u);
    const auto login = server.requests()[0];
    EXPECT_TRUE(wellFormed(login.body)) << login.body;
    const std::string replacement = "\xEF\xBF\xBD";  // one for each byte that cannot go
    EXPECT_EQ(element(login, "DeviceId"), "<a:DeviceId>ann" + replacement + replacement + replacement + replacement +
                                              replacement + replacement + "</a:DeviceId>");
    EXPECT_EQ(element(login, "DevicePassword"), "<a:DevicePassword>p\xEF\xBF\xBDwd</a:DevicePassword>");

    auto tiny = addWaypoint(0.00049, plat::Date(kMorning), 0.00001, -1.5e-7);
    zenet().submitWaypoint(tiny, "ann", "pw", {});
    drain();
    ASSERT_EQ(measures().size(), 1u);
    EXPECT_EQ(element(measures()[0], "Lattitude"), "<a:Lattitude>0.00001</a:Lattitude>");
    EXPECT_EQ(element(measures()[0], "Longitude"), "<a:Longitude>-0.00000015</a:Longitude>");
    EXPECT_EQ(element(measures()[0], "MeasureValue"), "<a:MeasureValue>0.000</a:MeasureValue>");
    // The default address keeps the password off the wire in clear.
    EXPECT_EQ(std::string(Settings::kDefaultZENETServerAddress).rfind("https://", 0), 0u);
}

TEST_F(ZENETManagerTest, LogoutSaysAlarmAndDropsThePendingLists) {
    logIn();
    std::optional<bool> result;
    zenet().submitLogoutWithUsername("ann", "pw", [&](bool ok) { result = ok; });
    drain();
    const auto r = server.requests().back();
    EXPECT_EQ(r.header("SOAPAction").value_or(""), "http://tempuri.org/IDeviceService/SubmitLogout");
    EXPECT_EQ(element(r, "AlarmType"), "<a:AlarmType>Alarm</a:AlarmType>");
    EXPECT_EQ(result, true);
    EXPECT_FALSE(zenet().waypointsFetchResultsController());
    EXPECT_FALSE(zenet().measurementsFetchResultsController());
}

TEST_F(ZENETManagerTest, ARefusedLoginShowsTheFaultTextAndReportsFailure) {
    server.enqueue(FakeReply::with(500,
                                   "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><s:Fault>"
                                   "<faultcode>s:Client</faultcode><faultstring xml:lang=\"en\">Unknown device &amp; "
                                   "password</faultstring></s:Fault></s:Body></s:Envelope>"));
    std::optional<bool> result;
    zenet().submitLoginWithUsername("ann", "pw", [&](bool ok) { result = ok; });
    drain();
    EXPECT_EQ(result, false);
    EXPECT_FALSE(zenet().waypointsFetchResultsController());
    auto alert = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Login Error!");
    EXPECT_EQ(alert->message(), "Unknown device & password");
}

TEST_F(ZENETManagerTest, OnlyStatus200IsSuccessAndNoReplyRaisesNoAlert) {
    for (auto reply : {FakeReply::with(201), FakeReply::with(302), FakeReply::drop(), FakeReply::with(500, "not xml")}) {
        server.enqueue(reply);
        std::optional<bool> result;
        zenet().submitLoginWithUsername("ann", "pw", [&](bool ok) { result = ok; });
        drain();
        EXPECT_EQ(result, false);
    }
    EXPECT_TRUE(plat::AlertView::visibleAlerts().empty());
    EXPECT_FALSE(zenet().waypointsFetchResultsController());
}

// A 200 that is not the service's SOAP reply (a network's sign-in page, a cut-off or foreign
// envelope, a fault) neither logs in nor marks a reading uploaded.
TEST_F(ZENETManagerTest, Only200WithTheServicesSoapReplyIsSuccess) {
    const std::string ns = "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"";
    const std::vector<std::pair<std::string, bool>> bodies{
        {"<s:Envelope " + ns + "><s:Body><SubmitLoginResponse xmlns=\"http://tempuri.org/\"/></s:Body></s:Envelope>", true},
        {"<Envelope xmlns=\"http://schemas.xmlsoap.org/soap/envelope/\"><Body/></Envelope>", true},
        // Declarations of encodings the service's server may write (the reply itself is ASCII).
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><s:Envelope " + ns + "><s:Body/></s:Envelope>", true},
        {"<?xml version=\"1.0\" encoding=\"utf8\"?><s:Envelope " + ns + "><s:Body/></s:Envelope>", true},
        {"<!DOCTYPE html><html><body><form>Sign in</form></body></html>", false},
        {"", false},
        {"<s:Envelope " + ns + "><s:Body>", false},
        {"<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body/></s:Envelope>", false},
        {"<s:Envelope " + ns + "/>", false},
        {"<s:Envelope " + ns + "><s:Body><s:Fault><faultstring>busy</faultstring></s:Fault></s:Body></s:Envelope>", false},
    };
    auto w = addWaypoint(0.2, plat::Date(kMorning));
    for (const auto& [body, success] : bodies) {
        server.setHandler([body = body](const RecordedRequest&) { return FakeReply::with(200, body); });
        std::optional<bool> login, measure;
        zenet().submitLoginWithUsername("ann", "pw", [&](bool ok) { login = ok; });
        zenet().submitWaypoint(w, "ann", "pw", [&](bool ok) { measure = ok; });
        drain();
        EXPECT_EQ(login, success) << body;
        EXPECT_EQ(measure, success) << body;
        EXPECT_EQ(zenet().loginFailure().empty(), success || body.find("Fault") != std::string::npos) << body;
    }
}

TEST_F(ZENETManagerTest, MissingAccountFailsAtOnceAndNoAddressSendsNothing) {
    std::vector<bool> results;
    auto record = [&](bool ok) { results.push_back(ok); };
    zenet().submitLoginWithUsername(std::nullopt, "pw", record);
    zenet().submitLoginWithUsername("ann", std::string(), record);
    zenet().submitLogoutWithUsername("ann", std::nullopt, record);
    zenet().submitMeasure(nullptr, "ann", "pw", record);
    EXPECT_EQ(results, (std::vector<bool>{false, false, false, false}));  // before any turn of the run loop

    settings().setZENETServerAddress("");
    EXPECT_FALSE(VNZENETManager::createRequestForAction(0).has_value());
    auto w = addWaypoint(0.2, plat::Date(kMorning));
    zenet().submitLoginWithUsername("ann", "pw", record);
    zenet().submitWaypoint(w, "ann", "pw", record);
    drain();
    EXPECT_EQ(results.size(), 4u);  // no completion at all
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(VNZENETManager::VNZENETActionAddress(3), "");
}

TEST_F(ZENETManagerTest, ReadingsGoOutWithTheirPositionDateAndDoseRate) {
    auto placed = addWaypoint(0.1234, plat::Date(kMorning), 50.45, -0.1275);
    auto unplaced = addWaypoint(2, plat::Date(kMorning + 60), std::nullopt);
    auto history = addHistoryReading(1.0005, plat::Date(kMorning + 120));
    std::vector<bool> results;
    auto record = [&](bool ok) { results.push_back(ok); };
    zenet().submitWaypoint(placed, "ann", "pw", record);
    drain();
    zenet().submitWaypoint(unplaced, "ann", "pw", record);
    drain();
    zenet().submitMeasure(history, "ann", "pw", record);
    drain();
    const auto sent = measures();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].header("SOAPAction").value_or(""), "http://tempuri.org/IDeviceService/SubmitMeasure");
    EXPECT_NE(sent[0].body.find("<dto xmlns:a="), std::string::npos);
    EXPECT_EQ(element(sent[0], "AlarmType"), "<a:AlarmType>Manual</a:AlarmType>");
    EXPECT_EQ(element(sent[0], "DateTaken"), "<a:DateTaken>2024-07-01T07:05:07</a:DateTaken>");
    EXPECT_EQ(element(sent[0], "Lattitude"), "<a:Lattitude>50.45</a:Lattitude>");
    EXPECT_EQ(element(sent[0], "Longitude"), "<a:Longitude>-0.1275</a:Longitude>");
    EXPECT_EQ(element(sent[0], "MeasureType"), "<a:MeasureType>gamma</a:MeasureType>");
    EXPECT_EQ(element(sent[0], "MeasureValue"), "<a:MeasureValue>0.123</a:MeasureValue>");
    // A point taken without a fix is not placed at -1, -1: it goes out without a position.
    EXPECT_EQ(element(sent[1], "Lattitude"), "<a:Lattitude>0</a:Lattitude>");
    EXPECT_EQ(element(sent[1], "Longitude"), "<a:Longitude>0</a:Longitude>");
    EXPECT_EQ(element(sent[2], "Lattitude"), "<a:Lattitude>0</a:Lattitude>");
    EXPECT_EQ(element(sent[2], "DateTaken"), "<a:DateTaken>2024-07-01T07:07:07</a:DateTaken>");
    EXPECT_EQ(element(sent[2], "MeasureValue"), "<a:MeasureValue>1.000</a:MeasureValue>");
    EXPECT_EQ(results, (std::vector<bool>{true, true, true}));
    // Single submissions leave the stored marks alone.
    EXPECT_FALSE(uploaded(placed->measurement()));
}

TEST_F(ZENETManagerTest, UploadAllMarksOnlyWhatTheServiceAccepted) {
    auto a = addWaypoint(0.1, plat::Date(kMorning));
    auto b = addWaypoint(0.2, plat::Date(kMorning + 1));
    auto h = addHistoryReading(0.3, plat::Date(kMorning + 2));
    auto done = addWaypoint(0.4, plat::Date(kMorning + 3));
    done->measurement()->setUploaded(true);
    ASSERT_TRUE(main().save());
    logIn();
    // The service refuses the reading of 0.2 once.
    auto refusals = std::make_shared<std::atomic<int>>(1);
    server.setHandler([refusals](const RecordedRequest& r) {
        if (r.body.find("<a:MeasureValue>0.200") != std::string::npos && (*refusals)-- > 0) return FakeReply::with(500);
        return zenetAnswer();
    });
    zenet().uploadAll();
    drain();
    EXPECT_EQ(measures().size(), 3u);
    EXPECT_TRUE(uploaded(a->measurement()));
    EXPECT_FALSE(uploaded(b->measurement()));
    EXPECT_TRUE(uploaded(h));
    EXPECT_EQ(zenet().waypointsFetchResultsController()->numberOfObjects(), 1u);
    EXPECT_EQ(zenet().measurementsFetchResultsController()->numberOfObjects(), 0u);

    // The refused one goes out again with the next run, and only it.
    zenet().uploadAll();
    drain();
    ASSERT_EQ(measures().size(), 4u);
    EXPECT_EQ(element(measures()[3], "MeasureValue"), "<a:MeasureValue>0.200</a:MeasureValue>");
    EXPECT_TRUE(uploaded(b->measurement()));
}

TEST_F(ZENETManagerTest, UploadAllNeedsTheLoggedInFlagAndTheStoredAccount) {
    addWaypoint(0.1, plat::Date(kMorning));
    logIn();
    const auto afterLogin = server.requestCount();
    settings().setZENETLoggedIn(false);
    zenet().uploadAll();
    drain();
    settings().setZENETLoggedIn(true);
    plat::SecretStore::standard().deletePassword(VNZENETManager::kKeychainService, "ann");
    zenet().uploadAll();
    drain();
    EXPECT_EQ(server.requestCount(), afterLogin);
}

TEST_F(ZENETManagerTest, LoggingOutDuringAnUploadStopsBeforeTheNextRecord) {
    auto a = addWaypoint(0.1, plat::Date(kMorning));
    auto b = addWaypoint(0.2, plat::Date(kMorning + 1));
    auto h = addHistoryReading(0.3, plat::Date(kMorning + 2));
    logIn();
    zenet().uploadAll();
    plat::RunLoop::main().post([this] { settings().setZENETLoggedIn(false); });
    drain();
    ASSERT_EQ(measures().size(), 1u);
    // The reply already under way still counts.
    EXPECT_TRUE(uploaded(a->measurement()));
    EXPECT_FALSE(uploaded(b->measurement()));
    EXPECT_FALSE(uploaded(h));
}

TEST_F(ZENETManagerTest, ARecordUnderWayIsNotSentTwice) {
    addWaypoint(0.1, plat::Date(kMorning));
    addHistoryReading(0.3, plat::Date(kMorning + 2));
    logIn();
    zenet().uploadAll();
    zenet().uploadAll();
    drain();
    EXPECT_EQ(measures().size(), 2u);
}

TEST_F(ZENETManagerTest, APendingReadingStoredOrChangedUploadsItselfWhenAutomaticUploadIsOn) {
    auto w = addWaypoint(0.1, plat::Date(kMorning));
    logIn();
    settings().setZENETAutoApload(false);
    main().inContext(w)->setName(std::string("renamed"));
    ASSERT_TRUE(main().save());
    drain();
    EXPECT_EQ(measures().size(), 0u);

    settings().setZENETAutoApload(true);
    main().inContext(w)->setName(std::string("renamed again"));
    ASSERT_TRUE(main().save());
    drain();
    ASSERT_EQ(measures().size(), 1u);
    EXPECT_TRUE(uploaded(w->measurement()));
    // Readings stored while logged in go out as they are stored, each once, also while a full
    // upload of the same readings is under way.
    auto h = addHistoryReading(0.5, plat::Date(kMorning + 5));
    auto p = addWaypoint(0.6, plat::Date(kMorning + 6));
    zenet().uploadAll();
    drain();
    ASSERT_EQ(measures().size(), 3u);
    EXPECT_EQ(element(measures()[1], "MeasureValue"), "<a:MeasureValue>0.500</a:MeasureValue>");
    EXPECT_EQ(element(measures()[2], "MeasureValue"), "<a:MeasureValue>0.600</a:MeasureValue>");
    EXPECT_TRUE(uploaded(h));
    EXPECT_TRUE(uploaded(p->measurement()));

    // Without automatic upload, or logged out, a stored reading waits.
    settings().setZENETAutoApload(false);
    addHistoryReading(0.7, plat::Date(kMorning + 7));
    settings().setZENETAutoApload(true);
    settings().setZENETLoggedIn(false);
    addHistoryReading(0.8, plat::Date(kMorning + 8));
    drain();
    EXPECT_EQ(measures().size(), 3u);
}

TEST_F(ZENETManagerTest, TheNetworkComingBackLogsInAndUploads) {
    addWaypoint(0.1, plat::Date(kMorning));
    settings().setZENETUsername(std::string("ann"));
    ASSERT_TRUE(plat::SecretStore::standard().setPassword("pw", VNZENETManager::kKeychainService, "ann"));
    registerServicesLayer();
    auto& network = NetworkReachability::shared();
    network.setStatus(NetworkReachability::Status::notReachable);
    auto app = std::make_shared<KestrelAppDelegate>();
    for (const auto* hook : LaunchHooks::hooksFor(LaunchStep::startReachability)) hook->hook(*app);
    drain();
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_FALSE(settings().ZENETLoggedIn());

    network.setStatus(NetworkReachability::Status::reachableViaWWAN);
    drain();
    ASSERT_EQ(server.requestCount(), 2u);
    EXPECT_NE(server.requests()[0].body.find("<SubmitLogin"), std::string::npos);
    EXPECT_EQ(measures().size(), 1u);
    EXPECT_TRUE(settings().ZENETLoggedIn());

    // Another way onto the network is no coming back; losing it stops the uploads.
    network.setStatus(NetworkReachability::Status::reachableViaWiFi);
    drain();
    EXPECT_EQ(server.requestCount(), 2u);
    network.setStatus(NetworkReachability::Status::notReachable);
    EXPECT_FALSE(settings().ZENETLoggedIn());

    // Without automatic upload nothing happens when it returns.
    settings().setZENETAutoApload(false);
    network.setStatus(NetworkReachability::Status::reachableViaWiFi);
    drain();
    EXPECT_EQ(server.requestCount(), 2u);
}

}  // namespace qxtest
