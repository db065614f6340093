#include "shell/KestrelAppDelegate.h"

#include <algorithm>
#include <cctype>

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "shell/OpenURLHandlers.h"
#include "shell/ShellInterfaces.h"
#include "shell/TabBarController.h"
#include "platform/foundation/URLText.h"

namespace qx {

namespace {

std::weak_ptr<KestrelAppDelegate>& launchedDelegate() {
    static std::weak_ptr<KestrelAppDelegate> delegate;
    return delegate;
}

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The language table's message with its "%@" filled in order; a part that holds "%@" itself
// stays as it is.
std::string filledIn(const std::string& key, std::initializer_list<std::string> parts) {
    std::string message = Language::get(key);
    std::size_t from = 0;
    for (const auto& part : parts) {
        const auto at = message.find("%@", from);
        if (at == std::string::npos) break;
        message.replace(at, 2, part);
        from = at + part.size();
    }
    return message;
}

}  // namespace

void KestrelAppDelegate::prepareProcess() { prepareProcess(plat::UserDefaults::standard()); }

void KestrelAppDelegate::prepareProcess(plat::UserDefaults& defaults) {
    defaults.setStringList(kAppleLanguagesKey, {"en", "ja", "zh-Hans", "ru", "fr"});
    defaults.synchronize();
}

std::shared_ptr<KestrelAppDelegate> KestrelAppDelegate::sharedDelegate() { return launchedDelegate().lock(); }

KestrelAppDelegate::KestrelAppDelegate() { registerShellInterfaces(); }

KestrelAppDelegate::~KestrelAppDelegate() = default;

bool KestrelAppDelegate::applicationDidFinishLaunching(const LaunchOptions& options) {
    launchedDelegate() = weak_from_this();
    std::weak_ptr<KestrelAppDelegate> weak = weak_from_this();
    plat::Application::shared().setOwnURLHandler(kURLScheme, [weak](const std::string& url) {
        auto self = weak.lock();
        return self && self->openURL(url);
    });
    for (const LaunchStep step : LaunchHooks::orderedSteps()) {
        currentStep_ = step;
        runOwnPart(step, options);
        for (const auto* entry : LaunchHooks::hooksFor(step)) entry->hook(*this);
    }
    launched_ = true;
    return true;
}

void KestrelAppDelegate::runOwnPart(LaunchStep step, const LaunchOptions& options) {
    switch (step) {
        case LaunchStep::applyLanguage:
            Language::setCurrentLanguage();
            break;
        case LaunchStep::keepScreenAwake:
            // A radiation display must stay readable: the screen never dims by itself.
            plat::Application::shared().setIdleTimerDisabled(true);
            break;
        case LaunchStep::showWindow:
            showWindow();
            break;
        case LaunchStep::restoreFacebook:
            restoreFacebookSession();
            break;
        case LaunchStep::checkFacebookScheme:
            checkFacebookScheme();
            break;
        case LaunchStep::importOpenedFile:
            if (options.url && plat::url::scheme(*options.url) == "file") importFile(*options.url);
            break;
        default:
            break;  // steps that belong to other layers run through their hooks only
    }
}

void KestrelAppDelegate::showWindow() {
    window_ = std::make_shared<plat::Window>(plat::Screen::bounds());
    tabBarController_ = TabBarController::make();
    window_->setRootViewController(tabBarController_);
    window_->makeKeyAndVisible();
    tellOfResetSettings();
}

void KestrelAppDelegate::tellOfResetSettings() {
    const auto& defaults = plat::UserDefaults::standard();
    if (const auto failure = defaults.readFailure()) {
        tellOfUnreadSettings(defaults.file(), *failure);
        return;
    }
    const auto kept = defaults.movedAsideFile();
    if (!kept) {
        tellOfResetValues();
        return;
    }
    // Folder and name apart, so that a line break can fall between them.
    const std::string message =
        filledIn("The settings could not be read and were reset. The damaged file was kept in %@ as %@",
                 {kept->parent_path().string(), kept->filename().string()});
    plat::AlertView::show(Language::get("Settings reset"), message, Language::get("OK"), {}, {});
}

void KestrelAppDelegate::tellOfUnreadSettings(const std::filesystem::path& file, const plat::ReadFailure& failure) {
    const std::string message =
        filledIn("The settings file %@ could not be read: %@. It is left as it is: quorix starts with its default "
                 "settings and keeps changes to them only until it ends.",
                 {file.string(), failure.reason(&Language::get)});
    plat::AlertView::show(Language::get("Settings Not Read"), message, Language::get("OK"), {}, {});
}

void KestrelAppDelegate::tellOfResetValues() {
    const auto& keys = Settings::sharedSettings().resetOnLoad();
    if (keys.empty()) return;
    // Named as the file names them: whoever put a value there by hand finds it again.
    std::string names;
    for (const auto& key : keys) names += (names.empty() ? "" : ", ") + key;
    const std::string message =
        filledIn("These stored settings could not be used and are back to their defaults: %@", {names});
    plat::AlertView::show(Language::get("Settings reset"), message, Language::get("OK"), {}, {});
}

void KestrelAppDelegate::restoreFacebookSession() {
    auto& facebook = Facebook::sharedFacebook();
    facebook.setSessionDelegate(weak_from_this());
    facebook.restoreSession(plat::UserDefaults::standard());
}

void KestrelAppDelegate::checkFacebookScheme() {
    if (Facebook::sharedFacebook().urlScheme().empty()) {
        plat::Log::line("KestrelAppDelegate checkFacebookScheme: no Facebook app id, so no fb URL scheme; "
                        "Facebook logins cannot come back to the application");
    }
}

bool KestrelAppDelegate::importFile(const std::string& fileUrl) {
    const auto path = plat::url::filePath(fileUrl);
    if (!path) {
        plat::Log::line("KestrelAppDelegate openURL: not a local file URL: " + plat::Log::quoted(fileUrl));
        return false;
    }
    const auto& importer = OpenURLHandlers::fileImporter();
    if (!importer) {
        plat::Log::line("KestrelAppDelegate openURL: no importer for " + plat::Log::quoted(*path));
        return false;
    }
    return importer(*path);
}

bool KestrelAppDelegate::openURL(const std::string& openedUrl, const std::string& sourceApplication) {
    (void)sourceApplication;
    if (plat::url::scheme(openedUrl) == "file") return importFile(openedUrl);
    if (lowerCased(openedUrl).find("quorix") != std::string::npos) {
        const auto& redirect = OpenURLHandlers::radResponderRedirect();
        if (!redirect) {
            plat::Log::line("KestrelAppDelegate openURL: no handler for the RadResponder redirect");
            return false;
        }
        return redirect(openedUrl);
    }
    return Facebook::sharedFacebook().handleOpenURL(openedUrl);
}

void KestrelAppDelegate::fbDidLogin() { Facebook::sharedFacebook().storeSession(plat::UserDefaults::standard()); }

void KestrelAppDelegate::fbDidLogout() { Facebook::sharedFacebook().storeSession(plat::UserDefaults::standard()); }

}  // namespace qx
