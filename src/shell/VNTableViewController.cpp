#include "shell/VNTableViewController.h"

#include "shell/ShellInterfaces.h"

namespace qx {

std::shared_ptr<VNTableViewController> VNTableViewController::make() { return std::make_shared<VNTableViewController>(); }

std::shared_ptr<VNTableViewController> VNTableViewController::loadFromNib() {
    registerShellInterfaces();
    return std::make_shared<VNTableViewController>(kNibName);
}

VNTableViewController::~VNTableViewController() = default;

void VNTableViewController::setSections(std::vector<VNSectionPtr> sections) {
    std::erase(sections, nullptr);
    sections_ = std::move(sections);
    auto self = std::dynamic_pointer_cast<VNTableViewController>(weak_from_this().lock());
    for (const auto& section : sections_) section->setParentController(self);
}

std::shared_ptr<plat::TableView> VNTableViewController::tableView() {
    view();
    return tableView_;
}

VNSectionPtr VNTableViewController::sectionAt(long index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= sections_.size()) return nullptr;
    return sections_[static_cast<std::size_t>(index)];
}

void VNTableViewController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    tableView_ = outlet<plat::TableView>("tableView");
    if (!tableView_) {
        tableView_ = std::make_shared<plat::TableView>(contentFrame());
        tableView_->setStretchesWithSuperview(true);
        view()->addSubview(tableView_);
    }
    // The table holds its data source and delegate weakly: share this screen's ownership.
    auto self = weak_from_this().lock();
    tableView_->setDataSource(std::shared_ptr<plat::TableViewDataSource>(self, this));
    tableView_->setDelegate(std::shared_ptr<plat::TableViewDelegate>(self, this));
}

void VNTableViewController::languageDidSwitch() {
    VNBaseViewController::languageDidSwitch();
    if (tableView_) tableView_->reloadData();
}

long VNTableViewController::numberOfSections(plat::TableView&) { return static_cast<long>(sections_.size()); }

long VNTableViewController::numberOfRows(plat::TableView&, long section) {
    auto s = sectionAt(section);
    return s ? static_cast<long>(s->numRows()) : 0;
}

plat::TableViewCellPtr VNTableViewController::cellForRow(plat::TableView&, const plat::IndexPath& ip) {
    auto s = sectionAt(ip.section);
    return s && ip.row >= 0 ? s->cellForRowAtIndex(static_cast<std::size_t>(ip.row)) : nullptr;
}

std::shared_ptr<plat::View> VNTableViewController::viewForHeader(plat::TableView&, long section) {
    auto s = sectionAt(section);
    return s ? s->viewForHeader() : nullptr;
}

std::shared_ptr<plat::View> VNTableViewController::viewForFooter(plat::TableView&, long section) {
    auto s = sectionAt(section);
    return s ? s->viewForFooter() : nullptr;
}

double VNTableViewController::heightForHeader(plat::TableView&, long section) {
    auto s = sectionAt(section);
    return s ? s->headerHeight() : 0;
}

double VNTableViewController::heightForFooter(plat::TableView&, long section) {
    auto s = sectionAt(section);
    return s ? s->footerHeight() : 0;
}

double VNTableViewController::heightForRow(plat::TableView& table, const plat::IndexPath& ip) {
    // A cell keeps the height its interface file gave it, or grows for a title of two lines.
    auto cell = cellForRow(table, ip);
    if (auto own = std::dynamic_pointer_cast<VNTableViewCell>(cell)) return own->rowHeight();
    return cell && cell->frame().height() > 0 ? cell->frame().height() : plat::kAutomaticDimension;
}

void VNTableViewController::didSelectRow(plat::TableView& table, const plat::IndexPath& ip) {
    table.deselectRow(ip, true);
    auto s = sectionAt(ip.section);
    if (!s || ip.row < 0) return;
    if (auto cell = s->cellForRowAtIndex(static_cast<std::size_t>(ip.row))) cell->onSelectCell();
}

}  // namespace qx
