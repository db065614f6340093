#include "SettingsTestFixture.h"
#include "settings/VNHistorySection.h"
#include "settings/VNRecordingModeSection.h"
#include "shell/VNIntervalPickerView.h"

using qx::VNHistorySection;

namespace {

class HistorySectionTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        connectDemo(2);
    }
    qx::DemoInstrument& instrument() { return *qx::LinkLauncher::demoInstrument(); }
};

TEST_F(HistorySectionTest, RowsAndSwitchesSaveThePreferencesAtOnce) {
    settings().setLoadHistoryOnStart(false);
    settings().setClearHistory(true);
    settings().setRecordingInterval(90);
    settings().save();
    auto section = showNew<VNHistorySection>();
    EXPECT_EQ(rowTexts(*section), (std::vector<std::string>{"", "", "Recording Mode", "Recording interval", "Load History"}));
    EXPECT_EQ(section->autoLoadCell()->title().text(), "Auto Load History");
    EXPECT_EQ(section->clearCell()->title().text(), "\u0421lear history after sync");
    EXPECT_EQ(section->modeCell()->detailTextLabel().text(), "Cyclic");
    EXPECT_EQ(section->intervalCell()->detailTextLabel().text(), settings().historyRecordingIntervalString());
    EXPECT_FALSE(section->autoLoadCell()->cellSwitch().isOn());
    EXPECT_TRUE(section->clearCell()->cellSwitch().isOn());

    section->autoLoadCell()->cellSwitch().performTap();
    section->clearCell()->cellSwitch().performTap();
    EXPECT_TRUE(settings().loadHistoryOnStart());
    EXPECT_FALSE(settings().clearHistory());
    EXPECT_TRUE(saved().boolForKey("LoadHistoryOnStart"));
    EXPECT_FALSE(saved().boolForKey("ClearHistory", true));
}

TEST_F(HistorySectionTest, PickedDurationBecomesTheRecordingInterval) {
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(90), 1u);
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(600), 10u);
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(64799), 1079u);
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(64800), 1080u);
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(64801), 1080u);
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(86340), 1080u);
    // A duration under a minute would stop the recording: the shortest period is taken.
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(0), 1u);
    EXPECT_EQ(VNHistorySection::recordingIntervalFor(59), 1u);
}

TEST_F(HistorySectionTest, IntervalPickerStoresShowsAndWritesTheInterval) {
    settings().setRecordingInterval(10);
    auto section = showNew<VNHistorySection>();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 3}));
    auto picker = std::dynamic_pointer_cast<qx::VNIntervalPickerView>(host->view()->subviews().back());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->frame(), host->view()->bounds());
    EXPECT_EQ(picker->pickerView().countDownDuration(), 600);
    EXPECT_EQ(picker->title(), "Recording interval") << "the picker is named after its row";

    ASSERT_TRUE(picker->pickerView().pickCountDownDuration(20 * 3600));
    picker->close();
    EXPECT_EQ(picker->superview(), nullptr);
    EXPECT_EQ(settings().recordingInterval(), 1080u);
    EXPECT_EQ(saved().integerForKey("RecordingInterval"), 1080);
    EXPECT_EQ(section->intervalCell()->detailTextLabel().text(), settings().historyRecordingIntervalString());
    drain();
    EXPECT_EQ(instrument().historyPeriod(), 1080);

    ASSERT_TRUE(host->tableView()->userSelectRow({0, 3}));
    picker = std::dynamic_pointer_cast<qx::VNIntervalPickerView>(host->view()->subviews().back());
    ASSERT_TRUE(picker);
    picker->pickerView().pickCountDownDuration(25 * 60);
    picker->close();
    drain();
    EXPECT_EQ(settings().recordingInterval(), 25u);
    EXPECT_EQ(instrument().historyPeriod(), 25);
}

TEST_F(HistorySectionTest, RecordingModeListWritesTheModeToTheInstrument) {
    settings().setRecordingMode(1);
    auto section = showNew<VNHistorySection>();
    EXPECT_EQ(section->modeCell()->detailTextLabel().text(), "Linear");
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 2}));
    auto* list = shown<qx::VNTableViewController>();
    ASSERT_TRUE(list && list != host.get());
    EXPECT_EQ(list->title(), "Recording Mode");
    auto modes = std::dynamic_pointer_cast<qx::VNRecordingModeSection>(list->sections().at(0));
    ASSERT_TRUE(modes);
    EXPECT_EQ(rowTexts(*modes), (std::vector<std::string>{"Cyclic", "Linear"}));
    EXPECT_EQ(checkedRows(*modes), std::vector<std::size_t>{1});

    ASSERT_TRUE(list->tableView()->userSelectRow({0, 0}));
    drain();
    EXPECT_EQ(settings().recordingMode(), 0u);
    EXPECT_EQ(saved().integerForKey("RecordingMode", 1), 0);
    EXPECT_EQ(instrument().jobMode(), 0u);
    EXPECT_EQ(checkedRows(*modes), std::vector<std::size_t>{0});
    ASSERT_TRUE(list->tableView()->userSelectRow({0, 1}));
    drain();
    EXPECT_EQ(instrument().jobMode(), 1u);
    EXPECT_EQ(saved().integerForKey("RecordingMode"), 1);
    list->onBack();
    EXPECT_EQ(section->modeCell()->detailTextLabel().text(), "Linear");
}

TEST_F(HistorySectionTest, LoadHistoryReadsTheInstrumentsHistory) {
    auto store = std::make_shared<linktest::FakeStore>();
    qx::DeviceManager::sharedDeviceManager().setReadingStore(store);
    auto section = showNew<VNHistorySection>();
    section->loadCell()->onSelectCell();
    drain();
    ASSERT_EQ(store->histories.size(), 1u);
    EXPECT_FALSE(store->histories[0].empty());
}

}  // namespace
