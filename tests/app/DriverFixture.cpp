#include "DriverFixture.h"

namespace qxtest {

std::shared_ptr<plat::Button> DriverTest::addButton(const std::string& title, double y) {
    auto b = plat::Button::make(plat::ButtonType::System, plat::Rect{10, y, 120, 30});
    b->setTitle(title);
    home->view()->addSubview(b);
    return b;
}

void DriverTest::SetUp() {
    AppTest::SetUp();
    home = std::make_shared<plat::ViewController>();
    home->setTitle("Home");
    home->view()->addSubview(std::make_shared<plat::Label>(plat::Rect{10, 10, 200, 20}, "Welcome"));
    addButton("Start", 40)->addAction(plat::TouchUpInside, [this](plat::Control&) { ++startTaps; });
    addButton("Save", 80)->setEnabled(false);
    addButton("Hidden", 120)->setHidden(true);
    nameField = std::make_shared<plat::TextField>(plat::Rect{10, 160, 200, 30});
    nameField->setPlaceholder("Name");
    home->view()->addSubview(nameField);
    table = std::make_shared<plat::TableView>(plat::Rect{0, 200, 320, 300});
    table->setDataSource(rows);
    table->setDelegate(rows);
    home->view()->addSubview(table);
    home->navigationItem().setRightBarButtonItem(
        plat::BarButtonItem::withTitle("Edit", plat::BarButtonStyle::Plain, [this](plat::BarButtonItem&) { ++editTaps; }));
    rows->onSelect = [this](const plat::IndexPath& ip) {
        if (ip.section != 1) return;
        auto details = std::make_shared<plat::ViewController>();
        details->setTitle("Dose Threshold");
        nav->pushViewController(details, true);
    };
    nav = std::make_shared<plat::NavigationController>(home);
    nav->tabBarItem().title = "Home";

    settings = std::make_shared<plat::ViewController>();
    settings->setTitle("Settings");
    settingsSwitch = std::make_shared<plat::Switch>(plat::Rect{10, 10, 0, 0});
    settingsSwitch->setAccessibilityLabel("Sound");
    settings->view()->addSubview(settingsSwitch);
    segments = std::make_shared<plat::SegmentedControl>(std::vector<std::string>{"Map", "Graph"},
                                                        plat::Rect{10, 60, 200, 30});
    settings->view()->addSubview(segments);

    tabs = std::make_shared<plat::TabBarController>();
    tabs->setViewControllers({nav, settings});
    window = std::make_unique<plat::Window>();
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    driver = std::make_unique<qx::app::Driver>([this] { return window.get(); });
}

void DriverTest::TearDown() {
    driver.reset();
    window.reset();
    AppTest::TearDown();
}

}  // namespace qxtest
