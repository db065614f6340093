#include "DashboardTestFixture.h"
#include "dashboard/CustomSegmentedControl.h"
#include "dashboard/PDColoredProgressView.h"
#include "dashboard/ThresholdController.h"
#include "dashboard/VNSegmentedControlView.h"

using qx::ThresholdController;

namespace {

class ControlsTest : public DashboardTest {};

TEST_F(ControlsTest, ProgressBarFillsByZoneAndColoursByStrictComparison) {
    qx::PDColoredProgressView bar(plat::Rect{0, 0, 300, 10});
    bar.setFirstThreshold(1);
    bar.setSecondThreshold(10);
    bar.setDer(0);
    EXPECT_EQ(bar.progress(), 0);
    bar.setDer(0.5);
    EXPECT_NEAR(bar.progress(), 1.0 / 6, 1e-9);
    EXPECT_EQ(bar.barColor(), qx::Settings::kGreen);
    bar.setDer(1);
    EXPECT_NEAR(bar.progress(), 1.0 / 3, 1e-9);
    EXPECT_EQ(bar.barColor(), qx::Settings::kGreen) << "on the first threshold is not above it";
    bar.setDer(10);
    EXPECT_NEAR(bar.progress(), 2.0 / 3, 1e-9);
    EXPECT_EQ(bar.barColor(), plat::Color::orange());
    bar.setDer(1e6);
    EXPECT_EQ(bar.progress(), 1);
    EXPECT_EQ(bar.barColor(), plat::Color::red());

    bar.setSecondThreshold(1);  // equal thresholds: no orange zone
    bar.setDer(1.5);
    EXPECT_GT(bar.progress(), 2.0 / 3);
    EXPECT_EQ(bar.barColor(), plat::Color::red());

    plat::DrawingContext context;
    bar.drawRect(context, bar.bounds());
    const auto fills = context.commandsOf(plat::DrawOp::FillRect);
    const auto colours = context.commandsOf(plat::DrawOp::SetFillColor);
    ASSERT_EQ(fills.size(), 2u);
    ASSERT_EQ(colours.size(), 2u);
    EXPECT_EQ(colours[1].color, plat::Color::red());
    EXPECT_NEAR(fills[1].rect.width(), 300 * bar.progress(), 1e-9);
}

class ThresholdEditorTest : public DashboardTest {
protected:
    std::shared_ptr<ThresholdController> editor(double first, double second) {
        auto e = std::make_shared<ThresholdController>();
        e->setFirstThreshValue(first);
        e->setSecondThreshValue(second);
        e->setMode(0);
        e->setScaleMinValue(0.1);
        e->setScaleMaxValue(1e7);
        e->setScaleRange(-1);
        return e;
    }
};

TEST_F(ThresholdEditorTest, ApplyHandsTheMovedValuesToTheBlock) {
    auto e = editor(0.3, 1.2);
    std::vector<std::tuple<double, double, int>> applied;
    e->setOnApply([&](ThresholdController& ed) {
        applied.emplace_back(ed.firstThreshValue(), ed.secondThreshValue(), ed.scaleRange());
    });
    EXPECT_EQ(e->firstValueLabel().text(), "0.30 µSv/h");
    EXPECT_TRUE(e->moveHandle(0, 0.456));
    EXPECT_TRUE(e->moveHandle(1, 47.3));
    EXPECT_EQ(e->secondValueLabel().text(), "47.0 µSv/h");
    EXPECT_TRUE(applied.empty()) << "nothing is applied while the handles move";
    EXPECT_TRUE(e->applyButton()->press());
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_DOUBLE_EQ(std::get<0>(applied[0]), 0.46);
    EXPECT_DOUBLE_EQ(std::get<1>(applied[0]), 47);
    EXPECT_EQ(std::get<2>(applied[0]), -1);
}

TEST_F(ThresholdEditorTest, HandlesStayInTheWindowAndInOrder) {
    auto e = editor(0.3, 1.2);
    auto scale = e->scaleView();
    EXPECT_DOUBLE_EQ(scale->lowValue(), 0.1);
    EXPECT_DOUBLE_EQ(scale->highValue(), 100);
    e->moveHandle(0, 5);  // past the second handle
    EXPECT_DOUBLE_EQ(e->firstThreshValue(), 1.2);
    e->moveHandle(1, 1e5);
    EXPECT_DOUBLE_EQ(e->secondThreshValue(), 100);
    e->moveHandle(1, 0.01);
    EXPECT_DOUBLE_EQ(e->secondThreshValue(), 1.2) << "the second handle stops at the first";
    scale->dragHandle(0, 0);
    EXPECT_DOUBLE_EQ(e->firstThreshValue(), 0.1);
    scale->dragHandle(1, scale->bounds().width());
    EXPECT_DOUBLE_EQ(e->secondThreshValue(), 100);
}

TEST_F(ThresholdEditorTest, ScaleShiftsByDecadesWithinItsLimits) {
    auto e = editor(10, 100);
    e->setScaleMinValue(0.3);
    e->setScaleMaxValue(400);
    e->setScaleRange(5);  // beyond the limits: moved inside
    auto scale = e->scaleView();
    EXPECT_EQ(e->scaleRange(), 0);
    EXPECT_DOUBLE_EQ(scale->highValue(), 400);
    e->shiftScale(-1);
    EXPECT_EQ(e->scaleRange(), -1);
    EXPECT_DOUBLE_EQ(scale->lowValue(), 0.3);
    e->shiftScale(-1);
    EXPECT_EQ(e->scaleRange(), -1);
    int applied = 0;
    e->setOnApply([&](ThresholdController& ed) {
        ++applied;
        EXPECT_EQ(ed.scaleRange(), -1);
    });
    e->apply();
    EXPECT_EQ(applied, 1);
}

// The stored decade of the scale can be one that no longer holds the thresholds (defaults
// restored, values from an older release); the editor opens on one that does.
TEST_F(ThresholdEditorTest, ScaleOpensOnADecadeThatHoldsBothThresholds) {
    struct Case {
        double first, second;
        int storedRange;
        double low, high;
    };
    const Case cases[] = {
        {0.3, 1.2, 0, 0.1, 100},   // the defaults on a window starting at 1
        {1, 10, 1, 0.1, 100},      // restored defaults with the range restore writes
        {10, 100, 0, 1, 1000},     // already inside: the stored decade stays
        {0.2, 5e5, 0, 10, 1e4},    // wider than a window: the middle of the two
    };
    for (const Case& c : cases) {
        auto e = editor(c.first, c.second);
        e->setScaleRange(c.storedRange);
        auto scale = e->scaleView();
        EXPECT_DOUBLE_EQ(scale->lowValue(), c.low) << c.first << " " << c.second;
        EXPECT_DOUBLE_EQ(scale->highValue(), c.high) << c.first << " " << c.second;
        EXPECT_EQ(e->scaleRange(), scale->range()) << "the decade shown is the one applied";
        if (c.high / c.low > c.second / c.first) {
            EXPECT_GT(scale->xForValue(c.first), scale->xForValue(c.low)) << "no handle piled at the end";
            EXPECT_LT(scale->xForValue(c.second), scale->xForValue(c.high));
        }
    }
    // Values set while the editor is open move the window as well.
    auto e = editor(0.3, 1.2);
    e->scaleView();
    e->setFirstThreshValue(20);
    e->setSecondThreshValue(3000);
    EXPECT_DOUBLE_EQ(e->scaleView()->lowValue(), 10);
    EXPECT_DOUBLE_EQ(e->scaleView()->highValue(), 1e4);
    EXPECT_EQ(e->scaleRange(), 1);
}

TEST_F(ThresholdEditorTest, TickLabelsCarryTheUnitAndStayInsideTheScale) {
    for (int mode : {0, 1}) {
        auto e = editor(0.3, 1.2);
        e->setMode(mode);
        auto scale = e->scaleView();
        plat::DrawingContext context;
        scale->drawRect(context, scale->bounds());
        const auto texts = context.commandsOf(plat::DrawOp::DrawText);
        ASSERT_EQ(texts.size(), 4u) << "one label per decade of the window";
        EXPECT_EQ(texts.front().text, mode == 0 ? "0.10 µSv/h" : "0.10 µSv");
        EXPECT_EQ(texts.back().text, mode == 0 ? "100 µSv/h" : "100 µSv");
        for (const auto& t : texts) {
            EXPECT_GE(t.rect.x(), 0) << t.text;
            EXPECT_LE(t.rect.maxX(), scale->bounds().width()) << t.text;
        }
    }
}

TEST_F(ThresholdEditorTest, SingleHandleModeAndBackWithoutApplying) {
    auto e = editor(100, 1000);
    e->setMode(1);
    e->setSingleHandleMode(true);
    int applied = 0, back = 0;
    e->setOnApply([&](ThresholdController&) { ++applied; });
    e->setOnBackBlock([&] { ++back; });
    EXPECT_TRUE(e->secondValueLabel().isHidden());
    EXPECT_EQ(e->firstValueLabel().text(), "100 µSv");
    EXPECT_FALSE(e->moveHandle(1, 5)) << "no second handle";
    EXPECT_TRUE(e->moveHandle(0, 50));
    EXPECT_DOUBLE_EQ(e->secondThreshValue(), 1000);

    plat::DrawingContext context;
    auto scale = e->scaleView();
    scale->drawRect(context, scale->bounds());
    const auto handles = context.commandsOf(plat::DrawOp::AddEllipse);
    ASSERT_EQ(handles.size(), 2u) << "one handle, filled and outlined";
    EXPECT_NEAR(handles[0].rect.midX(), scale->xForValue(50), 1e-9);
    e->onBack();
    EXPECT_EQ(back, 1);
    EXPECT_EQ(applied, 0);
}

TEST_F(ControlsTest, SegmentedViewIsExclusiveUnlessMultiCheck) {
    auto segments = qx::VNSegmentedControlView::loadFromNibWithStyle(0);
    ASSERT_TRUE(segments);
    std::vector<std::string> heard;
    segments->setLeftButtonPressBlock([&](bool on) { heard.push_back(on ? "L+" : "L-"); });
    segments->setRightButtonPressBlock([&](bool on) { heard.push_back(on ? "R+" : "R-"); });
    segments->leftButton().performTap();
    segments->rightButton().performTap();
    EXPECT_FALSE(segments->leftButton().isSelected());
    EXPECT_TRUE(segments->rightButton().isSelected());
    EXPECT_EQ(segments->rightButton().currentBackgroundImage()->name(), "btn-right-active");

    segments->setMultiCheck(true);
    segments->selectAll();
    segments->rightButton().performTap();
    EXPECT_TRUE(segments->leftButton().isSelected());
    EXPECT_TRUE(segments->centerButton().isSelected());
    EXPECT_FALSE(segments->rightButton().isSelected());
    EXPECT_EQ(heard, (std::vector<std::string>{"L+", "R+", "R-"}));
    // A new control shows its left button on: the page a screen shows first.
    EXPECT_EQ(qx::VNSegmentedControlView::loadFromNibWithStyle(1)->leftButton().currentBackgroundImage()->name(),
              "btn-left-small-active");
}

class Segments : public qx::CustomSegmentedControlDelegate {
public:
    std::vector<std::size_t> taps;
    std::shared_ptr<plat::Button> buttonFor(qx::CustomSegmentedControl&, std::size_t index) override {
        auto b = plat::Button::make(plat::ButtonType::Custom);
        b->setTitle("S" + std::to_string(index));
        return b;
    }
    void touchUpInsideSegmentIndex(qx::CustomSegmentedControl& control, std::size_t index) override {
        EXPECT_EQ(control.tag(), 7);
        taps.push_back(index);
    }
};

TEST_F(ControlsTest, CustomSegmentsComeFromTheDelegateAndReportTaps) {
    auto delegate = std::make_shared<Segments>();
    qx::CustomSegmentedControl control(3, {80, 30}, plat::Image::named("divider"), 7, delegate);
    ASSERT_EQ(control.segmentCount(), 3u);
    EXPECT_EQ(control.buttons()[2]->title(), "S2");
    EXPECT_EQ(control.buttons()[2]->frame(), (plat::Rect{162, 0, 80, 30}));
    EXPECT_EQ(control.frame().width(), 242);
    control.buttons()[2]->performTap();
    control.buttons()[0]->performTap();
    EXPECT_EQ(delegate->taps, (std::vector<std::size_t>{2, 0}));
}

}  // namespace
