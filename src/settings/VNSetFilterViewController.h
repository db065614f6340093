#pragma once

#include <memory>

#include "settings/VNSetFilterSection.h"
#include "settings/VNSetSortSection.h"
#include "shell/VNFilterViewController.h"

namespace qx {

// The filter screen of the History tab: the day range, alarms only, one device type, chosen
// instruments, and the sort order. Apply saves them and runs the back block (the list closes
// the screen and fetches again).
class VNSetFilterViewController : public VNFilterViewController {
public:
    static std::shared_ptr<VNSetFilterViewController> make() { return std::make_shared<VNSetFilterViewController>(); }

    void applyAction() override;
    // Both sections anew from the preferences; both days show the current moment.
    void resetAction() override;

    const std::shared_ptr<VNSetFilterSection>& filterSection() const { return filterSection_; }
    const std::shared_ptr<VNSetSortSection>& sortSection() const { return sortSection_; }

protected:
    // The filter section of this screen, before its values are read.
    virtual std::shared_ptr<VNSetFilterSection> makeFilterSection();

private:
    std::shared_ptr<VNSetFilterSection> filterSection_;
    std::shared_ptr<VNSetSortSection> sortSection_;
};

}  // namespace qx
