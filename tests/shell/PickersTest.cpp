#include "ShellTestFixture.h"
#include "model/DateStrings.h"
#include "platform/ui/Window.h"
#include "shell/VNDatePickerController.h"
#include "shell/VNIntervalPickerView.h"

using qx::VNDatePickerController;

namespace {

// Local times in Berlin.
constexpr plat::Date k10March15h{1773151200.0};
constexpr plat::Date k10MarchLast{1773183599.0};  // 23:59:59
constexpr plat::Date k11March0h{1773183600.0};
constexpr plat::Date k29March12h{1774778400.0};    // the day the clocks go forward
constexpr plat::Date k29MarchLast{1774821599.0};

class PickersTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        qx::DateStrings::setTimeZone("Europe/Berlin");
    }
};

TEST_F(PickersTest, NoDateAfterTheEndOfToday) {
    clock().set(k10March15h);
    EXPECT_EQ(VNDatePickerController::endOfToday(), k10MarchLast);
    clock().set(k29March12h);
    EXPECT_EQ(VNDatePickerController::endOfToday(), k29MarchLast) << "a 23-hour day ends at 23:59:59 too";

    clock().set(k10March15h);
    auto screen = std::make_shared<VNDatePickerController>();
    screen->setDatePickerMode(plat::DatePickerMode::DateAndTime);
    screen->setDate(k11March0h.addingTimeInterval(86400));
    EXPECT_EQ(screen->date(), k10MarchLast) << "a later first date shows as the end of today";

    std::vector<plat::Date> heard;
    screen->setOnDateChanged([&](plat::Date d) { heard.push_back(d); });
    auto picker = screen->datePicker();
    EXPECT_EQ(picker->mode(), plat::DatePickerMode::DateAndTime);
    EXPECT_EQ(picker->date(), k10MarchLast);
    picker->pickDate(k11March0h);
    picker->pickDate(k10March15h.addingTimeInterval(-86400));
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0], k10MarchLast);
    EXPECT_EQ(heard[1], k10March15h.addingTimeInterval(-86400));
}

TEST_F(PickersTest, TheEndOfTodayMovesOnWhileTheScreenIsKept) {
    clock().set(k10March15h);
    auto screen = std::make_shared<VNDatePickerController>();
    plat::Window window;
    window.setRootViewController(screen);
    window.makeKeyAndVisible();
    clock().set(k11March0h.addingTimeInterval(3600));
    screen->beginAppearanceTransition(false, false);
    screen->endAppearanceTransition();
    screen->beginAppearanceTransition(true, false);
    screen->endAppearanceTransition();
    EXPECT_EQ(screen->datePicker()->maximumDate(), k11March0h.addingTimeInterval(86399));
}

TEST_F(PickersTest, IntervalPickerHandsOverTheDurationWhenClosed) {
    auto picker = qx::VNIntervalPickerView::loadFromNib();
    ASSERT_TRUE(picker);
    plat::View host;
    host.addSubview(picker);
    std::vector<double> picked;
    picker->setOnIntervalPickedBlock([&](double s) { picked.push_back(s); });
    picker->setCountDownDuration(600);
    picker->pickerView().pickCountDownDuration(1800);
    EXPECT_TRUE(picked.empty()) << "nothing until the picker closes";
    EXPECT_TRUE(picker->doneButton()->press());
    EXPECT_EQ(picked, std::vector<double>{1800});
    EXPECT_EQ(picker->superview(), nullptr);
}

}  // namespace
