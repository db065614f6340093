#include "ShellTestFixture.h"
#include "shell/CheckButton.h"
#include "shell/VNCheckButtonTableViewCell.h"
#include "shell/VNTableViewServerAddressCell.h"
#include "shell/VNTableViewSwitchCell.h"
#include "shell/VNThresholdTableViewCell.h"

namespace {

class CellsTest : public ShellTest {};

TEST_F(CellsTest, CheckButtonRunsItsBlockOnlyForTouches) {
    qx::CheckButton box;
    std::vector<bool> heard;
    box.setOnCheck([&](bool on) { heard.push_back(on); });
    box.setChecked(true);
    EXPECT_TRUE(box.checked());
    EXPECT_EQ(box.currentImage()->name(), qx::CheckButton::kCheckedImage);
    EXPECT_TRUE(heard.empty()) << "setting from code runs nothing";

    EXPECT_TRUE(box.performTap());
    EXPECT_FALSE(box.checked());
    EXPECT_EQ(box.currentImage()->name(), qx::CheckButton::kUncheckedImage);
    EXPECT_TRUE(box.performTap());
    EXPECT_EQ(heard, (std::vector<bool>{false, true}));

    box.setEnabled(false);
    EXPECT_FALSE(box.performTap());
    EXPECT_EQ(heard.size(), 2u);
}

TEST_F(CellsTest, TextFieldCellReportsTheStartAndTheEndOfAnEdit) {
    auto cell = qx::VNTableViewServerAddressCell::loadFromNib();
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->cellTextField().inputAccessoryView().get(), &cell->accessoryToolBar());
    EXPECT_EQ(cell->accessoryToolBarButton()->title(), "Done");

    std::vector<std::pair<std::string, bool>> heard;
    std::vector<std::string> stored;
    cell->setOnTextChangedBlock([&, raw = cell.get()](const std::string& text) {
        heard.emplace_back(text, raw->isEditing());
        if (!raw->isEditing()) stored.push_back(text);
    });
    cell->cellTextField().setText("http://old");
    ASSERT_TRUE(cell->cellTextField().becomeFirstResponder());
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], (std::pair<std::string, bool>{"", true})) << "the start is heard before any typing";
    cell->cellTextField().typeText("/x");
    EXPECT_EQ(heard.size(), 1u);

    EXPECT_TRUE(cell->accessoryToolBarButton()->press());  // Done ends the edit
    EXPECT_FALSE(cell->cellTextField().isFirstResponder());
    EXPECT_FALSE(cell->isEditing());
    EXPECT_EQ(stored, std::vector<std::string>{"http://old/x"}) << "stored once per edit";
}

TEST_F(CellsTest, SwitchCellPassesTheNewStateAndIgnoresChangesWithoutABlock) {
    auto cell = qx::VNTableViewSwitchCell::loadFromNib();
    EXPECT_TRUE(cell->cellSwitch().performTap());  // no block: nothing to run
    std::vector<bool> heard;
    cell->setOnSwitchOnOffBlock([&](bool on) { heard.push_back(on); });
    cell->cellSwitch().performTap();
    cell->cellSwitch().setOn(true);  // from code: not heard
    cell->cellSwitch().performTap();
    EXPECT_EQ(heard, (std::vector<bool>{false, false}));
}

TEST_F(CellsTest, ThresholdCellShowsItsTypeAndAnUnknownTypeAsTheSecond) {
    auto cell = qx::VNThresholdTableViewCell::loadFromNib();
    cell->setType(0);
    EXPECT_EQ(cell->thresholdIcon().image()->name(), "icon-treshhold-yellow");
    EXPECT_EQ(cell->thresholdValue().textColor(), plat::Color::orange());
    EXPECT_EQ(cell->thresholdTitle().text(), "First threshold");
    cell->setType(2);
    EXPECT_EQ(cell->thresholdTitle().text(), "First threshold");
    EXPECT_EQ(cell->thresholdValue().textColor(), plat::Color::red());
    cell->setType(3);
    EXPECT_EQ(cell->thresholdTitle().text(), "Indication threshold");

    auto second = qx::VNThresholdTableViewCell::loadFromNib();
    second->setType(1);
    cell->setType(7);
    EXPECT_EQ(cell->type(), 7u);
    EXPECT_EQ(cell->thresholdTitle().text(), second->thresholdTitle().text());
    EXPECT_EQ(cell->thresholdIcon().image()->name(), second->thresholdIcon().image()->name());
    EXPECT_EQ(cell->thresholdValue().textColor(), second->thresholdValue().textColor());

    const auto requests = cell->displayRequestCount();
    cell->setValue("1.20 µSv/h");
    EXPECT_EQ(cell->thresholdValue().text(), "1.20 µSv/h");
    EXPECT_GT(cell->displayRequestCount(), requests);
}

TEST_F(CellsTest, CheckButtonCellsComeWithTheirLabels) {
    auto cell = qx::VNCheckButtonValueUnitTableViewCell::loadFromNib();
    ASSERT_TRUE(cell);
    cell->title().setText("Dose rate");
    cell->value().setText("0.30");
    cell->unit().setText("µSv/h");
    EXPECT_EQ(cell->reuseIdentifier(), "VNCheckButtonValueUnitTableViewCell");
    const auto text = cell->describe();
    for (const char* part : {"Dose rate", "0.30", "µSv/h", "CheckBox [ ]"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;
    }
}

TEST_F(CellsTest, TitlesBesideValuesTakeTheRoomTheyNeedAndFollowNewTexts) {
    // Fixed frames shrank a name that the row had room for, and cut a value with seconds.
    const auto fitsWhole = [](const plat::Label& label) { return label.font().widthOf(label.text()) <= label.frame().width(); };
    auto first = qx::VNThresholdTableViewCell::loadFromNib();
    first->setType(0);
    first->setValue("100 µSv");
    first->updateForInspection();
    EXPECT_TRUE(fitsWhole(first->thresholdTitle()));
    EXPECT_TRUE(fitsWhole(first->thresholdValue()));
    EXPECT_GE(first->thresholdValue().frame().x(), first->thresholdTitle().frame().maxX());

    auto step = qx::VNCheckButtonValueUnitTableViewCell::loadFromNib();
    step->title().setText("Time, every");
    step->value().setText("00:01:00");
    step->unit().setText("min");
    step->updateForInspection();
    for (const plat::Label* label : {&step->title(), &step->value(), &step->unit()}) {
        EXPECT_TRUE(fitsWhole(*label)) << label->text();
    }
    EXPECT_LE(step->value().frame().maxX(), step->unit().frame().x());
    EXPECT_LE(step->unit().frame().maxX(), step->contentView().bounds().width());

    // Texts set after the row was laid out (a language switch) get their room when it is next
    // drawn or read.
    step->value().setText("00:10");
    step->title().setText("Time, every step");
    step->updateForInspection();
    EXPECT_TRUE(fitsWhole(step->title()));
}

}  // namespace
