#include "history/HistoryLayer.h"

#include "history/HistoryController.h"
#include "history/HistoryInterfaces.h"
#include "history/WorldMapSearchController.h"
#include "shell/TabScreens.h"

namespace qx {

void registerHistoryLayer() {
    registerHistoryInterfaces();
    TabScreens::registerFactory(Tab::history, [] { return HistoryController::make(); });
    registerWorldMapSearch();
}

}  // namespace qx
