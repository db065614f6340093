#include <cmath>

#include "StoreTestSupport.h"
#include "model/DateStrings.h"
#include "store/FetchedResultsController.h"

using namespace qx;

namespace qxtest {

class EntityTest : public StoreTest {
protected:
    plat::Date today() { return DateStrings::beginningOfDay(plat::Date::now()); }
    void instrument(double dose) {
        CurrentReadingSource::setProvider([dose] {
            CurrentReading r;
            r.dose = dose;
            r.deviceType = 2;
            r.deviceName = "VN2450";
            r.deviceSerial = "SN-7";
            r.accumulation = "00:10:00";
            return r;
        });
    }
};

TEST_F(EntityTest, CurrentSetIsTodaysFoundOrCreatedAndFollowsTheDay) {
    auto set = Set::getCurrentSet();
    ASSERT_TRUE(set);
    EXPECT_EQ(set->date(), today());
    EXPECT_FALSE(set->uploaded());
    EXPECT_FALSE(set->isInserted());  // saved
    EXPECT_EQ(Set::getCurrentSet().get(), set.get());

    // Forgetting the cache finds the stored set rather than making a second one.
    Set::setCurrentSet(nullptr);
    EXPECT_EQ(Set::getCurrentSet()->objectID(), set->objectID());

    // After midnight the cached set is yesterday's: today gets its own.
    advance(86400);
    auto next = Set::getCurrentSet();
    EXPECT_NE(next->objectID(), set->objectID());
    EXPECT_EQ(next->date(), today());

    // A deleted current set is made again.
    main().deleteObject(next);
    ASSERT_TRUE(main().save());
    auto again = Set::getCurrentSet();
    EXPECT_FALSE(again->isDeleted());
    EXPECT_EQ(again->date(), today());
    EXPECT_EQ(main().count(FetchRequest::of<Set>()), 2u);
}

TEST_F(EntityTest, DayFiguresCoverMeasurementsWaypointsAndTracks) {
    auto day = makeSet(main(), today());
    ASSERT_TRUE(main().save());
    EXPECT_TRUE(std::isinf(day->minDER()));
    EXPECT_EQ(day->maxDER(), 0);
    EXPECT_EQ(day->dose(), 0);
    EXPECT_EQ(day->alarmIcon(), "");

    auto track = main().insertNew<Track>();
    day->addTracksObject(track);
    auto t = addPoint(main(), nullptr, 0.9, plat::Date(1), "in track", track);  // its reading is not the day's
    t->measurement()->setDe(40);
    t->measurement()->setDeviceName(std::string("VN2450"));
    auto free = addPoint(main(), day, 0.05, plat::Date(2));
    free->measurement()->setDe(10);
    free->measurement()->setDeviceName(std::string("VN2450"));
    auto history = main().insertNew<Measurement>();
    history->setDer(1.2);  // exactly the second threshold: orange, not red
    history->setDe(25);
    history->setDeviceName(std::string("VN2450A"));
    day->addMeasurementsObject(history);
    // The dose of an instrument that measures none counts for nothing, nor does one of no
    // known instrument.
    for (const char* name : {"VN2560", ""}) {
        auto other = main().insertNew<Measurement>();
        other->setDer(0.1);
        other->setDe(900);
        if (*name) other->setDeviceName(std::string(name));
        day->addMeasurementsObject(other);
    }
    ASSERT_TRUE(main().save());
    EXPECT_DOUBLE_EQ(day->minDER(), 0.05);
    EXPECT_DOUBLE_EQ(day->maxDER(), 1.2);
    EXPECT_DOUBLE_EQ(day->dose(), 30);
    // A track's own dose counts when it is more, unless its last point's instrument has none.
    track->setDe(35);
    ASSERT_TRUE(main().save());
    EXPECT_DOUBLE_EQ(day->dose(), 35);
    t->measurement()->setDeviceName(std::string("VN2560"));
    ASSERT_TRUE(main().save());
    EXPECT_DOUBLE_EQ(day->dose(), 15);
    EXPECT_EQ(day->alarmIcon(), "icon-max-dose-orange.png");
    history->setDer(1.3);
    ASSERT_TRUE(main().save());
    EXPECT_EQ(day->alarmIcon(), "icon-max-dose-red.png");
}

TEST_F(EntityTest, AlarmCountsAreKeptInTheStoreAndFollowTheThreshold) {
    auto calm = makeSet(main(), plat::Date(0));
    auto busy = makeSet(main(), plat::Date(86400));
    addPoint(main(), calm, 0.3, plat::Date(1));  // equal to the first threshold: no alarm
    for (double der : {0.31, 0.5, 2.0}) addPoint(main(), busy, der, plat::Date(86401));
    ASSERT_TRUE(main().save());
    EXPECT_EQ(busy->storedAlarms(), 3);  // counted when saved
    EXPECT_EQ(calm->alarms(), 0);

    auto alarmed = [&] {
        return main().count(FetchRequest::of<Set>().where(Key("alarms") > 0.0)).value_or(99);
    };
    EXPECT_EQ(alarmed(), 1u);
    Settings::sharedSettings().DERthreshold().firstThreshold->setValue(0.1);
    EXPECT_EQ(calm->alarms(), 1);  // read again and stored
    EXPECT_EQ(alarmed(), 2u);
    auto byAlarms = main().fetch<Set>(FetchRequest::of<Set>().sortedBy("alarms", false));
    EXPECT_EQ(byAlarms.front().get(), busy.get());
}

TEST_F(EntityTest, StartAndStopTrackRecordTheDoseAndRouteNewPoints) {
    instrument(5.0);
    std::shared_ptr<Track> announced;
    Track::setTrackStartedHandler([&](const std::shared_ptr<Track>& t) { announced = t; });
    auto track = Track::startTrack();
    ASSERT_TRUE(track);
    EXPECT_EQ(announced, track);
    EXPECT_EQ(Track::getCurrentTrack(), track);
    EXPECT_FALSE(track->isInserted());
    EXPECT_EQ(track->dateFrom(), plat::Date::now());
    EXPECT_EQ(track->dateTo(), plat::Date::now());
    EXPECT_FALSE(track->uploaded());

    std::shared_ptr<Waypoint> first;
    Waypoint::applyData(0.2, 5.1, 12, plat::Location(51.5, -0.1275), plat::Date::now(),
                        [](Waypoint& w) { w.setAutoSaved(true); },
                        [&](const std::shared_ptr<Waypoint>& w, const StoreError* e) {
                            EXPECT_EQ(e, nullptr);
                            first = w;
                        });
    drain();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->track(), track);
    EXPECT_EQ(first->set(), nullptr);
    EXPECT_TRUE(first->autoSaved());
    auto m = first->measurement();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->deviceName(), "VN2450");
    EXPECT_EQ(m->deviceSerial(), "SN-7");
    EXPECT_EQ(m->deviceType(), 2);
    EXPECT_EQ(m->accumulation(), "00:10:00");
    EXPECT_FALSE(m->uploaded());
    EXPECT_EQ(m->set()->date(), today());

    advance(90);
    instrument(7.5);
    bool stopped = false;
    Track::stopTrack([&](bool ok) { stopped = ok; });
    EXPECT_TRUE(Track::isCurrentTrackStopped());
    EXPECT_EQ(Track::recordingTrack(), nullptr);
    // Points after the stop go to the day, not the stopped track.
    std::shared_ptr<Waypoint> later;
    Waypoint::applyData(0.1, 0, 0, std::nullopt, plat::Date::now(), nullptr,
                        [&](const std::shared_ptr<Waypoint>& w, const StoreError*) { later = w; });
    drain();
    EXPECT_TRUE(stopped);
    EXPECT_DOUBLE_EQ(track->de(), 2.5);
    EXPECT_EQ(track->dateTo(), track->dateFrom().addingTimeInterval(90));
    EXPECT_EQ(track->duration(), "00:01:30");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->track(), nullptr);
    EXPECT_EQ(later->set()->date(), today());
    EXPECT_FALSE(later->hasPosition());
    EXPECT_EQ(later->altitude(), -1);
    EXPECT_EQ(later->measurement()->deviceName(), "VN2450");
}

TEST_F(EntityTest, WithoutAnInstrumentPointsHaveNoDevice) {
    std::shared_ptr<Waypoint> w;
    Waypoint::applyData(0.1, 0, 0, std::nullopt, plat::Date::now(), nullptr,
                        [&](const std::shared_ptr<Waypoint>& p, const StoreError*) { w = p; });
    drain();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->measurement()->deviceType(), 0);
    EXPECT_FALSE(w->measurement()->deviceName());
    EXPECT_FALSE(w->measurement()->deviceSerial());
}

TEST_F(EntityTest, PointsForATrackDeletedMeanwhileGoToTheDay) {
    auto track = Track::startTrack();
    main().deleteObject(track);
    ASSERT_TRUE(main().save());
    std::shared_ptr<Waypoint> w;
    Waypoint::applyData(0.1, 0, 0, std::nullopt, plat::Date::now(), nullptr,
                        [&](const std::shared_ptr<Waypoint>& p, const StoreError*) { w = p; });
    drain();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->set());
    EXPECT_EQ(Track::getCurrentTrack(), nullptr);
}

TEST_F(EntityTest, TrackFigures) {
    auto track = main().insertNew<Track>();
    ASSERT_TRUE(main().save());
    EXPECT_TRUE(std::isinf(track->minDER()) && track->minDER() > 0);
    EXPECT_EQ(track->avgDER(), 0);
    EXPECT_EQ(track->maxDER(), 0);
    EXPECT_FALSE(track->minWpDate());
    EXPECT_TRUE(track->boundingMapRect().isNull());
    EXPECT_EQ(track->alarmIcon(), "");

    const double ders[] = {0.2, 0.3, 0.7};
    for (int i = 0; i < 3; ++i) {
        auto w = addPoint(main(), nullptr, ders[i], plat::Date(100 - i * 10), nullptr, track);
        w->measurement()->setDe(1 + i);
        w->setLatitude(i);
        w->setLongitude(i);
    }
    addPoint(main(), nullptr, 0.25, plat::Date(95), nullptr, track);  // no fix: -1/-1
    ASSERT_TRUE(main().save());
    EXPECT_DOUBLE_EQ(track->minDER(), 0.2);
    EXPECT_DOUBLE_EQ(track->maxDER(), 0.7);
    EXPECT_DOUBLE_EQ(track->avgDER(), (0.2 + 0.3 + 0.7 + 0.25) / 4);
    EXPECT_DOUBLE_EQ(track->minDE(), 0);
    EXPECT_DOUBLE_EQ(track->maxDE(), 3);
    EXPECT_EQ(track->minWpDate(), plat::Date(80));
    EXPECT_EQ(track->maxWpDate(), plat::Date(100));
    EXPECT_EQ(track->alarms(), 1);  // 0.3 is not above the first threshold
    EXPECT_EQ(track->alarmIcon(), "icon-max-dose-orange.png");

    // The rectangle of the three fixed points, grown by a tenth on each side.
    const auto a = plat::mapPointForCoordinate({0, 0}), c = plat::mapPointForCoordinate({2, 2});
    const auto r = track->boundingMapRect();
    const double w = c.x - a.x, h = a.y - c.y;
    EXPECT_NEAR(r.minX(), a.x - 0.1 * w, 1e-6);
    EXPECT_NEAR(r.minY(), c.y - 0.1 * h, 1e-6);
    EXPECT_NEAR(r.size.width, 1.2 * w, 1e-6);
    EXPECT_NEAR(r.size.height, 1.2 * h, 1e-6);
}

TEST_F(EntityTest, DurationTexts) {
    auto track = main().insertNew<Track>();
    track->setDateFrom(plat::Date(1000));
    track->setDateTo(plat::Date(1000 + 3725));
    EXPECT_EQ(track->duration(), "01:02:05");
    track->setDateTo(plat::Date(1000 + 2 * 86400 + 25));
    EXPECT_EQ(track->duration(), "2 d 00:00:25");
    track->setDateTo(plat::Date(900));
    EXPECT_EQ(track->duration(), "00:00:00");
}

TEST_F(EntityTest, WaypointRectangleAndDistanceFilter) {
    auto day = makeSet(main(), plat::Date(0));
    auto w = addPoint(main(), day, 0.1, plat::Date(1));
    w->setLatitude(48.0);
    w->setLongitude(11.0);
    const auto p = plat::mapPointForCoordinate({48.0, 11.0});
    EXPECT_EQ(w->boundingMapRect(), plat::MapRect::make(p.x - 1000, p.y - 1000, 2000, 2000));

    auto& settings = Settings::sharedSettings();
    settings.setWMDistance(5);
    settings.setMetric(true);
    // About 6.67 km north: outside 5 km, inside 5 miles.
    const plat::Location user(48.06, 11.0);
    w->checkDistancefromLocation(user);
    EXPECT_FALSE(w->inRadius());
    settings.setMetric(false);
    w->checkDistancefromLocation(user);
    EXPECT_TRUE(w->inRadius());
    w->checkDistancefromLocation(std::nullopt);
    EXPECT_FALSE(w->inRadius());
    // A point without a fix is nowhere near anybody, even someone standing at -1/-1.
    w->applyLocation(std::nullopt);
    w->checkDistancefromLocation(plat::Location(-1, -1));
    EXPECT_FALSE(w->inRadius());
}

TEST_F(EntityTest, SettingAValueItAlreadyHasIsNoChange) {
    auto day = makeSet(main(), plat::Date(0));
    auto w = addPoint(main(), day, 0.1, plat::Date(1), "same");
    ASSERT_TRUE(main().save());
    w->setName(std::string("same"));
    w->setInRadius(false);
    EXPECT_FALSE(main().hasChanges());
    w->setInRadius(true);
    EXPECT_EQ(w->changedKeys(), std::set<std::string>{"inRadius"});
}

}  // namespace qxtest
