#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace qx {

class ManagedObject;
class VNBaseViewController;

// What the history screens reach in the layers above them, registered there at launch: the
// share service (sharing) and the history filter screens (settings). Until one is registered
// the screens offer nothing of it.
class HistoryScreenHooks {
public:
    using Records = std::vector<std::shared_ptr<ManagedObject>>;
    using Completion = std::function<void()>;
    // Starts a share of the records over the channels of `options` (the share service's bit
    // set); the completion runs when a channel has finished.
    using ShareHandler = std::function<void(const Records& records, unsigned options, Completion completion)>;
    using ScreenFactory = std::function<std::shared_ptr<VNBaseViewController>()>;

    static void setShareHandler(ShareHandler handler);
    static bool canShare();
    // Hands the records to the share service; false (and nothing happens) without one.
    static bool share(const Records& records, unsigned options, Completion completion);
    // Starts a share of the waypoints of days (each day's own, then its tracks'); the service
    // reads them from the store itself, so a screen never holds the whole history.
    static void setDayShareHandler(ShareHandler handler);
    static bool shareWaypointsOfDays(const Records& days, unsigned options, Completion completion);

    // The filter screen of the day list (day range, alarms, instruments, sort order) and the
    // one of a day's details (the same without the day range).
    static void setSetFilterFactory(ScreenFactory factory);
    static void setSetDetailsFilterFactory(ScreenFactory factory);
    // A new filter screen; none while no maker is registered.
    static std::shared_ptr<VNBaseViewController> makeSetFilter();
    static std::shared_ptr<VNBaseViewController> makeSetDetailsFilter();
};

}  // namespace qx
