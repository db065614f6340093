#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "BetaTestSupport.h"
#include "FakeService.h"
#include "beta/BBURLConnectionOperation.h"
#include "beta/BBMessagePack.h"
#include "beta/BBNetworkManager.h"
#include "beta/BBServiceHost.h"
#include "beta/BBSessionManager.h"
#include "platform/foundation/FileUtil.h"

namespace bb {
namespace {

using bbtest::FakeService;
using bbtest::Reply;
namespace fs = std::filesystem;

constexpr const char* kTokenDigest = "a9993e364706816aba3e25717850c26c9cd0d89d";  // SHA-1 of "abc"

std::string packed(const BBValue& value) { return std::string(BBMessagePack::pack(value)->view()); }

class BBSessionManagerHandshakeTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        BBServiceHost::setSDKHostName("sdk.service.test");
    }
    void TearDown() override {
        onSDKQueue([&] { manager.reset(); });
        BBServiceHost::setConnectTo({});
        BetaTest::TearDown();
    }
    void makeManager() {
        onSDKQueue([&] { manager = BBSessionManager::create(); });
    }
    // A manager introduced with the token "abc" to a fake service reached under its real name.
    void makeManagerFor(const FakeService& service) {
        BBServiceHost::setCertificateAuthorityFile(service.certificateAuthorityFile());
        BBServiceHost::setConnectTo({std::string(kTokenDigest) + ".sdk.service.test:443:127.0.0.1:" +
                                     std::to_string(service.port())});
        makeManager();
        onSDKQueue([&] { manager->setApplicationToken("abc"); });
    }
    BBServerPermissions permissions() {
        BBServerPermissions current;
        onSDKQueue([&] { current = manager->serverPermissions(); });
        return current;
    }
    // Hands a reply to the manager as the request's completion would.
    std::string answer(std::optional<std::string> body, long status = 200) {
        return libraryLogDuring([&] {
            onSDKQueue([&] {
                manager->finishedHandshakeWithDataResponseError(body, BBURLResponse{"", status, {}}, std::nullopt);
            });
        });
    }
    std::optional<BBDictionary> storedPermissions() {
        auto bytes = plat::file::read(BBSessionManager::permissionsFilePath());
        return bytes ? BBMessagePack::unpackDictionary(*bytes) : std::nullopt;
    }

    std::shared_ptr<BBSessionManager> manager;
};

TEST_F(BBSessionManagerHandshakeTest, TheServiceAddressIsNamedByTheTokensDigest) {
    makeManager();
    onSDKQueue([&] { manager->setApplicationToken("abc"); });
    EXPECT_EQ(manager->url(), std::string("https://") + kTokenDigest + ".sdk.service.test/");
    EXPECT_EQ(manager->eventManager()->url(),
              std::string("https://") + kTokenDigest + ".sdk.service.test/beamdeck/1.0/sessions.mpack");

    onSDKQueue([&] { manager->setApplicationToken("team_token with spaces \xe2\x82\xac"); });
    const std::string url = *manager->url();
    const std::string label = url.substr(8, url.find('.') - 8);
    EXPECT_EQ(label.size(), 40u);
    EXPECT_EQ(label.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(BBSessionManager::baseURLForToken(std::nullopt), "https://sdk.service.test/");
}

TEST_F(BBSessionManagerHandshakeTest, TheTokensRequestCarriesTheRecordsAndTheReplyGrantsPermissions) {
    FakeService service("sdk.service.test");
    service.enqueue(Reply::withStatus(200, packed(BBDictionary{{"valid", true},
                                                               {"send_logs", true},
                                                               {"send_crashes", false},
                                                               {"session_keep_alive_timeout", 45.0}})));
    makeManagerFor(service);
    onSDKQueue([&] { manager->doApiHandshake(); });

    ASSERT_TRUE(waitUntil([&] { return BBNetworkManager::sharedManager().networkQueue().operationCount() == 0 &&
                                       service.requests().size() == 1; }));
    const auto request = service.requests()[0];
    EXPECT_EQ(request.requestLine, "POST /beamdeck/1.0/tokens.mpack HTTP/1.1");
    EXPECT_EQ(request.host, std::string(kTokenDigest) + ".sdk.service.test");
    EXPECT_EQ(request.headers.size(), 2u);  // Host and Content-Length only
    auto body = BBMessagePack::unpackDictionary(request.body);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->size(), 3u);
    EXPECT_EQ(body->find("application_token")->string(), "abc");
    EXPECT_TRUE(body->find("device_info")->isDictionary());
    ASSERT_TRUE(body->find("bundle_info")->isDictionary());
    EXPECT_EQ(body->find("bundle_info")->asDictionary()->find("application_token"), nullptr)
        << "the token travels beside the record";

    EXPECT_EQ(permissions(), (BBServerPermissions{true, false, true, false}));
    onSDKQueue([&] { EXPECT_EQ(manager->bbSessionKeepAliveTimeout(), 45.0); });
    EXPECT_FALSE(manager->allowedToSendCrashes());
    auto stored = storedPermissions();
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, (BBDictionary{{"valid", true}, {"send_checkpoints", false}, {"send_logs", true},
                                     {"send_crashes", false}}));
}

TEST_F(BBSessionManagerHandshakeTest, WithoutATokenNoRequestIsMade) {
    makeManager();
    onSDKQueue([&] { manager->doApiHandshake(); });
    EXPECT_EQ(BBNetworkManager::sharedManager().networkQueue().operationCount(), 0u);
}

TEST_F(BBSessionManagerHandshakeTest, PermissionsStartFromTheFileOrAllGranted) {
    makeManager();
    EXPECT_EQ(permissions(), (BBServerPermissions{true, true, true, true}));

    plat::file::writeAtomically(BBSessionManager::permissionsFilePath(),
                                packed(BBDictionary{{"valid", true}, {"send_logs", "yes"}, {"send_crashes", 1}}));
    makeManager();
    EXPECT_EQ(permissions(), (BBServerPermissions{true, false, false, true}));

    plat::file::writeAtomically(BBSessionManager::permissionsFilePath(), packed(BBArray{true, true}));
    makeManager();
    EXPECT_EQ(permissions(), (BBServerPermissions{true, true, true, true}));
}

TEST_F(BBSessionManagerHandshakeTest, ARecognisedTokenAloneTurnsTheSendPermissionsOff) {
    makeManager();
    const std::string log = answer(packed(BBDictionary{{"valid", true}}));
    EXPECT_NE(log.find("Betabeam: App Token is recognized"), std::string::npos);
    EXPECT_EQ(permissions(), (BBServerPermissions{true, false, false, false}));
    onSDKQueue([&] { EXPECT_EQ(manager->bbSessionKeepAliveTimeout(), 30.0); });
}

TEST_F(BBSessionManagerHandshakeTest, AnUnrecognisedTokenTurnsEverythingOffAndIsStored) {
    makeManager();
    const std::string log = answer(packed(BBDictionary{{"valid", false}, {"send_logs", true}}));
    EXPECT_NE(log.find("Betabeam: App Token Error - Your App Token is not recognized " + BBServiceHost::webAddress()),
              std::string::npos);
    EXPECT_EQ(permissions(), (BBServerPermissions{false, false, false, false}));
    auto stored = storedPermissions();
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->find("valid")->boolValue());
    EXPECT_FALSE(stored->find("send_logs")->boolValue());

    answer(packed(BBDictionary{{"valid", "true"}}));  // not a number: not recognised either
    EXPECT_FALSE(permissions().applicationTokenValid);
}

// Only a real span of time changes the keep-alive.
TEST_F(BBSessionManagerHandshakeTest, AKeepAliveThatIsNotAPositiveFiniteNumberIsIgnored) {
    makeManager();
    for (const BBValue& keepAlive : {BBValue(-5.0), BBValue(0), BBValue(std::nan("")), BBValue(INFINITY), BBValue("45")}) {
        answer(packed(BBDictionary{{"valid", true}, {"session_keep_alive_timeout", keepAlive}}));
        onSDKQueue([&] { EXPECT_EQ(manager->bbSessionKeepAliveTimeout(), 30.0); });
    }
    answer(packed(BBDictionary{{"valid", true}, {"session_keep_alive_timeout", 12}}));
    onSDKQueue([&] { EXPECT_EQ(manager->bbSessionKeepAliveTimeout(), 12.0); });
}

TEST_F(BBSessionManagerHandshakeTest, UnreadableRepliesLeaveThePermissionsAndTheFileAlone) {
    makeManager();
    answer(packed(BBDictionary{{"valid", true}, {"send_logs", true}}));
    const auto before = plat::file::read(BBSessionManager::permissionsFilePath());
    const BBServerPermissions granted{true, false, true, false};
    ASSERT_EQ(permissions(), granted);

    EXPECT_NE(answer(packed(BBArray{1, 2})).find("Betabeam: Bad data received from Handshake: (1, 2)"), std::string::npos);
    EXPECT_NE(answer("\xc1 not msgpack").find("Bad data received from Handshake"), std::string::npos);
    EXPECT_NE(answer(std::nullopt).find("Betabeam: Communication error has occurred"), std::string::npos);
    EXPECT_NE(answer(std::string()).find("Communication error has occurred"), std::string::npos);
    // An error page of the service is no answer, even when it happens to be a map.
    EXPECT_NE(answer(packed(BBDictionary{{"valid", false}}), 503).find("Communication error"), std::string::npos);
    EXPECT_NE(answer(packed(BBDictionary{}), 404).find("Communication error"), std::string::npos);
    const std::string failed = libraryLogDuring([&] {
        onSDKQueue([&] {
            manager->finishedHandshakeWithDataResponseError(std::nullopt, std::nullopt,
                                                            BBURLError{BBURLError::kDomain, BBURLError::TimedOut, {}});
        });
    });
    EXPECT_EQ(failed.find("Betabeam"), std::string::npos);

    EXPECT_EQ(permissions(), granted);
    EXPECT_EQ(plat::file::read(BBSessionManager::permissionsFilePath()), before);
}

TEST_F(BBSessionManagerHandshakeTest, AnErrorStatusOrSilenceFromTheServiceChangesNothing) {
    FakeService service("sdk.service.test");
    service.enqueue(Reply::withStatus(503, packed(BBDictionary{{"valid", false}})));
    service.enqueue(Reply::silence());
    service.enqueue(Reply::withStatus(201, "garbage"));
    makeManagerFor(service);
    auto idle = [] { return BBNetworkManager::sharedManager().networkQueue().operationCount() == 0; };
    for (std::size_t handshake = 1; handshake <= 3; ++handshake) {
        onSDKQueue([&] { manager->doApiHandshake(); });
        ASSERT_TRUE(service.waitForRequests(handshake)) << handshake;
        if (handshake == 2) advanceLibraryTime(BBURLConnectionOperation::timeLimit());  // the silence times out
        ASSERT_TRUE(waitUntil([&] { return idle() && service.requests().size() == handshake; })) << handshake;
    }
    EXPECT_EQ(permissions(), (BBServerPermissions{true, true, true, true}));
    EXPECT_FALSE(fs::exists(BBSessionManager::permissionsFilePath()));
    EXPECT_EQ(service.requests().size(), 3u);  // a handshake is never retried by itself
}

}  // namespace
}  // namespace bb
