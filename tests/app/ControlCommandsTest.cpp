#include <gtest/gtest.h>

#include <ctime>

#include "Driver.h"
#include "TestEnvironment.h"
#include "dashboard/ThresholdScaleView.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/Label.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/Slider.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two wheels like a coefficient's: "2" to "9", then "0" to "9".
class DigitWheels : public plat::PickerViewDataSource, public plat::PickerViewDelegate {
public:
    long numberOfComponents(plat::PickerView&) override { return 2; }
    long numberOfRows(plat::PickerView&, long component) override { return component == 0 ? 8 : 10; }
    std::string titleForRow(plat::PickerView&, long row, long component) override {
        return std::to_string(component == 0 ? row + 2 : row);
    }
    void didSelectRow(plat::PickerView&, long row, long component) override { spun.emplace_back(component, row); }
    std::vector<std::pair<long, long>> spun;
};

plat::Date localDate(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return plat::Date(static_cast<double>(std::mktime(&tm)));
}

// One screen with every kind of control the commands turn and drag.
class ControlCommandsTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        screen = std::make_shared<plat::ViewController>();
        screen->setTitle("Controls");
        auto root = screen->view();
        wheels = std::make_shared<plat::PickerView>(plat::Rect{0, 0, 320, 216});
        wheels->setDataSource(digits);
        wheels->setDelegate(digits);
        root->addSubview(wheels);

        day = std::make_shared<plat::DatePicker>(plat::Rect{0, 220, 320, 216});
        day->setMode(plat::DatePickerMode::Date);
        day->setMaximumDate(localDate(2026, 3, 10, 23, 59));
        day->setDate(localDate(2026, 3, 1, 9, 30));
        day->addAction(plat::ValueChanged, [this](plat::Control&) { ++dayChanges; });
        root->addSubview(day);

        duration = std::make_shared<plat::DatePicker>(plat::Rect{0, 440, 320, 216});
        duration->setMode(plat::DatePickerMode::CountDownTimer);
        root->addSubview(duration);

        volume = std::make_shared<plat::Slider>(plat::Rect{0, 660, 200, 30});
        volume->setMaximumValue(10);
        volume->setAccessibilityLabel("Volume");
        root->addSubview(volume);

        scale = std::make_shared<qx::ThresholdScaleView>(plat::Rect{0, 700, 320, 80});
        scale->setScale(0.1, 1e7, -1);
        scale->setValues(0.3, 1.2);
        scale->setHandleNames("First", "Second");
        root->addSubview(scale);
        root->addSubview(std::make_shared<plat::Label>(plat::Rect{0, 780, 200, 20}, "First"));

        window = std::make_unique<plat::Window>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
        driver = std::make_unique<qx::app::Driver>([this] { return window.get(); });
    }
    void TearDown() override {
        driver.reset();
        window.reset();
        AppTest::TearDown();
    }
    qx::app::Outcome run(const std::string& line) { return driver->execute(line); }

    std::shared_ptr<DigitWheels> digits = std::make_shared<DigitWheels>();
    std::shared_ptr<plat::ViewController> screen;
    std::shared_ptr<plat::PickerView> wheels;
    std::shared_ptr<plat::DatePicker> day, duration;
    std::shared_ptr<plat::Slider> volume;
    std::shared_ptr<qx::ThresholdScaleView> scale;
    std::unique_ptr<plat::Window> window;
    std::unique_ptr<qx::app::Driver> driver;
    int dayChanges = 0;
};

TEST_F(ControlCommandsTest, SpinTurnsAWheelToARowByItsTextBeforeItsNumber) {
    EXPECT_TRUE(run("spin 0 5").ok);  // the row showing "5", not the sixth row
    EXPECT_TRUE(run("spin 1 7").ok);
    EXPECT_TRUE(run("spin Controls \"0\" 0").ok);  // no row shows "0": the first row
    EXPECT_FALSE(run("spin 0 \"0\"").ok) << "a quoted number is a text";
    ASSERT_EQ(digits->spun.size(), 3u);
    EXPECT_EQ(digits->spun[0], (std::pair<long, long>{0, 3}));
    EXPECT_EQ(digits->spun[1], (std::pair<long, long>{1, 7}));
    EXPECT_EQ(digits->spun[2], (std::pair<long, long>{0, 0}));
    EXPECT_EQ(wheels->selectedRow(0), 0);

    auto noRow = run("spin 0 12");
    EXPECT_FALSE(noRow.ok);
    EXPECT_TRUE(contains(noRow.text, "\"2\", \"3\"")) << noRow.text;
    auto noWheel = run("spin 2 1");
    EXPECT_FALSE(noWheel.ok);
    EXPECT_TRUE(contains(noWheel.text, "0 to 1")) << noWheel.text;
    EXPECT_FALSE(run("spin 0").ok);
    EXPECT_EQ(digits->spun.size(), 3u) << "a refused spin turns nothing";

    // Two pickers: the one meant is named by a text on or beside it.
    screen->view()->addSubview(std::make_shared<plat::PickerView>());
    auto twoPickers = run("spin 0 5");
    EXPECT_FALSE(twoPickers.ok);
    EXPECT_TRUE(contains(twoPickers.text, "more than one picker")) << twoPickers.text;
}

TEST_F(ControlCommandsTest, PickDateTakesADayAndTimeWithinTheOfferedDates) {
    EXPECT_TRUE(run("pick-date 2026-03-05").ok);
    EXPECT_EQ(day->date(), localDate(2026, 3, 5, 9, 30)) << "the time of day stays";
    EXPECT_TRUE(run("pick-date 2026-03-06 14:05").ok);
    EXPECT_EQ(day->date(), localDate(2026, 3, 6, 14, 5));
    EXPECT_TRUE(run("pick-date \"2026-02-28 00:00\"").ok);
    EXPECT_EQ(day->date(), localDate(2026, 2, 28, 0, 0));
    EXPECT_EQ(dayChanges, 3);

    for (const char* bad : {"pick-date 2026-02-30", "pick-date 2026-13-01", "pick-date 2026-3-1", "pick-date 25:00",
                            "pick-date tomorrow"}) {
        EXPECT_FALSE(run(bad).ok) << bad;
    }
    auto late = run("pick-date 2026-03-11");
    EXPECT_FALSE(late.ok);
    EXPECT_TRUE(contains(late.text, "no date after 2026-03-10 23:59")) << late.text;
    EXPECT_EQ(day->date(), localDate(2026, 2, 28, 0, 0)) << "a refused date leaves the picker as it was";
    EXPECT_EQ(dayChanges, 3);

    day->setMaximumDate(std::nullopt);
    EXPECT_TRUE(run("pick-date today-1 08:00").ok);
    std::time_t now = static_cast<std::time_t>(plat::Date::now().timeIntervalSince1970());
    std::tm today{};
    localtime_r(&now, &today);
    const plat::Date yesterday = localDate(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday - 1, 8, 0);
    EXPECT_EQ(day->date(), yesterday);
}

TEST_F(ControlCommandsTest, PickDurationTurnsOnlyTheDurationPicker) {
    EXPECT_TRUE(run("pick-duration 1:30").ok);
    EXPECT_DOUBLE_EQ(duration->countDownDuration(), 5400);
    EXPECT_TRUE(run("pick-duration 0:00").ok);
    EXPECT_DOUBLE_EQ(duration->countDownDuration(), 0);
    EXPECT_TRUE(run("pick-duration 23:59").ok);
    EXPECT_FALSE(run("pick-duration 24:00").ok);
    EXPECT_FALSE(run("pick-duration 90").ok);
    EXPECT_DOUBLE_EQ(duration->countDownDuration(), 23 * 3600 + 59 * 60);
    EXPECT_EQ(dayChanges, 0) << "the date picker is not a duration picker";

    duration->setEnabled(false);
    EXPECT_FALSE(run("pick-duration 0:10").ok);
}

TEST_F(ControlCommandsTest, DragMovesASliderOrAScaleHandleWithinItsTrack) {
    auto slid = run("drag Volume 7.5");
    EXPECT_TRUE(slid.ok) << slid.text;
    EXPECT_DOUBLE_EQ(volume->value(), 7.5);
    auto past = run("drag Volume 11");
    EXPECT_FALSE(past.ok);
    EXPECT_TRUE(contains(past.text, "from 0 to 10")) << past.text;

    // The handle counts over the label of the same text.
    auto first = run("drag First 0.456");
    EXPECT_TRUE(first.ok) << first.text;
    EXPECT_TRUE(contains(first.text, "at 0.46")) << first.text;
    EXPECT_DOUBLE_EQ(scale->value(0), 0.46);
    auto stopped = run("drag Second 0.2");
    EXPECT_TRUE(stopped.ok);
    EXPECT_TRUE(contains(stopped.text, "at 0.46")) << "the second handle stops at the first: " << stopped.text;
    EXPECT_FALSE(run("drag Second 1000").ok) << "beyond the window shown";
    EXPECT_FALSE(run("drag 5").ok) << "which of three handles";

    scale->setSingleHandle(true);
    EXPECT_FALSE(run("drag Second 50").ok);
    EXPECT_FALSE(run("drag First many").ok);
}

}  // namespace
