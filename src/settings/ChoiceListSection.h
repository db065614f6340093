#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "shell/VNSection.h"

namespace qx {

// A check list: one plain row per choice, whose position is the value it stands for, and the
// check mark on the current choice. Choosing a row moves the mark to it alone and hands its
// position to choose(), which stores it.
class ChoiceListSection : public VNSection {
public:
    void initRows() override;
    // The rows' texts from their keys.
    void updateCellsTitles() override;

    // The row of a choice, made on first use and kept; none past the last choice.
    VNTableViewCellPtr choiceCell(std::size_t index);

protected:
    // The language-table keys of the rows, in order.
    virtual std::vector<std::string> choiceKeys() const = 0;
    // The row standing for the stored value; none marks no row.
    virtual std::optional<std::size_t> currentIndex() const = 0;
    virtual void choose(std::size_t index) = 0;

    // The row of a stored value that is a row position; none for a value past the rows.
    std::optional<std::size_t> rowOf(unsigned value) const {
        if (value >= choiceKeys().size()) return std::nullopt;
        return value;
    }

private:
    void select(VNTableViewCell& cell);

    std::vector<VNTableViewCellPtr> cells_;
};

}  // namespace qx
