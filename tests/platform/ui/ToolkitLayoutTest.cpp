#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestEnvironment.h"
#include "platform/ui/Button.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/LayoutCheck.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/UiText.h"

namespace {

using namespace plat;

std::vector<DrawCommand> textsOf(View& view) {
    DrawingContext ctx;
    view.drawRect(ctx, view.bounds());
    return ctx.commandsOf(DrawOp::DrawText);
}

TEST(ToolkitLayoutTest, BarButtonsSitOnTheirSidesWithTheTitleBetween) {
    NavigationBar bar(Rect{0, 0, 320, 44});
    auto item = std::make_shared<NavigationItem>("Dose rate thresholds of the instrument");
    item->setLeftBarButtonItem(BarButtonItem::withTitle("Back"));
    item->setRightBarButtonItem(BarButtonItem::withTitle("Apply", BarButtonStyle::Done));
    bar.pushNavigationItem(item);
    bar.updateForInspection();
    ASSERT_EQ(bar.subviews().size(), 2u);
    const Rect left = bar.subviews()[0]->frame(), right = bar.subviews()[1]->frame();
    EXPECT_LT(left.maxX(), 100);
    EXPECT_GT(right.minX(), 220);
    EXPECT_LE(right.maxX(), 320);

    // The long title is cut to the room between the buttons.
    auto titles = textsOf(bar);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_NE(titles[0].text.find("\u2026"), std::string::npos) << titles[0].text;
    const auto problems = LayoutCheck::run(bar);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);

    // A short title stays centred on the bar.
    item->setTitle("Help");
    titles = textsOf(bar);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].text, "Help");
}

TEST(ToolkitLayoutTest, ATitleKeepsBesideButtonsLaidOverTheBar) {
    // A screen's own share button over the right end of its bar: the title keeps to its left,
    // shrunk and then cut, and is never drawn under it.
    View screen(Rect{0, 0, 320, 480});
    auto bar = std::make_shared<NavigationBar>(Rect{0, 0, 320, 44});
    bar->pushNavigationItem(std::make_shared<NavigationItem>("Track-Wegpunkte der Aufnahme"));
    screen.addSubview(bar);
    auto share = Button::make(ButtonType::System, Rect{222, 7, 90, 30});
    share->setTitle("Teilen");
    screen.addSubview(share);
    bar->updateForInspection();
    const auto titles = textsOf(*bar);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_NE(titles[0].text.find("\u2026"), std::string::npos) << titles[0].text;
    const auto problems = LayoutCheck::run(screen);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);

    // A short title stays centred on the bar.
    bar->topItem()->setTitle("Track");
    EXPECT_EQ(textsOf(*bar)[0].text, "Track");
    EXPECT_TRUE(LayoutCheck::run(screen).empty());
}

TEST(ToolkitLayoutTest, ARowsTitleAndValueShareItsWidth) {
    struct Case {
        std::string title, value;
        bool titleWhole;  // the title keeps its whole width
    };
    const Case cases[] = {
        {"Language", "English", true},
        {"Terms and Conditions", "", true},
        {"Start Screen", "A start screen with a very long name", true},
        {"A title that is long as well", "and a long value here", false},
    };
    for (const auto& c : cases) {
        TableViewCell cell(CellStyle::Value1);
        cell.textLabel().setText(c.title);
        cell.detailTextLabel().setText(c.value);
        cell.layoutIfNeeded();
        const Rect title = cell.textLabel().frame(), value = cell.detailTextLabel().frame();
        EXPECT_LE(title.maxX(), value.minX()) << c.title;
        EXPECT_EQ(title.width() >= std::ceil(cell.textLabel().font().widthOf(c.title)), c.titleWhole) << c.title;
        const auto problems = LayoutCheck::run(cell);
        EXPECT_TRUE(problems.empty()) << c.title << ": " << LayoutCheck::report(problems);
    }
}

TEST(ToolkitLayoutTest, DatePickersDrawTheirWheelsAndSelection) {
    DatePicker countDown;
    countDown.setMode(DatePickerMode::CountDownTimer);
    countDown.setCountDownDuration(90 * 60);
    std::vector<std::string> shown;
    for (const auto& t : textsOf(countDown)) shown.push_back(t.text);
    for (const char* expected : {"1", "30", "hours", "min", "0", "2", "28", "32"}) {
        EXPECT_NE(std::find(shown.begin(), shown.end(), expected), shown.end()) << expected;
    }
    // Minutes wrap round; hours end at 0.
    countDown.setCountDownDuration(59);
    shown.clear();
    for (const auto& t : textsOf(countDown)) shown.push_back(t.text);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "58"), shown.end());
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "23"), 0);

    DatePicker date;
    date.setMode(DatePickerMode::Date);
    date.setDate(Date::fromTimeIntervalSince1970(1709300000));  // 1 March 2024
    shown.clear();
    for (const auto& t : textsOf(date)) shown.push_back(t.text);
    for (const char* expected : {"Mar", "Feb", "2024", "1", "31"}) {
        EXPECT_NE(std::find(shown.begin(), shown.end(), expected), shown.end()) << expected;
    }
    const auto problems = LayoutCheck::run(date);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);
}

TEST(ToolkitLayoutTest, DateWheelsFollowTheLanguagesOwnOrder) {
    // The wheels' texts left to right, and the day with its month of a date-and-time picker.
    struct Case {
        const char* locale;
        std::vector<std::string> dateWheels;
        std::string dayAndMonth;
    };
    const std::vector<Case> cases = {
        {"en_US", {"Mar", "1", "2024"}, "Mar 1"},
        {"ja_JP", {"2024年", "3月", "1日"}, "3月1日"},
        {"zh_Hans_CN", {"2024年", "3月", "1日"}, "3月1日"},
        {"de_DE", {"1", "Mär", "2024"}, "1. März"},
    };
    for (const auto& c : cases) {
        setUiLocaleSource([&] { return std::string(c.locale); });
        DatePicker picker;
        picker.setMode(DatePickerMode::Date);
        picker.setDate(Date::fromTimeIntervalSince1970(1709294400));  // 1 March 2024, noon UTC
        std::vector<DrawCommand> selected;
        for (const auto& t : textsOf(picker)) {
            if (std::fabs(t.rect.midY() - picker.bounds().midY()) < 2) selected.push_back(t);
        }
        std::sort(selected.begin(), selected.end(), [](const auto& a, const auto& b) { return a.rect.x() < b.rect.x(); });
        std::vector<std::string> shown;
        for (const auto& t : selected) shown.push_back(t.text);
        EXPECT_EQ(shown, c.dateWheels) << c.locale;
        picker.setMode(DatePickerMode::DateAndTime);
        const auto texts = textsOf(picker);
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const auto& t) { return t.text == c.dayAndMonth; })) << c.locale;
    }
    setUiLocaleSource(nullptr);
}

}  // namespace
