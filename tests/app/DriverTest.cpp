#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "DriverFixture.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/WebView.h"

using qxtest::DriverTest;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(DriverTest, TapActsOnButtonsAndRefusesWhatCannotBeTouched) {
    EXPECT_TRUE(run("tap Start").ok);
    EXPECT_TRUE(run("tap \"Start\"").ok);
    EXPECT_EQ(startTaps, 2);

    auto disabled = run("tap Save");
    EXPECT_FALSE(disabled.ok);
    EXPECT_TRUE(contains(disabled.text, "disabled")) << disabled.text;
    auto hidden = run("tap Hidden");
    EXPECT_FALSE(hidden.ok);
    EXPECT_TRUE(contains(hidden.text, "hidden")) << hidden.text;
    auto missing = run("tap Nowhere");
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(contains(missing.text, "no \"Nowhere\"")) << missing.text;
    // A plain text that nothing under it reacts to.
    EXPECT_FALSE(run("tap Welcome").ok);

    EXPECT_TRUE(run("tap Edit").ok);  // a bar button of the navigation bar
    EXPECT_EQ(editTaps, 1);

    // With no whole match, the one element whose text starts with the words is taken, and named;
    // a start shared by several is refused with the candidates.
    auto started = run("tap Sta");
    EXPECT_TRUE(started.ok) << started.text;
    EXPECT_TRUE(contains(started.text, "took Button \"Start\"")) << started.text;
    EXPECT_EQ(startTaps, 3);
    auto shared = run("tap Thresh");
    EXPECT_FALSE(shared.ok);
    EXPECT_TRUE(contains(shared.text, "matches 2 elements")) << shared.text;
}

TEST_F(DriverTest, RepeatedTextsNeedAnIndexOrAPath) {
    auto ambiguous = run("tap Threshold");
    EXPECT_FALSE(ambiguous.ok);
    EXPECT_TRUE(contains(ambiguous.text, "#1 Row \"Threshold\" in \"Dose Rate\"")) << ambiguous.text;
    EXPECT_TRUE(contains(ambiguous.text, "#2 Row \"Threshold\" in \"Dose\"")) << ambiguous.text;
    EXPECT_TRUE(rows->selected.empty());

    EXPECT_TRUE(run("tap Threshold#1").ok);
    ASSERT_EQ(rows->selected.size(), 1u);
    EXPECT_EQ(rows->selected.back(), (plat::IndexPath{0, 0}));
    EXPECT_FALSE(run("tap Threshold#3").ok);

    // The section named by its header holds the row; selecting it opens a screen.
    EXPECT_TRUE(run("tap \"Dose\" > \"Threshold\"").ok);
    EXPECT_EQ(rows->selected.back(), (plat::IndexPath{1, 0}));
    EXPECT_EQ(window->visibleViewController()->title(), "Dose Threshold");
    EXPECT_TRUE(run("expect \"Dose Threshold\"").ok);

    EXPECT_TRUE(run("back").ok);
    EXPECT_EQ(window->visibleViewController(), home.get());
    auto noBack = run("back");
    EXPECT_FALSE(noBack.ok);
    EXPECT_TRUE(contains(noBack.text, "no back button")) << noBack.text;
}

TEST_F(DriverTest, TabsBySomeNameOrNumberAndSegments) {
    EXPECT_TRUE(run("tab Settings").ok);
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_TRUE(run("expect-not Welcome").ok);
    EXPECT_TRUE(run("tab 1").ok);
    EXPECT_EQ(tabs->selectedIndex(), 0);
    auto unknown = run("tab Maps");
    EXPECT_FALSE(unknown.ok);
    EXPECT_TRUE(contains(unknown.text, "\"Home\", \"Settings\"")) << unknown.text;
    EXPECT_FALSE(run("tab 3").ok);

    EXPECT_TRUE(run("tap Settings").ok);  // the tab, not a title
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_TRUE(run("tap Graph").ok);
    EXPECT_EQ(segments->selectedSegmentIndex(), 1);
}

TEST_F(DriverTest, ToggleFindsTheSwitchOfARowOrByItsLabel) {
    int changes = 0;
    rows->soundSwitch->addAction(plat::ValueChanged, [&](plat::Control&) { ++changes; });
    EXPECT_TRUE(run("toggle Sound").ok);  // the row's text
    EXPECT_TRUE(rows->soundSwitch->isOn());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(contains(driver->screenText(), "Switch on")) << driver->screenText();
    EXPECT_TRUE(run("expect-switch Sound on").ok);
    auto stateDiffers = run("expect-switch Sound off");
    EXPECT_FALSE(stateDiffers.ok);
    EXPECT_TRUE(contains(stateDiffers.text, "is on")) << stateDiffers.text;
    EXPECT_FALSE(run("expect-switch Sound maybe").ok);

    auto notASwitch = run("toggle Welcome");
    EXPECT_FALSE(notASwitch.ok);
    EXPECT_FALSE(run("expect-switch Welcome off").ok);

    ASSERT_TRUE(run("tab Settings").ok);
    EXPECT_TRUE(run("toggle Sound").ok);  // the switch's own label
    EXPECT_TRUE(settingsSwitch->isOn());
    settingsSwitch->setEnabled(false);
    EXPECT_FALSE(run("toggle Sound").ok);
    EXPECT_TRUE(settingsSwitch->isOn());
}

namespace {

class NoDigits : public plat::TextFieldDelegate {
public:
    bool textFieldShouldChangeCharacters(plat::TextField&, plat::TextRange, const std::string& s) override {
        return s.empty() || s[0] < '0' || s[0] > '9';
    }
};

}  // namespace

TEST_F(DriverTest, TypeReplacesTheTextKeyByKeyAndEndsEditing) {
    int changes = 0, ends = 0;
    nameField->addAction(plat::EditingChanged, [&](plat::Control&) { ++changes; });
    nameField->addAction(plat::EditingDidEnd, [&](plat::Control&) { ++ends; });
    ASSERT_TRUE(run("type Name \"Ann Lee\"").ok);
    EXPECT_EQ(nameField->text(), "Ann Lee");
    EXPECT_EQ(changes, 7);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(nameField->isFirstResponder());

    // Still found by its placeholder once it holds text; the old text goes.
    ASSERT_TRUE(run("type Name Zoë#2").ok);
    EXPECT_EQ(nameField->text(), "Zoë#2");

    auto delegate = std::make_shared<NoDigits>();
    nameField->setDelegate(delegate);
    auto refused = run("type Name a1b2");
    ASSERT_TRUE(refused.ok);
    EXPECT_EQ(nameField->text(), "ab");
    EXPECT_TRUE(contains(refused.text, "refused 2")) << refused.text;

    // A field found through the label beside it.
    auto row = std::make_shared<plat::View>(plat::Rect{0, 520, 320, 40});
    row->addSubview(std::make_shared<plat::Label>(plat::Rect{10, 5, 60, 30}, "Port"));
    auto port = std::make_shared<plat::TextField>(plat::Rect{80, 5, 200, 30});
    row->addSubview(port);
    home->view()->addSubview(row);
    ASSERT_TRUE(run("type Port 8080").ok);
    EXPECT_EQ(port->text(), "8080");

    EXPECT_FALSE(run("type Start abc").ok);  // a button takes no text, nor does one beside it
    EXPECT_FALSE(run("type Name").ok);
}

TEST_F(DriverTest, DeleteSwipesARowAway) {
    ASSERT_TRUE(run("expect Sound").ok);
    auto outcome = run("delete Sound");
    ASSERT_TRUE(outcome.ok) << outcome.text;
    EXPECT_EQ(rows->sections[0].rows, std::vector<std::string>{"Threshold"});
    EXPECT_TRUE(run("expect-not Sound").ok);
    EXPECT_FALSE(run("delete Welcome").ok);
}

TEST_F(DriverTest, AlertsAndSheetsTakeEveryTouch) {
    auto press = run("press OK");
    EXPECT_FALSE(press.ok);
    EXPECT_TRUE(contains(press.text, "no alert")) << press.text;

    std::vector<long> chosen;
    plat::AlertView::show("Delete all?", "Sure?", "Cancel", {"OK"}, [&](long i) { chosen.push_back(i); });
    auto behind = run("tap Start");
    EXPECT_FALSE(behind.ok);
    EXPECT_TRUE(contains(behind.text, "behind an alert")) << behind.text;
    EXPECT_EQ(startTaps, 0);
    EXPECT_TRUE(run("expect Welcome").ok);  // still seen behind it
    EXPECT_TRUE(run("expect \"Delete all?\"").ok);
    EXPECT_TRUE(contains(driver->screenText(), "Delete all?"));
    EXPECT_FALSE(run("press Start").ok);  // not part of the alert
    EXPECT_FALSE(run("press Sure?").ok);  // the message, not a button
    EXPECT_TRUE(run("press OK").ok);
    EXPECT_EQ(chosen, std::vector<long>{1});
    EXPECT_TRUE(run("expect-not \"Delete all?\"").ok);
    EXPECT_TRUE(run("tap Start").ok);

    plat::ActionSheet::show(home->view().get(), "Share", "Cancel", "", {"E-mail", "Export"},
                            [&](long i) { chosen.push_back(i); });
    EXPECT_TRUE(run("press Export").ok);
    EXPECT_EQ(chosen.back(), 1);
    bool cancelled = false;
    plat::ActionSheet::show(home->view().get(), "Share", "Cancel", "", {"E-mail"}, {}, [&] { cancelled = true; });
    EXPECT_TRUE(run("press Cancel").ok);
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(run("press Cancel").ok);
}

TEST_F(DriverTest, ExpectationsReadTheShownTexts) {
    EXPECT_TRUE(run("expect Welcome").ok);
    EXPECT_TRUE(run("expect Welc").ok);
    EXPECT_TRUE(run("expect \"Levels in uSv\"").ok);  // a section footer
    EXPECT_TRUE(run("expect Home").ok);               // a tab
    auto missing = run("expect Goodbye");
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(contains(missing.text, "Goodbye"));
    EXPECT_FALSE(run("expect Hidden").ok);
    EXPECT_FALSE(run("expect-not Welcome").ok);
    EXPECT_TRUE(run("expect-not Hidden").ok);
    EXPECT_FALSE(run("expect Mode Settings").ok);  // two words without quotes

    auto shown = run("show");
    ASSERT_TRUE(shown.ok);
    EXPECT_TRUE(contains(shown.text, "Label \"Welcome\"")) << shown.text;
    EXPECT_TRUE(contains(shown.text, "\"Dose Rate\"")) << shown.text;
}

TEST_F(DriverTest, AdvanceFiresTimersAndEveryCommandDrainsTheQueue) {
    bool fired = false;
    auto timer = plat::Timer::scheduled(10, false, [&](plat::Timer&) { fired = true; });
    ASSERT_TRUE(run("advance 9.5").ok);
    EXPECT_FALSE(fired);
    ASSERT_TRUE(run("advance 0.5").ok);
    EXPECT_TRUE(fired);
    EXPECT_FALSE(run("advance -1").ok);
    EXPECT_FALSE(run("advance soon").ok);
    EXPECT_FALSE(run("advance").ok);

    bool posted = false;
    nameField->addAction(plat::EditingDidBegin, [&](plat::Control&) {
        plat::RunLoop::main().post([&] { posted = true; });
    });
    ASSERT_TRUE(run("tap Name").ok);
    EXPECT_TRUE(posted);
}

namespace {

// Width and height from a PNG file's header.
std::pair<unsigned, unsigned> pngSize(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be(16), be(20)};
}

}  // namespace

TEST_F(DriverTest, RenderDrawsTheScreenOrOneElement) {
    auto screen = dataDir() / "screen.png";
    ASSERT_TRUE(run("render \"" + screen.string() + "\"").ok);
    auto [w, h] = pngSize(screen);
    EXPECT_EQ(w, static_cast<unsigned>(window->bounds().width()));
    EXPECT_EQ(h, static_cast<unsigned>(window->bounds().height()));

    auto button = dataDir() / "start.png";
    ASSERT_TRUE(run("render \"" + button.string() + "\" Start").ok);
    EXPECT_EQ(pngSize(button), (std::pair<unsigned, unsigned>{120, 30}));

    // A folder cannot be made where a file is.
    EXPECT_FALSE(run("render \"" + (screen / "x.png").string() + "\"").ok);
    EXPECT_FALSE(run("render \"" + button.string() + "\" Nowhere").ok);
    EXPECT_FALSE(run("render").ok);
}

TEST_F(DriverTest, UnknownCommandsAndAMissingWindowFail) {
    auto unknown = run("jump");
    EXPECT_FALSE(unknown.ok);
    EXPECT_TRUE(contains(unknown.text, "unknown command jump"));
    EXPECT_TRUE(run("# a comment").ok);
    EXPECT_TRUE(contains(run("help").text, "expect-not TEXT"));

    qx::app::Driver noWindow([] { return nullptr; });
    EXPECT_FALSE(noWindow.execute("tap Start").ok);
    EXPECT_FALSE(noWindow.execute("expect Start").ok);
    EXPECT_EQ(noWindow.screenText(), "(no window is shown)\n");
}

TEST_F(DriverTest, ScrollMovesThePageOnScreenAndShowListsTheWholeDocument) {
    auto help = std::make_shared<plat::ViewController>();
    help->setTitle("Help");
    auto page = std::make_shared<plat::WebView>(help->view()->bounds());
    help->view()->addSubview(page);
    std::string html = "<h1>Help</h1>";
    for (int i = 1; i <= 9; ++i) html += "<h2>Part " + std::to_string(i) + "</h2><p>What the screens of this part show.</p>";
    page->loadHTMLString(html + "<h2>Settings</h2><p>The last words.</p>");
    nav->pushViewController(help, false);
    ASSERT_TRUE(run("advance 0").ok);

    auto shown = run("show");
    EXPECT_TRUE(contains(shown.text, "Heading \"Settings\"\n")) << shown.text;
    EXPECT_TRUE(contains(shown.text, "Text \"The last words.\"\n")) << shown.text;
    const long end = std::lround(page->contentSize().height - page->bounds().height());
    ASSERT_GT(end, 0);
    auto outcome = run("scroll end");
    ASSERT_TRUE(outcome.ok) << outcome.text;
    EXPECT_EQ(outcome.text, "WebView at " + std::to_string(end) + " of " + std::to_string(end));
    EXPECT_EQ(page->contentOffset().y, end);
    EXPECT_EQ(run("scroll -40").text, "WebView at " + std::to_string(end - 40) + " of " + std::to_string(end));
    EXPECT_EQ(run("scroll 1000").text, "WebView at " + std::to_string(end) + " of " + std::to_string(end));
    EXPECT_EQ(run("scroll top").text, "WebView at 0 of " + std::to_string(end));
    EXPECT_EQ(run("scroll 100 0").text, "WebView at 0 of " + std::to_string(end));  // nothing across to go to
    EXPECT_FALSE(run("scroll far").ok);
    EXPECT_FALSE(run("scroll").ok);
    EXPECT_FALSE(run("scroll 1 2 3").ok);
}

TEST_F(DriverTest, CheckLayoutFailsNamingTextsDrawnOverEachOther) {
    addButton("First words", 400);
    addButton("Second words", 400);
    auto outcome = run("check-layout");
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(contains(outcome.text, "\"First words\" and \"Second words\" are drawn over each other")) << outcome.text;
    EXPECT_FALSE(run("check-layout now").ok);
}
