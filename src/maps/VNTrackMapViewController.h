#pragma once

#include <memory>
#include <vector>

#include "maps/VNMapViewController.h"

namespace qx {

class Track;
class TrackPath;
class VNTrackAlarmsView;
class WaypointAnnotation;

// The map page of one stored track: a pin per waypoint, the track's coloured path and its
// alarms badge in the map's top-left corner. The follow-track button fits the map to the track.
class VNTrackMapViewController : public VNMapViewController {
public:
    // Where the alarms badge sits on the map.
    static constexpr double kAlarmsTop = 60, kAlarmsLeft = 10;

    explicit VNTrackMapViewController(std::string interfaceName = kNibName);
    static std::shared_ptr<VNTrackMapViewController> make() { return std::make_shared<VNTrackMapViewController>(); }

    void viewDidLoad() override;

    const std::shared_ptr<Track>& track() const { return track_; }
    // Shows the track in place of the one shown before: its pins, its path and its badge. A
    // track without positioned waypoints leaves the map where it is.
    void setTrack(std::shared_ptr<Track> track);
    // Fits the map to the track.
    void showTrack() override;

    const std::vector<std::shared_ptr<WaypointAnnotation>>& annotations() const { return annotations_; }
    const std::shared_ptr<VNTrackAlarmsView>& alarmsView();

    std::string kindName() const override { return "Track map"; }

protected:
    // The pins this page shows; subclasses add and remove theirs here too.
    std::vector<std::shared_ptr<WaypointAnnotation>>& mutableAnnotations() { return annotations_; }
    void removeAllPins();
    void removeAllOverlays();
    // Puts the path's segments on the map.
    void addPathOverlays(const TrackPath& path);

private:
    std::shared_ptr<Track> track_;
    std::vector<std::shared_ptr<WaypointAnnotation>> annotations_;
    std::shared_ptr<VNTrackAlarmsView> alarmsView_;
};

}  // namespace qx
