#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/View.h"
#include "shell/VNActionTableViewCell.h"
#include "shell/VNTableViewCell.h"

namespace qx {

class VNTableViewController;

// A titled group of rows of a table screen. A concrete section builds its cells in initRows
// (one cell per row, made on first use and kept), writes their texts and values in
// updateCellsTitles, and reacts to them through the blocks it installs; the blocks refer to the
// section without owning it. Every language switch runs updateCellsTitles again.
//
// Make sections with create<T>() (or sectionWithTitle<T>()): it builds the rows and starts
// observing the language. A section given new field values afterwards runs initRows again.
class VNSection : public std::enable_shared_from_this<VNSection> {
public:
    static constexpr double kDefaultHeaderHeight = 32;

    template <class T = VNSection, class... Args>
    static std::shared_ptr<T> create(Args&&... args) {
        auto section = std::make_shared<T>(std::forward<Args>(args)...);
        section->init();
        return section;
    }
    template <class T = VNSection>
    static std::shared_ptr<T> sectionWithTitle(std::string title) {
        auto section = create<T>();
        section->setTitle(std::move(title));
        return section;
    }

    VNSection() = default;
    virtual ~VNSection();
    VNSection(const VNSection&) = delete;
    VNSection& operator=(const VNSection&) = delete;

    // The header text; sections with a fixed key return it freshly localised.
    virtual std::string title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    // The footer text; empty for none.
    const std::string& footer() const { return footer_; }
    void setFooter(std::string footer) { footer_ = std::move(footer); }

    const std::vector<VNTableViewCellPtr>& rows() const { return rows_; }
    void setRows(std::vector<VNTableViewCellPtr> rows) { rows_ = std::move(rows); }
    std::size_t numRows() const { return rows_.size(); }

    virtual double headerHeight() const { return headerHeight_; }
    void setHeaderHeight(double h) { headerHeight_ = h; }
    virtual double footerHeight() const { return footerHeight_; }
    void setFooterHeight(double h) { footerHeight_ = h; }

    // The table screen showing the section (not owned); none while not shown.
    std::shared_ptr<VNTableViewController> parentController() const { return parent_.lock(); }
    void setParentController(std::weak_ptr<VNTableViewController> parent) { parent_ = std::move(parent); }

    // Builds the rows from the current state, then updates their texts. The base has none.
    virtual void initRows();
    // Writes the localised texts and current values into the cells. The base does nothing.
    virtual void updateCellsTitles() {}

    // Runs the selection of the row's cell; nothing at or past the last row.
    void selectRowAtIndex(std::size_t index);
    // The row's cell; none at or past the last row.
    VNTableViewCellPtr cellForRowAtIndex(std::size_t index) const;

    // A new grey label with the title (or footer) of the section.
    virtual std::shared_ptr<plat::View> viewForHeader();
    virtual std::shared_ptr<plat::View> viewForFooter();

    // Check-list marking: the given cell gets the check mark, every other row none.
    void checkCell(VNTableViewCell* cell);
    // Makes the cell open a table screen with the check-list section when selected; going back
    // refreshes this section's texts.
    void setCheckListForCell(const VNTableViewCellPtr& cell, std::shared_ptr<VNSection> checkList);

protected:
    // Builds the rows and starts observing the language; run once by create().
    void init();

    // A selection block that runs one of this section's operations while the section lives
    // (cells must not keep their section alive).
    template <class Section>
    VNTableViewCell::SelectBlock selectionRunning(void (Section::*action)()) {
        std::weak_ptr<VNSection> weak = weak_from_this();
        return [weak, action](VNTableViewCell&) {
            if (auto self = std::dynamic_pointer_cast<Section>(weak.lock())) ((*self).*action)();
        };
    }
    // An action row with its text that runs one of this section's operations when selected.
    template <class Section>
    std::shared_ptr<VNActionTableViewCell> actionCell(const std::string& text, void (Section::*action)()) {
        auto cell = VNActionTableViewCell::loadFromNib();
        cell->textLabel().setText(text);
        cell->setOnSelectCellBlock(selectionRunning(action));
        return cell;
    }

private:
    std::string title_, footer_;
    std::vector<VNTableViewCellPtr> rows_;
    double headerHeight_ = kDefaultHeaderHeight;
    double footerHeight_ = 0;
    std::weak_ptr<VNTableViewController> parent_;
    plat::ObserverToken languageObserver_;
};

using VNSectionPtr = std::shared_ptr<VNSection>;

}  // namespace qx
