#pragma once

#include <memory>

#include "shell/VNFilterViewController.h"

namespace qx {

class VNWMFilterSection;
class VNWMThresholdSection;

// The World Map tab's filter screen: the time window, alarms only and radius, and the dose-rate
// floor. Applying writes them to the preferences, saves them and runs the back block, on which
// the map closes the screen and reloads.
class VNWMFilterViewController : public VNFilterViewController {
public:
    static std::shared_ptr<VNWMFilterViewController> make() { return std::make_shared<VNWMFilterViewController>(); }

    // Rebuilds both sections from the preferences, both time bounds at the current moment.
    void resetAction() override;
    // Writes both sections to the preferences and saves them.
    void applyAction() override;
    void initTitles() override;

    const std::shared_ptr<VNWMFilterSection>& filterSection() const { return filterSection_; }
    void setFilterSection(std::shared_ptr<VNWMFilterSection> section) { filterSection_ = std::move(section); }
    const std::shared_ptr<VNWMThresholdSection>& thresholdSection() const { return thresholdSection_; }
    void setThresholdSection(std::shared_ptr<VNWMThresholdSection> section) { thresholdSection_ = std::move(section); }

private:
    std::shared_ptr<VNWMFilterSection> filterSection_;
    std::shared_ptr<VNWMThresholdSection> thresholdSection_;
};

}  // namespace qx
