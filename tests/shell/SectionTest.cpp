#include "ShellTestFixture.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"
#include "shell/AppWindow.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/TabBarController.h"
#include "shell/VNSection.h"
#include "shell/VNTableViewController.h"

using plat::IndexPath;
using qx::VNSection;
using qx::VNTableViewCell;
using qx::VNTableViewController;

namespace {

// Rows named by the test; counts how often its texts were written.
class NamedRows : public VNSection {
public:
    std::vector<std::string> names;
    int retitled = 0;
    std::vector<std::string> selected;

    void initRows() override {
        std::vector<qx::VNTableViewCellPtr> cells;
        for (const auto& name : names) {
            auto cell = VNTableViewCell::loadFromNib();
            cell->textLabel().setText(name);
            std::weak_ptr<VNSection> weak = weak_from_this();
            cell->setOnSelectCellBlock([this, weak](VNTableViewCell& c) {
                if (weak.lock()) selected.push_back(c.textLabel().text());
            });
            cells.push_back(cell);
        }
        setRows(std::move(cells));
        updateCellsTitles();
    }
    void updateCellsTitles() override { ++retitled; }
};

class LocalisedTitle : public VNSection {
public:
    std::string title() const override { return qx::Language::get("Settings"); }
};

std::shared_ptr<NamedRows> namedRows(std::vector<std::string> names, std::string title = "Rows") {
    auto section = VNSection::create<NamedRows>();
    section->names = std::move(names);
    section->initRows();
    section->setTitle(std::move(title));
    return section;
}

std::string labelText(const std::shared_ptr<plat::View>& view) {
    auto label = std::dynamic_pointer_cast<plat::Label>(view);
    return label ? label->text() : "<no label>";
}

class TableContractTest : public ShellTest {};

TEST_F(TableContractTest, AsksEachSectionForItsRowsHeaderAndFooter) {
    auto first = namedRows({"a", "b"});
    auto empty = VNSection::sectionWithTitle("Empty");
    empty->setFooter("Nothing here");
    empty->setFooterHeight(24);
    auto screen = VNTableViewController::make();
    screen->setSections({first, empty});
    EXPECT_EQ(first->parentController(), screen);
    EXPECT_EQ(empty->parentController(), screen);

    auto table = screen->tableView();
    ASSERT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRows(0), 2);
    EXPECT_EQ(table->numberOfRows(1), 0) << "a section without rows shows only header and footer";
    EXPECT_EQ(table->cellForRow({0, 1}), first->cellForRowAtIndex(1));
    EXPECT_EQ(labelText(table->headerView(0)), "Rows");
    EXPECT_EQ(labelText(table->headerView(1)), "Empty");
    EXPECT_EQ(labelText(table->footerView(1)), "Nothing here");
    EXPECT_EQ(table->headerView(0)->frame(), (plat::Rect{0, 0, 320, 32}));
    EXPECT_EQ(screen->heightForHeader(*table, 0), 32);
    EXPECT_EQ(screen->heightForFooter(*table, 0), 0);
    EXPECT_EQ(screen->heightForFooter(*table, 1), 24);

    // Past the list: nothing at all.
    EXPECT_EQ(screen->numberOfRows(*table, 2), 0);
    EXPECT_EQ(screen->cellForRow(*table, {2, 0}), nullptr);
    EXPECT_EQ(screen->cellForRow(*table, {0, 2}), nullptr);
    EXPECT_EQ(screen->viewForHeader(*table, 2), nullptr);
    EXPECT_EQ(screen->viewForFooter(*table, -1), nullptr);
    EXPECT_EQ(screen->heightForHeader(*table, 2), 0);
    EXPECT_EQ(screen->heightForFooter(*table, 2), 0);
    EXPECT_EQ(first->cellForRowAtIndex(2), nullptr);
    first->selectRowAtIndex(2);
    EXPECT_TRUE(first->selected.empty());
}

TEST_F(TableContractTest, ARowWhoseTitleNeedsTwoLinesGrowsToHoldThemOnce) {
    auto rows = namedRows({"Units", "Local notifications of autosaved points"});
    auto screen = VNTableViewController::make();
    screen->setSections({rows});
    auto table = screen->tableView();
    EXPECT_EQ(screen->heightForRow(*table, {0, 0}), 44);
    const double tall = screen->heightForRow(*table, {0, 1});
    EXPECT_GE(tall, 2 * 17 * 1.2 + 20) << "two lines of the 17-point title with a margin above and below";
    // Laid out at that height, the row asks for no more.
    table->layoutIfNeeded();
    EXPECT_EQ(rows->cellForRowAtIndex(1)->frame().height(), tall);
    EXPECT_EQ(screen->heightForRow(*table, {0, 1}), tall);
}

TEST_F(TableContractTest, SelectingARowDeselectsItAndRunsTheCellsBlockOnly) {
    auto rows = namedRows({"a", "b", "c"});
    rows->cellForRowAtIndex(2)->setOnSelectCellBlock({});
    auto screen = VNTableViewController::loadFromNib();
    screen->setSections({rows});
    auto table = screen->tableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(screen->navBar(), screen->outlet<plat::NavigationBar>("navBar")) << "the interface file's bar is used";

    EXPECT_TRUE(table->userSelectRow({0, 1}));
    EXPECT_EQ(rows->selected, std::vector<std::string>{"b"});
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_TRUE(table->lastDeselectAnimated());
    EXPECT_FALSE(rows->cellForRowAtIndex(1)->isSelected());

    EXPECT_TRUE(table->userSelectRow({0, 2}));
    EXPECT_EQ(rows->selected.size(), 1u) << "a row without a block does nothing";
}

TEST_F(TableContractTest, LanguageSwitchRetitlesSectionsAndReloadsTheTable) {
    auto rows = namedRows({"a"});
    auto titled = VNSection::create<LocalisedTitle>();
    auto screen = VNTableViewController::make();
    screen->setSections({rows, titled});
    auto table = screen->tableView();
    EXPECT_EQ(labelText(table->headerView(1)), "Settings");
    const int before = rows->retitled;

    useLanguage("ja");
    EXPECT_EQ(rows->retitled, before + 1);
    EXPECT_EQ(labelText(table->headerView(1)), "設定");
    EXPECT_EQ(screen->backButton()->title(), "戻る");
}

TEST_F(TableContractTest, SectionsOutliveTheirScreenWithoutAParent) {
    auto rows = namedRows({"a"});
    {
        auto screen = VNTableViewController::make();
        screen->setSections({rows});
        screen->tableView();
    }
    EXPECT_EQ(rows->parentController(), nullptr);
    useLanguage("fr");  // the section still observes on its own
    rows.reset();
    useLanguage("en");  // and stops when it goes
}

class CheckListTest : public ShellTest {};

TEST_F(CheckListTest, CheckCellMarksOneRowEvenWhenTheCellIsForeign) {
    auto rows = namedRows({"a", "b", "c"});
    rows->checkCell(rows->cellForRowAtIndex(1).get());
    EXPECT_EQ(rows->cellForRowAtIndex(0)->accessoryType(), plat::AccessoryType::None);
    EXPECT_EQ(rows->cellForRowAtIndex(1)->accessoryType(), plat::AccessoryType::Checkmark);

    auto foreign = VNTableViewCell::loadFromNib();
    rows->checkCell(foreign.get());
    EXPECT_EQ(foreign->accessoryType(), plat::AccessoryType::Checkmark);
    for (std::size_t i = 0; i < rows->numRows(); ++i) {
        EXPECT_EQ(rows->cellForRowAtIndex(i)->accessoryType(), plat::AccessoryType::None);
    }
}

TEST_F(CheckListTest, OpenerPresentsTheListAndBackRefreshesTheOwner) {
    auto app = std::make_shared<qx::KestrelAppDelegate>();
    app->applicationDidFinishLaunching();
    drain();

    auto owner = namedRows({"Language"});
    auto choices = namedRows({"English", "Deutsch"}, "");
    owner->setCheckListForCell(owner->cellForRowAtIndex(0), choices);
    auto settingsScreen = VNTableViewController::make();
    settingsScreen->setSections({owner});
    app->tabBarController()->screenForTab(qx::Tab::dashboard)->presentViewController(settingsScreen, false);
    ASSERT_EQ(qx::visibleViewController(), settingsScreen.get());

    ASSERT_TRUE(settingsScreen->tableView()->userSelectRow({0, 0}));
    auto* list = dynamic_cast<VNTableViewController*>(qx::visibleViewController());
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list, settingsScreen.get());
    EXPECT_EQ(list->title(), "Language");
    EXPECT_EQ(list->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    EXPECT_TRUE(list->wasPresentedAnimated());
    EXPECT_EQ(list->sections(), std::vector<qx::VNSectionPtr>{choices});
    EXPECT_EQ(choices->parentController().get(), list);

    const int before = owner->retitled;
    list->onBack();
    EXPECT_EQ(owner->retitled, before + 1);
    EXPECT_EQ(qx::visibleViewController(), settingsScreen.get());
}

}  // namespace
