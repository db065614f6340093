#include <cmath>
#include <limits>

#include "HistoryTestSupport.h"
#include "history/MeasurementTableCell.h"
#include "history/SetTableCell.h"
#include "history/TrackTableCell.h"
#include "history/WaypointTableCell.h"
#include "model/DateStrings.h"
#include "platform/ui/Toolbar.h"

using namespace qx;

namespace qxtest {

class RowContentTest : public HistoryTest {
protected:

    std::shared_ptr<Track> makeTrack(const std::shared_ptr<Set>& day, double fromHours, double toHours) {
        auto track = main().insertNew<Track>();
        track->setDateFrom(at(fromHours));
        track->setDateTo(at(toHours));
        day->addTracksObject(track);
        return track;
    }
};

TEST_F(RowContentTest, DayRowShowsCountsFiguresAndAlarmBadge) {
    auto day = makeSet(today());
    auto track = makeTrack(day, 8, 9);
    addPoint(nullptr, 0.5, 20, at(8.5), track);  // orange
    addPoint(day, 0.1, 10, at(10));
    addPoint(day, 1.5, 40, at(11));  // red: the day's alarm picture
    auto history = main().insertNew<Measurement>();
    history->setDer(0.2);
    history->setDe(15);
    day->addMeasurementsObject(history);
    save();

    auto row = SetTableCell::make();
    auto toolbar = std::make_shared<plat::Toolbar>();
    row->configureWithSet(*day, toolbar);
    EXPECT_EQ(row->tracksValueLabel()->text(), "1");
    EXPECT_EQ(row->waipointsValueLabel()->text(), "2");
    EXPECT_EQ(row->measurementsValueLabel()->text(), "3");
    EXPECT_EQ(row->minValueLabel()->text(), "0.10 µSv/h");
    EXPECT_EQ(row->minValueLabel()->textColor(), derColor(0));
    EXPECT_EQ(row->maxValueLabel()->text(), "1.50 µSv/h");
    EXPECT_EQ(row->maxValueLabel()->textColor(), plat::Color::red());
    EXPECT_EQ(row->doseValueLabel()->text(), "30.0 µSv");
    EXPECT_EQ(row->doseValueLabel()->textColor(), deColor(30));
    EXPECT_FALSE(row->maxDoseButton()->isHidden());
    EXPECT_EQ(row->maxDoseButton()->title(), std::to_string(day->alarms()));
    EXPECT_EQ(row->maxDoseButton()->backgroundImage()->name(), "icon-max-dose-red.png");
    EXPECT_EQ(row->nameTextField()->text(), DateStrings::dateLongStr(today()));
    EXPECT_EQ(row->nameTextField()->inputAccessoryView(), toolbar);
    EXPECT_EQ(row->accessoryType(), plat::AccessoryType::DisclosureIndicator);

    // The same row reused for a named empty day: nothing of the first day stays.
    auto empty = makeSet(at(-24));
    empty->setName(std::string("Calibration"));
    save();
    row->configureWithSet(*empty, nullptr);
    EXPECT_TRUE(row->maxDoseButton()->isHidden());
    EXPECT_EQ(row->nameTextField()->text(), "Calibration");
    EXPECT_EQ(row->tracksValueLabel()->text(), "0");
    // Nothing measured: the lowest dose rate is infinite, shown as "n/a" in the no-alarm colour.
    ASSERT_TRUE(std::isinf(empty->minDER()));
    EXPECT_EQ(row->minValueLabel()->text(), "n/a");
    EXPECT_EQ(row->minValueLabel()->textColor(), derColor(0));
    EXPECT_EQ(row->maxValueLabel()->text(), "n/a");
    EXPECT_EQ(row->doseValueLabel()->text(), "n/a");
    EXPECT_EQ(row->doseValueLabel()->textColor(), plat::Color::black());
}

TEST_F(RowContentTest, DayRowCaptionsFollowTheLanguageAtTheNextUpdate) {
    auto row = SetTableCell::make();
    EXPECT_EQ(row->measurementsLabel()->text(), "Measurm.:");
    switchLanguage("de");
    EXPECT_EQ(row->tracksLabel()->text(), "Tracks:");  // not before the list reloads
    row->updateUI();
    EXPECT_EQ(row->waipointsLabel()->text(), "Wegpunkte:");
    EXPECT_EQ(row->measurementsLabel()->text(), "Messungen:");
    EXPECT_EQ(row->doseLabel()->text(), "Dosis:");
    switchLanguage("ja");
    row->updateUI();
    EXPECT_EQ(row->minLabel()->text(), "最小:");
    EXPECT_EQ(row->maxLabel()->text(), "最大:");
}

TEST_F(RowContentTest, TrackRowShowsNameDatesFiguresAndBadge) {
    auto day = makeSet(today());
    auto track = makeTrack(day, 8, 9.5);
    track->setName(std::string("River"));
    track->setDe(2.5);
    for (double der : {0.2, 0.5, 0.6, 1.3}) addPoint(nullptr, der, 1, at(8.2), track);
    save();

    auto row = TrackTableCell::make();
    row->configureWithTrack(*track, nullptr);
    EXPECT_EQ(row->nameTextField()->text(), "River " + DateStrings::dateMediumStr(at(8)));
    EXPECT_EQ(row->startValueLabel()->text(), DateStrings::dateStr(at(8)) + " " + DateStrings::timeStr(at(8)));
    EXPECT_EQ(row->finishValueLabel()->text(), DateStrings::dateStr(at(9.5)) + " " + DateStrings::timeStr(at(9.5)));
    EXPECT_EQ(row->minValueLabel()->text(), "0.20 µSv/h");
    EXPECT_EQ(row->maxValueLabel()->text(), "1.30 µSv/h");
    EXPECT_EQ(row->maxValueLabel()->textColor(), plat::Color::red());
    EXPECT_EQ(row->doseValueLabel()->text(), "2.50 µSv");
    EXPECT_EQ(row->doseValueLabel()->textColor(), deColor(2.5));
    EXPECT_EQ(row->accValueLabel()->text(), "01:30:00");
    EXPECT_EQ(row->maxDoseButton()->title(), "3");
    EXPECT_EQ(row->maxDoseButton()->backgroundImage()->name(), track->alarmIcon());
    EXPECT_FALSE(row->maxDoseButton()->isHidden());

    // The manage look hides the badge; the normal look does not bring it back.
    row->manageMode();
    EXPECT_TRUE(row->maxDoseButton()->isHidden());
    row->normalMode();
    EXPECT_TRUE(row->maxDoseButton()->isHidden());
    row->configureWithTrack(*track, nullptr);
    EXPECT_FALSE(row->maxDoseButton()->isHidden());

    track->setName(std::nullopt);
    row->configureWithTrack(*track, nullptr);
    EXPECT_EQ(row->nameTextField()->text(), DateStrings::dateLongStr(at(8)));
}

TEST_F(RowContentTest, TrackRowWithoutReadingsOrDoseShowsNotAvailable) {
    auto day = makeSet(today());
    auto hot = makeTrack(day, 1, 2);
    hot->setDe(5000);  // above the second dose threshold
    auto empty = makeTrack(day, 3, 4);
    auto old = makeTrack(day, 5, 6);
    old->setDe(7);
    addPoint(nullptr, 0.4, 3, at(5.5), old, "VN2450");
    addPoint(nullptr, 0.4, 3, at(5.6), old, "VN2560");  // the last point decides
    save();

    auto row = TrackTableCell::make();
    row->configureWithTrack(*hot, nullptr);
    ASSERT_EQ(row->doseValueLabel()->textColor(), plat::Color::red());

    // No waypoints: infinite lowest dose rate and 0 highest, both "n/a" as a dose rate of 0.
    row->configureWithTrack(*empty, nullptr);
    EXPECT_EQ(row->minValueLabel()->text(), "n/a");
    EXPECT_EQ(row->minValueLabel()->textColor(), derColor(0));
    EXPECT_EQ(row->maxValueLabel()->text(), "n/a");
    EXPECT_EQ(row->doseValueLabel()->text(), "n/a");
    EXPECT_EQ(row->doseValueLabel()->textColor(), deColor(0));
    EXPECT_EQ(row->accValueLabel()->text(), "01:00:00");
    EXPECT_TRUE(row->maxDoseButton()->isHidden());

    // An instrument that reports no dose: neither dose nor duration, whatever is stored, and
    // no colour left from the track the row showed before.
    row->configureWithTrack(*hot, nullptr);
    row->configureWithTrack(*old, nullptr);
    EXPECT_EQ(row->doseValueLabel()->text(), "n/a");
    EXPECT_EQ(row->doseValueLabel()->textColor(), plat::Color::black());
    EXPECT_EQ(row->accValueLabel()->text(), "n/a");
    EXPECT_EQ(row->minValueLabel()->text(), "0.40 µSv/h");
}

TEST_F(RowContentTest, WaypointRowShowsReadingAndKeepsItsWaypoint) {
    auto day = makeSet(today());
    auto point = addPoint(day, 2.0, 150, at(12));
    point->setName(std::string("Gate"));
    point->measurement()->setVariation(7);
    auto plain = addPoint(day, 0, 0, at(13));
    save();

    auto row = WaypointTableCell::make();
    auto toolbar = std::make_shared<plat::Toolbar>();
    row->configureWithWaypoint(point, toolbar);
    EXPECT_EQ(row->waypoint(), point);
    EXPECT_EQ(row->nameTextField()->text(), "Gate " + DateStrings::dateMediumStr(at(12)));
    EXPECT_EQ(row->nameTextField()->inputAccessoryView(), toolbar);
    EXPECT_EQ(row->DERValueLabel()->text(), "2.00 µSv/h");
    EXPECT_EQ(row->DERValueLabel()->textColor(), plat::Color::red());
    EXPECT_EQ(row->variationValueLabel()->text(), "7%");
    EXPECT_EQ(row->doseValueLabel()->text(), "150 µSv");
    EXPECT_EQ(row->doseValueLabel()->textColor(), plat::Color::orange());

    point->measurement()->setVariation(7.5);
    row->configureWithWaypoint(point, toolbar);
    EXPECT_EQ(row->variationValueLabel()->text(), "7.5%");

    // Reused for an unnamed point with nothing measured.
    row->configureWithWaypoint(plain, nullptr);
    EXPECT_EQ(row->waypoint(), plain);
    EXPECT_EQ(row->nameTextField()->text(), DateStrings::dateTimeLongStr(at(13)));
    EXPECT_EQ(row->DERValueLabel()->text(), "n/a");
    EXPECT_EQ(row->DERValueLabel()->textColor(), derColor(0));
    EXPECT_EQ(row->variationValueLabel()->text(), "n/a");
    EXPECT_EQ(row->variationValueLabel()->textColor(), plat::Color::black());
    EXPECT_EQ(row->doseValueLabel()->text(), "n/a");
    EXPECT_EQ(row->doseValueLabel()->textColor(), deColor(0));
}

TEST_F(RowContentTest, ReadingsOfAnInstrumentWithoutDoseShowNoDose) {
    auto day = makeSet(today());
    auto point = addPoint(day, 0.5, 900, at(9), nullptr, "VN2560");
    auto history = main().insertNew<Measurement>();
    history->setDate(at(3));
    history->setDer(0.35);
    history->setDe(800);
    history->setDeviceName(std::string("VN2560"));
    day->addMeasurementsObject(history);
    save();

    auto row = WaypointTableCell::make();
    row->configureWithWaypoint(point, nullptr);
    EXPECT_EQ(row->doseValueLabel()->text(), "n/a");
    EXPECT_EQ(row->doseValueLabel()->textColor(), plat::Color::black());
    EXPECT_EQ(row->DERValueLabel()->textColor(), plat::Color::orange());

    auto reading = MeasurementTableCell::make();
    reading->configureWithMeasurement(*history);
    EXPECT_EQ(reading->nameTextField()->text(), DateStrings::dateTimeLongStr(at(3)));
    EXPECT_EQ(reading->DERValueLabel()->text(), "0.35 µSv/h");
    EXPECT_EQ(reading->doseValueLabel()->text(), "n/a");
    EXPECT_EQ(reading->doseValueLabel()->textColor(), plat::Color::black());

    history->setDeviceName(std::string("VN2450"));
    history->setDer(0);
    reading->configureWithMeasurement(*history);
    EXPECT_EQ(reading->DERValueLabel()->text(), "n/a");
    EXPECT_EQ(reading->DERValueLabel()->textColor(), derColor(0));
    EXPECT_EQ(reading->doseValueLabel()->text(), "800 µSv");
}

TEST_F(RowContentTest, ReadingRowsFollowUnitAndLanguageOnEveryConfiguration) {
    auto day = makeSet(today());
    auto point = addPoint(day, 0.12, 5, at(9));
    save();
    auto row = WaypointTableCell::make();
    Settings::sharedSettings().setUnit(0);  // roentgen: 1 µSv = 100 µR
    switchLanguage("fr");
    row->configureWithWaypoint(point, nullptr);
    EXPECT_EQ(row->DERValueLabel()->text().rfind("12.0 ", 0), 0u) << row->DERValueLabel()->text();
    EXPECT_NE(row->DERValueLabel()->text().find("R/h"), std::string::npos);
    EXPECT_EQ(row->DERLabel()->text(), "Débit de dose:");
    EXPECT_EQ(row->variationLabel()->text(), "Variation :");
    EXPECT_EQ(row->doseLabel()->text(), "Dose :");
}

}  // namespace qxtest
