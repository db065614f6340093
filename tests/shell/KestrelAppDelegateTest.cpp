#include <vector>

#include "ShellTestFixture.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "shell/AppWindow.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/TabBarController.h"

using qx::KestrelAppDelegate;
using qx::LaunchHooks;
using qx::LaunchStep;

namespace {

class KestrelAppDelegateTest : public ShellTest {
protected:
    std::shared_ptr<KestrelAppDelegate> launch(const qx::LaunchOptions& options = {}) {
        auto delegate = std::make_shared<KestrelAppDelegate>();
        EXPECT_TRUE(delegate->applicationDidFinishLaunching(options));
        drain();
        return delegate;
    }
};

TEST_F(KestrelAppDelegateTest, PrepareProcessWritesTheOfferedLanguages) {
    KestrelAppDelegate::prepareProcess();
    plat::UserDefaults reread(plat::UserDefaults::standard().file());
    EXPECT_EQ(reread.stringListForKey(KestrelAppDelegate::kAppleLanguagesKey),
              (std::vector<std::string>{"en", "ja", "zh-Hans", "ru", "fr"}));
}

TEST_F(KestrelAppDelegateTest, StepsRunInOrderAndEachSeesTheWorkOfTheOnesBefore) {
    settings().setLanguage("ja");
    plat::UserDefaults::standard().setString(qx::Facebook::kAccessTokenKey, "tok");
    plat::UserDefaults::standard().setDate(qx::Facebook::kExpirationDateKey, plat::Date::now().addingTimeInterval(60));

    std::vector<std::string> order;
    for (LaunchStep step : LaunchHooks::orderedSteps()) {
        LaunchHooks::add(step, "recorder", [&order, step](KestrelAppDelegate&) {
            order.push_back(LaunchHooks::stepName(step));
        });
    }
    plat::Application::shared().reset();
    bool storeSawLanguage = false, storeSawAwake = false, storeSawWindow = true;
    LaunchHooks::add(LaunchStep::setUpStore, "store", [&](KestrelAppDelegate& d) {
        storeSawLanguage = qx::Language::currentLanguage() == "ja";
        storeSawAwake = plat::Application::shared().isIdleTimerDisabled();
        storeSawWindow = d.window() != nullptr;
    });
    bool audioSawWindow = false, audioSawFacebook = true;
    LaunchHooks::add(LaunchStep::playbackAudio, "audio", [&](KestrelAppDelegate& d) {
        audioSawWindow = d.window() && d.window()->isShowing() && d.tabBarController();
        audioSawFacebook = qx::Facebook::sharedFacebook().accessToken().has_value();
    });
    bool linkSawFacebook = false;
    LaunchHooks::add(LaunchStep::linkDeviceManager, "link", [&](KestrelAppDelegate&) {
        linkSawFacebook = qx::Facebook::sharedFacebook().accessToken() == "tok";
    });

    auto delegate = launch();
    std::vector<std::string> expected;
    for (LaunchStep step : LaunchHooks::orderedSteps()) expected.push_back(LaunchHooks::stepName(step));
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(storeSawLanguage) << "the language is applied before the store";
    EXPECT_TRUE(storeSawAwake) << "the screen is kept awake before the store";
    EXPECT_FALSE(storeSawWindow) << "the store is set up before the window shows";
    EXPECT_TRUE(audioSawWindow);
    EXPECT_FALSE(audioSawFacebook) << "the social session is restored after the audio session";
    EXPECT_TRUE(linkSawFacebook);
    EXPECT_TRUE(delegate->didFinishLaunching());
    EXPECT_EQ(KestrelAppDelegate::sharedDelegate(), delegate);
    EXPECT_EQ(qx::mainWindow(), delegate->window().get());
}

TEST_F(KestrelAppDelegateTest, LaunchImportsOnlyAFileGivenInTheOptions) {
    std::vector<std::string> imported;
    qx::OpenURLHandlers::setFileImporter([&](const std::string& path) {
        imported.push_back(path);
        return true;
    });
    bool importedBeforeScan = false;
    LaunchHooks::add(LaunchStep::startBluetoothScan, "scan",
                     [&](KestrelAppDelegate&) { importedBeforeScan = imported.size() == 1; });
    launch({"file:///data/Documents/My%20walk.gpx", ""});
    EXPECT_EQ(imported, std::vector<std::string>{"/data/Documents/My walk.gpx"});
    EXPECT_TRUE(importedBeforeScan);

    imported.clear();
    launch({"quorix://authorize?code=1", ""});
    EXPECT_TRUE(imported.empty());
}

class OpenURLTest : public KestrelAppDelegateTest {
protected:
    void SetUp() override {
        KestrelAppDelegateTest::SetUp();
        qx::OpenURLHandlers::setFileImporter([this](const std::string& path) {
            files.push_back(path);
            return true;
        });
        qx::OpenURLHandlers::setRadResponderRedirect([this](const std::string& url) {
            redirects.push_back(url);
            return true;
        });
        qx::Facebook::sharedFacebook().setAppId("77");
        delegate = launch();
    }
    std::vector<std::string> files, redirects;
    std::shared_ptr<KestrelAppDelegate> delegate;
};

TEST_F(OpenURLTest, RoutesFilesRedirectsAndSocialLogins) {
    EXPECT_TRUE(delegate->openURL("file:///home/me/.local/share/quorix/Documents/a.csv"));
    EXPECT_EQ(files, std::vector<std::string>{"/home/me/.local/share/quorix/Documents/a.csv"})
        << "a file URL is imported even when its path names the application";
    EXPECT_TRUE(redirects.empty());

    EXPECT_TRUE(delegate->openURL("QUORIX://authorize?code=xyz"));
    EXPECT_TRUE(delegate->openURL("https://example.org/callback/QuoRix"));
    EXPECT_EQ(redirects, (std::vector<std::string>{"QUORIX://authorize?code=xyz", "https://example.org/callback/QuoRix"}));

    // The launched application claims its scheme: a page or another program opening such an
    // address reaches the same routing; other addresses still go to other programs.
    auto& application = plat::Application::shared();
    EXPECT_TRUE(application.openURL("quorix://authorize?code=page"));
    EXPECT_EQ(redirects.back(), "quorix://authorize?code=page");
    EXPECT_TRUE(application.openURL("https://example.org/elsewhere"));
    EXPECT_EQ(redirects.size(), 3u);
    EXPECT_EQ(application.openedURLs(), std::vector<std::string>{"https://example.org/elsewhere"});

    EXPECT_TRUE(delegate->openURL("fb77://authorize#access_token=tt&expires_in=60"));
    EXPECT_EQ(qx::Facebook::sharedFacebook().accessToken(), "tt");
    plat::UserDefaults reread(plat::UserDefaults::standard().file());
    EXPECT_EQ(reread.stringForKey(qx::Facebook::kAccessTokenKey), "tt") << "a login is kept for the next launch";

    EXPECT_FALSE(delegate->openURL("https://example.org/other"));
    EXPECT_EQ(files.size(), 1u);
    EXPECT_EQ(redirects.size(), 3u);
}

TEST_F(OpenURLTest, UnusableURLsAreRefused) {
    qxtest::LogCapture log;
    EXPECT_FALSE(delegate->openURL("file://otherhost/share/a.csv"));
    qx::OpenURLHandlers::clear();
    EXPECT_FALSE(delegate->openURL("file:///tmp/a.csv"));
    EXPECT_FALSE(delegate->openURL("quorix://authorize?code=1"));
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(redirects.empty());
    EXPECT_EQ(log.count("KestrelAppDelegate openURL"), 3u);
}

}  // namespace
