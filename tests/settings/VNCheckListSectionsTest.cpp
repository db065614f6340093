#include "FilterSectionsTestFixture.h"
#include "settings/VNDetectorsSection.h"
#include "settings/VNDeviceTypesSection.h"
#include "settings/VNSetSortSection.h"

namespace {

using plat::AccessoryType;

class CheckListsTest : public FilterSectionsTest {
protected:
    static std::vector<bool> marks(const qx::VNSection& section) {
        std::vector<bool> ticked;
        for (const auto& row : section.rows()) ticked.push_back(row->accessoryType() == AccessoryType::Checkmark);
        return ticked;
    }
    static std::vector<std::string> texts(const qx::VNSection& section) {
        std::vector<std::string> shown;
        for (const auto& row : section.rows()) shown.push_back(row->textLabel().text());
        return shown;
    }
};

TEST_F(CheckListsTest, SortOrderMovesItsMark) {
    auto sort = qx::VNSection::create<qx::VNSetSortSection>();
    settings().setHistorySortMode(2);
    sort->readSettings(settings());
    sort->initRows();
    show({sort});
    EXPECT_EQ(texts(*sort), (std::vector<std::string>{"Time", "Alarm", "Name"}));
    EXPECT_EQ(marks(*sort), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(sort->timeCell()->style(), plat::CellStyle::Default) << "plain rows, not from an interface file";
    EXPECT_EQ(sort->title(), "    Sort by");

    ASSERT_TRUE(host->tableView()->userSelectRow({0, 0}));
    EXPECT_EQ(sort->sortMode(), 0u);
    EXPECT_EQ(marks(*sort), (std::vector<bool>{true, false, false}));
    sort->selectRowAtIndex(1);
    EXPECT_EQ(sort->sortMode(), 1u);
    EXPECT_EQ(settings().historySortMode(), 2u) << "held until applied";
    sort->applyToSettings(settings());
    EXPECT_EQ(settings().historySortMode(), 1u);

    useLanguage("de");
    EXPECT_EQ(texts(*sort), (std::vector<std::string>{"Zeit", "Alarm", "Name"}));
    EXPECT_EQ(sort->title(), "    Sortieren nach");
}

TEST_F(CheckListsTest, DeviceTypesOneMarkAndUntickingGoesBackToAll) {
    auto types = qx::VNSection::create<qx::VNDeviceTypesSection>();
    types->setDeviceType(4);
    types->initRows();
    ASSERT_EQ(types->numRows(), 10u);
    EXPECT_EQ(types->cellForRowAtIndex(0)->textLabel().text(), "All devices");
    EXPECT_EQ(types->cellForRowAtIndex(4)->textLabel().text(), "VN2340A");
    EXPECT_EQ(types->cellForRowAtIndex(8)->textLabel().text(), "VN2230RX1");
    EXPECT_EQ(marks(*types), (std::vector<bool>{false, false, false, false, true, false, false, false, false, false}));
    EXPECT_EQ(types->title(), "");

    types->selectRowAtIndex(6);
    EXPECT_EQ(types->deviceType(), 6u);
    EXPECT_EQ(marks(*types), (std::vector<bool>{false, false, false, false, false, false, true, false, false, false}));

    types->selectRowAtIndex(6);
    EXPECT_EQ(types->deviceType(), 0u) << "a second tap on the ticked model lifts the restriction";
    EXPECT_EQ(marks(*types), (std::vector<bool>{true, false, false, false, false, false, false, false, false, false}));
    types->selectRowAtIndex(0);
    EXPECT_EQ(types->deviceType(), 0u);
    EXPECT_TRUE(marks(*types)[0]) << "all devices stays ticked";

    useLanguage("ja");
    EXPECT_EQ(types->cellForRowAtIndex(0)->textLabel().text(), "すべての機器");
}

TEST_F(CheckListsTest, DetectorsWithoutStoredReadings) {
    auto detectors = qx::VNSection::create<qx::VNDetectorsSection>();
    EXPECT_EQ(texts(*detectors), std::vector<std::string>{"All Detectors"});
    EXPECT_EQ(marks(*detectors), std::vector<bool>{true});
    detectors->setDetectors({"gone"});
    detectors->initRows();
    EXPECT_EQ(marks(*detectors), std::vector<bool>{false}) << "a chosen serial no longer stored";
}

TEST_F(CheckListsTest, DetectorsListEachStoredSerialOnceInCaseBlindOrder) {
    storeReadings({std::string("b2"), std::string("A1"), std::nullopt, std::string(""), std::string("a3"),
                   std::string("A1"), std::string("b2")});
    EXPECT_EQ(qx::VNDetectorsSection::storedSerials(), (std::vector<std::string>{"A1", "a3", "b2"}));
    EXPECT_TRUE(qx::VNDetectorsSection::hasStoredSerials());

    auto detectors = qx::VNSection::create<qx::VNDetectorsSection>();
    detectors->setDetectors({"a3"});
    detectors->initRows();
    show({detectors});
    EXPECT_EQ(texts(*detectors), (std::vector<std::string>{"All Detectors", "A1", "a3", "b2"}));
    EXPECT_EQ(marks(*detectors), (std::vector<bool>{false, false, true, false}));

    ASSERT_TRUE(host->tableView()->userSelectRow({0, 1}));
    EXPECT_EQ(detectors->detectors(), (std::set<std::string>{"A1", "a3"}));
    detectors->selectRowAtIndex(2);
    EXPECT_EQ(detectors->detectors(), std::set<std::string>{"A1"}) << "unticking removes exactly that serial";
    EXPECT_EQ(marks(*detectors), (std::vector<bool>{false, true, false, false}));

    detectors->selectRowAtIndex(0);
    EXPECT_TRUE(detectors->detectors().empty());
    EXPECT_EQ(marks(*detectors), (std::vector<bool>{true, false, false, false})) << "all clears every serial";
    // The marks always show the choice as it is kept: "All Detectors" exactly when no serial is
    // chosen, as the list shows it when opened again.
    detectors->selectRowAtIndex(0);
    EXPECT_TRUE(detectors->detectors().empty());
    EXPECT_EQ(marks(*detectors), (std::vector<bool>{true, false, false, false})) << "unticking all with no serial";
    detectors->selectRowAtIndex(3);
    EXPECT_EQ(detectors->detectors(), std::set<std::string>{"b2"});
    EXPECT_EQ(marks(*detectors), (std::vector<bool>{false, false, false, true})) << "a serial unticks all";
    detectors->selectRowAtIndex(3);
    EXPECT_TRUE(detectors->detectors().empty());
    EXPECT_EQ(marks(*detectors), (std::vector<bool>{true, false, false, false})) << "no serial: every detector";
    detectors->selectRowAtIndex(2);
    detectors->initRows();
    EXPECT_EQ(marks(*detectors), (std::vector<bool>{false, false, true, false})) << "reopened: the same marks";

    useLanguage("ru");
    EXPECT_EQ(detectors->allSerialsCell()->textLabel().text(), "Все детекторы");
}

}  // namespace
