#include "settings/SettingsRows.h"

#include "link/VNBTLEManager.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "settings/VNLoginTableViewCell.h"
#include "shell/VNTableViewServerAddressCell.h"
#include "shell/VNTableViewController.h"
#include "shell/VNTableViewSwitchCell.h"

namespace qx {

VNTableViewCellPtr infoCell(VNTableViewCellPtr& slot, const std::string& detail) {
    if (!slot) {
        slot = VNTableViewCell::loadFromNib();
        slot->detailTextLabel().setText(detail);
        slot->setAccessoryType(plat::AccessoryType::None);
        slot->setSelectionStyle(plat::SelectionStyle::None);
    }
    return slot;
}

void disconnectConnectedInstrument() {
    auto& manager = VNBTLEManager::sharedInstance();
    if (const auto& service = manager.dataService()) manager.disconnectPeripheral(service->peripheral());
}

std::shared_ptr<VNTableViewServerAddressCell> serverAddressCell(const std::string& address,
                                                                std::weak_ptr<VNLoginTableViewCell> login,
                                                                void (Settings::*store)(std::string)) {
    auto cell = VNTableViewServerAddressCell::loadFromNib();
    cell->textLabel().setText(Language::get("Server Address"));
    cell->cellTextField().setText(address);
    cell->cellTextField().setKeyboardType(plat::KeyboardType::URL);
    std::weak_ptr<VNTableViewServerAddressCell> weakCell = cell;
    cell->setOnTextChangedBlock([weakCell, login, store](const std::string& text) {
        if (auto row = login.lock()) row->setLabelEnabled(!text.empty());
        auto field = weakCell.lock();
        if (!field || field->isEditing()) return;
        auto& settings = Settings::sharedSettings();
        (settings.*store)(text);
        settings.save();
    });
    return cell;
}

std::shared_ptr<VNTableViewController> presentSectionPage(plat::ViewController& presenter, const std::string& title,
                                                          VNSectionPtr section, std::function<void()> onBack) {
    auto page = VNTableViewController::make();
    page->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    page->setTitle(title);
    page->setSections({std::move(section)});
    if (!onBack) {
        std::weak_ptr<VNTableViewController> weak = page;
        onBack = [weak] {
            if (auto shown = weak.lock()) shown->dismissViewController(true);
        };
    }
    page->setOnBackBlock(std::move(onBack));
    if (!presenter.presentViewController(page, true)) return nullptr;
    return page;
}

std::shared_ptr<VNTableViewSwitchCell> settingSwitchCell(bool on, void (Settings::*store)(bool)) {
    auto cell = VNTableViewSwitchCell::loadFromNib();
    cell->cellSwitch().setOn(on);
    cell->setOnSwitchOnOffBlock([store](bool value) {
        auto& settings = Settings::sharedSettings();
        (settings.*store)(value);
        settings.save();
    });
    return cell;
}

}  // namespace qx
