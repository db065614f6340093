#include "history/HistoryLayer.h"

#include "history/HistoryController.h"
#include "history/HistoryInterfaces.h"
#include "history/SetDetailsController.h"
#include "history/VNWaypointDetailsViewController.h"
#include "history/WorldMapSearchController.h"
#include "maps/VNMapViewController.h"
#include "shell/TabScreens.h"

namespace qx {

void registerHistoryLayer() {
    registerHistoryInterfaces();
    TabScreens::registerFactory(Tab::history, [] { return HistoryController::make(); });
    HistoryController::setSetDetailsFactory([](const std::shared_ptr<Set>& set) {
        auto screen = SetDetailsController::make();
        screen->setSet(set);
        return std::static_pointer_cast<VNBaseViewController>(screen);
    });
    VNMapViewController::setWaypointDetailsFactory(
        {[] { return std::static_pointer_cast<VNBaseViewController>(VNWaypointDetailsViewController::make()); },
         [](VNBaseViewController& screen, const std::shared_ptr<Waypoint>& waypoint) {
             if (auto* details = dynamic_cast<VNWaypointDetailsViewController*>(&screen)) {
                 details->setWaypoint(waypoint);
             }
         }});
    registerWorldMapSearch();
}

}  // namespace qx
