#include "history/VNTrackGraphViewController.h"

#include "history/HistoryInterfaces.h"
#include "history/TrackReadings.h"
#include "history/VNTrackGraphView.h"
#include "link/DeviceManager.h"
#include "model/DeviceModels.h"
#include "store/Measurement.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {
// The model whose readings have no dose.
constexpr unsigned kNoDoseDeviceType = 1;
}  // namespace

VNTrackGraphViewController::VNTrackGraphViewController() : plat::ViewController(kNibName) {}

std::shared_ptr<VNTrackGraphViewController> VNTrackGraphViewController::make() {
    registerHistoryInterfaces();
    return std::make_shared<VNTrackGraphViewController>();
}

std::shared_ptr<VNTrackGraphView> VNTrackGraphViewController::doseRateGraphView() {
    view();
    return outlet<VNTrackGraphView>("doseRateGraphView");
}

std::shared_ptr<VNTrackGraphView> VNTrackGraphViewController::doseGraphView() {
    view();
    return outlet<VNTrackGraphView>("doseGraphView");
}

void VNTrackGraphViewController::viewDidLoad() {
    plat::ViewController::viewDidLoad();
    if (auto graph = doseGraphView()) {
        graph->setHidden(DeviceManager::sharedDeviceManager().deviceType() == kNoDoseDeviceType);
    }
}

bool VNTrackGraphViewController::plotsDose(long long deviceType) {
    return DeviceModels::reportsDose(deviceType);
}

void VNTrackGraphViewController::setTrack(std::shared_ptr<Track> track) {
    track_ = std::move(track);
    if (!track_) return;
    // One read of the readings serves both graphs and the choice of the dose graph.
    const auto readings = ReadingStats::readingsOfTrack(*track_);
    const auto samples = TrackReadings::byDate(readings);
    if (auto graph = doseRateGraphView()) graph->setTrack(track_, 0, samples);
    auto graph = doseGraphView();
    if (!graph) return;
    const bool dose = plotsDose(TrackReadings::lastDeviceType(readings));
    if (dose) graph->setTrack(track_, 1, samples);
    graph->setHidden(!dose);
}

}  // namespace qx
