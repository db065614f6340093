#include "shell/ShellInterfaces.h"

#include <mutex>

#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Toolbar.h"
#include "shell/VNActionTableViewCell.h"
#include "shell/VNCheckButtonTableViewCell.h"
#include "shell/VNFilterViewController.h"
#include "shell/VNIntervalPickerView.h"
#include "shell/VNTableViewController.h"
#include "shell/VNTableViewServerAddressCell.h"
#include "shell/VNTableViewSwitchCell.h"
#include "shell/VNThresholdTableViewCell.h"

namespace qx {

namespace {

constexpr plat::Rect kCellFrame{0, 0, 320, 44};

template <class T>
void registerCell() {
    plat::Interface::registerBuilder(T::kNibName, [](plat::Outlets&) -> std::shared_ptr<plat::View> {
        auto cell = std::make_shared<T>();
        cell->setFrame(kCellFrame);
        if constexpr (requires { cell->buildContent(); }) cell->buildContent();
        cell->awakeFromNib();
        return cell;
    });
}

// A screen with its bar on top and a table filling the rest.
std::shared_ptr<plat::View> buildTableScreen(plat::Outlets& outlets) {
    const auto bounds = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, bounds.width(), bounds.height()});
    root->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    auto bar = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, bounds.width(), plat::NavigationBar::kHeight});
    auto table = std::make_shared<plat::TableView>(
        plat::Rect{0, bar->frame().maxY(), bounds.width(), bounds.height() - bar->frame().maxY()});
    table->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    table->setStretchesWithSuperview(true);
    root->addSubview(table);
    root->addSubview(bar);
    outlets.set("navBar", bar);
    outlets.set("tableView", table);
    return root;
}

// A table screen with a bar of buttons between its navigation bar and its table.
std::shared_ptr<plat::View> buildFilterScreen(plat::Outlets& outlets) {
    auto root = buildTableScreen(outlets);
    auto table = outlets.get("tableView");
    const auto frame = table->frame();
    auto buttons = std::make_shared<plat::Toolbar>(plat::Rect{0, frame.y(), frame.width(), plat::Toolbar::kHeight});
    table->setFrame(plat::Rect{0, buttons->frame().maxY(), frame.width(), frame.height() - plat::Toolbar::kHeight});
    root->addSubview(buttons);
    outlets.set("buttonBar", buttons);
    return root;
}

std::shared_ptr<plat::View> buildIntervalPicker(plat::Outlets& outlets) {
    auto picker = std::make_shared<VNIntervalPickerView>();
    std::weak_ptr<VNIntervalPickerView> weak = picker;
    picker->doneButton()->setAction([weak](plat::BarButtonItem&) {
        if (auto shown = weak.lock()) shown->close();
    });
    outlets.set("pickerView", picker->pickerView().sharedAs<plat::View>());
    return picker;
}

}  // namespace

void registerShellInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerCell<VNTableViewCell>();
        registerCell<VNTableViewSwitchCell>();
        registerCell<VNTableViewTextFieldCell>();
        registerCell<VNTableViewServerAddressCell>();
        registerCell<VNCheckButtonTableViewCell>();
        registerCell<VNCheckButtonValueTableViewCell>();
        registerCell<VNCheckButtonValueUnitTableViewCell>();
        registerCell<VNThresholdTableViewCell>();
        registerCell<VNActionTableViewCell>();
        plat::Interface::registerBuilder(VNTableViewController::kNibName, buildTableScreen);
        plat::Interface::registerBuilder(VNFilterViewController::kNibName, buildFilterScreen);
        plat::Interface::registerBuilder(VNIntervalPickerView::kNibName, buildIntervalPicker);
    });
}

}  // namespace qx
