#include <cmath>

#include "DetailsTestSupport.h"
#include "history/VNTrackGraphView.h"
#include "history/VNTrackGraphViewController.h"
#include "platform/graphics/DrawingContext.h"

using namespace qx;

namespace qxtest {

class TrackGraphTest : public DetailsTest {
protected:
    void SetUp() override {
        DetailsTest::SetUp();
        setThresholds(0.3, 1.0);
    }
    static void setThresholds(double first, double second) {
        Settings::sharedSettings().DERthreshold().firstThreshold->setValue(first);
        Settings::sharedSettings().DERthreshold().secondThreshold->setValue(second);
    }

    // Readings (dose rate, minutes after 10:00) of one track.
    std::shared_ptr<Track> track(std::vector<std::pair<double, double>> readings, const char* device = "VN2450",
                                 std::int64_t lastType = 2) {
        auto day = makeSet(today());
        auto t = makeTrack(day, at(10));
        for (const auto& [der, minutes] : readings) {
            addPoint(nullptr, der, der * 10, at(10 + minutes / 60), t, device)->measurement()->setDeviceType(lastType);
        }
        save();
        return t;
    }

    // A 320 by 200 graph: axes from (40, 180), plot area x 40..292, y 28..180.
    static std::shared_ptr<VNTrackGraphView> graph() { return VNTrackGraphView::fromInterface({0, 0, 320, 200}); }

    static plat::DrawingContext draw(VNTrackGraphView& view) {
        plat::DrawingContext context;
        view.drawRect(context, view.bounds());
        return context;
    }

    // The filled rectangles, each with the fill colour in force.
    static std::vector<plat::DrawCommand> fills(const plat::DrawingContext& context) {
        std::vector<plat::DrawCommand> out;
        plat::Color color;
        for (auto c : context.commands()) {
            if (c.op == plat::DrawOp::SetFillColor) color = c.color;
            if (c.op != plat::DrawOp::FillRect) continue;
            c.color = color;
            out.push_back(c);
        }
        return out;
    }

    static bool allFinite(const plat::DrawingContext& context) {
        for (const auto& c : context.commands()) {
            if (!std::isfinite(c.point.x) || !std::isfinite(c.point.y) || !std::isfinite(c.rect.x()) ||
                !std::isfinite(c.rect.y()) || !std::isfinite(c.rect.height())) {
                return false;
            }
        }
        return true;
    }
};

TEST_F(TrackGraphTest, GeometryBandsPlotAndThresholdLines) {
    auto view = graph();
    EXPECT_EQ(view->zeroPoint().x, 40);
    EXPECT_EQ(view->zeroPoint().y, 180);
    EXPECT_EQ(view->xLength(), 252);
    EXPECT_EQ(view->yLength(), 152);
    view->setTrack(track({{0.1, 0}, {1.5, 10}, {0.5, 5}}), 0);
    EXPECT_FLOAT_EQ(view->yDelta(), 1.4f / 152);
    EXPECT_FLOAT_EQ(view->timeDelta(), 600.0f / 252);
    const double first = 180 - 0.2 / (1.4 / 152), second = 180 - 0.9 / (1.4 / 152);
    EXPECT_NEAR(view->firstMarkYOrigin(), first, 1e-3);
    EXPECT_NEAR(view->secondMarkYOrigin(), second, 1e-3);
    EXPECT_FALSE(view->firstThresholdLabel()->isHidden());
    EXPECT_NEAR(view->firstThresholdLabel()->frame().y(), first - 7, 1e-3);

    const auto context = draw(*view);
    const auto bands = fills(context);
    ASSERT_EQ(bands.size(), 3u);
    EXPECT_EQ(bands[0].rect.y(), view->firstMarkYOrigin());  // green below the first line
    EXPECT_NEAR(bands[0].rect.maxY(), 180, 1e-6);
    EXPECT_NEAR(bands[1].rect.y(), second, 1e-3);  // orange between the lines
    EXPECT_NEAR(bands[1].rect.maxY(), first, 1e-3);
    EXPECT_NEAR(bands[2].rect.y(), 28, 1e-6);  // red above the second
    EXPECT_NEAR(bands[2].rect.maxY(), second, 1e-3);
    EXPECT_EQ(bands[2].color, VNTrackGraphView::kRedBand.withAlpha(VNTrackGraphView::kBandAlpha));

    // The plot: oldest first, the 10:05 reading half way along x.
    const auto lines = context.commandsOf(plat::DrawOp::LineTo);
    const auto moves = context.commandsOf(plat::DrawOp::MoveTo);
    bool middle = false;
    for (const auto& l : lines)
        middle |= std::abs(l.point.x - 166) < 1e-3 && std::abs(l.point.y - (180 - 0.4 / (1.4 / 152))) < 1e-3;
    EXPECT_TRUE(middle);
    bool start = false;
    for (const auto& m : moves) start |= m.point.x == 40 && std::abs(m.point.y - 180) < 1e-6;
    EXPECT_TRUE(start);

    // Dotted threshold lines across the plot.
    const auto dashes = context.commandsOf(plat::DrawOp::SetLineDash);
    ASSERT_FALSE(dashes.empty());
    EXPECT_EQ(dashes.front().dash, std::vector<double>{1.0});
    bool orangeLine = false;
    for (const auto& l : lines) orangeLine |= l.point.x == 292 && std::abs(l.point.y - first) < 1e-3;
    EXPECT_TRUE(orangeLine);
}

TEST_F(TrackGraphTest, ThresholdsAtOrOutsideTheRangeGiveWholeBandsAndHideLabels) {
    auto view = graph();
    setThresholds(0.05, 0.08);  // both below the lowest reading: all red
    view->setTrack(track({{0.1, 0}, {1.5, 10}}), 0);
    EXPECT_EQ(view->firstMarkYOrigin(), -1.0);
    EXPECT_TRUE(view->firstThresholdLabel()->isHidden());
    EXPECT_TRUE(view->secondThresholdLabel()->isHidden());
    auto bands = fills(draw(*view));
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands.back().color, VNTrackGraphView::kRedBand.withAlpha(VNTrackGraphView::kBandAlpha));
    EXPECT_EQ(bands.back().rect, (plat::Rect{40, 28, 252, 152}));

    auto high = graph();
    setThresholds(1.5, 3);  // the first equals the maximum: no mark, no green, no orange
    high->setTrack(track({{0.1, 0}, {1.5, 10}}), 0);
    EXPECT_TRUE(high->firstThresholdLabel()->isHidden());
    EXPECT_TRUE(fills(draw(*high)).empty());

    auto crowded = graph();
    setThresholds(1.45, 3);  // a mark beside the maximum's label: its label is hidden
    crowded->setTrack(track({{0.1, 0}, {1.5, 10}}), 0);
    EXPECT_GT(crowded->firstMarkYOrigin(), 0);
    EXPECT_TRUE(crowded->firstThresholdLabel()->isHidden());
}

TEST_F(TrackGraphTest, ReadingsAtOneTimeAndTracksWithoutReadingsDrawOnlyFiniteShapes) {
    auto same = graph();
    same->setTrack(track({{0.1, 3}, {0.6, 3}, {0.2, 3}}), 0);
    EXPECT_EQ(same->timeDelta(), 0);
    const auto context = draw(*same);
    EXPECT_TRUE(allFinite(context));
    for (const auto& l : context.commandsOf(plat::DrawOp::LineTo)) {
        if (l.point.y < 180 && l.point.x > 45 && l.point.x < 290) ADD_FAILURE() << "a reading off the y axis";
    }

    auto empty = graph();
    empty->setTrack(track({}), 0);
    EXPECT_EQ(empty->minValueLabel()->text(), "n/a");
    const auto drawn = draw(*empty);
    EXPECT_TRUE(allFinite(drawn));
    // Axes and bands only: two arrows, each a stroked line and a filled head.
    EXPECT_EQ(drawn.commandsOf(plat::DrawOp::StrokePath).size(),
              3u);  // two axes and the empty plot
    EXPECT_EQ(drawn.commandsOf(plat::DrawOp::FillPath).size(), 2u);
}

// Readings all alike get a range around them: their line runs through the middle of the plot
// (y 104), the axis is labelled at the range's ends, and a single reading is a level line across.
TEST_F(TrackGraphTest, ReadingsAllAlikeAreDrawnInTheMiddleOfARangeAroundThem) {
    const struct {
        std::vector<std::pair<double, double>> readings;
        const char *max, *min;
    } cases[] = {
        {{{0.2, 0}, {0.2, 5}, {0.2, 10}}, "0.30", "0.10"},
        {{{0.2, 0}}, "0.30", "0.10"},
        {{{0.0, 0}, {0.0, 10}}, "1.00", ""},  // nothing below zero to label
    };
    for (const auto& c : cases) {
        auto view = graph();
        view->setTrack(track(c.readings), 0);
        EXPECT_EQ(view->maxValueLabel()->text(), c.max) << c.max;
        EXPECT_EQ(view->minValueLabel()->text(), c.min) << c.max;
        const auto context = draw(*view);
        EXPECT_TRUE(allFinite(context));
        bool across = false;
        for (const auto& l : context.commandsOf(plat::DrawOp::LineTo))
            across |= std::abs(l.point.y - 104) < 1e-3 && std::abs(l.point.x - 292) < 1e-3;
        EXPECT_TRUE(across) << c.max << " " << c.readings.size();
    }
}

TEST_F(TrackGraphTest, TheDoseGraphFollowsTheInstrumentOfTheLastReading) {
    auto page = VNTrackGraphViewController::make();
    present(page);
    page->setTrack(track({{0.1, 0}, {0.2, 5}}, "VN2450", 2));
    EXPECT_FALSE(page->doseGraphView()->isHidden());
    EXPECT_EQ(page->doseGraphView()->mode(), 1u);
    // The title names the unit the figures are written in, whatever unit the thresholds are set in.
    Settings::sharedSettings().DEthreshold().secondThreshold->setValue(5000);
    page->setTrack(track({{0.004, 0}, {0.0, 5}}, "VN2450", 2));
    EXPECT_EQ(page->doseGraphView()->titleLabel()->text(), "Accumulated Dose (Gamma), µSv");
    EXPECT_EQ(page->doseGraphView()->maxValueLabel()->text(), "0.04");

    auto day = makeSet(today());
    auto mixed = makeTrack(day, at(11));
    addPoint(nullptr, 0.1, 1, at(11), mixed)->measurement()->setDeviceType(2);
    addPoint(nullptr, 0.1, 1, at(11.1), mixed)->measurement()->setDeviceType(4);
    save();
    page->setTrack(mixed);
    EXPECT_TRUE(page->doseGraphView()->isHidden());
    EXPECT_EQ(page->doseRateGraphView()->titleLabel()->text(), "Dose Rate (Gamma), µSv/h");
}

TEST_F(TrackGraphTest, TitleAndFiguresShareTheUnitOfTheHighestReading) {
    struct Case {
        std::vector<std::pair<double, double>> readings;
        double first, second;
        const char *title, *max, *min, *firstLabel;
    };
    const Case cases[] = {
        {{{0.1, 0}, {1.5, 10}}, 0.3, 1.0, "Dose Rate (Gamma), µSv/h", "1.50", "0.10", "0.30"},
        // A milli reading puts every figure in milli, the small ones included.
        {{{100, 0}, {1500, 10}}, 600, 5000, "Dose Rate (Gamma), mSv/h", "1.50", "0.10", "0.60"},
        {{{0.5, 0}, {1500, 10}}, 300, 5000, "Dose Rate (Gamma), mSv/h", "1.50", "0.00", "0.30"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title + std::string(" ") + c.max);
        setThresholds(c.first, c.second);
        auto view = graph();
        view->setTrack(track(c.readings), 0);
        EXPECT_EQ(view->titleLabel()->text(), c.title);
        EXPECT_EQ(view->maxValueLabel()->text(), c.max);
        EXPECT_EQ(view->minValueLabel()->text(), c.min);
        EXPECT_EQ(view->firstThresholdLabel()->text(), c.firstLabel);
    }
}

}  // namespace qxtest
