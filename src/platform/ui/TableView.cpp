#include "platform/ui/TableView.h"

#include <algorithm>
#include <map>
#include <typeinfo>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/TextField.h"
#include "platform/ui/UiFailure.h"

namespace plat {

struct TableView::PendingUpdates {
    std::set<long> deletedSections, insertedSections, reloadedSections;
    std::set<IndexPath> deletedRows, insertedRows, reloadedRows;
    std::vector<TableUpdate> records;
    bool wasLoaded = false;
};

TableView::TableView(const Rect& frame, TableStyle style) : ScrollView(frame), style_(style) {}

TableView::~TableView() {
    for (auto& s : sections_) {
        for (auto& [row, c] : s.cells) {
            if (c) c->placeInTable(nullptr, {});
        }
    }
}

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> ds) {
    dataSource_ = std::move(ds);
    reloadData();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> d) {
    delegate_ = d;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(d.lock()));
    reloadData();
}

namespace {

void replaceSubview(View& owner, std::shared_ptr<View>& slot, std::shared_ptr<View> v) {
    if (slot && slot->superview() == &owner) slot->removeFromSuperview();
    slot = std::move(v);
}

}  // namespace

void TableView::setTableHeaderView(std::shared_ptr<View> v) {
    replaceSubview(*this, tableHeader_, std::move(v));
    if (!needsReload_) layoutRows();
}

void TableView::setTableFooterView(std::shared_ptr<View> v) {
    replaceSubview(*this, tableFooter_, std::move(v));
    if (!needsReload_) layoutRows();
}

void TableView::setBackgroundView(std::shared_ptr<View> v) {
    replaceSubview(*this, backgroundView_, std::move(v));
    if (backgroundView_) {
        backgroundView_->setFrame(bounds());
        insertSubview(backgroundView_, 0);
    }
}

// ---- cells and reuse

void TableView::registerCell(const std::string& identifier, std::function<TableViewCellPtr()> make) {
    makers_[identifier] = std::move(make);
}

TableViewCellPtr TableView::dequeueReusableCell(const std::string& identifier) {
    auto& list = pool_[identifier];
    if (!list.empty()) {
        auto cell = list.back();
        list.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto it = makers_.find(identifier);
    if (it == makers_.end() || !it->second) return nullptr;
    auto cell = it->second();
    if (cell && cell->reuseIdentifier().empty()) cell->setReuseIdentifier(identifier);
    return cell;
}

std::size_t TableView::reusePoolSize(const std::string& identifier) const {
    auto it = pool_.find(identifier);
    return it == pool_.end() ? 0 : it->second.size();
}

void TableView::recycle(const TableViewCellPtr& cell) {
    if (!cell) return;
    if (cell->superview() == this) cell->removeFromSuperview();
    cell->placeInTable(nullptr, {});
    cell->setSelected(false);
    if (cell->reuseIdentifier().empty()) return;
    auto& list = pool_[cell->reuseIdentifier()];
    if (std::find(list.begin(), list.end(), cell) == list.end()) list.push_back(cell);
}

TableViewCellPtr TableView::askCell(const IndexPath& ip) {
    auto ds = dataSource();
    TableViewCellPtr cell = ds ? ds->cellForRow(*this, ip) : nullptr;
    if (!cell) {
        UiFailure::report("Table: the data source returned no cell for row " + ip.text());
        cell = std::make_shared<TableViewCell>();
    }
    // A cell the data source keeps for itself may have been pooled by a reload: it is in use
    // again, so it must not be handed out to another row.
    if (!cell->reuseIdentifier().empty()) std::erase(pool_[cell->reuseIdentifier()], cell);
    cell->placeInTable(this, ip);
    if (cell->isEditing() != editing_) cell->setEditing(editing_, false);
    if (auto d = delegate()) d->willDisplayCell(*this, *cell, ip);
    return cell;
}

// ---- loading

TableView::Section TableView::loadSectionInfo(long index) {
    Section s;
    auto ds = dataSource();
    auto d = delegate();
    s.rows = ds ? std::max(0L, ds->numberOfRows(*this, index)) : 0;
    if (ds) {
        s.headerTitle = ds->titleForHeader(*this, index);
        s.footerTitle = ds->titleForFooter(*this, index);
    }
    if (d) {
        s.headerView = d->viewForHeader(*this, index);
        s.footerView = d->viewForFooter(*this, index);
    }
    auto height = [&](double asked, double fallback, const std::shared_ptr<View>& view, const std::string& title) {
        if (asked >= 0) return asked;
        if (view) return fallback >= 0 ? fallback : view->frame().height();
        if (!title.empty()) return fallback >= 0 ? fallback : 22.0;
        return style_ == TableStyle::Grouped ? 10.0 : 0.0;
    };
    s.headerHeight = height(d ? d->heightForHeader(*this, index) : kAutomaticDimension, headerHeight_, s.headerView,
                            s.headerTitle);
    s.footerHeight = height(d ? d->heightForFooter(*this, index) : kAutomaticDimension, footerHeight_, s.footerView,
                            s.footerTitle);
    const double fallback = rowHeight_ >= 0 ? rowHeight_ : TableViewCell::kDefaultHeight;
    for (long r = 0; r < s.rows; ++r) {
        const double asked = d ? d->heightForRow(*this, IndexPath{index, r}) : kAutomaticDimension;
        const double h = asked >= 0 ? asked : fallback;
        if (r == 0) s.rowHeight = h;
        // Heights are kept row by row only from the first row that differs.
        if (s.heights.empty() && h != s.rowHeight) s.heights.assign(static_cast<std::size_t>(r), s.rowHeight);
        if (!s.heights.empty()) s.heights.push_back(h);
    }
    return s;
}

void TableView::removeStaleSectionViews(const std::vector<Section>& old) {
    auto stillUsed = [this](const View* v) {
        return std::any_of(sections_.begin(), sections_.end(),
                           [v](const Section& s) { return s.headerView.get() == v || s.footerView.get() == v; });
    };
    for (const auto& s : old) {
        for (const auto* slot : {&s.headerView, &s.footerView}) {
            const auto& v = *slot;
            if (v && v->superview() == this && !stillUsed(v.get())) v->removeFromSuperview();
        }
    }
}

void TableView::loadAll() {
    loading_ = true;
    auto keep = weak_from_this().lock();
    for (auto& s : sections_) {
        for (auto& [row, c] : s.cells) recycle(c);
    }
    const std::vector<Section> old = std::move(sections_);
    sections_.clear();
    selected_.clear();
    confirming_.reset();
    auto ds = dataSource();
    long n = ds ? std::max(0L, ds->numberOfSections(*this)) : 0;
    for (long i = 0; i < n; ++i) sections_.push_back(loadSectionInfo(i));
    // Headers and footers the delegate no longer gives (new ones after a language switch) leave.
    removeStaleSectionViews(old);
    needsReload_ = false;
    if (!onDemand_) {
        for (long i = 0; i < n; ++i) {
            auto& sec = sections_[static_cast<std::size_t>(i)];
            for (long r = 0; r < sec.rows; ++r) sec.cells[static_cast<std::size_t>(r)] = askCell(IndexPath{i, r});
        }
    }
    loading_ = false;
    layoutRows();
    if (onDemand_) loadVisibleRows();
}

void TableView::setLoadsRowsOnDemand(bool on) {
    if (onDemand_ == on) return;
    onDemand_ = on;
    reloadData();
}

const TableViewCellPtr& TableView::cellAt(std::size_t section, std::size_t row) {
    auto& sec = sections_[section];
    auto& cell = sec.cells[row];
    if (cell) return cell;
    auto keep = weak_from_this().lock();
    cell = askCell(IndexPath{static_cast<long>(section), static_cast<long>(row)});
    cell->setFrame(Rect{0, sec.topOf(row), bounds().width(), sec.heightOf(row)});
    addSubview(cell);
    return cell;
}

std::vector<IndexPath> TableView::rowsInView() const {
    const Rect shown = bounds();
    std::vector<IndexPath> rows;
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        const auto& sec = sections_[s];
        const auto n = static_cast<std::size_t>(sec.rows);
        // The rows are laid out top to bottom: the first in view is the last one starting above
        // the top edge, or the first below it.
        std::size_t r = 0;
        if (sec.heights.empty()) {
            if (sec.rowHeight > 0 && shown.minY() > sec.top)
                r = static_cast<std::size_t>((shown.minY() - sec.top) / sec.rowHeight);
        } else {
            r = static_cast<std::size_t>(std::partition_point(sec.tops.begin(), sec.tops.end(),
                                                              [&](double top) { return top <= shown.minY(); }) -
                                         sec.tops.begin());
            if (r > 0) --r;
            if (sec.tops.size() < n) continue;  // not laid out yet
        }
        for (; r < n && sec.topOf(r) < shown.maxY(); ++r) {
            if (sec.topOf(r) + sec.heightOf(r) > shown.minY()) rows.push_back({static_cast<long>(s), static_cast<long>(r)});
        }
    }
    return rows;
}

void TableView::loadVisibleRows() {
    for (const auto& ip : rowsInView()) cellAt(static_cast<std::size_t>(ip.section), static_cast<std::size_t>(ip.row));
}

void TableView::setBounds(const Rect& b) {
    ScrollView::setBounds(b);
    if (onDemand_ && !needsReload_ && !loading_ && !pending_) loadVisibleRows();
}

void TableView::ensureLoaded() {
    if (needsReload_ && !loading_) loadAll();
}

void TableView::reloadData() {
    needsReload_ = true;
    setNeedsLayout();
    for (const auto& ip : std::set<IndexPath>(selected_)) deselectRow(ip, false);  // a reload drops the selection
    record(TableUpdate::Kind::ReloadData, {}, {}, RowAnimation::None);
}

void TableView::layoutRows() {
    double width = bounds().width();
    double y = 0;
    auto placeAt = [&](const std::shared_ptr<View>& v, double top, double h) {
        v->setFrame(Rect{0, top, width, h});
        addSubview(v);  // re-adding keeps the subviews in row order
    };
    auto place = [&](const std::shared_ptr<View>& v, double h) {
        if (!v) return;
        placeAt(v, y, h);
        y += h;
    };
    if (backgroundView_) backgroundView_->setFrame(bounds());
    if (tableHeader_) place(tableHeader_, tableHeader_->frame().height());
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        auto& sec = sections_[s];
        if (sec.headerView) {
            place(sec.headerView, sec.headerHeight);
        } else {
            y += sec.headerHeight;
        }
        sec.top = y;
        if (!sec.heights.empty()) {
            sec.tops.resize(sec.heights.size());
            for (std::size_t r = 0; r < sec.heights.size(); ++r) {
                sec.tops[r] = y;
                y += sec.heights[r];
            }
        } else {
            y += static_cast<double>(sec.rows) * sec.rowHeight;
        }
        // Rows without a cell get theirs when they show.
        for (auto& [r, cell] : sec.cells) {
            if (!cell) continue;
            cell->placeInTable(this, IndexPath{static_cast<long>(s), static_cast<long>(r)});
            placeAt(cell, sec.topOf(r), sec.heightOf(r));
            // Texts may have changed since the row was last shown (a language switch): its
            // labels are placed afresh, as a table does for the rows it shows.
            cell->setNeedsLayout();
        }
        if (sec.footerView) {
            place(sec.footerView, sec.footerHeight);
        } else {
            y += sec.footerHeight;
        }
    }
    if (tableFooter_) place(tableFooter_, tableFooter_->frame().height());
    setContentSize(Size{width, y});
    groupRowLabels();
}

namespace {

// Puts each label that may shrink under `view` into the group of its place in the row.
void collectRowLabels(const View& view, const std::string& place,
                      std::map<std::string, std::shared_ptr<TextSizeGroup>>& groups) {
    const auto& subviews = view.subviews();
    for (std::size_t i = 0; i < subviews.size(); ++i) {
        const std::string at = place + "." + std::to_string(i);
        auto label = std::dynamic_pointer_cast<Label>(subviews[i]);
        auto field = std::dynamic_pointer_cast<TextField>(subviews[i]);
        if (label || field) {
            auto& group = groups[at];
            if (!group) group = std::make_shared<TextSizeGroup>();
            group->members.push_back(subviews[i]);
            if (label) label->setSizeGroup(group);
            if (field) field->setSizeGroup(group);
        }
        collectRowLabels(*subviews[i], at, groups);
    }
}

}  // namespace

void TableView::groupRowLabels() {
    // Rows of one kind (one class and reuse identifier) read as a list: the same label of each
    // shrinks alike.
    std::map<std::string, std::shared_ptr<TextSizeGroup>> groups;
    for (auto& sec : sections_) {
        for (auto& [r, cell] : sec.cells) {
            if (!cell) continue;
            const TableViewCell& row = *cell;
            collectRowLabels(row, std::string(typeid(row).name()) + "/" + row.reuseIdentifier(), groups);
        }
    }
}

void TableView::layoutSubviews() {
    ensureLoaded();
    layoutRows();
}

void TableView::updateForInspection() { ensureLoaded(); }

// ---- reading

long TableView::numberOfSections() {
    ensureLoaded();
    return static_cast<long>(sections_.size());
}

long TableView::numberOfRows(long section) {
    ensureLoaded();
    if (section < 0 || section >= static_cast<long>(sections_.size())) return 0;
    return sections_[static_cast<std::size_t>(section)].rows;
}

bool TableView::rowExists(const IndexPath& ip) {
    return ip.row >= 0 && ip.row < numberOfRows(ip.section);
}

TableViewCellPtr TableView::cellForRow(const IndexPath& ip) {
    if (!rowExists(ip)) return nullptr;
    return cellAt(static_cast<std::size_t>(ip.section), static_cast<std::size_t>(ip.row));
}

TableViewCellPtr TableView::loadedCellForRow(const IndexPath& ip) {
    if (!rowExists(ip)) return nullptr;
    return sections_[static_cast<std::size_t>(ip.section)].cellAt(static_cast<std::size_t>(ip.row));
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) {
    ensureLoaded();
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        for (const auto& [r, c] : sections_[s].cells) {
            if (c.get() == cell) return IndexPath{static_cast<long>(s), static_cast<long>(r)};
        }
    }
    return std::nullopt;
}

std::vector<TableViewCellPtr> TableView::visibleCells() {
    ensureLoaded();
    std::vector<TableViewCellPtr> out;
    for (auto& s : sections_) {
        for (auto& [r, c] : s.cells) {
            if (c) out.push_back(c);
        }
    }
    return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
    ensureLoaded();
    std::vector<IndexPath> out;
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        for (long r = 0; r < sections_[s].rows; ++r) out.push_back(IndexPath{static_cast<long>(s), r});
    }
    return out;
}

Rect TableView::rectForRow(const IndexPath& ip) {
    auto cell = cellForRow(ip);
    return cell ? cell->frame() : Rect{};
}

std::string TableView::headerTitle(long section) {
    return section >= 0 && section < numberOfSections() ? sections_[static_cast<std::size_t>(section)].headerTitle : "";
}

std::string TableView::footerTitle(long section) {
    return section >= 0 && section < numberOfSections() ? sections_[static_cast<std::size_t>(section)].footerTitle : "";
}

std::shared_ptr<View> TableView::headerView(long section) {
    return section >= 0 && section < numberOfSections() ? sections_[static_cast<std::size_t>(section)].headerView : nullptr;
}

std::shared_ptr<View> TableView::footerView(long section) {
    return section >= 0 && section < numberOfSections() ? sections_[static_cast<std::size_t>(section)].footerView : nullptr;
}

// ---- updates

void TableView::record(TableUpdate::Kind kind, std::vector<IndexPath> rows, std::vector<long> sections, RowAnimation a) {
    TableUpdate u{kind, std::move(rows), std::move(sections), a};
    if (pending_ && kind != TableUpdate::Kind::ReloadData) {
        pending_->records.push_back(std::move(u));
    } else {
        updateLog_.push_back(std::move(u));
    }
}

void TableView::beginUpdates() {
    if (updateDepth_++ > 0) return;
    pending_ = std::make_unique<PendingUpdates>();
    pending_->wasLoaded = !needsReload_;
}

void TableView::endUpdates() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ > 0) return;
    auto updates = std::move(pending_);
    auto keep = weak_from_this().lock();
    for (auto& r : updates->records) updateLog_.push_back(r);
    if (!updates->wasLoaded || needsReload_) {
        needsReload_ = true;  // nothing was shown yet: the rows simply load from the data source
        return;
    }
    applyUpdates(*updates);
}

void TableView::singleUpdate(const std::function<void()>& add) {
    beginUpdates();
    add();
    endUpdates();
}

void TableView::insertRows(const std::vector<IndexPath>& rows, RowAnimation animation) {
    singleUpdate([&] {
        pending_->insertedRows.insert(rows.begin(), rows.end());
        record(TableUpdate::Kind::InsertRows, rows, {}, animation);
    });
}

void TableView::deleteRows(const std::vector<IndexPath>& rows, RowAnimation animation) {
    singleUpdate([&] {
        pending_->deletedRows.insert(rows.begin(), rows.end());
        record(TableUpdate::Kind::DeleteRows, rows, {}, animation);
    });
}

void TableView::reloadRows(const std::vector<IndexPath>& rows, RowAnimation animation) {
    singleUpdate([&] {
        pending_->reloadedRows.insert(rows.begin(), rows.end());
        record(TableUpdate::Kind::ReloadRows, rows, {}, animation);
    });
}

void TableView::insertSections(const std::vector<long>& sections, RowAnimation animation) {
    singleUpdate([&] {
        pending_->insertedSections.insert(sections.begin(), sections.end());
        record(TableUpdate::Kind::InsertSections, {}, sections, animation);
    });
}

void TableView::deleteSections(const std::vector<long>& sections, RowAnimation animation) {
    singleUpdate([&] {
        pending_->deletedSections.insert(sections.begin(), sections.end());
        record(TableUpdate::Kind::DeleteSections, {}, sections, animation);
    });
}

void TableView::reloadSections(const std::vector<long>& sections, RowAnimation animation) {
    singleUpdate([&] {
        pending_->reloadedSections.insert(sections.begin(), sections.end());
        record(TableUpdate::Kind::ReloadSections, {}, sections, animation);
    });
}

void TableView::failAndReload(const std::string& message) {
    UiFailure::report(message);
    // When the failure handler returns, show what the data source says now.
    needsReload_ = true;
    ensureLoaded();
}

namespace {

std::string countsText(long inserted, long deleted, const char* what) {
    return "(" + std::to_string(inserted) + " inserted, " + std::to_string(deleted) + " deleted" + what + ")";
}

}  // namespace

bool TableView::checkUpdates(const PendingUpdates& u, const std::vector<long>& newCounts) {
    const long oldSections = static_cast<long>(sections_.size());
    const long newSections = static_cast<long>(newCounts.size());
    for (long s : u.deletedSections) {
        if (s < 0 || s >= oldSections) {
            failAndReload("Invalid update: attempt to delete section " + std::to_string(s) + ", but there are only " +
                          std::to_string(oldSections) + " sections before the update");
            return false;
        }
    }
    for (long s : u.reloadedSections) {
        if (s < 0 || s >= oldSections) {
            failAndReload("Invalid update: attempt to reload section " + std::to_string(s) + ", but there are only " +
                          std::to_string(oldSections) + " sections before the update");
            return false;
        }
    }
    for (long s : u.insertedSections) {
        if (s < 0 || s >= newSections) {
            failAndReload("Invalid update: attempt to insert section " + std::to_string(s) + " but there are only " +
                          std::to_string(newSections) + " sections after the update");
            return false;
        }
    }
    long expectedSections = oldSections - static_cast<long>(u.deletedSections.size()) +
                            static_cast<long>(u.insertedSections.size());
    if (newSections != expectedSections) {
        failAndReload("Invalid update: invalid number of sections. The number of sections contained in the table "
                      "view after the update (" + std::to_string(newSections) +
                      ") must be equal to the number of sections contained in the table view before the update (" +
                      std::to_string(oldSections) +
                      "), plus or minus the number of sections inserted or deleted " +
                      countsText(static_cast<long>(u.insertedSections.size()),
                                 static_cast<long>(u.deletedSections.size()), ""));
        return false;
    }
    auto oldRows = [&](long s) { return sections_[static_cast<std::size_t>(s)].rows; };
    for (const auto* set : {&u.deletedRows, &u.reloadedRows}) {
        const char* verb = set == &u.deletedRows ? "delete" : "reload";
        for (const auto& ip : *set) {
            if (ip.section < 0 || ip.section >= oldSections || ip.row < 0 || ip.row >= oldRows(ip.section)) {
                long have = ip.section >= 0 && ip.section < oldSections ? oldRows(ip.section) : 0;
                failAndReload(std::string("Invalid update: attempt to ") + verb + " row " + std::to_string(ip.row) +
                              " from section " + std::to_string(ip.section) + " which only contains " +
                              std::to_string(have) + " rows before the update");
                return false;
            }
        }
    }
    for (const auto& ip : u.insertedRows) {
        if (ip.section < 0 || ip.section >= newSections || ip.row < 0 ||
            ip.row >= newCounts[static_cast<std::size_t>(ip.section)]) {
            long have = ip.section >= 0 && ip.section < newSections ? newCounts[static_cast<std::size_t>(ip.section)] : 0;
            failAndReload("Invalid update: attempt to insert row " + std::to_string(ip.row) + " into section " +
                          std::to_string(ip.section) + ", but there are only " + std::to_string(have) +
                          " rows in section " + std::to_string(ip.section) + " after the update");
            return false;
        }
    }
    long old = 0;
    for (long s = 0; s < newSections; ++s) {
        if (u.insertedSections.count(s)) continue;
        while (u.deletedSections.count(old)) ++old;
        long o = old++;
        if (u.reloadedSections.count(o)) continue;
        long deleted = 0, inserted = 0;
        for (const auto& ip : u.deletedRows) deleted += ip.section == o;
        for (const auto& ip : u.insertedRows) inserted += ip.section == s;
        long expected = oldRows(o) - deleted + inserted;
        long actual = newCounts[static_cast<std::size_t>(s)];
        if (actual != expected) {
            failAndReload("Invalid update: invalid number of rows in section " + std::to_string(s) +
                          ". The number of rows contained in an existing section after the update (" +
                          std::to_string(actual) +
                          ") must be equal to the number of rows contained in that section before the update (" +
                          std::to_string(oldRows(o)) +
                          "), plus or minus the number of rows inserted or deleted from that section " +
                          countsText(inserted, deleted, ""));
            return false;
        }
    }
    return true;
}

void TableView::applyUpdates(PendingUpdates& u) {
    auto ds = dataSource();
    std::vector<long> newCounts;
    long n = ds ? std::max(0L, ds->numberOfSections(*this)) : 0;
    for (long s = 0; s < n; ++s) newCounts.push_back(ds ? std::max(0L, ds->numberOfRows(*this, s)) : 0);
    if (!checkUpdates(u, newCounts)) return;

    std::vector<Section> old = std::move(sections_);
    sections_.clear();
    confirming_.reset();
    for (long d : u.deletedSections) {
        for (auto& [r, c] : old[static_cast<std::size_t>(d)].cells) recycle(c);
    }
    std::vector<IndexPath> toAsk;  // rows needing a fresh cell
    long oldIndex = 0;
    for (long s = 0; s < n; ++s) {
        Section sec = loadSectionInfo(s);
        bool fresh = u.insertedSections.count(s) > 0;
        long o = -1;
        if (!fresh) {
            while (u.deletedSections.count(oldIndex)) ++oldIndex;
            o = oldIndex++;
            fresh = u.reloadedSections.count(o) > 0;
        }
        if (fresh) {
            if (o >= 0) {
                for (auto& [r, c] : old[static_cast<std::size_t>(o)].cells) recycle(c);
            }
            if (!onDemand_)
                for (long r = 0; r < sec.rows; ++r) toAsk.push_back(IndexPath{s, r});
        } else {
            // Surviving cells move up past the deleted rows above them and down past the rows
            // inserted at or above their new place; reloaded rows are asked for again.
            std::vector<long> deletedAbove, insertedAt;
            for (const auto& ip : u.deletedRows)
                if (ip.section == o) deletedAbove.push_back(ip.row);
            for (const auto& ip : u.insertedRows)
                if (ip.section == s) insertedAt.push_back(ip.row);
            for (auto& [r, cell] : old[static_cast<std::size_t>(o)].cells) {
                const IndexPath oip{o, static_cast<long>(r)};
                if (u.deletedRows.count(oip) || u.reloadedRows.count(oip)) {
                    recycle(cell);
                    continue;
                }
                auto row = static_cast<long>(r) -
                           std::count_if(deletedAbove.begin(), deletedAbove.end(), [&](long d) { return d < oip.row; });
                for (long at : insertedAt) row += at <= row;
                if (row < sec.rows) {
                    sec.cells[static_cast<std::size_t>(row)] = cell;
                } else {
                    recycle(cell);
                }
            }
            if (!onDemand_) {
                for (long r = 0; r < sec.rows; ++r) {
                    if (!sec.cellAt(static_cast<std::size_t>(r))) toAsk.push_back(IndexPath{s, r});
                }
            }
        }
        sections_.push_back(std::move(sec));
    }
    removeStaleSectionViews(old);
    if (!onDemand_) {
        for (const auto& ip : toAsk) {
            sections_[static_cast<std::size_t>(ip.section)].cells[static_cast<std::size_t>(ip.row)] = askCell(ip);
        }
    }
    // Selection follows the cells that stayed selected.
    selected_.clear();
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        for (const auto& [r, cell] : sections_[s].cells) {
            if (cell && cell->isSelected()) selected_.insert(IndexPath{static_cast<long>(s), static_cast<long>(r)});
        }
    }
    layoutRows();
    if (onDemand_) loadVisibleRows();
}

// ---- selection and editing

void TableView::selectRow(const std::optional<IndexPath>& ip, bool animated, ScrollPosition position) {
    if (!allowsMultipleSelection_) {
        for (const auto& s : std::set<IndexPath>(selected_)) {
            if (!ip || s != *ip) deselectRow(s, animated);
        }
    }
    if (!ip || !rowExists(*ip)) return;
    selected_.insert(*ip);
    cellForRow(*ip)->setSelected(true, animated);
    if (position != ScrollPosition::None) scrollToRow(*ip, position, animated);
}

void TableView::deselectRow(const IndexPath& ip, bool animated) {
    lastDeselectAnimated_ = animated;
    selected_.erase(ip);
    if (auto cell = cellForRow(ip)) cell->setSelected(false, animated);
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return *selected_.begin();
}

std::vector<IndexPath> TableView::indexPathsForSelectedRows() const { return {selected_.begin(), selected_.end()}; }

void TableView::scrollToRow(const IndexPath& ip, ScrollPosition position, bool animated) {
    Rect r = rectForRow(ip);
    Point o = contentOffset();
    switch (position) {
        case ScrollPosition::Top: o.y = r.y(); break;
        case ScrollPosition::Middle: o.y = r.midY() - bounds().height() / 2; break;
        case ScrollPosition::Bottom: o.y = r.maxY() - bounds().height(); break;
        case ScrollPosition::None: scrollRectToVisible(r, animated); return;
    }
    setContentOffset(Point{o.x, std::max(0.0, o.y)}, animated);
}

void TableView::setEditing(bool editing, bool animated) {
    ensureLoaded();
    editing_ = editing;
    lastEditingAnimated_ = animated;
    if (confirming_) {
        if (auto cell = cellForRow(*confirming_)) cell->setConfirmingDelete(false);
        confirming_.reset();
    }
    for (auto& cell : visibleCells()) cell->setEditing(editing, animated);
}

bool TableView::isEditableRow(const IndexPath& ip) {
    auto ds = dataSource();
    if (!rowExists(ip) || !ds || !ds->canEditRow(*this, ip)) return false;
    auto d = delegate();
    return (d ? d->editingStyleForRow(*this, ip) : EditingStyle::Delete) == EditingStyle::Delete;
}

bool TableView::userSelectRow(const IndexPath& ip) {
    if (!rowExists(ip) || !acceptsTouches()) return false;
    auto keep = weak_from_this().lock();
    if (confirming_) {
        // A tap while a Delete button shows only hides it.
        if (auto cell = cellForRow(*confirming_)) cell->setConfirmingDelete(false);
        confirming_.reset();
        return false;
    }
    if (editing_ ? !allowsSelectionDuringEditing_ : !allowsSelection_) return false;
    auto d = delegate();
    if (allowsMultipleSelection_ && selected_.count(ip)) {
        deselectRow(ip, false);
        if (d) d->didDeselectRow(*this, ip);
        return true;
    }
    if (!allowsMultipleSelection_) {
        for (const auto& s : std::set<IndexPath>(selected_)) {
            if (s == ip) continue;
            deselectRow(s, false);
            if (d) d->didDeselectRow(*this, s);
        }
    }
    selected_.insert(ip);
    cellForRow(ip)->setSelected(true, false);
    if (d) d->didSelectRow(*this, ip);
    return true;
}

bool TableView::tapAccessory(const IndexPath& ip) {
    auto cell = cellForRow(ip);
    if (!cell || !acceptsTouches()) return false;
    if (cell->accessoryView()) return cell->accessoryView()->performTap();
    AccessoryType t = editing_ ? cell->editingAccessoryType() : cell->accessoryType();
    if (t != AccessoryType::DetailDisclosureButton && t != AccessoryType::DetailButton) return false;
    auto keep = weak_from_this().lock();
    if (auto d = delegate()) d->accessoryButtonTapped(*this, ip);
    return true;
}

bool TableView::beginSwipeToDelete(const IndexPath& ip) {
    if (!acceptsTouches() || !isEditableRow(ip)) return false;
    if (confirming_) {
        if (auto cell = cellForRow(*confirming_)) cell->setConfirmingDelete(false);
    }
    confirming_ = ip;
    auto d = delegate();
    cellForRow(ip)->setConfirmingDelete(true, d ? d->titleForDeleteConfirmationButton(*this, ip) : uiText("Delete"));
    return true;
}

bool TableView::confirmDelete() {
    if (!confirming_) return false;
    IndexPath ip = *confirming_;
    confirming_.reset();
    if (auto cell = cellForRow(ip)) cell->setConfirmingDelete(false);
    auto keep = weak_from_this().lock();
    auto ds = dataSource();
    if (!ds) return false;
    ds->commitEditingStyle(*this, EditingStyle::Delete, ip);
    return true;
}

bool TableView::swipeToDelete(const IndexPath& ip) { return beginSwipeToDelete(ip) && confirmDelete(); }

// ---- inspection

std::string TableView::describeLine() const { return editing_ ? "Table (editing)" : "Table"; }

void TableView::describeContent(DescriptionWriter& out) const {
    out.line(describeLine());
    {
        DescriptionWriter::Nested nested(out);
        if (tableHeader_) tableHeader_->describeInto(out);
        const auto inView = onDemand_ ? rowsInView() : std::vector<IndexPath>{};
        for (std::size_t s = 0; s < sections_.size(); ++s) {
            const auto& sec = sections_[s];
            std::string line = "Section " + std::to_string(s);
            if (!sec.headerTitle.empty()) line += " " + DescriptionWriter::quoted(sec.headerTitle);
            // A long list shows the rows in view and says how many it has.
            if (onDemand_) line += " (" + std::to_string(sec.rows) + (sec.rows == 1 ? " row)" : " rows)");
            out.line(line);
            DescriptionWriter::Nested rows(out);
            if (sec.headerView) sec.headerView->describeInto(out);
            if (onDemand_) {
                for (const auto& ip : inView) {
                    if (ip.section != static_cast<long>(s)) continue;
                    if (const auto cell = sec.cellAt(static_cast<std::size_t>(ip.row))) cell->describeInto(out);
                }
            } else {
                for (const auto& [r, cell] : sec.cells) {
                    if (cell) cell->describeInto(out);
                }
            }
            if (!sec.footerTitle.empty()) out.line("Footer " + DescriptionWriter::quoted(sec.footerTitle));
            if (sec.footerView) sec.footerView->describeInto(out);
        }
        if (tableFooter_) tableFooter_->describeInto(out);
    }
}

}  // namespace plat
