#include <limits>

#include "HistoryTestSupport.h"
#include "history/VNTrackDetailsView.h"
#include "history/VNWaypointDetailsView.h"
#include "model/DateStrings.h"

using namespace qx;

namespace qxtest {

class SummaryPanelTest : public HistoryTest {
  protected:
    std::shared_ptr<Waypoint> point(double lat, double lon, double alt,
                                    const char* device = "VN2450") {
        auto w = addPoint(makeSet(today()), 0.25, 12, at(10), nullptr, device);
        w->setLatitude(lat);
        w->setLongitude(lon);
        w->setAltitude(alt);
        return w;
    }
    using Figure = VNTrackDetailsView::Figure;
};

TEST_F(SummaryPanelTest, WaypointPanelShowsReadingWithUnitsAndColours) {
    auto panel = VNWaypointDetailsView::loadFromNib();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->doseRateTitleLabel()->text(), "Dose Rate:");
    EXPECT_EQ(panel->altitudeTitleLabel()->text(), "Altitude:");

    auto w = point(48.5, -2.25, 100);
    w->setName(std::string("Quarry"));
    w->measurement()->setAccumulation(std::string("00:10:00"));
    save();
    panel->setWaypoint(w.get());
    EXPECT_EQ(panel->dateLabel()->text(), "Quarry " + DateStrings::dateMediumStr(at(10)));
    EXPECT_EQ(panel->doseRateLabel()->text(), "0.25");
    EXPECT_EQ(panel->doseRateUnitLabel()->text(), "µSv/h");
    EXPECT_EQ(panel->doseRateUnitLabel()->textColor(), derColor(0.25));
    EXPECT_EQ(panel->doseLabel()->text(), "12.0");
    EXPECT_EQ(panel->doseUnitLabel()->text(), "µSv");
    EXPECT_EQ(panel->accumulationLabel()->text(), "00:10:00");
    EXPECT_EQ(panel->variationLabel()->text(), "0%");
    EXPECT_EQ(panel->latitudeLabel()->text(), "48.5000° North");
    EXPECT_EQ(panel->longitudeLabel()->text(), "2.2500° West");
    EXPECT_EQ(panel->altitudeLabel()->text(), "100");
    EXPECT_EQ(panel->altitudeUnitLabel()->text(), "m");

    // No waypoint: nothing changes.
    panel->setWaypoint(nullptr);
    EXPECT_EQ(panel->latitudeLabel()->text(), "48.5000° North");
}

TEST_F(SummaryPanelTest, WaypointPanelPositionsHemispheresAndImperialAltitude) {
    auto panel = VNWaypointDetailsView::loadFromNib();
    auto south = point(-33.9, -18.4, 100);
    save();
    Settings::sharedSettings().setMetric(false);
    panel->setWaypoint(south.get());
    EXPECT_EQ(panel->latitudeLabel()->text(), "33.9000° South");
    EXPECT_EQ(panel->longitudeLabel()->text(), "18.4000° West");
    EXPECT_EQ(panel->altitudeLabel()->text(), "109");  // 100 / 0.9144, truncated
    EXPECT_EQ(panel->altitudeUnitLabel()->text(), "yd");

    // Only the exact pair -1, -1 means no fix; a position without a height (a file's waypoint
    // without an elevation, stored as -1) has no altitude, and no unit after it.
    auto nearly = point(-1, 5, -1);
    panel->setWaypoint(nearly.get());
    EXPECT_EQ(panel->latitudeLabel()->text(), "1.0000° South");
    EXPECT_EQ(panel->longitudeLabel()->text(), "5.0000° East");
    EXPECT_EQ(panel->altitudeLabel()->text(), "n/a");
    EXPECT_EQ(panel->altitudeUnitLabel()->text(), "");

    // A position that is no finite number (an imported file may hold one) has no text.
    auto broken =
        point(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
              std::numeric_limits<double>::quiet_NaN());
    panel->setWaypoint(broken.get());
    EXPECT_EQ(panel->latitudeLabel()->text(), "n/a");
    EXPECT_EQ(panel->longitudeLabel()->text(), "n/a");
    EXPECT_EQ(panel->altitudeLabel()->text(), "n/a");

    auto noFix = point(-1, -1, -1);
    noFix->measurement()->setVariation(9);
    panel->setWaypoint(noFix.get());
    EXPECT_EQ(panel->latitudeLabel()->text(), "n/a");
    EXPECT_EQ(panel->longitudeLabel()->text(), "n/a");
    EXPECT_EQ(panel->altitudeLabel()->text(), "n/a");
    EXPECT_EQ(panel->variationLabel()->text(), "9%");  // the reading is still worth showing
}

TEST_F(SummaryPanelTest, WaypointPanelWithoutDoseOrRate) {
    auto panel = VNWaypointDetailsView::loadFromNib();
    for (const char* device : {"VN2560", "VN2340A"}) {
        auto w = point(10, 10, 10, device);
        w->measurement()->setDe(5000);
        w->measurement()->setAccumulation(std::string("01:00:00"));
        panel->setWaypoint(w.get());
        EXPECT_EQ(panel->doseLabel()->text(), "n/a") << device;
        EXPECT_EQ(panel->doseUnitLabel()->text(), "") << device;  // one "n/a", not two
        EXPECT_EQ(panel->accumulationLabel()->text(), "n/a") << device;
        EXPECT_EQ(panel->doseLabel()->textColor(), plat::Color::black()) << device;
    }
    auto zero = point(10, 10, 10, "VN2110BT");
    zero->measurement()->setDer(0);
    panel->setWaypoint(zero.get());
    EXPECT_EQ(panel->doseRateLabel()->text(), "n/a");
    EXPECT_EQ(panel->doseRateUnitLabel()->text(), "µSv/h");
    EXPECT_EQ(panel->doseRateLabel()->textColor(), derColor(0));
    EXPECT_EQ(panel->dateLabel()->text(), DateStrings::dateTimeLongStr(at(10)));
}

TEST_F(SummaryPanelTest, TrackPanelFiguresInMetricAndImperialUnits) {
    auto day = makeSet(today());
    auto track = main().insertNew<Track>();
    day->addTracksObject(track);
    track->setDateFrom(at(8));
    track->setDateTo(at(10.25));
    track->setAvgSpeed(1.9);
    track->setMaxSpeed(10.0);
    track->setDistance(2500);
    track->setMinAltitude(100);
    track->setMaxAltitude(250.7);
    track->setDe(150);
    addPoint(nullptr, 0.2, 1, at(8.5), track);
    addPoint(nullptr, 0.7, 2, at(9), track);
    addPoint(nullptr, 1.6, 3, at(9.5), track);
    save();

    auto panel = VNTrackDetailsView::loadFromNib();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->titleLabel(Figure::avgDoseRate)->text(), "Avg. Dose Rate");
    panel->setTrack(track);
    EXPECT_EQ(panel->track(), track);
    EXPECT_EQ(panel->nameLabel()->text(), DateStrings::dateLongStr(at(8)));
    EXPECT_EQ(panel->valueLabel(Figure::waypoints)->text(), "3");
    EXPECT_EQ(panel->valueLabel(Figure::alarms)->text(), "2");
    EXPECT_EQ(panel->valueLabel(Figure::avgSpeed)->text(), "6");  // 6.84 km/h, the fraction dropped
    EXPECT_EQ(panel->unitLabel(Figure::avgSpeed)->text(), "km/h");
    EXPECT_EQ(panel->valueLabel(Figure::maxSpeed)->text(), "36");
    EXPECT_EQ(panel->valueLabel(Figure::distance)->text(), "2.50");
    EXPECT_EQ(panel->unitLabel(Figure::distance)->text(), "km");
    EXPECT_EQ(panel->valueLabel(Figure::minAltitude)->text(), "100");
    EXPECT_EQ(panel->valueLabel(Figure::maxAltitude)->text(), "250");
    EXPECT_EQ(panel->unitLabel(Figure::maxAltitude)->text(), "m");
    EXPECT_EQ(panel->valueLabel(Figure::duration)->text(), "02:15:00");
    EXPECT_EQ(panel->valueLabel(Figure::startTime)->text(), DateStrings::timeMediumStr(at(8)));
    EXPECT_EQ(panel->startDateLabel()->text(), DateStrings::dateStr(at(8)));
    EXPECT_EQ(panel->valueLabel(Figure::dose)->text(), "150");
    EXPECT_EQ(panel->unitLabel(Figure::dose)->textColor(), deColor(150));
    // Dose-rate colours: red above the second threshold, orange above the first, else green.
    EXPECT_EQ(panel->valueLabel(Figure::maxDoseRate)->textColor(), plat::Color::red());
    EXPECT_EQ(panel->unitLabel(Figure::maxDoseRate)->textColor(), plat::Color::red());
    EXPECT_EQ(panel->valueLabel(Figure::avgDoseRate)->textColor(), plat::Color::orange());
    EXPECT_EQ(panel->valueLabel(Figure::minDoseRate)->textColor(), derColor(0.2));

    Settings::sharedSettings().setMetric(false);
    track->setDistance(1609);
    track->setName(std::string("Dunes"));
    panel->setTrack(track);
    EXPECT_EQ(panel->nameLabel()->text(), "Dunes " + DateStrings::dateMediumStr(at(8)));
    EXPECT_EQ(panel->valueLabel(Figure::distance)->text(), "1.00");
    EXPECT_EQ(panel->unitLabel(Figure::distance)->text(), "mi");
    EXPECT_EQ(panel->valueLabel(Figure::maxSpeed)->text(), "22");  // 36000 / 1609
    EXPECT_EQ(panel->unitLabel(Figure::maxSpeed)->text(), "mph");
    EXPECT_EQ(panel->valueLabel(Figure::minAltitude)->text(), "109");
    EXPECT_EQ(panel->unitLabel(Figure::minAltitude)->text(), "yd");
}

TEST_F(SummaryPanelTest, TrackPanelWithoutPointsOrDoseAndItsTapHandler) {
    auto day = makeSet(today());
    auto track = main().insertNew<Track>();
    day->addTracksObject(track);
    track->setDateFrom(at(8));
    track->setDateTo(at(8));
    save();
    track->setAvgSpeed(std::numeric_limits<double>::quiet_NaN());  // not a number in memory

    auto panel = VNTrackDetailsView::loadFromNib();
    panel->setTrack(nullptr);  // nothing to show: labels stay empty
    EXPECT_EQ(panel->valueLabel(Figure::waypoints)->text(), "");
    panel->setTrack(track);
    // The lowest dose rate of no readings: "n/a" in black, without a unit.
    EXPECT_EQ(panel->valueLabel(Figure::minDoseRate)->text(), "n/a");
    EXPECT_EQ(panel->valueLabel(Figure::minDoseRate)->textColor(), plat::Color::black());
    EXPECT_EQ(panel->unitLabel(Figure::minDoseRate)->text(), "");
    EXPECT_EQ(panel->valueLabel(Figure::dose)->text(), "n/a");
    EXPECT_EQ(panel->valueLabel(Figure::dose)->textColor(), plat::Color::black());
    EXPECT_EQ(panel->unitLabel(Figure::dose)->text(), "");
    EXPECT_EQ(panel->valueLabel(Figure::avgSpeed)->text(), "n/a");
    EXPECT_EQ(panel->unitLabel(Figure::avgSpeed)->text(), "");
    track->setDistance(std::numeric_limits<double>::infinity());
    track->setMaxSpeed(std::numeric_limits<double>::infinity());
    track->setMinAltitude(std::numeric_limits<double>::quiet_NaN());
    panel->setTrack(track);
    EXPECT_EQ(panel->valueLabel(Figure::distance)->text(), "n/a");
    EXPECT_EQ(panel->valueLabel(Figure::maxSpeed)->text(), "n/a");
    EXPECT_EQ(panel->valueLabel(Figure::minAltitude)->text(), "n/a");

    panel->tapAction();  // no handler: nothing happens
    int taps = 0;
    panel->setOnTapHandler([&taps] { ++taps; });
    panel->tapAction();
    EXPECT_EQ(taps, 1);
}

}  // namespace qxtest
