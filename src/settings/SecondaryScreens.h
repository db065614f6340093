#pragma once

#include <memory>
#include <string>

#include "platform/ui/DatePicker.h"
#include "shell/VNDatePickerController.h"
#include "shell/VNSection.h"

namespace plat {
class ViewController;
}

namespace qx {

class VNTableViewController;

// How the filter and track-settings sections open their secondary screens: modal, animated, on
// the top-most visible screen, closed by their back button.
class SecondaryScreens {
public:
    // The usual back block: closes whatever screen is on top.
    static void dismissVisible();
    // Gives the screen the usual back block (unless it has one) and presents it on the visible
    // screen; false (with a log line) when there is no window to show it on.
    static bool present(const std::shared_ptr<plat::ViewController>& screen);
    // A date picker flipped in over the visible screen, reporting every turn of its wheels.
    static std::shared_ptr<VNDatePickerController> presentDatePicker(plat::DatePickerMode mode, plat::Date date,
                                                                     std::string title,
                                                                     VNDatePickerController::DateBlock onChanged);
    // A plain table screen showing one check-list section, flipped in; its back block runs
    // `onClose` and then closes it.
    static std::shared_ptr<VNTableViewController> presentCheckList(std::shared_ptr<VNSection> list,
                                                                   std::function<void()> onClose);
};

}  // namespace qx
