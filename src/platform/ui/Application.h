#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"

namespace plat {

class Window;

enum class ApplicationState { Active, Inactive, Background };

// A notification shown to the person by the system (while the application is in the
// background, typically), kept as data.
struct LocalNotification {
    Date fireDate;
    std::string alertBody;
    std::string alertAction;
    std::string soundName;
    long applicationIconBadgeNumber = 0;
    std::map<std::string, std::string> userInfo;
};

// The application object: key window, opening URLs in other programs, the idle timer, the
// application state and local notifications. One per process.
class Application {
public:
    static Application& shared();

    Window* keyWindow() const;
    const std::vector<Window*>& windows() const;

    // Whether a URL can be opened is a setting (the default: any URL with a scheme). A URL of
    // the application's own scheme comes back to the application through its handler, as the
    // system hands such a URL to the program that claims it; any other is recorded as opened in
    // another program. False (and nothing recorded) when it cannot be opened or the handler
    // did not take it.
    bool canOpenURL(const std::string& url) const;
    bool openURL(const std::string& url);
    void setCanOpenURL(std::function<bool(const std::string& url)> decide) { canOpen_ = std::move(decide); }
    // Claims a scheme (lower case) for the application; an empty handler gives it up.
    void setOwnURLHandler(std::string scheme, std::function<bool(const std::string& url)> handler);
    const std::vector<std::string>& openedURLs() const { return opened_; }

    // Keeping the screen awake.
    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }

    ApplicationState applicationState() const { return state_; }
    void setApplicationState(ApplicationState s) { state_ = s; }

    void scheduleLocalNotification(const LocalNotification& n);
    void presentLocalNotificationNow(const LocalNotification& n);
    void cancelAllLocalNotifications() { scheduled_.clear(); }
    const std::vector<LocalNotification>& scheduledLocalNotifications() const { return scheduled_; }
    // Notifications presented at once, in order.
    const std::vector<LocalNotification>& presentedLocalNotifications() const { return presented_; }
    long applicationIconBadgeNumber() const { return badge_; }
    void setApplicationIconBadgeNumber(long n) { badge_ = n; }

    // Back to a fresh application (tests and the driver's restart).
    void reset();

private:
    Application() = default;

    std::function<bool(const std::string&)> canOpen_;
    std::string ownScheme_;
    std::function<bool(const std::string&)> ownHandler_;
    std::vector<std::string> opened_;
    bool idleTimerDisabled_ = false;
    ApplicationState state_ = ApplicationState::Active;
    std::vector<LocalNotification> scheduled_, presented_;
    long badge_ = 0;
};

}  // namespace plat
