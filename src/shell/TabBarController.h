#pragma once

#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TabBarController.h"
#include "shell/TabScreens.h"

namespace qx {

// The main screen: the dashboard, Track, History, World Map and Settings tabs, each screen in
// a navigation stack of its own (bar hidden: the screens bring their own bars). The tab shown
// at launch is Settings::startScreen.
class TabBarController : public plat::TabBarController {
public:
    // Builds the tabs from the registered makers and selects the start tab; a start screen
    // outside the tabs leaves the first one selected.
    static std::shared_ptr<TabBarController> make();

    TabBarController() = default;
    ~TabBarController() override;

    // The screen of a tab (the root of its navigation stack).
    std::shared_ptr<plat::ViewController> screenForTab(Tab tab) const;
    // Titles the tab bar items in the current language.
    void updateTabTitles();

    std::string kindName() const override { return "MainTabBar"; }

private:
    void build();

    plat::ObserverToken languageObserver_;
};

}  // namespace qx
