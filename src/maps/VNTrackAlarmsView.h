#pragma once

#include <cstdint>
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

    // What the badge shows of a track.
    struct Figures {
        std::int64_t alarms = 0;
        double maxDoseRate = 0;
    };

    const std::shared_ptr<Track>& track() const { return track_; }
    void setTrack(std::shared_ptr<Track> track);
    // The same with the figures counted already from the track's readings, as the page that
    // read them all does.
    void setTrack(std::shared_ptr<Track> track, const Figures& figures);
    // Reads the track's alarm count again (it is counted in the store) and shows or hides the
    // badge by it. Without a track the badge is hidden.
    void update();

    plat::Label& maxDoseRateLabel() { return *maxDoseRateLabel_; }
    plat::Button& alarmsCountButton() { return *alarmsCountButton_; }

    std::string kindName() const override { return "AlarmsBadge"; }

private:
    void show(const Figures& figures);

    std::shared_ptr<Track> track_;
    std::shared_ptr<plat::Label> maxDoseRateLabel_;
    std::shared_ptr<plat::Button> alarmsCountButton_;
};

}  // namespace qx
