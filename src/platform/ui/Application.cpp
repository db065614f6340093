#include "platform/ui/Application.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/URLText.h"
#include "platform/ui/Window.h"

namespace plat {

Application& Application::shared() {
    static Application app;
    return app;
}

Window* Application::keyWindow() const { return Window::keyWindow(); }

const std::vector<Window*>& Application::windows() const { return Window::allWindows(); }

bool Application::canOpenURL(const std::string& url) const {
    if (canOpen_) return canOpen_(url);
    auto colon = url.find(':');
    return colon != std::string::npos && colon > 0;
}

bool Application::openURL(const std::string& url) {
    if (ownHandler_ && !ownScheme_.empty() && url::scheme(url) == ownScheme_) {
        auto handler = ownHandler_;  // the handler may replace itself
        return handler(url);
    }
    if (!canOpenURL(url)) return false;
    opened_.push_back(url);
    Log::line("Application openURL: handed to another program: " + url);
    return true;
}

void Application::setOwnURLHandler(std::string scheme, std::function<bool(const std::string& url)> handler) {
    ownScheme_ = std::move(scheme);
    ownHandler_ = std::move(handler);
}

void Application::scheduleLocalNotification(const LocalNotification& n) { scheduled_.push_back(n); }

void Application::presentLocalNotificationNow(const LocalNotification& n) {
    presented_.push_back(n);
    if (n.applicationIconBadgeNumber) badge_ = n.applicationIconBadgeNumber;
}

void Application::reset() { *this = Application(); }

}  // namespace plat
