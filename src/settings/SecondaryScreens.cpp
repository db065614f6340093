#include "settings/SecondaryScreens.h"

#include "platform/foundation/Log.h"
#include "shell/AppWindow.h"
#include "shell/VNBaseViewController.h"
#include "shell/VNTableViewController.h"

namespace qx {

void SecondaryScreens::dismissVisible() {
    if (auto* shown = visibleViewController()) shown->dismissViewController(true);
}

bool SecondaryScreens::present(const std::shared_ptr<plat::ViewController>& screen) {
    auto* presenter = visibleViewController();
    if (!presenter || !screen) {
        plat::Log::line("SecondaryScreens: no window to show the screen on");
        return false;
    }
    if (auto base = std::dynamic_pointer_cast<VNBaseViewController>(screen); base && !base->onBackBlock()) {
        base->setOnBackBlock(&SecondaryScreens::dismissVisible);
    }
    return presenter->presentViewController(screen, true);
}

std::shared_ptr<VNDatePickerController> SecondaryScreens::presentDatePicker(
    plat::DatePickerMode mode, plat::Date date, std::string title, VNDatePickerController::DateBlock onChanged) {
    auto picker = std::make_shared<VNDatePickerController>();
    picker->setDatePickerMode(mode);
    picker->setDate(date);
    picker->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    picker->setTitle(std::move(title));
    picker->setOnDateChanged(std::move(onChanged));
    present(picker);
    return picker;
}

std::shared_ptr<VNTableViewController> SecondaryScreens::presentCheckList(std::shared_ptr<VNSection> list,
                                                                        std::function<void()> onClose) {
    auto screen = VNTableViewController::make();
    screen->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    screen->setSections({std::move(list)});
    screen->setOnBackBlock([onClose] {
        if (onClose) onClose();
        dismissVisible();
    });
    present(screen);
    return screen;
}

}  // namespace qx
