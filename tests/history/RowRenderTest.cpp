#include <cstdlib>

#include "HistoryTestSupport.h"
#include "history/TrackTableCell.h"
#include "history/VNTrackDetailsView.h"
#include "history/VNWaypointDetailsView.h"
#include "model/DateStrings.h"

using namespace qx;

namespace qxtest {

using RowRenderTest = HistoryTest;

// Whether any pixel of the rectangle is mostly red (anti-aliased text included).
bool hasRedPixel(const plat::PixelImage& image, const plat::Rect& r) {
    for (int y = static_cast<int>(r.y()); y < static_cast<int>(r.maxY()); ++y) {
        for (int x = static_cast<int>(r.x()); x < static_cast<int>(r.maxX()); ++x) {
            auto c = image.pixel(x, y);
            if (c.r > 0.6 && c.g < 0.35 && c.b < 0.35) return true;
        }
    }
    return false;
}

TEST_F(RowRenderTest, TrackRowDrawsItsFiguresInTheirColours) {
    auto day = makeSet(DateStrings::beginningOfDay(plat::Date::now()));
    auto track = main().insertNew<Track>();
    track->setName(std::string("Ridge"));
    track->setDateFrom(plat::Date::now());
    track->setDateTo(plat::Date(plat::Date::now().timeIntervalSince1970() + 2700));
    track->setDe(3.2);
    day->addTracksObject(track);
    addPoint(nullptr, 0.15, 1, plat::Date::now(), track);
    addPoint(nullptr, 2.5, 2, plat::Date::now(), track);
    save();

    auto row = TrackTableCell::make();
    row->setFrame(plat::Rect{0, 0, 320, 102});
    row->setBackgroundColor(plat::Color::white());
    row->configureWithTrack(*track, nullptr);
    row->setChecked(true);
    row->layoutIfNeeded();

    auto image = row->renderImage();
    ASSERT_EQ(image.width(), 320);
    // The highest dose rate is above the second threshold: red text where its value sits;
    // the lowest is not.
    EXPECT_TRUE(hasRedPixel(image, row->maxValueLabel()->frame()));
    EXPECT_FALSE(hasRedPixel(image, row->minValueLabel()->frame()));

    const auto out = std::getenv("QX_RENDER_OUT");
    const auto path = out ? std::filesystem::path(out) : dataDir() / "track-row.png";
    ASSERT_TRUE(row->renderToPng(path, 2));
    EXPECT_GT(std::filesystem::file_size(path), 0u);
}

}  // namespace qxtest

namespace qxtest {

TEST_F(RowRenderTest, WaypointPanelDrawsItsFigures) {
    auto w = addPoint(makeSet(DateStrings::beginningOfDay(plat::Date::now())), 1.8, 40, plat::Date::now());
    w->setLatitude(48.5);
    w->setLongitude(-2.25);
    w->setAltitude(120);
    w->measurement()->setAccumulation(std::string("00:20:00"));
    save();
    auto panel = VNWaypointDetailsView::loadFromNib();
    panel->setWaypoint(w.get());
    auto image = panel->renderImage();
    EXPECT_TRUE(hasRedPixel(image, panel->doseRateLabel()->frame()));
    EXPECT_FALSE(hasRedPixel(image, panel->latitudeLabel()->frame()));
    const auto out = std::getenv("QX_RENDER_OUT_PANEL");
    ASSERT_TRUE(panel->renderToPng(out ? std::filesystem::path(out) : dataDir() / "panel.png", 2));
}

}  // namespace qxtest

namespace qxtest {

TEST_F(RowRenderTest, TrackPanelDrawsItsFigures) {
    auto track = main().insertNew<Track>();
    makeSet(DateStrings::beginningOfDay(plat::Date::now()))->addTracksObject(track);
    track->setDateFrom(plat::Date::now());
    track->setDateTo(plat::Date(plat::Date::now().timeIntervalSince1970() + 5400));
    track->setDistance(4200);
    track->setAvgSpeed(1.4);
    track->setMaxSpeed(3.1);
    track->setMaxAltitude(310);
    track->setDe(2);
    addPoint(nullptr, 0.1, 1, plat::Date::now(), track);
    addPoint(nullptr, 1.4, 1, plat::Date::now(), track);
    save();
    auto panel = VNTrackDetailsView::loadFromNib();
    panel->setTrack(track);
    auto image = panel->renderImage();
    EXPECT_TRUE(hasRedPixel(image, panel->valueLabel(VNTrackDetailsView::maxDoseRate)->frame()));
    EXPECT_FALSE(hasRedPixel(image, panel->valueLabel(VNTrackDetailsView::minDoseRate)->frame()));
    const auto out = std::getenv("QX_RENDER_OUT_TRACK");
    ASSERT_TRUE(panel->renderToPng(out ? std::filesystem::path(out) : dataDir() / "track.png", 2));
}

}  // namespace qxtest
