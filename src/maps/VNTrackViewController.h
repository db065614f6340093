#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/DeviceManagerDelegate.h"
#include "maps/VNTrackMapViewController.h"
#include "platform/foundation/NotificationCenter.h"
#include "store/FetchedResultsController.h"

namespace plat {
class AlertView;
}

namespace qx {

class PDColoredProgressView;
class VNSection;
class VNTableViewController;
class VNTrackRecordControl;
class Waypoint;

// The Track tab: records a track while an instrument is connected. The map shows the recording
// track's path growing with every stored point, pins of the points stored by hand, the track's
// alarms badge and a dose-rate bar of the live readings; the record control starts and stops
// the recording, and a stopped track is kept under a name or discarded. Location fixes update
// the recording track's distance, altitude and speed figures.
class VNTrackViewController : public VNTrackMapViewController,
                              public DeviceManagerDelegate,
                              public DeviceManagerLocationDelegate,
                              public FetchedResultsControllerDelegate {
public:
    static constexpr const char* kNibName = "VNTrackViewController";

    // The sections of the Track Settings screen live in a layer above this one, which installs
    // how to make them for the table screen that shows them.
    using SettingsSectionsMaker =
        std::function<std::vector<std::shared_ptr<VNSection>>(const std::shared_ptr<VNTableViewController>& screen)>;
    static void setSettingsSectionsMaker(SettingsSectionsMaker maker);

    VNTrackViewController();
    static std::shared_ptr<VNTrackViewController> make() { return std::make_shared<VNTrackViewController>(); }
    ~VNTrackViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void languageDidSwitch() override;
    void updateTitles();

    // Begin and end a recording (run by the record control).
    void startRecord();
    void stopRecord();
    // Asks for a name and stores the current reading as a waypoint.
    void addWaypoint();
    // Opens the Track Settings screen.
    std::shared_ptr<VNTableViewController> config();
    void handleDevicePresentNotification(const plat::Notification& notification);

    // Following the track fits the map to the recording track whenever it grows.
    void showTrack() override;
    void showLocation() override;
    bool shouldCenterTrack() const { return shouldCenterTrack_; }

    // DeviceManagerDelegate
    void valueUpdate() override;
    // DeviceManagerLocationDelegate
    void didUpdateLocation(const plat::Location& newLocation, const std::optional<plat::Location>& oldLocation) override;
    // FetchedResultsControllerDelegate
    void controllerDidChangeObject(FetchedResultsController& controller, const ObjectChange& change) override;
    void controllerDidChangeContent(FetchedResultsController& controller) override;

    VNTrackRecordControl& trackRecordControl() { return *recordControl_; }
    PDColoredProgressView& progressBar() { return *progressBar_; }
    plat::Button& addWaypointButton() { return *addWaypointButton_; }
    plat::Button& configButton() { return *configButton_; }
    const std::shared_ptr<FetchedResultsController>& waypointsFetchController() const { return waypointsFetch_; }
    const std::shared_ptr<FetchedResultsController>& trackFetchController() const { return trackFetch_; }

    std::string kindName() const override { return "Track"; }

private:
    void watchHandAddedWaypoints(bool ascending);
    void waypointChanged(const ObjectChange& change);
    void trackChanged(const ObjectChange& change);
    void clearRecordingFromMap();
    void reconcilePathOverlays();
    // Fits the map to the recording track once it has a path (two points).
    void fitRecordingTrack(bool animated);
    // Keeps the stopped track under its name in today's set, or deletes it.
    void keepStoppedTrack(const std::string& name);
    void discardStoppedTrack();
    void setBarThresholds(double first, double second);
    std::weak_ptr<VNTrackViewController> weakSelf();

    std::shared_ptr<VNTrackRecordControl> recordControl_;
    std::shared_ptr<PDColoredProgressView> progressBar_;
    std::shared_ptr<plat::Button> addWaypointButton_, configButton_;
    std::shared_ptr<FetchedResultsController> waypointsFetch_, trackFetch_;
    // A result list dropped from inside its own change report lives until the report is over.
    std::shared_ptr<FetchedResultsController> retiredTrackFetch_;
    bool shouldCenterTrack_ = false;
    plat::ObserverToken presenceObserver_;
    std::weak_ptr<plat::AlertView> lostAlert_;
};

// Registers the interface file of the Track tab; safe to call more than once.
void registerTrackInterface();

}  // namespace qx
