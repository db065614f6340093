#include "beta/BBAppUpdater.h"

#include <gtest/gtest.h>

#include "BetaTestSupport.h"
#include "beta/BBApplicationInformation.h"
#include "beta/BBHostApplication.h"
#include "beta/BBSDK.h"
#include "beta/BBUpdateAlert.h"
#include "beta/BBUpdatePrompt.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

namespace bb {
namespace {

class RecordingPrompt : public BBUpdatePrompt {
public:
    void show(const std::shared_ptr<BBUpdateAlert>& alert) override { alerts.push_back(alert); }
    bool interfaceIdiomIsPhone() const override { return phone; }
    int statusBarOrientation() const override { return orientation; }

    std::vector<std::shared_ptr<BBUpdateAlert>> alerts;
    bool phone = false;
    int orientation = 1;
};

class BBAppUpdaterTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        // An ad hoc build, the kind to which updates are offered.
        const auto executable = dataDir() / "bin" / "host";
        plat::file::writeAtomically(executable, "host");
        plat::file::writeAtomically(dataDir() / "bin" / "embedded.mobileprovision",
                                    "profile<?xml version=\"1.0\"?><plist><dict><key>ProvisionedDevices</key>"
                                    "<array><string>a1</string></array></dict></plist>");
        BBApplicationInformation::setHostBundle(
            {{"CFBundleShortVersionString", "1.2"}, {"CFBundleVersion", "45"}, {"CFBundleName", "Host"}},
            executable.string());
        prompt = std::make_shared<RecordingPrompt>();
        BBAppUpdater::setPrompt(prompt);
        BBHostApplication::setURLOpener([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
    }
    void TearDown() override {
        prompt->alerts.clear();
        BBHostApplication::setURLOpener(nullptr);
        BBAppUpdater::setPrompt(nullptr);
        BetaTest::TearDown();
    }

    static BBDictionary offer(const std::string& version = "2.0") {
        return BBDictionary{{"valid", true},
                            {"version", version},
                            {"title", "Quorix"},
                            {"release_notes", "Faster maps"},
                            {"plist_url", "https://builds.service.test/2.0/manifest.plist"},
                            {"release_date", "1 March"}};
    }
    // Hands the offer over as a handshake reply does, and returns the alert shown, if any.
    std::shared_ptr<BBUpdateAlert> offered(const BBDictionary& reply) {
        const std::size_t before = prompt->alerts.size();
        BBAppUpdater::promptIfUpdateExists(reply);
        drain();
        return prompt->alerts.size() > before ? prompt->alerts.back() : nullptr;
    }
    // The user answers and the host lets the alert go.
    void answer(std::shared_ptr<BBUpdateAlert>& alert, int button) {
        alert->clickButtonAtIndex(button);
        prompt->alerts.clear();
        alert.reset();
        onSDKQueue([] {});
    }

    std::shared_ptr<RecordingPrompt> prompt;
    std::vector<std::string> opened;
};

TEST_F(BBAppUpdaterTest, AnOfferIsShownWithItsTextsAndThreeButtons) {
    auto alert = offered(offer());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Quorix 2.0\nNow Available");
    EXPECT_EQ(alert->message(), "Faster maps\n\n1 March\n(Current Version: 1.2 (45))");
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string>{"Update", "Skip This Build", "Not Now"}));
    EXPECT_EQ(alert->cancelButtonIndex(), 2);
    EXPECT_TRUE(BBAppUpdater::isAlertShowing());
}

TEST_F(BBAppUpdaterTest, AnIncompleteOrMistypedOfferShowsNothing) {
    for (const char* key : {"version", "title", "release_notes", "plist_url", "release_date"}) {
        BBDictionary missing = offer();
        missing.erase(BBValue(key));
        EXPECT_FALSE(BBAppUpdater::updateAlert(missing)) << key << " missing";
        BBDictionary empty = offer();
        empty.set(key, "");
        EXPECT_FALSE(BBAppUpdater::updateAlert(empty)) << key << " empty";
        BBDictionary number = offer();
        number.set(key, 2);
        EXPECT_FALSE(BBAppUpdater::updateAlert(number)) << key << " a number";
    }
    BBDictionary forcedAsText = offer();
    forcedAsText.set("force_upgrade", "true");
    EXPECT_FALSE(BBAppUpdater::updateAlert(forcedAsText));
    EXPECT_FALSE(BBAppUpdater::isAlertShowing());
}

TEST_F(BBAppUpdaterTest, ASkippedVersionIsNotOfferedAgainUnlessTheUpgradeIsForced) {
    auto alert = offered(offer("2.0"));
    ASSERT_TRUE(alert);
    answer(alert, 1);  // "Skip This Build"
    EXPECT_EQ(plat::UserDefaults::standard().stringForKey(std::string(kBBReverseDomainPrefix) + ".upgrade-skip-version"),
              "2.0");
    EXPECT_FALSE(BBAppUpdater::isAlertShowing());
    EXPECT_FALSE(offered(offer("2.0")));
    EXPECT_TRUE(opened.empty());

    BBDictionary forced = offer("2.0");
    forced.set("force_upgrade", true);
    auto forcedAlert = offered(forced);
    ASSERT_TRUE(forcedAlert);
    EXPECT_EQ(forcedAlert->buttonTitles(), std::vector<std::string>{"Update"});
    EXPECT_FALSE(forcedAlert->cancelButtonIndex());
    answer(forcedAlert, 0);

    EXPECT_TRUE(offered(offer("2.1")));  // another version is offered again
}

TEST_F(BBAppUpdaterTest, OnlyOneAlertIsUpAtATime) {
    auto first = offered(offer());
    ASSERT_TRUE(first);
    EXPECT_FALSE(offered(offer("2.1")));
    answer(first, 2);  // "Not Now"
    EXPECT_FALSE(BBAppUpdater::isAlertShowing());
    EXPECT_TRUE(offered(offer("2.1")));
}

TEST_F(BBAppUpdaterTest, UpdateOpensTheInstallAddressThroughTheHost) {
    auto alert = offered(offer());
    ASSERT_TRUE(alert);
    answer(alert, 0);
    EXPECT_EQ(opened, std::vector<std::string>{"https://builds.service.test/2.0/manifest.plist"});
    EXPECT_TRUE(BBAppUpdater::isUpdating());
    EXPECT_EQ(alert, nullptr);
}

// The address comes from the network: anything but an http or https address is refused.
TEST_F(BBAppUpdaterTest, AnAddressThatIsNotHTTPIsNeverOpened) {
    const std::string log = libraryLogDuring([&] {
        for (const char* address : {"itms-services://?action=download-manifest", "file:///etc/passwd",
                                    "javascript:alert(1)", "https://host.test/a b", "https://host.test/\nx", "http://"}) {
            BBDictionary reply = offer(std::string("v") + address);
            reply.set("plist_url", address);
            auto alert = offered(reply);
            ASSERT_TRUE(alert) << address;
            answer(alert, 0);
        }
    });
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(BBAppUpdater::isUpdating());
    std::size_t refusals = 0;
    for (auto at = log.find("was not opened"); at != std::string::npos; at = log.find("was not opened", at + 1)) ++refusals;
    EXPECT_EQ(refusals, 6u);
}

TEST_F(BBAppUpdaterTest, OnAPhoneInLandscapeTheMessageWaitsForPortrait) {
    prompt->phone = true;
    prompt->orientation = 3;
    auto alert = offered(offer());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "");
    plat::NotificationCenter::defaultCenter().post(BBHostApplication::kWillChangeStatusBarOrientationNotification, 1);
    drain();
    EXPECT_EQ(alert->message(), "Faster maps\n\n1 March\n(Current Version: 1.2 (45))");
    plat::NotificationCenter::defaultCenter().post(BBHostApplication::kWillChangeStatusBarOrientationNotification, 4);
    drain();
    EXPECT_EQ(alert->message(), "");
    answer(alert, 2);

    BBDictionary forced = offer("3.0");
    forced.set("force_upgrade", true);
    auto forcedAlert = offered(forced);
    ASSERT_TRUE(forcedAlert);
    EXPECT_NE(forcedAlert->message(), "");  // a forced offer keeps its text in any orientation
}

TEST_F(BBAppUpdaterTest, DisabledUpdatesShowNothing) {
    BBAppUpdater::setInAppUpdatesDisabled(true);
    drain();
    EXPECT_FALSE(offered(offer()));
    BBAppUpdater::setInAppUpdatesDisabled(false);
    drain();
    EXPECT_TRUE(offered(offer()));
}

TEST_F(BBAppUpdaterTest, WithoutAPromptOfTheHostTheOfferIsLoggedAndNoAlertStaysUp) {
    BBAppUpdater::setPrompt(nullptr);
    const std::string log = libraryLogDuring([&] {
        BBAppUpdater::promptIfUpdateExists(offer());
        drain();
    });
    EXPECT_NE(log.find("Quorix 2.0"), std::string::npos);
    EXPECT_FALSE(BBAppUpdater::isAlertShowing());
    EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace bb
