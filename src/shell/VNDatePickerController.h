#pragma once

#include <functional>
#include <memory>

#include "platform/ui/DatePicker.h"
#include "shell/VNBaseViewController.h"

namespace qx {

// A modal date picker screen. Every turn of the wheels runs the change block with the new date;
// no date after the end of today can be chosen.
class VNDatePickerController : public VNBaseViewController {
public:
    using DateBlock = std::function<void(plat::Date date)>;

    VNDatePickerController() = default;

    // Date only or date and time.
    void setDatePickerMode(plat::DatePickerMode mode);
    // The date shown at first (a later one shows as the end of today).
    void setDate(plat::Date date);
    plat::Date date() const;
    void setOnDateChanged(DateBlock block) { onDateChanged_ = std::move(block); }

    // The last instant of the current local day.
    static plat::Date endOfToday();

    std::shared_ptr<plat::DatePicker> datePicker();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

private:
    std::shared_ptr<plat::DatePicker> picker_;
    plat::DatePickerMode mode_ = plat::DatePickerMode::Date;
    plat::Date date_ = plat::Date::now();
    DateBlock onDateChanged_;
};

}  // namespace qx
