#pragma once

#include <memory>

#include "platform/ui/ViewController.h"

namespace qx {

class Track;
class VNTrackGraphView;

// The Graph page of a track's details: the dose-rate graph, and under it the dose graph when
// the instrument that took the track's last reading reports dose.
class VNTrackGraphViewController : public plat::ViewController {
public:
    static constexpr const char* kNibName = "VNTrackGraphViewController";

    VNTrackGraphViewController();
    static std::shared_ptr<VNTrackGraphViewController> make();

    void viewDidLoad() override;
    // None: the page stays as it is.
    void setTrack(std::shared_ptr<Track> track);
    const std::shared_ptr<Track>& track() const { return track_; }

    std::shared_ptr<VNTrackGraphView> doseRateGraphView();
    std::shared_ptr<VNTrackGraphView> doseGraphView();

    // Whether readings of this device type carry a dose worth plotting.
    static bool plotsDose(long long deviceType);

    std::string kindName() const override { return "Graph page"; }

private:
    std::shared_ptr<Track> track_;
};

}  // namespace qx
