#include "maps/MapsLayer.h"

#include "maps/TrackPath.h"
#include "maps/VNMapViewController.h"
#include "store/Track.h"

namespace qx {

void registerMapsLayer() {
    registerMapsInterfaces();
    Track::setTrackStartedHandler(
        [](const std::shared_ptr<Track>& track) { TrackPath::setCurrentTrackPath(TrackPath::make(track)); });
}

}  // namespace qx
