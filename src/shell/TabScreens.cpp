#include "shell/TabScreens.h"

#include <array>

namespace qx {

namespace {

std::array<TabScreens::Factory, kTabCount>& factories() {
    static std::array<TabScreens::Factory, kTabCount> list;
    return list;
}

}  // namespace

void TabScreens::registerFactory(Tab tab, Factory factory) { factories()[static_cast<int>(tab)] = std::move(factory); }

const TabScreens::Factory& TabScreens::factory(Tab tab) { return factories()[static_cast<int>(tab)]; }

void TabScreens::clear() { factories().fill(Factory{}); }

const char* TabScreens::titleKey(Tab tab) {
    switch (tab) {
        case Tab::dashboard: return "Dashboard";
        case Tab::track: return "Track";
        case Tab::history: return "History";
        case Tab::worldMap: return "World Map";
        case Tab::settings: return "Settings";
    }
    return "";
}

const char* TabScreens::imageName(Tab tab) {
    switch (tab) {
        case Tab::dashboard: return "tab-dashboard";
        case Tab::track: return "tab-track";
        case Tab::history: return "tab-history";
        case Tab::worldMap: return "tab-world-map";
        case Tab::settings: return "tab-settings";
    }
    return "";
}

}  // namespace qx
