#pragma once

#include <functional>
#include <memory>
#include <string>

namespace plat {
class ViewController;
}

namespace qx {

// The five tabs of the main screen, in order.
enum class Tab { dashboard = 0, track = 1, history = 2, worldMap = 3, settings = 4 };
inline constexpr int kTabCount = 5;

// Makers of the tab screens, registered by the layers that build them (the dashboard, the map
// and history screens, the settings). A tab without a maker shows an empty screen with the
// tab's title.
class TabScreens {
public:
    using Factory = std::function<std::shared_ptr<plat::ViewController>()>;

    static void registerFactory(Tab tab, Factory factory);
    static const Factory& factory(Tab tab);
    static void clear();

    // The English title of the tab (the language table's key) and its tab bar picture.
    static const char* titleKey(Tab tab);
    static const char* imageName(Tab tab);
};

}  // namespace qx
