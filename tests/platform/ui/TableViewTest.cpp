#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ui/TableView.h"
#include "platform/ui/UiFailure.h"

namespace {

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
    EXPECT_NE(table->describe().find("Row \"c\" [Delete]"), std::string::npos);
    EXPECT_FALSE(table->userSelectRow({0, 0}));  // the tap only hides the Delete button
    EXPECT_TRUE(rows->committed.empty());
    EXPECT_TRUE(table->swipeToDelete({0, 2}));
    EXPECT_EQ(rows->committed, (std::vector<IndexPath>{{0, 2}}));
    rows->editable = false;
    EXPECT_FALSE(table->swipeToDelete({0, 1}));
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
