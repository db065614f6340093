#include <filesystem>

#include "SettingsTestFixture.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "settings/VNAppSettingsSection.h"
#include "settings/VNLanguageSection.h"
#include "shell/VNImportTableViewController.h"
#include "store/HistoryManager.h"
#include "store/Set.h"

using qx::VNAppSettingsSection;

namespace {

class AppSettingsSectionTest : public SettingsTest {
protected:
    std::shared_ptr<VNAppSettingsSection> section() {
        if (!section_) section_ = showNew<VNAppSettingsSection>();
        return section_;
    }
    // Opens the check list of an App Settings row and gives its screen.
    qx::VNTableViewController* openList(long row) {
        section();
        EXPECT_TRUE(host->tableView()->userSelectRow({0, row}));
        auto* list = shown<qx::VNTableViewController>();
        EXPECT_NE(list, host.get());
        return list;
    }
    // Chooses a row of the open list.
    static void choose(qx::VNTableViewController& list, long row) { ASSERT_TRUE(list.tableView()->userSelectRow({0, row})); }

    std::shared_ptr<VNAppSettingsSection> section_;
};

TEST_F(AppSettingsSectionTest, RowsShowThePreferences) {
    settings().setMetric(false);
    settings().setUnit(0);
    settings().setStartScreen(3);
    settings().setShakeMute(true);
    settings().setAutoSave(false);
    settings().setAutosaveInterval(900);
    settings().setLocalNotifications(true);
    auto s = section();
    EXPECT_EQ(rowTexts(*s), (std::vector<std::string>{"Language", "Readings", "Units", "Start Screen", "", "", "Auto Save Period in sec",
                                                      "", "Import Data", "Reset History"}));
    EXPECT_EQ(s->languageCell()->detailTextLabel().text(), "English");
    EXPECT_EQ(s->readingsCell()->detailTextLabel().text(), "Imperial");
    EXPECT_EQ(s->unitsCell()->detailTextLabel().text(), "R");
    EXPECT_EQ(s->startScreenCell()->detailTextLabel().text(), "World Map");
    EXPECT_EQ(s->soundCell()->title().text(), "Sound OFF by Shake");
    EXPECT_EQ(s->autoSaveCell()->title().text(), "Auto Save Waypoints ");
    EXPECT_EQ(s->localNotificationsCell()->title().text(), "Local Notifications");
    EXPECT_TRUE(s->soundCell()->cellSwitch().isOn());
    EXPECT_FALSE(s->autoSaveCell()->cellSwitch().isOn());
    EXPECT_TRUE(s->localNotificationsCell()->cellSwitch().isOn());
    EXPECT_EQ(s->autoSavePeriodCell()->cellTextField().text(), "900");
    EXPECT_EQ(s->autoSavePeriodCell()->cellTextField().keyboardType(), plat::KeyboardType::NumberPad);

    // A start tab the list cannot give leaves the detail as it was.
    settings().setStartScreen(7);
    s->updateCellsTitles();
    EXPECT_EQ(s->startScreenCell()->detailTextLabel().text(), "World Map");
}

TEST_F(AppSettingsSectionTest, CheckListStoresTheRowIndexAndSavesAtOnce) {
    settings().setUnit(0);
    auto* list = openList(2);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->title(), "Units");
    EXPECT_EQ(list->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    ASSERT_EQ(list->sections().size(), 1u);
    const auto& units = *list->sections()[0];
    EXPECT_EQ(rowTexts(units), (std::vector<std::string>{"R", "Sv"}));
    EXPECT_EQ(detailTexts(units), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(checkedRows(units), std::vector<std::size_t>{0});

    choose(*list, 1);
    EXPECT_EQ(checkedRows(units), std::vector<std::size_t>{1});
    EXPECT_EQ(settings().unit(), 1u);
    EXPECT_EQ(saved().integerForKey("Unit"), 1);
    EXPECT_EQ(section()->unitsCell()->detailTextLabel().text(), "R") << "the row follows once the list closes";

    list->onBack();
    EXPECT_EQ(window->visibleViewController(), host.get());
    EXPECT_EQ(section()->unitsCell()->detailTextLabel().text(), "Sv");

    // The list is kept: opening it again shows the new choice.
    auto* again = openList(2);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(checkedRows(*again->sections()[0]), std::vector<std::size_t>{1});
}

TEST_F(AppSettingsSectionTest, ChoosingTheCheckedRowSavesItAgain) {
    auto* list = openList(1);
    ASSERT_NE(list, nullptr);
    // A value changed in memory only reaches the file through the list's save.
    settings().setMetric(true);
    ASSERT_EQ(checkedRows(*list->sections()[0]), std::vector<std::size_t>{1});
    settings().setStartScreen(2);
    choose(*list, 1);
    EXPECT_TRUE(saved().boolForKey("Metric"));
    EXPECT_EQ(saved().integerForKey("StartScreen"), 2);
    choose(*list, 0);
    EXPECT_FALSE(settings().metric());
    EXPECT_FALSE(saved().boolForKey("Metric"));
}

TEST_F(AppSettingsSectionTest, LanguageListSwitchesEveryTextBeforeItCloses) {
    auto s = section();
    auto* list = openList(0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->navItem().title(), "Language");
    const auto& languages = *list->sections()[0];
    ASSERT_EQ(languages.numRows(), 6u);
    EXPECT_EQ(checkedRows(languages), std::vector<std::size_t>{0});

    choose(*list, 3);
    EXPECT_EQ(settings().language(), "ru");
    EXPECT_EQ(saved().stringForKey("Language"), "ru") << "the code is stored, not the row";
    EXPECT_EQ(qx::Language::currentLanguage(), "ru");
    EXPECT_EQ(list->navItem().title(), "Язык");
    EXPECT_EQ(s->readingsCell()->textLabel().text(), "Система мер") << "the settings below re-read their texts at once";
    EXPECT_EQ(checkedRows(languages), std::vector<std::size_t>{3});

    list->onBack();
    EXPECT_EQ(s->languageCell()->detailTextLabel().text(), qx::Language::get("ru"));
    EXPECT_EQ(s->languageCell()->textLabel().text(), "Язык");
}

TEST_F(AppSettingsSectionTest, SwitchesStoreAndSave) {
    auto s = section();
    s->soundCell()->cellSwitch().performTap();
    s->autoSaveCell()->cellSwitch().performTap();
    s->localNotificationsCell()->cellSwitch().performTap();
    const auto file = saved();
    EXPECT_TRUE(settings().shakeMute());
    EXPECT_FALSE(settings().autoSave());
    EXPECT_EQ(file.boolForKey("ShakeMute"), settings().shakeMute());
    EXPECT_EQ(file.boolForKey("AutoSave"), settings().autoSave());
    EXPECT_EQ(file.boolForKey("LocalNotifications"), settings().localNotifications());
    s->soundCell()->cellSwitch().performTap();
    EXPECT_EQ(saved().boolForKey("ShakeMute"), s->soundCell()->cellSwitch().isOn());
}

TEST_F(AppSettingsSectionTest, PeriodIsStoredWhenTheEditEnds) {
    settings().setAutosaveInterval(3600);
    settings().save();
    auto field = section()->autoSavePeriodCell();
    auto& text = field->cellTextField();

    // Starting an edit and leaving it stores what the field shows.
    ASSERT_TRUE(text.becomeFirstResponder());
    EXPECT_EQ(settings().autosaveInterval(), 3600u);
    text.resignFirstResponder();
    EXPECT_EQ(saved().integerForKey("AutoSaveInterval"), 3600);

    text.clearText();
    text.typeText("120");
    EXPECT_EQ(settings().autosaveInterval(), 3600u) << "nothing is stored while typing";
    text.resignFirstResponder();
    EXPECT_EQ(settings().autosaveInterval(), 120u);
    EXPECT_EQ(saved().integerForKey("AutoSaveInterval"), 120);

    // Anything but a whole number of seconds from 1 would turn autosave off behind its
    // switch: the old period stays and an alert says why.
    for (const char* typed : {"", "abc", "-5", "0", "1e3", "\xF0\x9F\x98\x80"}) {
        ASSERT_TRUE(text.becomeFirstResponder());
        text.clearText();
        text.typeText(typed);
        text.resignFirstResponder();
        EXPECT_EQ(settings().autosaveInterval(), 120u) << typed;
        EXPECT_EQ(saved().integerForKey("AutoSaveInterval"), 120) << typed;
        EXPECT_EQ(text.text(), "120") << typed;
        auto refusal = alert();
        ASSERT_TRUE(refusal) << typed;
        EXPECT_EQ(refusal->message(), "The period is a whole number of seconds, 1 or more.");
        refusal->pressButton("OK");
    }
}

TEST_F(AppSettingsSectionTest, PeriodTextsMustBeWholeSecondsFromOne) {
    EXPECT_EQ(VNAppSettingsSection::periodFromText("45"), 45u);
    EXPECT_EQ(VNAppSettingsSection::periodFromText("  60 "), 60u);
    EXPECT_EQ(VNAppSettingsSection::periodFromText("1"), 1u);
    for (const char* refused : {"60s", "x60", "", " ", "0", "000", "2.5", "+5", "1e3"}) {
        EXPECT_FALSE(VNAppSettingsSection::periodFromText(refused)) << refused;
    }
    // An overlong number does not wrap round to a short period.
    EXPECT_EQ(VNAppSettingsSection::periodFromText("99999999999999999999999"), 2147483647u);
}

TEST_F(AppSettingsSectionTest, ResetHistoryAsksFirst) {
    auto set = qx::Set::getCurrentSet();
    ASSERT_TRUE(set);
    auto stored = [] { return qx::Store::defaultStore().mainContext().count(qx::FetchRequest(qx::EntityKind::set)).value_or(0); };
    ASSERT_EQ(stored(), 1u);

    section()->resetCell()->onSelectCell();
    auto question = alert();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->title(), "Are you sure?");
    EXPECT_EQ(question->message(), "Do You want to delete all historical data?");
    EXPECT_EQ(question->buttonTitleAtIndex(question->cancelButtonIndex()), "No");
    ASSERT_TRUE(question->pressButton("No"));
    EXPECT_EQ(stored(), 1u);

    section()->resetCell()->onSelectCell();
    ASSERT_TRUE(alert()->pressButton("Yes"));
    EXPECT_EQ(stored(), 0u);
    EXPECT_TRUE(set->isDeleted());
}

TEST_F(AppSettingsSectionTest, ImportOpensTheImportScreenWithTheDocumentsFiles) {
    const auto documents = plat::DataFolder::documents();
    ASSERT_TRUE(plat::file::ensureDirectory(documents));
    ASSERT_TRUE(plat::file::writeAtomically(documents / "walk.csv", "x\n"));
    ASSERT_TRUE(plat::file::writeAtomically(documents / "notes.txt", "x\n"));

    section();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 8}));
    auto* import = shown<qx::VNImportTableViewController>();
    ASSERT_NE(import, nullptr);
    EXPECT_EQ(import->title(), "Import Data");
    EXPECT_EQ(import->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    ASSERT_EQ(import->files().size(), 1u) << "the list is read once the screen is up";
    EXPECT_EQ(import->files()[0].filename(), "walk.csv");
    import->onBack();
    EXPECT_EQ(window->visibleViewController(), host.get());
}

}  // namespace
