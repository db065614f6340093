#pragma once

#include <memory>

#include "shell/VNTableViewController.h"

namespace plat {
class Button;
}

namespace qx {

// The common base of the filter screens: a table of filter sections with an apply and a reset
// button. Opening the screen runs the reset, so that it shows the stored values; each filter
// screen says what both buttons do.
class VNFilterViewController : public VNTableViewController {
public:
    static constexpr const char* kNibName = "VNFilterViewController";

    VNFilterViewController();
    ~VNFilterViewController() override;

    std::shared_ptr<plat::Button> applyButton();
    std::shared_ptr<plat::Button> resetButton();

    void viewDidLoad() override;
    void initTitles() override;

    // Nothing in the base.
    virtual void applyAction(plat::Button* sender);
    virtual void resetAction(plat::Button* sender);

    std::string kindName() const override { return "Filter screen"; }
};

// Registers the interface file of the filter screens; safe to call more than once.
void registerFilterInterface();

}  // namespace qx
