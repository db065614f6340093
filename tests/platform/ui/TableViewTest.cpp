#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "TestEnvironment.h"
#include "platform/ui/TableView.h"
#include "platform/ui/UiFailure.h"

namespace {

using plat::DrawingContext;
using plat::DrawOp;
using plat::IndexPath;
using plat::TableView;
using plat::TableViewCell;
using plat::TableViewCellPtr;

// Sections of row names; counts cell requests and creations.
class Rows : public plat::TableViewDataSource, public plat::TableViewDelegate {
public:
    std::vector<std::vector<std::string>> data;
    int asked = 0, created = 0;
    std::vector<IndexPath> selected, committed;
    bool editable = true;

    long numberOfSections(TableView&) override { return static_cast<long>(data.size()); }
    long numberOfRows(TableView&, long s) override { return static_cast<long>(data[static_cast<std::size_t>(s)].size()); }
    TableViewCellPtr cellForRow(TableView& t, const IndexPath& ip) override {
        ++asked;
        auto cell = t.dequeueReusableCell("Row");
        if (!cell) {
            ++created;
            cell = std::make_shared<TableViewCell>(plat::CellStyle::Value1, "Row");
        }
        cell->textLabel().setText(data[static_cast<std::size_t>(ip.section)][static_cast<std::size_t>(ip.row)]);
        return cell;
    }
    std::string titleForHeader(TableView&, long s) override { return "S" + std::to_string(s); }
    bool canEditRow(TableView&, const IndexPath&) override { return editable; }
    void commitEditingStyle(TableView&, plat::EditingStyle, const IndexPath& ip) override { committed.push_back(ip); }
    void didSelectRow(TableView&, const IndexPath& ip) override { selected.push_back(ip); }
};

std::vector<std::string> texts(TableView& t, long section) {
    std::vector<std::string> out;
    for (long r = 0; r < t.numberOfRows(section); ++r) out.push_back(t.cellForRow({section, r})->textLabel().text());
    return out;
}

class TableViewTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        rows->data = {{"a", "b", "c"}, {"x"}};
        table->setDataSource(rows);
        table->setDelegate(rows);
    }
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<TableView> table = std::make_shared<TableView>(plat::Rect{0, 0, 320, 480});
};

TEST_F(TableViewTest, ReloadRecyclesCellsThroughTheReusePool) {
    EXPECT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(rows->created, 4);
    rows->data[0].pop_back();
    table->reloadData();
    EXPECT_EQ(table->numberOfRows(0), 2);
    EXPECT_EQ(rows->created, 4);  // every cell came from the pool
    EXPECT_EQ(table->reusePoolSize("Row"), 1u);
    EXPECT_EQ(texts(*table, 0), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(table->cellForRow({1, 0})->indexPath(), (IndexPath{1, 0}));
    EXPECT_EQ(table->cellForRow({5, 0}), nullptr);
}

TEST_F(TableViewTest, UpdatesKeepUntouchedCellsAndAskOnlyForNewRows) {
    table->numberOfSections();
    auto b = table->cellForRow({0, 1});
    rows->asked = 0;
    rows->data[0] = {"new", "b", "c2"};  // insert at 0, delete "a" and reload the last row
    table->beginUpdates();
    table->deleteRows({{0, 0}}, plat::RowAnimation::Fade);
    table->insertRows({{0, 0}}, plat::RowAnimation::Fade);
    table->reloadRows({{0, 2}}, plat::RowAnimation::Fade);
    table->endUpdates();
    EXPECT_EQ(rows->asked, 2);
    EXPECT_EQ(texts(*table, 0), (std::vector<std::string>{"new", "b", "c2"}));
    EXPECT_EQ(table->cellForRow({0, 1}), b);
    ASSERT_EQ(table->updateLog().size(), 5u);  // two reloads when the sources were set, then the batch
    EXPECT_EQ(table->updateLog().back().kind, plat::TableUpdate::Kind::ReloadRows);
    EXPECT_EQ(table->updateLog().back().animation, plat::RowAnimation::Fade);
}

TEST_F(TableViewTest, RowCountsThatDoNotAddUpFailLoudlyAndReload) {
    plat::UiFailureCapture failures;
    table->numberOfSections();
    rows->data[0].push_back("d");  // one more row, but the update says one was deleted
    table->deleteRows({{0, 0}}, plat::RowAnimation::Fade);
    ASSERT_EQ(failures.messages().size(), 1u);
    EXPECT_NE(failures.messages()[0].find("invalid number of rows in section 0"), std::string::npos);
    EXPECT_NE(failures.messages()[0].find("after the update (4)"), std::string::npos);
    EXPECT_NE(failures.messages()[0].find("before the update (3)"), std::string::npos);
    EXPECT_EQ(texts(*table, 0), (std::vector<std::string>{"a", "b", "c", "d"}));  // reloaded from the source

    // Deleting a row that never existed, and a section count that does not add up.
    table->deleteRows({{0, 9}}, plat::RowAnimation::None);
    rows->data.push_back({"z"});
    table->reloadSections({0}, plat::RowAnimation::None);
    ASSERT_EQ(failures.messages().size(), 3u);
    EXPECT_NE(failures.messages()[1].find("attempt to delete row 9 from section 0"), std::string::npos);
    EXPECT_NE(failures.messages()[2].find("invalid number of sections"), std::string::npos);
}

TEST_F(TableViewTest, ConsistentSectionUpdatesPass) {
    plat::UiFailureCapture failures;
    table->numberOfSections();
    rows->data.erase(rows->data.begin());
    rows->data.push_back({"p", "q"});
    table->beginUpdates();
    table->deleteSections({0}, plat::RowAnimation::Fade);
    table->insertSections({1}, plat::RowAnimation::Fade);
    table->endUpdates();
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(texts(*table, 0), (std::vector<std::string>{"x"}));
    EXPECT_EQ(texts(*table, 1), (std::vector<std::string>{"p", "q"}));
}

TEST_F(TableViewTest, TappingSelectsOneRowAndDeselectingRecordsAnimation) {
    EXPECT_TRUE(table->cellForRow({0, 1})->performTap());
    EXPECT_TRUE(table->userSelectRow({1, 0}));
    EXPECT_EQ(rows->selected, (std::vector<IndexPath>{{0, 1}, {1, 0}}));
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<IndexPath>{{1, 0}}));
    EXPECT_FALSE(table->cellForRow({0, 1})->isSelected());
    table->deselectRow({1, 0}, true);
    EXPECT_TRUE(table->lastDeselectAnimated());
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
    table->setAllowsSelection(false);
    EXPECT_FALSE(table->userSelectRow({0, 0}));
}

TEST_F(TableViewTest, SwipeToDeleteCommitsThroughTheDataSourceOnlyForEditableRows) {
    EXPECT_TRUE(table->beginSwipeToDelete({0, 2}));
    EXPECT_NE(table->describe().find("Row \"c\"\n      Button \"Delete\"\n"), std::string::npos);
    EXPECT_FALSE(table->userSelectRow({0, 0}));  // the tap only hides the Delete button
    EXPECT_TRUE(rows->committed.empty());
    EXPECT_TRUE(table->swipeToDelete({0, 2}));
    EXPECT_EQ(rows->committed, (std::vector<IndexPath>{{0, 2}}));
    rows->editable = false;
    EXPECT_FALSE(table->swipeToDelete({0, 1}));
}

TEST_F(TableViewTest, EditingShowsADeleteControlBeforeEachDeletableRowInsteadOfItsAccessory) {
    class FirstSectionEditable : public Rows {
        bool canEditRow(TableView&, const IndexPath& ip) override { return ip.section == 0; }
    };
    auto some = std::make_shared<FirstSectionEditable>();
    some->data = rows->data;
    table->setDataSource(some);
    table->setDelegate(some);
    auto a = table->cellForRow({0, 0});
    a->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
    auto strokes = [](TableViewCell& cell) {
        DrawingContext ctx;
        cell.drawRect(ctx, cell.bounds());
        return ctx.commandsOf(DrawOp::StrokePath).size();
    };
    const auto normalStrokes = strokes(*a);  // the separator and the chevron

    table->setEditing(true);
    a->layoutSubviews();
    EXPECT_TRUE(a->isShowingDeleteControl());
    EXPECT_FALSE(table->cellForRow({1, 0})->isShowingDeleteControl());
    EXPECT_EQ(strokes(*a), normalStrokes - 1);  // no chevron while editing
    const std::string shown = table->describe();
    std::size_t controls = 0;
    for (auto at = shown.find("DeleteControl"); at != std::string::npos; at = shown.find("DeleteControl", at + 1)) ++controls;
    EXPECT_EQ(controls, 3u) << shown;
    // A tap on the control shows the row's Delete button, as a swipe does.
    auto control = a->subviews().back();
    ASSERT_EQ(control->kindName(), "DeleteControl");
    ASSERT_TRUE(control->performTap());
    EXPECT_EQ(table->rowConfirmingDelete(), (IndexPath{0, 0}));
    ASSERT_TRUE(table->confirmDelete());
    EXPECT_EQ(some->committed, (std::vector<IndexPath>{{0, 0}}));

    table->setEditing(false);
    a->layoutSubviews();
    EXPECT_FALSE(a->isShowingDeleteControl());
    EXPECT_EQ(strokes(*a), normalStrokes);
}

TEST_F(TableViewTest, DescribesSectionsRowsAndAccessories) {
    table->cellForRow({0, 0})->setAccessoryType(plat::AccessoryType::Checkmark);
    table->cellForRow({0, 0})->detailTextLabel().setText("1 mSv");
    table->cellForRow({1, 0})->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
    EXPECT_EQ(table->describe(),
              "Table\n"
              "  Section 0 \"S0\"\n"
              "    Row \"a\" detail \"1 mSv\" [checked]\n"
              "    Row \"b\"\n"
              "    Row \"c\"\n"
              "  Section 1 \"S1\"\n"
              "    Row \"x\" [>]\n");
}

}  // namespace

namespace {

// Header views, heights and accessories of a two-section table.
class Headed : public Rows {
public:
    std::vector<plat::IndexPath> accessoryTaps;
    std::shared_ptr<plat::View> header = std::make_shared<plat::View>(plat::Rect{0, 0, 320, 21});
    std::shared_ptr<plat::View> viewForHeader(TableView&, long s) override { return s == 0 ? header : nullptr; }
    double heightForRow(TableView&, const IndexPath& ip) override { return ip.section == 0 ? 76 : plat::kAutomaticDimension; }
    void accessoryButtonTapped(TableView&, const IndexPath& ip) override { accessoryTaps.push_back(ip); }
};

TEST(TableLayoutTest, RowsStackUnderTheirHeadersWithTheirHeights) {
    auto rows = std::make_shared<Headed>();
    rows->data = {{"a", "b"}, {"x"}};
    auto table = std::make_shared<TableView>(plat::Rect{0, 0, 320, 480});
    table->setDataSource(rows);
    table->setDelegate(rows);
    table->layoutIfNeeded();
    EXPECT_EQ(table->headerView(0), rows->header);
    EXPECT_EQ(rows->header->frame(), (plat::Rect{0, 0, 320, 21}));
    EXPECT_EQ(table->rectForRow({0, 1}), (plat::Rect{0, 97, 320, 76}));
    // Section 1 has a title "S1" and no view: 22 points of header, then a 44-point row.
    EXPECT_EQ(table->rectForRow({1, 0}), (plat::Rect{0, 195, 320, 44}));
    EXPECT_EQ(table->contentSize().height, 239);
    EXPECT_EQ(table->subviews().front(), rows->header);

    table->cellForRow({1, 0})->setAccessoryType(plat::AccessoryType::DetailDisclosureButton);
    EXPECT_TRUE(table->tapAccessory({1, 0}));
    EXPECT_FALSE(table->tapAccessory({0, 0}));  // no button there
    EXPECT_EQ(rows->accessoryTaps, (std::vector<IndexPath>{{1, 0}}));
}

// A delegate that makes new header and footer views each time (texts in a new language): a
// reload or an update puts the new ones in place of the old, which leave the table.
TEST(TableLayoutTest, NewHeaderAndFooterViewsReplaceTheOldOnes) {
    class Fresh : public Rows {
    public:
        std::vector<std::shared_ptr<plat::View>> made;
        std::shared_ptr<plat::View> viewForHeader(TableView&, long) override { return make(); }
        std::shared_ptr<plat::View> viewForFooter(TableView&, long) override { return make(); }
        std::shared_ptr<plat::View> make() {
            made.push_back(std::make_shared<plat::View>(plat::Rect{0, 0, 320, 20}));
            return made.back();
        }
    };
    auto rows = std::make_shared<Fresh>();
    rows->data = {{"a", "b"}, {"x"}};
    auto table = std::make_shared<TableView>(plat::Rect{0, 0, 320, 480});
    table->setDataSource(rows);
    table->setDelegate(rows);
    auto onTable = [&] {
        std::size_t n = 0;
        for (const auto& v : rows->made) n += v->superview() == table.get();
        return n;
    };
    const auto steps = std::vector<std::function<void()>>{
        [&] { table->reloadData(); },
        [&] { table->reloadSections({0}, plat::RowAnimation::Fade); },
        [&] {
            rows->data[1].push_back("y");
            table->insertRows({{1, 1}}, plat::RowAnimation::Fade);
        },
    };
    table->layoutIfNeeded();
    for (const auto& step : steps) {
        step();
        table->layoutIfNeeded();
        EXPECT_EQ(onTable(), 4u) << "two sections, each with its header and footer";
        EXPECT_EQ(table->headerView(1)->superview(), table.get());
        EXPECT_EQ(table->footerView(0)->superview(), table.get());
    }
}

TEST(TableLayoutTest, ANullCellIsAFailureAndARowStillShows) {
    class Broken : public Rows {
    public:
        TableViewCellPtr cellForRow(TableView&, const IndexPath&) override { return nullptr; }
    };
    plat::UiFailureCapture failures;
    auto rows = std::make_shared<Broken>();
    rows->data = {{"a"}};
    auto table = std::make_shared<TableView>();
    table->setDataSource(rows);
    ASSERT_NE(table->cellForRow({0, 0}), nullptr);
    ASSERT_EQ(failures.messages().size(), 1u);
    EXPECT_NE(failures.messages()[0].find("no cell for row [0, 0]"), std::string::npos);
}

TEST(TableLayoutTest, UpdatesBeforeTheFirstLoadSimplyLoadAndCellsKeptByTheSourceAreNotHandedOut) {
    plat::UiFailureCapture failures;
    auto rows = std::make_shared<Rows>();
    rows->data = {{"a"}};
    auto table = std::make_shared<TableView>();
    table->setDataSource(rows);
    rows->data[0].push_back("b");
    table->insertRows({{0, 0}, {0, 1}}, plat::RowAnimation::Fade);  // never shown: no check
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(table->numberOfRows(0), 2);

    // A source that keeps its own cell: after a reload that cell is pooled, but once the
    // source returns it again it must not come out of the pool for another row.
    class Keeper : public Rows {
    public:
        TableViewCellPtr kept = std::make_shared<TableViewCell>(plat::CellStyle::Default, "Row");
        TableViewCellPtr cellForRow(TableView& t, const IndexPath& ip) override {
            if (ip.row == 0) return kept;
            return Rows::cellForRow(t, ip);
        }
    };
    auto keeper = std::make_shared<Keeper>();
    keeper->data = {{"k", "x", "y"}};
    table->setDataSource(keeper);
    table->numberOfSections();
    table->reloadData();
    auto cells = table->visibleCells();
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0], keeper->kept);
    EXPECT_NE(cells[1], keeper->kept);
    EXPECT_NE(cells[2], keeper->kept);
}

TEST(TableLayoutTest, EditingModeAndMultipleSelection) {
    auto rows = std::make_shared<Rows>();
    rows->data = {{"a", "b", "c"}};
    auto table = std::make_shared<TableView>();
    table->setDataSource(rows);
    table->setDelegate(rows);
    table->setEditing(true, true);
    EXPECT_TRUE(table->lastEditingAnimated());
    EXPECT_TRUE(table->cellForRow({0, 1})->isEditing());
    EXPECT_FALSE(table->userSelectRow({0, 0}));  // no selection while editing unless allowed
    table->setAllowsSelectionDuringEditing(true);
    EXPECT_TRUE(table->userSelectRow({0, 0}));
    table->setEditing(false);
    table->setAllowsMultipleSelection(true);
    EXPECT_TRUE(table->userSelectRow({0, 2}));
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<IndexPath>{{0, 0}, {0, 2}}));
    EXPECT_TRUE(table->userSelectRow({0, 0}));  // a second tap deselects
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<IndexPath>{{0, 2}}));
    // Selection follows its row through an insertion above it.
    rows->data[0].insert(rows->data[0].begin(), "new");
    table->insertRows({{0, 0}}, plat::RowAnimation::Top);
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<IndexPath>{{0, 3}}));
    auto selectedCell = table->cellForRow({0, 3});
    table->reloadData();
    EXPECT_TRUE(table->indexPathsForSelectedRows().empty());
    EXPECT_FALSE(selectedCell->isSelected());
}

}  // namespace

namespace {

TEST_F(TableViewTest, RowsOnDemandGetCellsWhenTheyShowOrAreRead) {
    rows->data = {std::vector<std::string>(1000)};
    for (std::size_t i = 0; i < 1000; ++i) rows->data[0][i] = "r" + std::to_string(i);
    table->setLoadsRowsOnDemand(true);
    EXPECT_EQ(table->numberOfRows(0), 1000);
    const int firstScreen = rows->asked;
    EXPECT_GE(firstScreen, 10);  // 480 points of 44-point rows
    EXPECT_LE(firstScreen, 12);
    EXPECT_FALSE(table->loadedCellForRow({0, 500}));

    // A row read by code gets its cell at its place; scrolling gives the rows shown theirs.
    auto far = table->cellForRow({0, 700});
    ASSERT_TRUE(far);
    EXPECT_EQ(far->textLabel().text(), "r700");
    EXPECT_EQ(far->frame().y(), table->cellForRow({0, 699})->frame().maxY());
    table->setContentOffset({0, 300 * TableViewCell::kDefaultHeight});
    ASSERT_TRUE(table->loadedCellForRow({0, 305}));
    EXPECT_EQ(table->loadedCellForRow({0, 305})->textLabel().text(), "r305");

    // Updates keep the table consistent around rows that never had a cell.
    rows->data[0].erase(rows->data[0].begin() + 2);
    rows->data[0].insert(rows->data[0].begin(), "new");
    table->beginUpdates();
    table->deleteRows({{0, 2}}, plat::RowAnimation::Fade);
    table->insertRows({{0, 0}}, plat::RowAnimation::Fade);
    table->endUpdates();
    EXPECT_EQ(table->numberOfRows(0), 1000);
    EXPECT_EQ(table->cellForRow({0, 0})->textLabel().text(), "new");
    EXPECT_EQ(table->cellForRow({0, 3})->textLabel().text(), "r3");
    EXPECT_EQ(table->cellForRow({0, 600})->textLabel().text(), "r600");
    EXPECT_EQ(table->cellForRow({0, 700}), far);  // kept, at the same place
    EXPECT_EQ(far->frame().y(), table->cellForRow({0, 699})->frame().maxY());
    EXPECT_LT(rows->asked, 100);
    EXPECT_TRUE(table->userSelectRow({0, 900}));
    EXPECT_EQ(rows->selected.back(), (IndexPath{0, 900}));
}

}  // namespace

namespace {

// A list of a million rows of one height, and one of rows of two heights: the rows in view are
// found from the offset alone, only they get cells, and the listing names them and the count.
TEST(TableLongListTest, ShowsAndListsOnlyTheRowsInViewWithTheirCount) {
    class Numbered : public plat::TableViewDataSource, public plat::TableViewDelegate {
    public:
        long rows = 1000000;
        bool twoHeights = false;
        long numberOfRows(TableView&, long) override { return rows; }
        TableViewCellPtr cellForRow(TableView& t, const IndexPath& ip) override {
            auto cell = t.dequeueReusableCell("Row");
            if (!cell) cell = std::make_shared<TableViewCell>(plat::CellStyle::Default, "Row");
            cell->textLabel().setText("r" + std::to_string(ip.row));
            return cell;
        }
        double heightForRow(TableView&, const IndexPath& ip) override {
            return twoHeights ? (ip.row % 2 ? 60 : 30) : plat::kAutomaticDimension;
        }
    };
    auto rows = std::make_shared<Numbered>();
    auto table = std::make_shared<TableView>(plat::Rect{0, 0, 320, 480});
    table->setLoadsRowsOnDemand(true);
    table->setDataSource(rows);
    table->setDelegate(rows);
    table->layoutIfNeeded();
    auto listed = [&] {
        std::vector<std::string> out;
        std::istringstream lines(table->describe());
        for (std::string line; std::getline(lines, line);) {
            const auto at = line.find("Row \"");
            if (at != std::string::npos) out.push_back(line.substr(at + 5, line.find('"', at + 5) - at - 5));
        }
        return out;
    };
    auto rowsInView = [&] {
        std::vector<long> out;
        for (const auto& ip : table->rowsInView()) out.push_back(ip.row);
        return out;
    };
    EXPECT_NE(table->describe().find("Section 0 (1000000 rows)"), std::string::npos);
    EXPECT_EQ(listed(), (std::vector<std::string>{"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10"}));
    EXPECT_EQ(table->contentSize().height, 1000000 * TableViewCell::kDefaultHeight);

    // Far down, and a row read by code out of view: it has its cell but is not listed.
    table->setContentOffset({0, 500000 * TableViewCell::kDefaultHeight + 22});
    ASSERT_TRUE(table->cellForRow({0, 3}));
    EXPECT_EQ(rowsInView().front(), 500000);
    EXPECT_EQ(rowsInView().size(), 12u);
    EXPECT_EQ(listed().front(), "r500000");
    EXPECT_EQ(listed().size(), 12u);
    EXPECT_EQ(table->cellForRow({0, 500011})->frame().y(), 500011 * TableViewCell::kDefaultHeight);
    EXPECT_LE(table->visibleCells().size(), 25u);

    // Rows of 30 and 60 points: from 90 down, rows 2 to 12 show (row 1 ends at 90).
    rows->rows = 100;
    rows->twoHeights = true;
    table->reloadData();
    table->layoutIfNeeded();
    table->setContentOffset({0, 90});
    EXPECT_EQ(rowsInView(), (std::vector<long>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(table->cellForRow({0, 12})->frame(), (plat::Rect{0, 540, 320, 30}));
    EXPECT_EQ(table->contentSize().height, 50 * 30 + 50 * 60);
}

}  // namespace
