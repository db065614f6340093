#pragma once

#include <memory>
#include <string>

#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace plat {

// The bubble above a selected annotation: its title, subtitle and accessory control.
class CalloutView : public View {
public:
    CalloutView(const std::string& title, const std::string& subtitle, ViewPtr accessory);

    const Label& titleLabel() const { return *title_; }
    const Label& subtitleLabel() const { return *subtitle_; }
    const ViewPtr& accessory() const { return accessory_; }

    std::string kindName() const override { return "Callout"; }
    bool isPopUp() const override { return true; }
    std::string describeLine() const override;
    // The labels are in the line already: only the accessory is listed below it.
    void describeContent(DescriptionWriter& out) const override;

private:
    std::shared_ptr<Label> title_, subtitle_;
    ViewPtr accessory_;
};

}  // namespace plat
