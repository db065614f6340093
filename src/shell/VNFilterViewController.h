#pragma once

#include <memory>
#include <string>

#include "shell/VNTableViewController.h"

namespace qx {

// The base of the filter screens: a table of sections with an "Apply" and a "Reset" button.
// The screen opens showing the stored values (it resets once its view is loaded); nothing
// reaches the preferences before Apply, and closing without it discards every change.
class VNFilterViewController : public VNTableViewController {
public:
    static constexpr const char* kNibName = "VNFilterViewController";

    explicit VNFilterViewController(std::string interfaceName = kNibName);

    // Subclasses write their sections' values to the preferences and close; the base does
    // nothing.
    virtual void applyAction() {}
    // Subclasses rebuild their sections from the preferences; the base does nothing.
    virtual void resetAction() {}

    const plat::BarButtonItemPtr& applyButton() const { return applyButton_; }
    const plat::BarButtonItemPtr& resetButton() const { return resetButton_; }

    void viewDidLoad() override;
    void initTitles() override;

    std::string kindName() const override { return "FilterScreen"; }

private:
    plat::BarButtonItemPtr applyButton_, resetButton_;
};

}  // namespace qx
