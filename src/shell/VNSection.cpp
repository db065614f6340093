#include "shell/VNSection.h"

#include "model/Language.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Label.h"
#include "shell/AppWindow.h"
#include "shell/VNTableViewController.h"

namespace qx {

namespace {

constexpr double kGrey = 222.0 / 255.0;

std::shared_ptr<plat::Label> sectionLabel(const plat::Rect& frame, const std::string& text, double fontSize) {
    auto label = std::make_shared<plat::Label>(frame, text);
    label->setFont(plat::Font::named("HelveticaNeue-Bold", fontSize));
    label->setTextColor(plat::Color::black());
    label->setShadowColor(plat::Color::white());
    label->setShadowOffset({1, 1});
    label->setBackgroundColor(plat::Color::rgba(kGrey, kGrey, kGrey));
    label->setOpaque(false);
    return label;
}

}  // namespace

VNSection::~VNSection() { languageObserver_.reset(); }

void VNSection::init() {
    initRows();
    headerHeight_ = kDefaultHeaderHeight;
    footerHeight_ = 0;
    languageObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        kVNLanguageDidSwitchedNotification, [this](const plat::Notification&) { updateCellsTitles(); });
}

void VNSection::initRows() {
    rows_.clear();
    updateCellsTitles();
}

void VNSection::selectRowAtIndex(std::size_t index) {
    if (auto cell = cellForRowAtIndex(index)) cell->onSelectCell();
}

VNTableViewCellPtr VNSection::cellForRowAtIndex(std::size_t index) const {
    return index < rows_.size() ? rows_[index] : nullptr;
}

std::shared_ptr<plat::View> VNSection::viewForHeader() {
    return sectionLabel(plat::Rect{0, 0, 320, kDefaultHeaderHeight}, title(), 17);
}

std::shared_ptr<plat::View> VNSection::viewForFooter() { return sectionLabel(plat::Rect{}, footer_, 13); }

void VNSection::checkCell(VNTableViewCell* cell) {
    for (std::size_t i = 0; i < numRows(); ++i) {
        if (rows_[i].get() != cell) rows_[i]->setAccessoryType(plat::AccessoryType::None);
    }
    if (cell) cell->setAccessoryType(plat::AccessoryType::Checkmark);
}

void VNSection::setCheckListForCell(const VNTableViewCellPtr& cell, std::shared_ptr<VNSection> checkList) {
    if (!cell) return;
    std::weak_ptr<VNSection> owner = weak_from_this();
    cell->setOnSelectCellBlock([owner, checkList](VNTableViewCell& selected) {
        auto* presenter = visibleViewController();
        if (!presenter) {
            plat::Log::line("VNSection setCheckListForCell: no window to show the list on");
            return;
        }
        auto list = VNTableViewController::make();
        list->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
        list->setTitle(selected.textLabel().text());
        list->setSections({checkList});
        list->setOnBackBlock([owner] {
            if (auto section = owner.lock()) section->updateCellsTitles();
            if (auto* shown = visibleViewController()) shown->dismissViewController(true);
        });
        presenter->presentViewController(list, true);
    });
}

}  // namespace qx
