#include "settings/VNNetworkSection.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "settings/SettingsRows.h"
#include "settings/VNRRESSection.h"
#include "settings/VNZENETSection.h"
#include "shell/AppWindow.h"
#include "shell/VNTableViewController.h"

namespace qx {

VNTableViewCellPtr VNNetworkSection::serviceCell(const char* key, VNSectionPtr (*makeSection)()) {
    auto cell = VNTableViewCell::loadFromNib();
    cell->textLabel().setText(Language::get(key));
    cell->detailTextLabel().setText("");
    cell->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
    cell->setOnSelectCellBlock([makeSection](VNTableViewCell& selected) { openPage(selected.textLabel().text(), makeSection()); });
    return cell;
}

VNTableViewCellPtr VNNetworkSection::zenetCell() {
    if (!zenetCell_) zenetCell_ = serviceCell("ZENET", [] { return VNSectionPtr(VNSection::create<VNZENETSection>()); });
    return zenetCell_;
}

VNTableViewCellPtr VNNetworkSection::radResponderCell() {
    if (!radResponderCell_) {
        radResponderCell_ = serviceCell("RadResponder", [] { return VNSectionPtr(VNSection::create<VNRRESSection>()); });
    }
    return radResponderCell_;
}

void VNNetworkSection::initRows() {
    // The RadResponder service is offered in English only.
    if (Settings::sharedSettings().language() == "en") {
        setRows({zenetCell(), radResponderCell()});
    } else {
        setRows({zenetCell()});
    }
    updateCellsTitles();
}

void VNNetworkSection::openPage(const std::string& title, VNSectionPtr section) {
    auto* presenter = visibleViewController();
    if (!presenter) return;
    presentSectionPage(*presenter, title, std::move(section), [] {
        Settings::sharedSettings().save();
        if (auto* shown = visibleViewController()) shown->dismissViewController(true);
    });
}

}  // namespace qx
