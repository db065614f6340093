#pragma once

#include "shell/CheckButton.h"
#include "shell/VNTableViewCell.h"

namespace qx {

// A row with a check box and a title.
class VNCheckButtonTableViewCell : public VNTableViewCell {
public:
    static constexpr const char* kNibName = "VNCheckButtonTableViewCell";

    explicit VNCheckButtonTableViewCell(std::string reuseIdentifier = kNibName)
        : VNTableViewCell(plat::CellStyle::Default, std::move(reuseIdentifier)) {}
    static std::shared_ptr<VNCheckButtonTableViewCell> loadFromNib() { return loadNib<VNCheckButtonTableViewCell>(); }

    plat::Label& title() { return *title_; }
    CheckButton& checkButton() { return *checkButton_; }

    virtual void buildContent();
    void awakeFromNib() override;

protected:
    // Label on the right side of the row, after the title.
    std::shared_ptr<plat::Label> addValueLabel(const plat::Rect& frame);

private:
    std::shared_ptr<plat::Label> title_;
    std::shared_ptr<CheckButton> checkButton_;
};

// Adds a value text on the right.
class VNCheckButtonValueTableViewCell : public VNCheckButtonTableViewCell {
public:
    static constexpr const char* kNibName = "VNCheckButtonValueTableViewCell";

    explicit VNCheckButtonValueTableViewCell(std::string reuseIdentifier = kNibName)
        : VNCheckButtonTableViewCell(std::move(reuseIdentifier)) {}
    static std::shared_ptr<VNCheckButtonValueTableViewCell> loadFromNib() {
        return loadNib<VNCheckButtonValueTableViewCell>();
    }

    plat::Label& value() { return *value_; }

    void buildContent() override;
    void awakeFromNib() override;
    void layoutSubviews() override;

protected:
    // The title takes the room it needs (sibling rows then show their titles alike); the value,
    // and a trailer of the given width after it, share the rest up to the row's right margin.
    // Returns where the trailer begins.
    double placeBesideTitle(double trailerWidth);

private:
    std::shared_ptr<plat::Label> value_;
};

// Adds a unit text after the value.
class VNCheckButtonValueUnitTableViewCell : public VNCheckButtonValueTableViewCell {
public:
    static constexpr const char* kNibName = "VNCheckButtonValueUnitTableViewCell";

    VNCheckButtonValueUnitTableViewCell() : VNCheckButtonValueTableViewCell(kNibName) {}
    static std::shared_ptr<VNCheckButtonValueUnitTableViewCell> loadFromNib() {
        return loadNib<VNCheckButtonValueUnitTableViewCell>();
    }

    plat::Label& unit() { return *unit_; }

    void buildContent() override;
    void awakeFromNib() override;
    void layoutSubviews() override;

private:
    std::shared_ptr<plat::Label> unit_;
};

}  // namespace qx
