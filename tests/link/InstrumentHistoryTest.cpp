#include "LinkTestSupport.h"

using namespace linktest;

namespace {

class InstrumentHistoryTest : public LinkTest {
protected:
    std::shared_ptr<FakeStore> store = std::make_shared<FakeStore>();
    void SetUp() override {
        LinkTest::SetUp();
        manager().setReadingStore(store);
    }
};

TEST_F(InstrumentHistoryTest, VN2450HistoryIsStoredThenClearedOnTheInstrument) {
    qxtest::LogCapture log;
    launchDemo(2);
    const std::vector<qx::DetectorHistoryItem> onInstrument(demo()->history().begin(), demo()->history().end());
    ASSERT_GT(onInstrument.size(), qx::DemoInstrument::kHistoryChunk);  // comes in several parts

    manager().loadHistory();
    manager().loadHistory();  // a second request while the first runs reads nothing twice
    drain();
    EXPECT_EQ(log.count("DeviceManager loadHistory..."), 2u);
    ASSERT_EQ(store->histories.size(), 1u);
    EXPECT_EQ(store->histories[0], onInstrument);
    EXPECT_EQ(store->historyInstruments[0].deviceType, 2u);
    EXPECT_EQ(store->historyInstruments[0].deviceName, "VN2450");
    EXPECT_EQ(store->historyInstruments[0].deviceSerial, demo()->serialText());
    EXPECT_TRUE(demo()->history().empty());
}

TEST_F(InstrumentHistoryTest, InstrumentKeepsItsHistoryUnlessSafelyStoredAndClearingIsOn) {
    launchDemo(2);
    const auto count = demo()->history().size();

    settings().setClearHistory(false);
    manager().loadHistory();
    drain();
    EXPECT_EQ(demo()->history().size(), count);

    settings().setClearHistory(true);
    store->historyStoredOk = false;
    manager().loadHistory();
    drain();
    EXPECT_EQ(store->histories.size(), 2u);
    EXPECT_EQ(demo()->history().size(), count);

    manager().setReadingStore(nullptr);
    manager().loadHistory();
    drain();
    EXPECT_EQ(demo()->history().size(), count);
}

TEST_F(InstrumentHistoryTest, OtherModelsHaveNoHistoryToRead) {
    qxtest::LogCapture log;
    launchDemo(3);
    manager().loadHistory();
    drain();
    EXPECT_TRUE(log.contains("DeviceManager loadHistory..."));
    EXPECT_TRUE(store->histories.empty());
}

TEST_F(InstrumentHistoryTest, LosingTheInstrumentMidReadStoresNothing) {
    auto source = std::make_shared<ScriptedSource>(2);
    manager();
    qx::AccessoryPort::shared().plugIn(source);
    source->report(qx::event::Connected{});
    manager().loadHistory();
    drain();
    ASSERT_EQ(source->sentOf<qx::command::ReadHistory>().size(), 1u);
    qx::event::History part;
    part.items.push_back(qx::DetectorHistoryItem::value(qx::DetectorHistoryItem::doseRateKind, 0.2f, plat::Date::now()));
    source->report(part);
    qx::AccessoryPort::shared().unplug();
    drain();
    EXPECT_TRUE(store->histories.empty());
}

}  // namespace
