#include "settings/SettingsInterfaces.h"

#include <mutex>

#include "platform/ui/Interface.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"
#include "platform/ui/WebView.h"
#include "settings/VNBluetoothTableHeader.h"
#include "settings/VNLoginTableViewCell.h"
#include "settings/VNPeripheralTableViewCell.h"
#include "settings/VNWebViewController.h"
#include "shell/ShellInterfaces.h"

namespace qx {

namespace {

constexpr plat::Rect kCellFrame{0, 0, 320, 44};

// The bar on top and the page below it.
std::shared_ptr<plat::View> buildWebScreen(plat::Outlets& outlets) {
    const auto bounds = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, bounds.width(), bounds.height()});
    root->setBackgroundColor(plat::Color::white());
    auto bar = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, bounds.width(), plat::NavigationBar::kHeight});
    auto page = std::make_shared<plat::WebView>(
        plat::Rect{0, bar->frame().maxY(), bounds.width(), bounds.height() - bar->frame().maxY()});
    root->addSubview(page);
    root->addSubview(bar);
    outlets.set("navBar", bar);
    outlets.set("webView", page);
    return root;
}

std::shared_ptr<plat::View> buildPeripheralCell(plat::Outlets& outlets) {
    auto cell = std::make_shared<VNPeripheralTableViewCell>();
    cell->setFrame(kCellFrame);
    cell->buildContent();
    cell->awakeFromNib();
    outlets.set("activityIndicator", cell->activityIndicatorPtr());
    return cell;
}

std::shared_ptr<plat::View> buildLoginCell(plat::Outlets&) {
    auto cell = std::make_shared<VNLoginTableViewCell>();
    cell->setFrame(kCellFrame);
    cell->awakeFromNib();
    return cell;
}

std::shared_ptr<plat::View> buildBluetoothHeader(plat::Outlets& outlets) {
    auto header = std::make_shared<VNBluetoothTableHeader>();
    outlets.set("titleLabel", header->titleLabelPtr());
    outlets.set("activityIndicator", header->activityIndicatorPtr());
    return header;
}

}  // namespace

void registerSettingsInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerShellInterfaces();
        plat::Interface::registerBuilder(VNWebViewController::kNibName, buildWebScreen);
        plat::Interface::registerBuilder(VNPeripheralTableViewCell::kNibName, buildPeripheralCell);
        plat::Interface::registerBuilder(VNBluetoothTableHeader::kNibName, buildBluetoothHeader);
        plat::Interface::registerBuilder(VNLoginTableViewCell::kNibName, buildLoginCell);
    });
}

}  // namespace qx
