#pragma once

#include <functional>
#include <string>

namespace bb {

// What the library needs of the application that hosts it. The host posts its state changes
// under these names on the default notification centre and may install the hooks below.
class BBHostApplication {
public:
    static constexpr const char* kDidBecomeActiveNotification = "BBApplicationDidBecomeActiveNotification";
    static constexpr const char* kDidEnterBackgroundNotification = "BBApplicationDidEnterBackgroundNotification";
    static constexpr const char* kWillResignActiveNotification = "BBApplicationWillResignActiveNotification";
    static constexpr const char* kWillTerminateNotification = "BBApplicationWillTerminateNotification";
    // Posted with the new status-bar orientation (an int: 1 portrait, 2 upside down, 3 and 4
    // landscape) before the interface turns.
    static constexpr const char* kWillChangeStatusBarOrientationNotification =
        "BBApplicationWillChangeStatusBarOrientationNotification";

    // Opens an address outside the library (a browser, an installer); false when it was not
    // opened. Without a hook nothing is opened.
    using URLOpener = std::function<bool(const std::string& url)>;
    static void setURLOpener(URLOpener opener);
    static bool openURL(const std::string& url);

    // Whether the application is active (in front, taking events) now. Without a source it counts
    // as not active: a host that never says so is met at its first did-become-active notice.
    using ActiveStateSource = std::function<bool()>;
    static void setActiveStateSource(ActiveStateSource source);
    static bool isActive();
};

}  // namespace bb
