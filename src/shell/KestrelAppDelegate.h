#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ReadFailure.h"
#include "shell/Facebook.h"
#include "shell/LaunchHooks.h"

namespace plat {
class UserDefaults;
class Window;
}  // namespace plat

namespace qx {

class TabBarController;

// What the application is launched with.
struct LaunchOptions {
    // A URL the application was opened with (a file to import).
    std::optional<std::string> url;
    std::string sourceApplication;
};

// The application's delegate: runs the launch sequence, owns the window with the main tab bar
// and routes the URLs the application is opened with.
//
// Launch: call prepareProcess() before anything else reads the user defaults, register the
// other layers' launch hooks, tab screen makers and URL handlers, then make the delegate with
// std::make_shared and call applicationDidFinishLaunching(). URLs that arrive later go to
// openURL(); the launch itself only imports a file URL given in the options.
class KestrelAppDelegate : public FacebookSessionDelegate, public std::enable_shared_from_this<KestrelAppDelegate> {
public:
    static constexpr const char* kAppleLanguagesKey = "AppleLanguages_1";
    // The scheme of the addresses that lead back into the application (the service login's
    // redirect).
    static constexpr const char* kURLScheme = "quorix";

    // Writes the languages the application offers to the system ("en", "ja", "zh-Hans",
    // "ru", "fr") under "AppleLanguages_1" and synchronises.
    static void prepareProcess();
    static void prepareProcess(plat::UserDefaults& defaults);

    // The delegate that launched last, while it lives.
    static std::shared_ptr<KestrelAppDelegate> sharedDelegate();

    KestrelAppDelegate();
    ~KestrelAppDelegate() override;
    KestrelAppDelegate(const KestrelAppDelegate&) = delete;
    KestrelAppDelegate& operator=(const KestrelAppDelegate&) = delete;

    // Claims the application's URL scheme, then runs every launch step in order (the shell's
    // part, then the registered hooks).
    bool applicationDidFinishLaunching(const LaunchOptions& options = {});
    bool didFinishLaunching() const { return launched_; }
    // The step running now, or the last one run.
    std::optional<LaunchStep> currentLaunchStep() const { return currentStep_; }

    // Routes an opened URL: a file URL is imported; a URL whose lower-cased text contains
    // "quorix" is the RadResponder login redirect; any other goes to the Facebook session.
    // False when nobody took it.
    bool openURL(const std::string& url, const std::string& sourceApplication = {});

    const std::shared_ptr<plat::Window>& window() const { return window_; }
    const std::shared_ptr<TabBarController>& tabBarController() const { return tabBarController_; }

    // The social session keeps its token in the user defaults.
    void fbDidLogin() override;
    void fbDidLogout() override;

private:
    void runOwnPart(LaunchStep step, const LaunchOptions& options);
    void showWindow();
    // A preferences file that could not be read was moved aside: the person hears where it is.
    void tellOfResetSettings();
    // A preferences file that could not be read at all was left as it is: the person hears why.
    void tellOfUnreadSettings(const std::filesystem::path& file, const plat::ReadFailure& failure);
    // Stored values the settings could not use were put back to their defaults: the person
    // hears which, once (the defaults were saved).
    void tellOfResetValues();
    void restoreFacebookSession();
    void checkFacebookScheme();
    bool importFile(const std::string& url);

    std::shared_ptr<plat::Window> window_;
    std::shared_ptr<TabBarController> tabBarController_;
    std::optional<LaunchStep> currentStep_;
    bool launched_ = false;
};

}  // namespace qx
