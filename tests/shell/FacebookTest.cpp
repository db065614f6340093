#include "ShellTestFixture.h"
#include "platform/foundation/DataFolder.h"

using qx::Facebook;

namespace {

class FacebookTest : public ShellTest {
protected:
    Facebook& fb() {
        auto& f = Facebook::sharedFacebook();
        f.setAppId("4242");
        return f;
    }
};

struct LoginRecorder : qx::FacebookSessionDelegate {
    int logins = 0, failures = 0;
    bool cancelled = false;
    void fbDidLogin() override { ++logins; }
    void fbDidNotLogin(bool c) override {
        ++failures;
        cancelled = c;
    }
};

TEST_F(FacebookTest, RestoresTheStoredTokenAndExpiry) {
    auto& defaults = plat::UserDefaults::standard();
    const auto expiry = plat::Date::now().addingTimeInterval(3600);
    defaults.setString(Facebook::kAccessTokenKey, "token-1");
    defaults.setDate(Facebook::kExpirationDateKey, expiry);

    fb().restoreSession(defaults);
    EXPECT_EQ(fb().accessToken(), "token-1");
    EXPECT_EQ(fb().expirationDate(), expiry);
    EXPECT_TRUE(fb().isSessionValid());

    advance(3601);
    EXPECT_FALSE(fb().isSessionValid()) << "an expired token is no session";
}

TEST_F(FacebookTest, TokenWithoutExpiryOrEmptyTokenIsNoSession) {
    auto& defaults = plat::UserDefaults::standard();
    defaults.setString(Facebook::kAccessTokenKey, "token-1");
    fb().restoreSession(defaults);
    EXPECT_FALSE(fb().accessToken());
    EXPECT_FALSE(fb().isSessionValid());

    defaults.setString(Facebook::kAccessTokenKey, "");
    defaults.setDate(Facebook::kExpirationDateKey, plat::Date::now().addingTimeInterval(10));
    fb().restoreSession(defaults);
    EXPECT_FALSE(fb().isSessionValid());
}

TEST_F(FacebookTest, LoginAnswerSetsTheSessionAndStoredSessionSurvivesReload) {
    auto recorder = std::make_shared<LoginRecorder>();
    fb().setSessionDelegate(recorder);
    EXPECT_TRUE(fb().handleOpenURL("fb4242://authorize#access_token=abc%2Bdef&expires_in=7200"));
    EXPECT_EQ(recorder->logins, 1);
    EXPECT_EQ(fb().accessToken(), "abc+def");
    EXPECT_EQ(fb().expirationDate(), plat::Date::now().addingTimeInterval(7200));

    fb().storeSession(plat::UserDefaults::standard());
    plat::UserDefaults reread(plat::DataFolder::preferencesFile());
    Facebook::resetShared();
    fb().restoreSession(reread);
    EXPECT_EQ(fb().accessToken(), "abc+def");
    EXPECT_TRUE(fb().isSessionValid());

    fb().logout();
    fb().storeSession(plat::UserDefaults::standard());
    EXPECT_FALSE(plat::UserDefaults::standard().contains(Facebook::kAccessTokenKey));
}

TEST_F(FacebookTest, TokenWithoutLifetimeDoesNotExpire) {
    EXPECT_TRUE(fb().handleOpenURL("fb4242://authorize#access_token=t&expires_in=0"));
    advance(10 * 365 * 86400.0);
    EXPECT_TRUE(fb().isSessionValid());
}

TEST_F(FacebookTest, RefusedLoginAndForeignURLs) {
    auto recorder = std::make_shared<LoginRecorder>();
    fb().setSessionDelegate(recorder);
    EXPECT_TRUE(fb().handleOpenURL("fb4242://authorize?error_reason=user_denied&error=access_denied"));
    EXPECT_EQ(recorder->failures, 1);
    EXPECT_TRUE(recorder->cancelled);
    EXPECT_FALSE(fb().accessToken());

    EXPECT_FALSE(fb().handleOpenURL("fb9999://authorize#access_token=x"));
    EXPECT_FALSE(fb().handleOpenURL("fb4242://other#access_token=x"));
    EXPECT_FALSE(fb().handleOpenURL("https://example.org/#access_token=x"));
    EXPECT_FALSE(fb().accessToken());
    EXPECT_EQ(recorder->logins, 0);
}

}  // namespace
