// The Track tab: the record control, the figures from location fixes, keeping or discarding a
// stopped track, the instrument-lost alert, hand-added pins and the growing path.
#include "MapsTestSupport.h"
#include "dashboard/PDColoredProgressView.h"
#include "link/DeviceManager.h"
#include "link/LocationFeed.h"
#include "maps/MapsLayer.h"
#include "maps/VNTrackAlarmsView.h"
#include "maps/VNTrackRecordControl.h"
#include "maps/VNTrackViewController.h"
#include "maps/WaypointAnnotation.h"
#include "platform/ui/AlertView.h"
#include "shell/VNTableViewController.h"

using namespace qx;
using namespace mapstest;

namespace {

class TrackTabTest : public MapsTest {
protected:
    void SetUp() override {
        MapsTest::SetUp();
        ASSERT_TRUE(main().save());
        registerMapsLayer();
        tab = VNTrackViewController::make();
        map = tab->mapView();
        map->setUserTrackingMode(plat::UserTrackingMode::None, false);
    }
    void TearDown() override {
        for (const auto& prompt : plat::ModalPrompt::visiblePrompts()) prompt->dismissWithClickedButtonIndex(-1, false);
        tab.reset();
        Track::setCurrentTrack(nullptr);
        VNTrackViewController::setSettingsSectionsMaker({});
        DeviceManager::resetShared();
        LocationFeed::resetShared();
        MapsTest::TearDown();
    }

    // Points stored into the recording track in one background save, as the instrument link
    // stores its automatic ones; dated one second apart after the last.
    void storeIntoTrack(std::initializer_list<std::pair<double, plat::Coordinate2D>> points, bool autoSaved = true) {
        const auto row = Track::getCurrentTrack()->objectID().row;
        const double start = seconds_;
        seconds_ += static_cast<double>(points.size());
        std::vector<std::pair<double, plat::Coordinate2D>> list(points);
        store().saveWithBlock([row, list, start, autoSaved](Context& c) {
            auto track = c.objectWithRow<Track>(row);
            double s = start;
            for (const auto& [der, at] : list) {
                auto w = addPoint(c, Set::currentSetInContext(c), der, plat::Date::now().addingTimeInterval(++s),
                                  nullptr, track);
                w->setLatitude(at.latitude);
                w->setLongitude(at.longitude);
                w->setAutoSaved(autoSaved);
            }
        });
        drain();
    }

    static plat::Location fix(double altitude, double speed, plat::Coordinate2D at = kBerlin) {
        return plat::Location(at, altitude, 5, speed, 0, plat::Date::now());
    }

    std::shared_ptr<plat::AlertView> frontAlert() { return plat::AlertView::frontmostAlert(); }

    std::shared_ptr<Track> savedTrack(std::int64_t row) { return main().objectWithRow<Track>(row); }

    std::shared_ptr<VNTrackViewController> tab;
    std::shared_ptr<plat::MapView> map;
    double seconds_ = 0;
};

}  // namespace

TEST(VNTrackRecordControlText, ShowsHoursMinutesSecondsWithoutWrappingTheDay) {
    EXPECT_EQ(VNTrackRecordControl::durationText(0), "00:00:00");
    EXPECT_EQ(VNTrackRecordControl::durationText(3725), "01:02:05");
    EXPECT_EQ(VNTrackRecordControl::durationText(25 * 3600), "25:00:00");
}

TEST_F(TrackTabTest, RecordAndStopSwitchTheControlAndCountTheTimeSinceTheTrackBegan) {
    auto& control = tab->trackRecordControl();
    EXPECT_FALSE(control.isRecording());
    EXPECT_EQ(control.startButton().title(), "Record");
    EXPECT_EQ(tab->title(), "Track");

    ASSERT_TRUE(control.startButton().performTap());
    EXPECT_TRUE(control.isRecording());
    EXPECT_TRUE(control.startButton().isHidden());
    EXPECT_EQ(control.durationLabel().text(), "00:00:00");
    ASSERT_NE(Track::recordingTrack(), nullptr);
    ASSERT_NE(TrackPath::getCurrentTrackPath(), nullptr);
    advance(3725);
    EXPECT_EQ(control.durationLabel().text(), "01:02:05");

    const auto timer = control.recordTimer();
    ASSERT_TRUE(control.stopButton().performTap());
    EXPECT_FALSE(control.isRecording());
    EXPECT_FALSE(timer->isValid());
    drain();
    // No points: the track goes without asking for a name, and the person is told.
    ASSERT_NE(frontAlert(), nullptr);
    EXPECT_EQ(frontAlert()->title(), "Nothing Recorded");
    EXPECT_TRUE(frontAlert()->pressButton("OK"));
    EXPECT_EQ(Track::getCurrentTrack(), nullptr);
    EXPECT_EQ(TrackPath::getCurrentTrackPath(), nullptr);
    EXPECT_EQ(main().count(FetchRequest::of<Track>()), 0u);
}

TEST_F(TrackTabTest, LocationFixesUpdateDistanceAltitudeAndSpeedKeepingFractions) {
    tab->didUpdateLocation(fix(100, 3), std::nullopt);  // not recording: nothing
    tab->startRecord();
    auto track = Track::getCurrentTrack();
    const plat::Coordinate2D north{kBerlin.latitude + 0.001, kBerlin.longitude};
    const double step = plat::Location::distanceBetween(kBerlin, north);
    auto at = [](double altitude, double speed, plat::Coordinate2D where, double seconds) {
        return plat::Location(where, altitude, 5, speed, 0, plat::Date::now().addingTimeInterval(seconds));
    };

    const auto first = at(120, 2.0, kBerlin, 0);
    tab->didUpdateLocation(first, std::nullopt);  // the first fix adds no way and no time
    EXPECT_EQ(track->distance(), 0.0);
    EXPECT_EQ(track->minAltitude(), 120.0);
    EXPECT_EQ(track->maxAltitude(), 120.0);
    EXPECT_EQ(track->avgSpeed(), 0.0);
    EXPECT_EQ(track->maxSpeed(), 2.0);

    // Down to sea level at a slow walk of 1.0 m/s: it is moving.
    const auto second = at(0, 1.0, north, 100);
    tab->didUpdateLocation(second, first);
    EXPECT_DOUBLE_EQ(track->distance(), step);
    EXPECT_EQ(track->minAltitude(), 0.0);
    EXPECT_DOUBLE_EQ(track->avgSpeed(), step / 100);

    // Sea level stays the lowest point; standing still (drift, an unknown speed) adds neither
    // way nor time to the average.
    const auto third = at(50, 0.2, north, 400);
    tab->didUpdateLocation(third, second);
    const auto fourth = at(50, -1, north, 500);
    tab->didUpdateLocation(fourth, third);
    EXPECT_EQ(track->minAltitude(), 0.0);
    EXPECT_EQ(track->maxAltitude(), 120.0);
    EXPECT_DOUBLE_EQ(track->avgSpeed(), step / 100);
    EXPECT_EQ(track->maxSpeed(), 2.0);

    // Back at a run, below sea level: the average is the way over the moving time, not a
    // half of the last speed.
    const auto fifth = at(-10, 5.5, kBerlin, 520);
    tab->didUpdateLocation(fifth, fourth);
    EXPECT_DOUBLE_EQ(track->avgSpeed(), 2 * step / 120);
    EXPECT_EQ(track->minAltitude(), -10.0);
    EXPECT_EQ(track->maxSpeed(), 5.5);

    // The fraction of the stored distance is kept from fix to fix.
    track->setDistance(10.7);
    tab->didUpdateLocation(at(50, 2, north, 600), fifth);
    EXPECT_NEAR(track->distance(), 10.7 + step, 1e-9);
}

TEST_F(TrackTabTest, SavingKeepsTheTrackInTodaysSetWithItsFiguresAndTypedName) {
    struct Case {
        const char* typed;
        std::optional<std::string> name;
    } cases[] = {{"", std::nullopt}, {"Утренний обход 朝", "Утренний обход 朝"}};
    for (const auto& c : cases) {
        tab->trackRecordControl().start();
        auto track = Track::getCurrentTrack();
        const auto row = track->objectID().row;
        storeIntoTrack({{0.1, kBerlin}});
        tab->didUpdateLocation(fix(80, 3), fix(80, 3, {kBerlin.latitude + 0.001, kBerlin.longitude}));
        const double distance = track->distance();
        ASSERT_GT(distance, 100);

        tab->trackRecordControl().stop();
        auto alert = frontAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->title(), "Save Track");
        EXPECT_EQ(alert->textFieldAtIndex(0)->placeholder(), "Track Name");
        // Lost contact while the name is asked for: no second question; and the ended track
        // gathers no more distance.
        plat::NotificationCenter::defaultCenter().post(kDevicePresentNotification, std::string());
        EXPECT_EQ(frontAlert(), alert);
        tab->didUpdateLocation(fix(80, 3, {kBerlin.latitude + 0.01, kBerlin.longitude}), fix(80, 3));
        EXPECT_EQ(track->distance(), distance);

        alert->textFieldAtIndex(0)->setText(c.typed);
        ASSERT_TRUE(alert->pressButton("Save"));
        // Ended here at once, not later from the save.
        EXPECT_EQ(Track::getCurrentTrack(), nullptr);
        EXPECT_EQ(TrackPath::getCurrentTrackPath(), nullptr);
        drain();
        auto saved = savedTrack(row);
        ASSERT_NE(saved, nullptr);
        EXPECT_EQ(saved->name(), c.name);
        ASSERT_NE(saved->set(), nullptr);
        EXPECT_EQ(saved->set()->objectID(), Set::getCurrentSet()->objectID());
        EXPECT_DOUBLE_EQ(saved->distance(), distance);
        EXPECT_EQ(saved->maxAltitude(), 80.0);
        EXPECT_EQ(saved->maxSpeed(), 3.0);
        // The map keeps the saved track's path until the next recording.
        EXPECT_EQ(map->overlays().size(), 0u);
    }
}

TEST_F(TrackTabTest, CancellingDeletesTheTrackAndClearsTheMap) {
    tab->startRecord();
    const auto row = Track::getCurrentTrack()->objectID().row;
    storeIntoTrack({{0.1, kBerlin}, {2.0, {52.521, 13.406}}});
    ASSERT_EQ(map->overlays().size(), 1u);
    tab->stopRecord();
    ASSERT_TRUE(frontAlert()->pressButton("Cancel"));
    EXPECT_EQ(Track::getCurrentTrack(), nullptr);
    drain();
    EXPECT_EQ(savedTrack(row), nullptr);
    EXPECT_TRUE(map->overlays().empty());
    EXPECT_EQ(tab->trackFetchController(), nullptr);
    EXPECT_TRUE(tab->alarmsView()->isHidden());
}

TEST_F(TrackTabTest, LostInstrumentAsksOnceAndContinueOrStopActsOnTheRunningTrackOnly) {
    auto& center = plat::NotificationCenter::defaultCenter();
    center.post(kDevicePresentNotification, std::string());  // not recording: ignored
    EXPECT_EQ(frontAlert(), nullptr);

    tab->trackRecordControl().start();
    storeIntoTrack({{0.1, kBerlin}});
    center.post(kDevicePresentNotification, std::string("DemoModel"));  // a connection
    EXPECT_EQ(frontAlert(), nullptr);
    center.post(kDevicePresentNotification, std::string());
    center.post(kDevicePresentNotification, std::string());
    ASSERT_EQ(plat::AlertView::visibleAlerts().size(), 1u);
    EXPECT_EQ(frontAlert()->title(), "Contact to the device is lost");
    const auto timer = tab->trackRecordControl().recordTimer();
    ASSERT_TRUE(frontAlert()->pressButton("Continue track record"));
    EXPECT_NE(Track::recordingTrack(), nullptr);
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(tab->trackRecordControl().isRecording());

    // Stopped with the Stop button while the lost alert is still up: its Stop does nothing.
    center.post(kDevicePresentNotification, std::string());
    auto lost = frontAlert();
    tab->trackRecordControl().stop();
    auto naming = frontAlert();
    ASSERT_NE(naming, lost);
    ASSERT_TRUE(lost->pressButton("Stop track record"));
    EXPECT_EQ(plat::AlertView::visibleAlerts().size(), 1u);
    EXPECT_EQ(frontAlert(), naming);

    ASSERT_TRUE(naming->pressButton("Cancel"));
    tab->trackRecordControl().start();
    storeIntoTrack({{0.1, kBerlin}});
    center.post(kDevicePresentNotification, std::string());
    ASSERT_TRUE(frontAlert()->pressButton("Stop track record"));
    EXPECT_FALSE(tab->trackRecordControl().isRecording());
    EXPECT_EQ(frontAlert()->title(), "Save Track");
}

TEST_F(TrackTabTest, HandAddedPointsArePinnedAndCentredOnlyWithoutARecording) {
    map->setRegion({{48.0, 11.0}, {0.05, 0.05}}, false);
    store().saveWithBlock([](Context& c) {
        auto w = addPoint(c, Set::currentSetInContext(c), 0.5, plat::Date::now().addingTimeInterval(1), "by hand");
        w->setLatitude(kBerlin.latitude);
        w->setLongitude(kBerlin.longitude);
    });
    drain();
    ASSERT_EQ(tab->annotations().size(), 1u);
    EXPECT_NEAR(map->centerCoordinate().latitude, kBerlin.latitude, 1e-6);

    // Without a fix: no pin.
    store().saveWithBlock([](Context& c) {
        addPoint(c, Set::currentSetInContext(c), 0.5, plat::Date::now().addingTimeInterval(2), "no fix");
    });
    drain();
    EXPECT_EQ(tab->annotations().size(), 1u);

    tab->startRecord();
    EXPECT_TRUE(tab->annotations().empty());
    map->setRegion({{48.0, 11.0}, {0.05, 0.05}}, false);
    storeIntoTrack({{0.1, kBerlin}}, false);
    EXPECT_EQ(tab->annotations().size(), 1u);
    EXPECT_NEAR(map->centerCoordinate().latitude, 48.0, 1e-6);
    storeIntoTrack({{0.1, kBerlin}});  // automatic points bring no pin
    EXPECT_EQ(tab->annotations().size(), 1u);
}

TEST_F(TrackTabTest, PathGrowsBySegmentsInOrderAndColourAlsoWhenSeveralArriveAtOnce) {
    tab->startRecord();
    const plat::Coordinate2D a{52.520, 13.400}, b{52.521, 13.401}, c{52.522, 13.402}, d{52.523, 13.403};
    storeIntoTrack({{0.1, a}});
    EXPECT_TRUE(map->overlays().empty());
    storeIntoTrack({{0.5, b}, {2.0, c}});
    ASSERT_EQ(map->overlays().size(), 2u);
    EXPECT_NE(map->overlays()[0], map->overlays()[1]);
    const auto first = map->overlays()[0];
    storeIntoTrack({{0.1, d}});
    ASSERT_EQ(map->overlays().size(), 3u);
    EXPECT_EQ(map->overlays()[0], first);  // grown, not rebuilt
    const auto segments = *TrackPath::getCurrentTrackPath()->pathForTrack();
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(map->overlays()[i], segments[i]);
    EXPECT_EQ(map->viewForOverlay(map->overlays()[0])->strokeColor(), plat::Color::orange());
    EXPECT_EQ(map->viewForOverlay(map->overlays()[1])->strokeColor(), plat::Color::red());
    EXPECT_EQ(map->viewForOverlay(map->overlays()[2])->strokeColor(), plat::Color::red());
    const auto line = std::dynamic_pointer_cast<plat::Polyline>(map->overlays()[2]);
    EXPECT_EQ(line->points().front(), plat::mapPointForCoordinate(c));
    EXPECT_EQ(line->points().back(), plat::mapPointForCoordinate(d));

    // The badge counts the alarms of the growing track.
    EXPECT_FALSE(tab->alarmsView()->isHidden());
    EXPECT_EQ(tab->alarmsView()->alarmsCountButton().title(), "2");

    // Following the track fits the map to it at once, a fix elsewhere does not take the map
    // away from it, and it keeps being fitted as it grows.
    map->setRegion({{48.0, 11.0}, {0.05, 0.05}}, false);
    ASSERT_TRUE(tab->trackButton()->performTap());
    EXPECT_TRUE(tab->shouldCenterTrack());
    EXPECT_TRUE(map->visibleMapRect().containsRect(Track::getCurrentTrack()->boundingMapRect()));
    map->updateUserLocation(plat::Location(48.0, 11.0));
    EXPECT_TRUE(map->visibleMapRect().containsRect(Track::getCurrentTrack()->boundingMapRect()));
    map->setRegion({{48.0, 11.0}, {0.05, 0.05}}, false);
    storeIntoTrack({{0.1, {52.524, 13.404}}});
    EXPECT_TRUE(map->visibleMapRect().containsRect(Track::getCurrentTrack()->boundingMapRect()));
    ASSERT_TRUE(tab->locationButton()->performTap());
    EXPECT_FALSE(tab->shouldCenterTrack());
}

// A point of the recording deleted elsewhere (the world map's search list): the path on the map
// is drawn again without it, at once and after the next point, and never keeps a segment through it.
TEST_F(TrackTabTest, PathIsRedrawnWithoutAPointDeletedDuringTheRecording) {
    tab->startRecord();
    const plat::Coordinate2D a{52.520, 13.400}, b{52.521, 13.401}, c{52.522, 13.402}, d{52.523, 13.403};
    storeIntoTrack({{0.1, a}, {0.1, b}, {0.1, c}});
    ASSERT_EQ(map->overlays().size(), 2u);

    const auto row = Track::getCurrentTrack()->objectID().row;
    store().saveWithBlock([row, gone = b.latitude](Context& context) {
        auto track = context.objectWithRow<Track>(row);
        for (const auto& w : track->waypoints()) {
            if (w->latitude() == gone) context.deleteObject(w);
        }
    });
    drain();
    const auto drawnPoints = [&] {
        std::vector<plat::MapPoint> points;
        for (const auto& overlay : map->overlays()) {
            const auto line = std::dynamic_pointer_cast<plat::Polyline>(overlay);
            points.push_back(line->points().front());
            points.push_back(line->points().back());
        }
        return points;
    };
    using P = std::vector<plat::MapPoint>;
    const auto at = [](plat::Coordinate2D x) { return plat::mapPointForCoordinate(x); };
    EXPECT_EQ(drawnPoints(), (P{at(a), at(c)}));

    storeIntoTrack({{0.1, d}});
    EXPECT_EQ(drawnPoints(), (P{at(a), at(c), at(c), at(d)}));
}

TEST_F(TrackTabTest, SettingsScreenHoldsTheInstalledSectionsAndSetsTheBarToTrackThresholds) {
    tab->viewWillAppear(false);
    DeviceManager::sharedDeviceManager();
    tab->valueUpdate();
    EXPECT_EQ(tab->progressBar().firstThreshold(), kFirst);

    int made = 0;
    VNTrackViewController::setSettingsSectionsMaker([&](const std::shared_ptr<VNTableViewController>&) {
        ++made;
        return std::vector<std::shared_ptr<VNSection>>{};
    });
    auto& settings = Settings::sharedSettings();
    settings.setTrackDRSettingsOn(false);
    settings.trackThresh().firstThreshold->setValue(0.7);
    settings.trackThresh().secondThreshold->setValue(3.0);
    auto screen = tab->config();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(screen->title(), "Track Settings");
    EXPECT_EQ(screen->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    screen->onBack();
    EXPECT_EQ(screen->presentingViewController(), nullptr);
    EXPECT_EQ(tab->progressBar().firstThreshold(), 0.7);
    EXPECT_EQ(tab->progressBar().secondThreshold(), 3.0);
    tab->valueUpdate();  // the next reading goes back to the dose-rate thresholds
    EXPECT_EQ(tab->progressBar().firstThreshold(), kFirst);
}
