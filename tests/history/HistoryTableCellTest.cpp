#include "HistoryTestSupport.h"
#include "history/MeasurementTableCell.h"
#include "history/SetTableCell.h"
#include "history/TrackTableCell.h"
#include "history/WaypointTableCell.h"

using namespace qx;

namespace qxtest {

using HistoryTableCellTest = HistoryTest;

TEST_F(HistoryTableCellTest, CheckBoxTapTogglesAndReportsOnlyToAnOwnerThatListens) {
    auto row = TrackTableCell::make();
    auto owner = std::make_shared<RecordingOwner>(true);
    row->setDelegate(owner);

    ASSERT_TRUE(row->checkButton()->performTap());
    EXPECT_TRUE(row->checkButton()->checked());
    ASSERT_TRUE(row->checkButton()->performTap());
    EXPECT_FALSE(row->checkButton()->checked());
    ASSERT_EQ(owner->checks.size(), 2u);
    EXPECT_EQ(owner->checks[0], std::make_pair(static_cast<HistoryTableCell*>(row.get()), true));
    EXPECT_EQ(owner->checks[1], std::make_pair(static_cast<HistoryTableCell*>(row.get()), false));

    // An owner without the operation is not called, yet the box still toggles.
    auto silent = std::make_shared<RecordingOwner>(false);
    row->setDelegate(silent);
    ASSERT_TRUE(row->checkButton()->performTap());
    EXPECT_TRUE(row->checkButton()->checked());
    EXPECT_TRUE(silent->checks.empty());

    // A row whose owner is gone toggles without reporting.
    row->setDelegate(owner);
    owner.reset();
    ASSERT_TRUE(row->checkButton()->performTap());
    EXPECT_FALSE(row->checkButton()->checked());
}

TEST_F(HistoryTableCellTest, SettingTheMarkFromCodeNeverReachesTheOwner) {
    auto row = WaypointTableCell::make();
    auto owner = std::make_shared<RecordingOwner>(true);
    row->setDelegate(owner);
    row->setChecked(true);
    EXPECT_TRUE(row->checkButton()->checked());
    row->setChecked(false);
    EXPECT_FALSE(row->checkButton()->checked());
    EXPECT_TRUE(owner->checks.empty());
}

TEST_F(HistoryTableCellTest, ManageLookMakesTheNameEditableAndNormalLookUndoesIt) {
    auto row = WaypointTableCell::make();
    auto owner = std::make_shared<RecordingOwner>(true);
    row->setDelegate(owner);
    EXPECT_FALSE(row->nameTextField()->isUserInteractionEnabled());

    row->manageMode();
    EXPECT_FALSE(row->accessoryButton()->isHidden());
    EXPECT_EQ(row->accessoryButton()->title(), "Edit");
    EXPECT_TRUE(row->checkButton()->isHidden());
    EXPECT_TRUE(row->nameTextField()->isUserInteractionEnabled());
    EXPECT_EQ(row->nameTextField()->delegate(), owner);
    EXPECT_EQ(row->nameTextField()->borderStyle(), plat::TextBorderStyle::RoundedRect);

    row->normalMode();
    EXPECT_TRUE(row->accessoryButton()->isHidden());
    EXPECT_FALSE(row->checkButton()->isHidden());
    EXPECT_FALSE(row->nameTextField()->isUserInteractionEnabled());
    EXPECT_EQ(row->nameTextField()->delegate(), nullptr);
    EXPECT_EQ(row->nameTextField()->borderStyle(), plat::TextBorderStyle::None);

    // While the table edits, its delete control takes the check box's place; the box comes
    // back when editing ends, unless the row keeps its manage look.
    row->setEditing(true);
    EXPECT_TRUE(row->checkButton()->isHidden());
    row->normalMode();
    EXPECT_TRUE(row->checkButton()->isHidden());
    row->setEditing(false);
    EXPECT_FALSE(row->checkButton()->isHidden());
    row->manageMode();
    row->setEditing(false);
    EXPECT_TRUE(row->checkButton()->isHidden());
}

TEST_F(HistoryTableCellTest, EditButtonOpensTheKeyboardOnTheNameAndTellsAListeningOwner) {
    auto row = TrackTableCell::make();
    auto owner = std::make_shared<RecordingOwner>(true);
    row->setDelegate(owner);
    row->manageMode();
    row->nameTextField()->setText("Morning walk");

    ASSERT_TRUE(row->accessoryButton()->performTap());
    EXPECT_TRUE(row->nameTextField()->isFirstResponder());
    ASSERT_EQ(owner->began.size(), 1u);
    EXPECT_EQ(owner->began[0], row.get());

    // Typing goes into the name; the row's name is what the field holds.
    EXPECT_TRUE(row->nameTextField()->typeText(" 2"));
    EXPECT_EQ(row->name(), "Morning walk 2");

    EXPECT_TRUE(row->resignFirstResponder());
    EXPECT_FALSE(row->nameTextField()->isFirstResponder());

    // An owner without the operation still gets the keyboard opened, and no call.
    auto silent = std::make_shared<RecordingOwner>(false);
    row->setDelegate(silent);
    row->buttonTapped();
    EXPECT_TRUE(row->nameTextField()->isFirstResponder());
    EXPECT_TRUE(silent->began.empty());
    row->resignFirstResponder();
}

TEST_F(HistoryTableCellTest, RowsWithoutAnEditButtonStillChangeTheirLook) {
    auto reading = MeasurementTableCell::make();
    EXPECT_EQ(reading->accessoryButton(), nullptr);
    reading->manageMode();
    EXPECT_TRUE(reading->checkButton()->isHidden());
    EXPECT_TRUE(reading->nameTextField()->isUserInteractionEnabled());
    reading->buttonTapped();  // the keyboard opens on the name; nothing else to do
    EXPECT_TRUE(reading->nameTextField()->isFirstResponder());
    reading->resignFirstResponder();
    reading->normalMode();
    EXPECT_FALSE(reading->checkButton()->isHidden());
    EXPECT_NE(reading->describe().find("CheckBox"), std::string::npos);
    EXPECT_EQ(reading->describe().find("Edit"), std::string::npos);

    auto day = SetTableCell::make();
    EXPECT_EQ(day->accessoryButton(), nullptr);
    day->manageMode();
    day->normalMode();
    EXPECT_FALSE(day->checkButton()->isHidden());
}

TEST_F(HistoryTableCellTest, HiddenCheckBoxStaysHiddenUntilTheNormalLookShowsIt) {
    auto row = WaypointTableCell::make();
    row->hideCheckButton(true);
    EXPECT_TRUE(row->checkButton()->isHidden());
    EXPECT_FALSE(row->checkButton()->performTap());
    row->normalMode();
    EXPECT_FALSE(row->checkButton()->isHidden());
}

}  // namespace qxtest
