#include "settings/VNEventsSection.h"

#include "model/Settings.h"
#include "services/VNRadResponderManager.h"

namespace qx {

VNTableViewCellPtr VNEventsSection::cellWithEventId(std::int64_t eventId) {
    const auto& events = VNRadResponderManager::sharedInstance().events();
    const auto event = events.find(eventId);
    if (event == events.end()) return nullptr;
    auto cell = VNTableViewCell::loadFromNib();
    cell->textLabel().setText(event->second);
    cell->detailTextLabel().setText("");
    const bool current = static_cast<std::int64_t>(Settings::sharedSettings().RREventId()) == eventId;
    cell->setAccessoryType(current ? plat::AccessoryType::Checkmark : plat::AccessoryType::None);
    std::weak_ptr<VNSection> weak = weak_from_this();
    cell->setOnSelectCellBlock([weak, eventId](VNTableViewCell& selected) {
        if (auto self = std::static_pointer_cast<VNEventsSection>(weak.lock())) self->choose(selected, eventId);
    });
    return cell;
}

void VNEventsSection::initRows() {
    std::vector<VNTableViewCellPtr> rows;
    for (const auto& event : VNRadResponderManager::sharedInstance().events()) {
        if (auto cell = cellWithEventId(event.first)) rows.push_back(cell);
    }
    setRows(std::move(rows));
    updateCellsTitles();
}

void VNEventsSection::choose(VNTableViewCell& cell, std::int64_t eventId) {
    checkCell(&cell);
    auto& settings = Settings::sharedSettings();
    settings.setRREventId(static_cast<unsigned>(eventId));
    settings.setRREventName(cell.textLabel().text());
    settings.save();
}

}  // namespace qx
