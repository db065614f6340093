#include "maps/MapsLayer.h"

#include "maps/TrackPath.h"
#include "maps/VNMapViewController.h"
#include "maps/VNTrackViewController.h"
#include "maps/WorldMapController.h"
#include "shell/TabScreens.h"
#include "store/Track.h"

namespace qx {

void registerMapsLayer() {
    registerMapsInterfaces();
    registerTrackInterface();
    registerWorldMapInterface();
    TabScreens::registerFactory(Tab::worldMap, [] { return WorldMapController::make(); });
    Track::setTrackStartedHandler(
        [](const std::shared_ptr<Track>& track) { TrackPath::setCurrentTrackPath(TrackPath::make(track)); });
    TabScreens::registerFactory(Tab::track, [] { return VNTrackViewController::make(); });
}

}  // namespace qx
