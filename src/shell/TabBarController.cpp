#include "shell/TabBarController.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/NavigationController.h"
#include "shell/VNBaseViewController.h"

namespace qx {

namespace {

// Stands in for a tab whose screen is not built: only its title.
class EmptyTabScreen : public VNBaseViewController {
public:
    explicit EmptyTabScreen(std::string titleKey) : titleKey_(std::move(titleKey)) { setTitle(Language::get(titleKey_)); }
    void viewDidLoad() override {
        VNBaseViewController::viewDidLoad();
        initTitles();
    }
    void initTitles() override {
        VNBaseViewController::initTitles();
        setTitle(Language::get(titleKey_));
    }

private:
    std::string titleKey_;
};

}  // namespace

std::shared_ptr<TabBarController> TabBarController::make() {
    auto tabs = std::make_shared<TabBarController>();
    tabs->build();
    return tabs;
}

TabBarController::~TabBarController() { languageObserver_.reset(); }

void TabBarController::build() {
    std::vector<std::shared_ptr<plat::ViewController>> stacks;
    for (int i = 0; i < kTabCount; ++i) {
        const auto tab = static_cast<Tab>(i);
        std::shared_ptr<plat::ViewController> screen;
        if (const auto& factory = TabScreens::factory(tab)) screen = factory();
        if (!screen) screen = std::make_shared<EmptyTabScreen>(TabScreens::titleKey(tab));
        auto stack = std::make_shared<plat::NavigationController>(screen);
        stack->setNavigationBarHidden(true);
        stack->tabBarItem().image = plat::Image::named(TabScreens::imageName(tab));
        stack->tabBarItem().tag = i;
        stacks.push_back(stack);
    }
    setViewControllers(std::move(stacks));
    updateTabTitles();
    setSelectedIndex(static_cast<long>(Settings::sharedSettings().startScreen()));

    languageObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        kVNLanguageDidSwitchedNotification, [this](const plat::Notification&) { updateTabTitles(); });
}

std::shared_ptr<plat::ViewController> TabBarController::screenForTab(Tab tab) const {
    const auto index = static_cast<std::size_t>(tab);
    if (index >= viewControllers().size()) return nullptr;
    auto stack = std::dynamic_pointer_cast<plat::NavigationController>(viewControllers()[index]);
    if (!stack || stack->viewControllers().empty()) return nullptr;
    return stack->viewControllers().front();
}

void TabBarController::updateTabTitles() {
    const auto& stacks = viewControllers();
    for (std::size_t i = 0; i < stacks.size() && i < static_cast<std::size_t>(kTabCount); ++i) {
        stacks[i]->tabBarItem().title = Language::get(TabScreens::titleKey(static_cast<Tab>(i)));
    }
    tabBar().setNeedsDisplay();
}

}  // namespace qx
