#include "shell/VNFilterViewController.h"

#include "model/Language.h"
#include "platform/ui/Toolbar.h"
#include "shell/ShellInterfaces.h"

namespace qx {

VNFilterViewController::VNFilterViewController(std::string interfaceName)
    : VNTableViewController(std::move(interfaceName)) {
    registerShellInterfaces();
}

void VNFilterViewController::viewDidLoad() {
    VNTableViewController::viewDidLoad();
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    auto button = [weak](void (VNFilterViewController::*action)()) {
        auto item = plat::BarButtonItem::withTitle({}, plat::BarButtonStyle::Bordered);
        item->setAction([weak, action](plat::BarButtonItem&) {
            if (auto self = std::dynamic_pointer_cast<VNFilterViewController>(weak.lock())) ((*self).*action)();
        });
        return item;
    };
    applyButton_ = button(&VNFilterViewController::applyAction);
    resetButton_ = button(&VNFilterViewController::resetAction);
    auto space = plat::BarButtonItem::withSystemItem(plat::SystemItem::FlexibleSpace);
    if (auto bar = outlet<plat::Toolbar>("buttonBar")) {
        bar->setItems({resetButton_, space, applyButton_});
    } else {
        navItem().setRightBarButtonItems({applyButton_, resetButton_});
    }
    initTitles();
    resetAction();
}

void VNFilterViewController::initTitles() {
    VNTableViewController::initTitles();
    setTitle(Language::get("Filter"));
    if (applyButton_) applyButton_->setTitle(Language::get("Apply"));
    if (resetButton_) resetButton_->setTitle(Language::get("Reset"));
    if (auto bar = outlet<plat::Toolbar>("buttonBar")) bar->fitItemsToTitles();
}

}  // namespace qx
