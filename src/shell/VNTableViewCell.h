#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Interface.h"
#include "platform/ui/TableViewCell.h"
#include "shell/ShellInterfaces.h"

namespace qx {

// The base of the application's row cells, loaded from the interface file named after its
// class. Selecting its row runs its selection block.
class VNTableViewCell : public plat::TableViewCell {
public:
    using SelectBlock = std::function<void(VNTableViewCell& cell)>;
    static constexpr const char* kNibName = "VNTableViewCell";

    explicit VNTableViewCell(plat::CellStyle style = plat::CellStyle::Value1, std::string reuseIdentifier = kNibName);

    static std::shared_ptr<VNTableViewCell> loadFromNib() { return loadNib<VNTableViewCell>(); }

    const SelectBlock& onSelectCellBlock() const { return onSelectCellBlock_; }
    void setOnSelectCellBlock(SelectBlock block) { onSelectCellBlock_ = std::move(block); }
    // What the table runs when the row is selected: the block with this cell, when set.
    void onSelectCell();

    // The look of the cell as its interface file gives it (fonts, colours, shadows); the
    // builders call it once the outlets are in place.
    virtual void awakeFromNib();

    // The row's height: its interface file's, or room for two lines when the title needs a
    // second one at its full size (the longer languages' titles), so that they are not packed
    // into the row edge to edge.
    double rowHeight();

protected:
    // The label that names the row; cells with a title label of their own return it.
    virtual plat::Label& rowTitle() { return textLabel(); }

    template <class T>
    static std::shared_ptr<T> loadNib() {
        registerShellInterfaces();
        return plat::Interface::loadAs<T>(T::kNibName);
    }
    // The look shared by the cells' labels: black text with a white shadow below.
    static void styleLabel(plat::Label& label, bool bold);

private:
    SelectBlock onSelectCellBlock_;
    double nibHeight_ = 0;  // the height before the table first sized the row
};

using VNTableViewCellPtr = std::shared_ptr<VNTableViewCell>;

}  // namespace qx
