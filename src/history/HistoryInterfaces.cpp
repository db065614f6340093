#include "history/HistoryInterfaces.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "history/HistoryController.h"
#include "history/SetDetailsController.h"
#include "history/VNDetailsViewController.h"
#include "history/VNTrackDetailsView.h"
#include "history/VNTrackGraphView.h"
#include "platform/ui/Readability.h"
#include "history/VNTrackGraphViewController.h"
#include "history/VNWaypointDetailsView.h"
#include "history/VNWaypointPhotoViewController.h"
#include "history/VNWaypointTableViewController.h"
#include "model/Language.h"
#include "platform/ui/Button.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Toolbar.h"

namespace qx {

namespace {

constexpr float kMetresPerYard = 0.9144f;
constexpr double kSwitchTitleSize = 12;

// The Graph page: the dose-rate graph above the dose graph, filling the details' page area.
std::shared_ptr<plat::View> buildGraphPageInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    const double height = screen.height() - 88;
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, screen.width(), height});
    root->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    auto doseRate = VNTrackGraphView::fromInterface({0, 0, screen.width(), height / 2});
    auto dose = VNTrackGraphView::fromInterface({0, height / 2, screen.width(), height / 2});
    root->addSubview(doseRate);
    root->addSubview(dose);
    outlets.set("doseRateGraphView", doseRate);
    outlets.set("doseGraphView", dose);
    return root;
}

// The History tab: its bar, the table below it, the section header with the filter text, and
// the toolbar given to the rows' name fields.
std::shared_ptr<plat::View> buildHistoryScreen(plat::Outlets& outlets) {
    const auto bounds = plat::Screen::bounds();
    const auto grey = plat::Color::fromBytes(234, 234, 234);
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, bounds.width(), bounds.height()});
    root->setBackgroundColor(grey);
    auto bar = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, bounds.width(), plat::NavigationBar::kHeight});
    // The three buttons get a bar of their own: with the title they would not fit on one bar
    // in the longer languages.
    auto buttons = std::make_shared<plat::Toolbar>(plat::Rect{0, bar->frame().maxY(), bounds.width(), plat::Toolbar::kHeight});
    const double top = buttons->frame().maxY();
    auto table = std::make_shared<plat::TableView>(plat::Rect{0, top, bounds.width(), bounds.height() - top});
    table->setBackgroundColor(grey);
    root->addSubview(table);
    root->addSubview(buttons);
    root->addSubview(bar);

    auto header = std::make_shared<plat::View>(plat::Rect{0, 0, bounds.width(), HistoryController::kHeaderHeight});
    header->setBackgroundColor(plat::Color::fromBytes(200, 200, 200));
    auto label = addPanelLabel(*header, plat::Rect{10, 0, bounds.width() - 20, HistoryController::kHeaderHeight}, 12, true);
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.6);
    auto toolbar = std::make_shared<plat::Toolbar>(plat::Rect{0, 0, bounds.width(), plat::Toolbar::kHeight});

    outlets.set("navBar", bar);
    outlets.set("tableView", table);
    outlets.set("buttonBar", buttons);
    outlets.set("headerView", header);
    outlets.set("headerLabel", label);
    outlets.set("cellEditAccessoryView", toolbar);
    return root;
}

}  // namespace

void registerHistoryInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(VNWaypointDetailsView::kNibName, &VNWaypointDetailsView::buildInterface);
        plat::Interface::registerBuilder(VNTrackDetailsView::kNibName, &VNTrackDetailsView::buildInterface);
        plat::Interface::registerBuilder(HistoryController::kNibName, &buildHistoryScreen);
        plat::Interface::registerBuilder(VNDetailsViewController::kNibName, buildDetailsInterface);
        plat::Interface::registerBuilder(VNTrackGraphViewController::kNibName, buildGraphPageInterface);
        plat::Interface::registerBuilder(VNWaypointPhotoViewController::kNibName, buildPhotoPageInterface);
        plat::Interface::registerBuilder(VNWaypointTableViewController::kNibName, buildWaypointListInterface);
        plat::Interface::registerBuilder(SetDetailsController::kNibName, buildSetDetailsInterface);
    });
}

std::shared_ptr<plat::Label> addPanelLabel(plat::View& parent, const plat::Rect& frame, double fontSize, bool bold) {
    auto label = std::make_shared<plat::Label>(frame);
    label->setBackgroundColor(plat::Color::clear());
    label->setTextColor(plat::Color::black());
    label->setFont(plat::Font::named(bold ? "HelveticaNeue-Bold" : "HelveticaNeue", fontSize));
    label->setShadowOffset({0, 1});  // where an outline goes (colorPanelFigure)
    parent.addSubview(label);
    return label;
}

void colorPanelFigure(plat::Label& label, const plat::Color& color) {
    plat::Readability::colorText(label, color, kPanelGrey);
}

void fitButtonTitle(plat::Button& button, double size) {
    auto& title = button.titleLabel();
    title.setFont(plat::Font::named(title.font().name, size));
    title.setAdjustsFontSizeToFitWidth(true);
    title.setMinimumScaleFactor(0.5);
}

void titleBarButton(plat::Button& button, const std::string& title, double widest) {
    constexpr double kPadding = 16, kNarrowest = 44;
    button.setTitle(title);
    const plat::Rect frame = button.frame();
    const double width = std::clamp(std::ceil(button.titleLabel().font().widthOf(title)) + kPadding, kNarrowest, widest);
    button.setFrame(plat::Rect{frame.maxX() - width, frame.y(), width, frame.height()});
}

void fitSwitchTitles(plat::View& control) {
    for (const auto& view : control.subviews()) {
        if (auto button = std::dynamic_pointer_cast<plat::Button>(view)) fitButtonTitle(*button, kSwitchTitleSize);
    }
}

long wholeNumber(double value) {
    if (!std::isfinite(value)) return 0;
    constexpr double kLimit = 9.0e18;  // inside the range of a 64-bit long
    return static_cast<long>(std::clamp(value, -kLimit, kLimit));
}

long yardsFromMetres(long metres) { return static_cast<long>(static_cast<float>(metres) / kMetresPerYard); }

std::string variationText(double percent) {
    if (!std::isfinite(percent)) return Language::get("n/a");
    const double tenths = std::round(percent * 10);
    char buf[64];
    if (std::fmod(tenths, 10) == 0) {
        std::snprintf(buf, sizeof buf, "%.0f%%", tenths == 0 ? 0.0 : tenths / 10);
    } else {
        std::snprintf(buf, sizeof buf, "%.1f%%", tenths / 10);
    }
    return buf;
}

}  // namespace qx
