#include "settings/VNFilterViewController.h"

#include <mutex>

#include "model/Language.h"
#include "platform/ui/Button.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"

namespace qx {

namespace {

constexpr double kButtonBarHeight = 50;

std::shared_ptr<plat::View> buildFilterInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(screen);
    const double top = VNBaseViewController::kNavBarHeight;
    const double bar = screen.height() - kButtonBarHeight;
    auto table =
        std::make_shared<plat::TableView>(plat::Rect{0, top, screen.width(), bar - top});
    root->addSubview(table);
    outlets.set("tableView", table);
    auto button = [&](const char* name, double x) {
        auto b = plat::Button::make(plat::ButtonType::System, {x, bar + 8, screen.width() / 2 - 20, 34});
        root->addSubview(b);
        outlets.set(name, b);
    };
    button("resetButton", 10);
    button("applyButton", screen.width() / 2 + 10);
    return root;
}

}  // namespace

VNFilterViewController::VNFilterViewController() : VNTableViewController(kNibName) { registerFilterInterface(); }

VNFilterViewController::~VNFilterViewController() = default;

std::shared_ptr<plat::Button> VNFilterViewController::applyButton() {
    view();
    return outlet<plat::Button>("applyButton");
}

std::shared_ptr<plat::Button> VNFilterViewController::resetButton() {
    view();
    return outlet<plat::Button>("resetButton");
}

void VNFilterViewController::viewDidLoad() {
    VNTableViewController::viewDidLoad();
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    auto wire = [&](const std::shared_ptr<plat::Button>& button, void (VNFilterViewController::*action)(plat::Button*)) {
        if (!button) return;
        button->addAction(plat::TouchUpInside, [weak, action](plat::Control& sender) {
            if (auto s = std::dynamic_pointer_cast<VNFilterViewController>(weak.lock()))
                ((*s).*action)(dynamic_cast<plat::Button*>(&sender));
        });
    };
    wire(applyButton(), &VNFilterViewController::applyAction);
    wire(resetButton(), &VNFilterViewController::resetAction);
    initTitles();
    resetAction(nullptr);
}

void VNFilterViewController::initTitles() {
    VNTableViewController::initTitles();
    if (auto b = applyButton()) b->setTitle(Language::get("Apply"));
    if (auto b = resetButton()) b->setTitle(Language::get("Reset"));
}

void VNFilterViewController::applyAction(plat::Button*) {}

void VNFilterViewController::resetAction(plat::Button*) {}

void registerFilterInterface() {
    static std::once_flag once;
    std::call_once(once, [] { plat::Interface::registerBuilder(VNFilterViewController::kNibName, buildFilterInterface); });
}

}  // namespace qx
