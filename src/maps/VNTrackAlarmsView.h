#pragma once

#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "shell/VNView.h"

namespace qx {

class Track;

// The alarms badge of a track on a map: the track's highest dose rate with its unit, and a
// button with the track's alarm picture titled with its alarm count. Hidden while the track has
// no alarms.
class VNTrackAlarmsView : public VNView {
public:
    static constexpr const char* kNibName = "VNTrackAlarmsView";
    static constexpr plat::Size kSize{150, 36};

    // From the interface file; hidden until a track with alarms is given.
    static std::shared_ptr<VNTrackAlarmsView> loadFromNib();

    explicit VNTrackAlarmsView(const plat::Rect& frame = {0, 0, kSize.width, kSize.height});

    const std::shared_ptr<Track>& track() const { return track_; }
    void setTrack(std::shared_ptr<Track> track);
    // Reads the track's alarm count again (it is counted in the store) and shows or hides the
    // badge by it. Without a track the badge is hidden.
    void update();

    plat::Label& maxDoseRateLabel() { return *maxDoseRateLabel_; }
    plat::Button& alarmsCountButton() { return *alarmsCountButton_; }

    std::string kindName() const override { return "AlarmsBadge"; }

private:
    std::shared_ptr<Track> track_;
    std::shared_ptr<plat::Label> maxDoseRateLabel_;
    std::shared_ptr<plat::Button> alarmsCountButton_;
};

}  // namespace qx
