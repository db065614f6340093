#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/IndexPath.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/UiText.h"

namespace plat {

class TableView;

enum class TableStyle { Plain, Grouped };
enum class RowAnimation { Fade, Right, Left, Top, Bottom, None, Middle, Automatic };
enum class ScrollPosition { None, Top, Middle, Bottom };
enum class SeparatorStyle { None, SingleLine, SingleLineEtched };

// Asked by a delegate or the table for a height it should work out itself.
inline constexpr double kAutomaticDimension = -1;

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual long numberOfSections(TableView&) { return 1; }
    virtual long numberOfRows(TableView&, long section) = 0;
    // Must return a cell (dequeued or new).
    virtual TableViewCellPtr cellForRow(TableView&, const IndexPath&) = 0;
    virtual std::string titleForHeader(TableView&, long section) {
        (void)section;
        return {};
    }
    virtual std::string titleForFooter(TableView&, long section) {
        (void)section;
        return {};
    }
    // Rows are not editable unless the data source says so (swipe-to-delete and the editing
    // mode's delete controls need it).
    virtual bool canEditRow(TableView&, const IndexPath&) { return false; }
    virtual void commitEditingStyle(TableView&, EditingStyle, const IndexPath&) {}
};

class TableViewDelegate : public ScrollViewDelegate {
public:
    virtual double heightForRow(TableView&, const IndexPath&) { return kAutomaticDimension; }
    virtual double heightForHeader(TableView&, long section) {
        (void)section;
        return kAutomaticDimension;
    }
    virtual double heightForFooter(TableView&, long section) {
        (void)section;
        return kAutomaticDimension;
    }
    virtual std::shared_ptr<View> viewForHeader(TableView&, long section) {
        (void)section;
        return nullptr;
    }
    virtual std::shared_ptr<View> viewForFooter(TableView&, long section) {
        (void)section;
        return nullptr;
    }
    virtual void willDisplayCell(TableView&, TableViewCell&, const IndexPath&) {}
    virtual void didSelectRow(TableView&, const IndexPath&) {}
    virtual void didDeselectRow(TableView&, const IndexPath&) {}
    virtual void accessoryButtonTapped(TableView&, const IndexPath&) {}
    virtual EditingStyle editingStyleForRow(TableView&, const IndexPath&) { return EditingStyle::Delete; }
    virtual std::string titleForDeleteConfirmationButton(TableView&, const IndexPath&) { return uiText("Delete"); }
};

// One change of a batch of table updates, kept as data for tests and the driver.
struct TableUpdate {
    enum class Kind { InsertRows, DeleteRows, ReloadRows, InsertSections, DeleteSections, ReloadSections, ReloadData };
    Kind kind;
    std::vector<IndexPath> rows;
    std::vector<long> sections;
    RowAnimation animation = RowAnimation::None;
};

// A list of rows in sections, fed by a data source and a delegate (both held weakly).
//
// Every row of the table has its cell: the table asks for all cells when it loads (lazily, on
// first use after a reload), so that any row can be read or tapped. Cells of removed rows go
// back to a reuse pool from which dequeueReusableCell hands them out again.
//
// A table of many rows can ask for cells only as rows come into view (setLoadsRowsOnDemand):
// the rows of the visible area get their cells when the table loads or scrolls, and any other
// row gets its cell the first time it is read (cellForRow), so it can still be read or tapped.
//
// Batches of updates (begin/endUpdates, or a single insert/delete/reload call) are checked
// as the phone checks them: the row and section counts the data source reports afterwards
// must equal the counts before plus insertions minus deletions. A mismatch is reported
// through UiFailure (fatal by default) and the table then reloads from its data source.
class TableView : public ScrollView {
public:
    explicit TableView(const Rect& frame = {}, TableStyle style = TableStyle::Plain);
    ~TableView() override;

    TableStyle style() const { return style_; }
    void setDataSource(std::weak_ptr<TableViewDataSource> ds);
    void setDelegate(std::weak_ptr<TableViewDelegate> d);
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h) { rowHeight_ = h; }
    double sectionHeaderHeight() const { return headerHeight_; }
    void setSectionHeaderHeight(double h) { headerHeight_ = h; }
    double sectionFooterHeight() const { return footerHeight_; }
    void setSectionFooterHeight(double h) { footerHeight_ = h; }
    SeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(SeparatorStyle s) { separatorStyle_ = s; }
    const std::optional<Color>& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(std::optional<Color> c) { separatorColor_ = c; }
    const std::shared_ptr<View>& tableHeaderView() const { return tableHeader_; }
    void setTableHeaderView(std::shared_ptr<View> v);
    const std::shared_ptr<View>& tableFooterView() const { return tableFooter_; }
    void setTableFooterView(std::shared_ptr<View> v);
    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> v);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool on) { allowsSelection_ = on; }
    bool allowsSelectionDuringEditing() const { return allowsSelectionDuringEditing_; }
    void setAllowsSelectionDuringEditing(bool on) { allowsSelectionDuringEditing_ = on; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool on) { allowsMultipleSelection_ = on; }

    // Rows get their cells only when shown or read; off by default (every row has its cell).
    bool loadsRowsOnDemand() const { return onDemand_; }
    void setLoadsRowsOnDemand(bool on);

    // Cells for reuse.
    void registerCell(const std::string& identifier, std::function<TableViewCellPtr()> make);
    // A cell from the reuse pool, else a new one from the registered maker, else nullptr.
    TableViewCellPtr dequeueReusableCell(const std::string& identifier);
    std::size_t reusePoolSize(const std::string& identifier) const;

    // Reading the rows (loads them when a reload is pending).
    long numberOfSections();
    long numberOfRows(long section);
    TableViewCellPtr cellForRow(const IndexPath& ip);
    // The row's cell when it has one already; none for a row whose cell was not asked for yet.
    TableViewCellPtr loadedCellForRow(const IndexPath& ip);
    std::optional<IndexPath> indexPathForCell(const TableViewCell* cell);
    std::vector<TableViewCellPtr> visibleCells();
    std::vector<IndexPath> indexPathsForVisibleRows();
    // The rows that lie in the visible area, in order (as laid out last).
    std::vector<IndexPath> rowsInView() const;
    Rect rectForRow(const IndexPath& ip);
    std::string headerTitle(long section);
    std::string footerTitle(long section);
    std::shared_ptr<View> headerView(long section);
    std::shared_ptr<View> footerView(long section);

    // Reloading and updates.
    void reloadData();
    bool isReloadPending() const { return needsReload_; }
    void beginUpdates();
    void endUpdates();
    void insertRows(const std::vector<IndexPath>& rows, RowAnimation animation);
    void deleteRows(const std::vector<IndexPath>& rows, RowAnimation animation);
    void reloadRows(const std::vector<IndexPath>& rows, RowAnimation animation);
    void insertSections(const std::vector<long>& sections, RowAnimation animation);
    void deleteSections(const std::vector<long>& sections, RowAnimation animation);
    void reloadSections(const std::vector<long>& sections, RowAnimation animation);
    // The updates applied since the log was last cleared, in order.
    const std::vector<TableUpdate>& updateLog() const { return updateLog_; }
    void clearUpdateLog() { updateLog_.clear(); }

    // Selection from code (the delegate is not told).
    void selectRow(const std::optional<IndexPath>& ip, bool animated, ScrollPosition position = ScrollPosition::None);
    void deselectRow(const IndexPath& ip, bool animated);
    std::optional<IndexPath> indexPathForSelectedRow() const;
    std::vector<IndexPath> indexPathsForSelectedRows() const;
    bool lastDeselectAnimated() const { return lastDeselectAnimated_; }
    void scrollToRow(const IndexPath& ip, ScrollPosition position, bool animated);

    // Editing mode (delete controls on editable rows).
    bool isEditing() const { return editing_; }
    // The row exists, its data source lets it be edited and its editing style is Delete.
    bool isEditableRow(const IndexPath& ip);
    void setEditing(bool editing, bool animated = false);
    bool lastEditingAnimated() const { return lastEditingAnimated_; }

    // What the person does.
    // A tap on a row: selects it and tells the delegate (the previous selection is deselected
    // first unless several may be selected). False when selection is not allowed here.
    bool userSelectRow(const IndexPath& ip);
    // A tap on the row's accessory button (or its accessory control).
    bool tapAccessory(const IndexPath& ip);
    // A swipe across an editable row shows its Delete button; confirming commits the deletion
    // through the data source. swipeToDelete does both.
    bool beginSwipeToDelete(const IndexPath& ip);
    bool confirmDelete();
    bool swipeToDelete(const IndexPath& ip);
    std::optional<IndexPath> rowConfirmingDelete() const { return confirming_; }

    void layoutSubviews() override;
    // Scrolling brings the rows that come into view their cells.
    void setBounds(const Rect& bounds) override;
    void updateForInspection() override;
    std::string kindName() const override { return "Table"; }
    std::string describeLine() const override;
    void describeContent(DescriptionWriter& out) const override;

private:
    // A section keeps what its rows need by the row only where rows differ: the cells rows have
    // (few, in a long list) and the heights when they are not all the same.
    struct Section {
        long rows = 0;
        std::string headerTitle, footerTitle;
        std::shared_ptr<View> headerView, footerView;
        double headerHeight = 0, footerHeight = 0;
        std::map<std::size_t, TableViewCellPtr> cells;
        std::vector<double> heights;  // empty: every row is rowHeight high
        double rowHeight = 0;
        std::vector<double> tops;  // each row's y when heights differ, set by layoutRows
        double top = 0;            // the first row's y, set by layoutRows

        double heightOf(std::size_t r) const { return heights.empty() ? rowHeight : heights[r]; }
        double topOf(std::size_t r) const {
            return heights.empty() ? top + static_cast<double>(r) * rowHeight : r < tops.size() ? tops[r] : 0;
        }
        TableViewCellPtr cellAt(std::size_t r) const {
            const auto it = cells.find(r);
            return it == cells.end() ? nullptr : it->second;
        }
    };
    struct PendingUpdates;

    void ensureLoaded();
    void loadAll();
    Section loadSectionInfo(long index);
    // Takes off the table the header and footer views of `old` sections that no section has now.
    void removeStaleSectionViews(const std::vector<Section>& old);
    TableViewCellPtr askCell(const IndexPath& ip);
    void recycle(const TableViewCellPtr& cell);
    void layoutRows();
    void groupRowLabels();
    void applyUpdates(PendingUpdates& updates);
    bool checkUpdates(const PendingUpdates& updates, const std::vector<long>& newCounts);
    void failAndReload(const std::string& message);
    void record(TableUpdate::Kind kind, std::vector<IndexPath> rows, std::vector<long> sections, RowAnimation a);
    void singleUpdate(const std::function<void()>& add);
    bool rowExists(const IndexPath& ip);
    // The cell of an existing row, asked for and placed now when it has none yet.
    const TableViewCellPtr& cellAt(std::size_t section, std::size_t row);
    // Gives the rows of the visible area their cells.
    void loadVisibleRows();

    TableStyle style_;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> delegate_;
    double rowHeight_ = TableViewCell::kDefaultHeight;
    double headerHeight_ = kAutomaticDimension, footerHeight_ = kAutomaticDimension;
    SeparatorStyle separatorStyle_ = SeparatorStyle::SingleLine;
    std::optional<Color> separatorColor_;
    std::shared_ptr<View> tableHeader_, tableFooter_, backgroundView_;
    bool allowsSelection_ = true, allowsSelectionDuringEditing_ = false, allowsMultipleSelection_ = false;

    std::vector<Section> sections_;
    bool needsReload_ = true;
    bool onDemand_ = false;
    bool loading_ = false;
    std::map<std::string, std::vector<TableViewCellPtr>> pool_;
    std::map<std::string, std::function<TableViewCellPtr()>> makers_;
    std::set<IndexPath> selected_;
    bool lastDeselectAnimated_ = false;
    bool editing_ = false, lastEditingAnimated_ = false;
    std::optional<IndexPath> confirming_;
    int updateDepth_ = 0;
    std::unique_ptr<PendingUpdates> pending_;
    std::vector<TableUpdate> updateLog_;
};

using TableViewPtr = std::shared_ptr<TableView>;

}  // namespace plat
