#include "settings/SettingsRows.h"

#include "link/VNBTLEManager.h"
#include "shell/VNTableViewController.h"

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

}  // namespace qx
