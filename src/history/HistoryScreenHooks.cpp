#include "history/HistoryScreenHooks.h"

#include "shell/VNBaseViewController.h"

namespace qx {

namespace {
struct Hooks {
    HistoryScreenHooks::ShareHandler share;
    HistoryScreenHooks::ShareHandler shareDays;
    HistoryScreenHooks::ScreenFactory setFilter;
    HistoryScreenHooks::ScreenFactory setDetailsFilter;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

std::shared_ptr<VNBaseViewController> make(const HistoryScreenHooks::ScreenFactory& factory) {
    return factory ? factory() : nullptr;
}
}  // namespace

void HistoryScreenHooks::setShareHandler(ShareHandler handler) { hooks().share = std::move(handler); }

bool HistoryScreenHooks::canShare() { return static_cast<bool>(hooks().share); }

bool HistoryScreenHooks::share(const Records& records, unsigned options, Completion completion) {
    if (!hooks().share) return false;
    hooks().share(records, options, std::move(completion));
    return true;
}

void HistoryScreenHooks::setDayShareHandler(ShareHandler handler) { hooks().shareDays = std::move(handler); }

bool HistoryScreenHooks::shareWaypointsOfDays(const Records& days, unsigned options, Completion completion) {
    if (!hooks().shareDays) return false;
    hooks().shareDays(days, options, std::move(completion));
    return true;
}

void HistoryScreenHooks::setSetFilterFactory(ScreenFactory factory) { hooks().setFilter = std::move(factory); }

void HistoryScreenHooks::setSetDetailsFilterFactory(ScreenFactory factory) {
    hooks().setDetailsFilter = std::move(factory);
}

std::shared_ptr<VNBaseViewController> HistoryScreenHooks::makeSetFilter() { return make(hooks().setFilter); }

std::shared_ptr<VNBaseViewController> HistoryScreenHooks::makeSetDetailsFilter() {
    return make(hooks().setDetailsFilter);
}

}  // namespace qx
