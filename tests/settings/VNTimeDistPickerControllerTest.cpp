#include <cmath>
#include <limits>

#include "FilterSectionsTestFixture.h"
#include "platform/ui/Label.h"
#include "settings/VNTimeDistPickerController.h"

using qx::VNTimeDistPickerController;

namespace {

class TimeDistPickerTest : public FilterSectionsTest {
protected:
    // Opens a picker in the mode and records every value it reports.
    VNTimeDistPickerController& open(std::uint64_t mode) {
        reported.clear();
        VNTimeDistPickerController::present(mode, [this](double v) { reported.push_back(v); });
        auto* picker = visibleAs<VNTimeDistPickerController>();
        EXPECT_NE(picker, nullptr);
        return *picker;
    }
    std::vector<long> rows(VNTimeDistPickerController& screen) {
        auto picker = screen.picker();
        std::vector<long> selected;
        for (long c = 0; c < picker->numberOfComponents(); ++c) selected.push_back(picker->selectedRow(c));
        return selected;
    }
    std::vector<std::string> labels(VNTimeDistPickerController& screen) {
        std::vector<std::string> texts;
        for (const auto& label : screen.picker()->selectionLabels()) texts.push_back(label->text());
        return texts;
    }
    void close(VNTimeDistPickerController& screen) {
        screen.onBack();
        EXPECT_EQ(visible(), host.get());
    }

    std::vector<double> reported;
};

TEST_F(TimeDistPickerTest, TimeWheelsReportMinutesOnEveryTurn) {
    settings().setTrackTime(0);
    auto& screen = open(VNTimeDistPickerController::kTimeMode);
    auto picker = screen.picker();
    ASSERT_EQ(picker->numberOfComponents(), 3);
    EXPECT_EQ(picker->numberOfRows(0), 25);
    EXPECT_EQ(picker->numberOfRows(1), 14);
    EXPECT_EQ(picker->numberOfRows(2), 7);
    EXPECT_EQ(picker->titleForRow(24, 0), "24");
    EXPECT_EQ(picker->titleForRow(10, 1), "10");
    EXPECT_EQ(picker->titleForRow(11, 1), "15");
    EXPECT_EQ(picker->titleForRow(13, 1), "45");
    EXPECT_EQ(picker->titleForRow(2, 2), "5");
    EXPECT_EQ(picker->titleForRow(25, 0), "");
    EXPECT_EQ(picker->widthForComponent(2), 100);
    EXPECT_TRUE(picker->showsSelectionIndicator());
    EXPECT_EQ(labels(screen), (std::vector<std::string>{"hours", "mins", "secs"}));

    picker->spin(1, 0);
    picker->spin(12, 1);
    picker->spin(6, 2);
    EXPECT_EQ(reported, (std::vector<double>{60, 90, 90.75})) << "each turn reports at once";
    EXPECT_EQ(labels(screen).size(), 3u) << "labels are not doubled by the turns";
    close(screen);
}

TEST_F(TimeDistPickerTest, TimeWheelsStartAtTheStoredStep) {
    const auto preselect = [&](double minutes) {
        settings().setTrackTime(minutes);
        auto& screen = open(VNTimeDistPickerController::kTimeMode);
        auto selected = rows(screen);
        close(screen);
        return selected;
    };
    EXPECT_EQ(preselect(2.5), (std::vector<long>{0, 2, 5})) << "0 hours, 2 minutes, 30 seconds";
    EXPECT_EQ(preselect(7), (std::vector<long>{0, 7, 0}));
    // A step the wheels cannot show opens on the nearest they can.
    EXPECT_EQ(preselect(12), (std::vector<long>{0, 10, 6})) << "12 minutes: 10 minutes 45 seconds";
    EXPECT_EQ(preselect(7.0 / 60), (std::vector<long>{0, 0, 2})) << "7 seconds: 5 seconds";
    EXPECT_EQ(preselect(20 + 2.0 / 60), (std::vector<long>{0, 11, 6})) << "20:02: 15:45 is nearer than 30:00";
    EXPECT_EQ(preselect(90.75), (std::vector<long>{1, 12, 6}));
    EXPECT_EQ(preselect(1.0 + 5.0 / 60), (std::vector<long>{0, 1, 2})) << "5 seconds despite rounding";
    EXPECT_EQ(preselect(30 * 60), (std::vector<long>{24, 13, 6})) << "30 hours: the longest step";
    EXPECT_EQ(preselect(std::numeric_limits<double>::quiet_NaN()), (std::vector<long>{0, 0, 0}));
    EXPECT_EQ(preselect(-3), (std::vector<long>{0, 0, 0}));
}

TEST_F(TimeDistPickerTest, DistanceWheelsInMetresAndYards) {
    settings().setMetric(true);
    settings().setTrackDistance(1200);
    auto& metric = open(VNTimeDistPickerController::kDistanceMode);
    auto picker = metric.picker();
    ASSERT_EQ(picker->numberOfComponents(), 2);
    EXPECT_EQ(picker->numberOfRows(0), 101);
    EXPECT_EQ(picker->numberOfRows(1), 109);
    EXPECT_EQ(picker->titleForRow(100, 1), "100");
    EXPECT_EQ(picker->titleForRow(101, 1), "200");
    EXPECT_EQ(picker->titleForRow(108, 1), "900");
    EXPECT_EQ(picker->widthForComponent(0), 160);
    EXPECT_EQ(rows(metric), (std::vector<long>{1, 101})) << "1 km and 200 m";
    EXPECT_EQ(labels(metric), (std::vector<std::string>{"km", "m"}));
    picker->spin(2, 0);
    picker->spin(102, 1);
    EXPECT_EQ(reported.back(), 2300);
    close(metric);
    for (const auto& [metres, expected] : {std::pair{12345u, std::vector<long>{12, 102}}, {7000u, {7, 0}},
                                           {250000u, {100, 108}}}) {
        settings().setTrackDistance(metres);
        auto& screen = open(VNTimeDistPickerController::kDistanceMode);
        EXPECT_EQ(rows(screen), expected) << metres;
        close(screen);
    }

    settings().setMetric(false);
    settings().setTrackDistance(1760 * 3 + 250);
    auto& imperial = open(VNTimeDistPickerController::kDistanceMode);
    EXPECT_EQ(rows(imperial), (std::vector<long>{3, 101})) << "250 yards: 200, the smaller of the two nearest";
    EXPECT_EQ(labels(imperial), (std::vector<std::string>{"mi", "yd"}));
    imperial.picker()->spin(1, 0);
    imperial.picker()->spin(50, 1);
    EXPECT_EQ(reported.back(), 1810) << "1 mile and 50 yards";
}

TEST_F(TimeDistPickerTest, MapDistanceRowsAndPreselection) {
    settings().setWMDistance(30);
    auto& screen = open(VNTimeDistPickerController::kMapDistanceMode);
    auto picker = screen.picker();
    ASSERT_EQ(picker->numberOfComponents(), 1);
    ASSERT_EQ(picker->numberOfRows(0), 10);
    EXPECT_EQ(picker->titleForRow(9, 0), "50");
    EXPECT_EQ(rows(screen), std::vector<long>{7});
    EXPECT_TRUE(picker->lastSelectAnimated());
    EXPECT_EQ(labels(screen), std::vector<std::string>{"km"});
    picker->spin(6, 0);
    EXPECT_EQ(reported, std::vector<double>{20});
    close(screen);

    settings().setMetric(false);
    settings().setWMDistance(7);
    auto& imperial = open(VNTimeDistPickerController::kMapDistanceMode);
    EXPECT_EQ(rows(imperial), std::vector<long>{3}) << "a radius no row shows starts at the nearest, 5";
    EXPECT_EQ(labels(imperial), std::vector<std::string>{"mi"});
    imperial.picker()->spin(6, 0);
    EXPECT_EQ(reported, std::vector<double>{20}) << "the number itself in either system";
}

TEST_F(TimeDistPickerTest, UnknownModeIsTimeAndModeChangeReloadsTheWheels) {
    auto& screen = open(7);
    EXPECT_EQ(screen.picker()->numberOfComponents(), 3);
    screen.setMode(VNTimeDistPickerController::kMapDistanceMode);
    EXPECT_EQ(screen.picker()->numberOfComponents(), 1);
    EXPECT_EQ(screen.picker()->numberOfRows(0), 10);
}

TEST_F(TimeDistPickerTest, RowViewsAreBoldLabelsReusedWhenOffered) {
    auto& screen = open(VNTimeDistPickerController::kTimeMode);
    auto picker = screen.picker();
    auto view = screen.viewForRow(*picker, 11, 1, nullptr);
    auto label = std::dynamic_pointer_cast<plat::Label>(view);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "15");
    EXPECT_EQ(label->frame().size.width, 70);
    EXPECT_EQ(label->font().name, "HelveticaNeue-Bold");
    EXPECT_EQ(screen.viewForRow(*picker, 3, 2, label), label);
    EXPECT_EQ(label->text(), "10");
    close(screen);

    settings().setTrackTime(90.75);
    render(*open(VNTimeDistPickerController::kTimeMode).view(), "time-picker");
}

}  // namespace
