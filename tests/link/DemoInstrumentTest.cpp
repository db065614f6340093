#include "LinkTestSupport.h"
#include "link/DemoReplay.h"
#include "link/DemoWalk.h"
#include "link/DeviceTypes.h"

using namespace linktest;
using qx::DemoInstrument;

namespace {

class DemoInstrumentTest : public LinkTest {
protected:
    std::vector<qx::InstrumentEvent> events;
    std::shared_ptr<DemoInstrument> openDemo(unsigned type, std::shared_ptr<qx::DemoScript> script) {
        auto d = DemoInstrument::make(type, std::move(script));
        d->open([this](const qx::InstrumentEvent& e) { events.push_back(e); });
        return d;
    }
    template <class E>
    std::vector<E> eventsOf() const {
        return alternativesOf<E>(events);
    }
    static std::shared_ptr<qx::DemoScript> steady(double der) {
        return qx::DemoReplay::parse("0," + std::to_string(der) + ",,,,,\n", nullptr, nullptr);
    }
};

TEST_F(DemoInstrumentTest, WalkIsAKilometreLoopThroughAHotSpot) {
    qx::DemoWalk walk;
    double length = 0, lowest = 1e9, highest = 0;
    const std::size_t steps = static_cast<std::size_t>(qx::DemoWalk::kLoopLength / qx::DemoWalk::kSpeed);
    for (std::size_t i = 1; i <= steps; ++i) {
        length += walk.sample(i).fix->distanceFromLocation(*walk.sample(i - 1).fix);
        lowest = std::min(lowest, walk.sample(i).der);
        highest = std::max(highest, walk.sample(i).der);
    }
    EXPECT_NEAR(length, 1000, 5);
    EXPECT_NEAR(walk.sample(steps).fix->distanceFromLocation(*walk.sample(0).fix), 0, 1);  // back at the start
    EXPECT_LT(lowest, 0.3);
    EXPECT_GT(highest, 1.2);
}

TEST_F(DemoInstrumentTest, PlaysOnTheClockAndIntegratesTheDose) {
    auto d = openDemo(3, steady(3.6));
    drain();
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(std::holds_alternative<qx::event::Connected>(events.front()));
    const auto first = eventsOf<qx::event::Reading>().size();
    advance(100);
    const auto readings = eventsOf<qx::event::Reading>();
    EXPECT_EQ(readings.size(), first + 100);
    EXPECT_NEAR(readings.back().reading.de, 0.1, 1e-9);  // 3.6 µSv/h for 100 s
    EXPECT_EQ(readings.back().reading.countRate, 3.6 * DemoInstrument::kSensitivity);
    EXPECT_EQ(readings.back().reading.accumulationTime, 1.0);  // capped at a minute
    EXPECT_TRUE(readings.back().reading.searchAlarm);

    // Closed, it reports nothing; opened again it goes on from where the clock is.
    d->close();
    advance(50);
    EXPECT_EQ(eventsOf<qx::event::Reading>().size(), readings.size());
    d->open([this](const qx::InstrumentEvent& e) { events.push_back(e); });
    advance(1);
    EXPECT_LE(eventsOf<qx::event::Reading>().size(), readings.size() + 2);
    EXPECT_NEAR(d->dose(), 3.6 * 151 / 3600, 1e-9);
}

TEST_F(DemoInstrumentTest, WritesShowInTheNextReadings) {
    auto d = openDemo(4, steady(0.4));
    advance(2);
    ASSERT_FALSE(d->lastReading()->derAlarm);  // factory threshold: 100 µSv/h
    d->send(qx::command::WriteThreshold{0, 0.35f});
    d->send(qx::command::WriteThreshold{2, 1e-5f});
    advance(1);
    EXPECT_TRUE(d->lastReading()->derAlarm);
    EXPECT_TRUE(d->lastReading()->deAlarm);

    d->send(qx::command::ResetDose{});
    advance(1);
    EXPECT_NEAR(d->lastReading()->de, 0.4 / 3600, 1e-12);
    EXPECT_EQ(eventsOf<qx::event::DoseReset>().size(), 1u);

    d->send(qx::command::FactoryDefaults{});
    advance(1);
    EXPECT_FALSE(d->lastReading()->derAlarm);
    EXPECT_EQ(d->thresholds(), qx::DeviceTypes::factoryThresholds(4));

    DemoInstrument::NextReading next;
    next.der = 500;
    next.overload = true;
    d->setNextReading(next);
    advance(1);
    EXPECT_EQ(d->lastReading()->der, 500);
    EXPECT_TRUE(d->lastReading()->overload);
    advance(1);
    EXPECT_EQ(d->lastReading()->der, 0.4);  // once only
    EXPECT_FALSE(d->lastReading()->overload);
}

TEST_F(DemoInstrumentTest, HistoryMemoryIsCyclicOrLinear) {
    auto d = openDemo(2, steady(0.2));
    d->send(qx::command::ClearHistory{});
    d->send(qx::command::WriteHistoryPeriod{0.1});
    d->send(qx::command::WriteJobMode{1});
    advance(6.0 * DemoInstrument::kHistoryCapacity / 2 + 60);
    ASSERT_EQ(d->history().size(), DemoInstrument::kHistoryCapacity);
    const auto lastKept = d->history().back();
    advance(60);
    EXPECT_EQ(d->history().back(), lastKept);  // linear: full memory stops recording

    d->send(qx::command::WriteJobMode{0});
    advance(60);
    EXPECT_EQ(d->history().size(), DemoInstrument::kHistoryCapacity);
    EXPECT_GT(d->history().back().date, lastKept.date);  // cyclic: the oldest make room
}

TEST_F(DemoInstrumentTest, VN2450LeavesTheFactoryWithTwoDaysOfRecords) {
    auto d = DemoInstrument::make(2, steady(0.1));
    ASSERT_EQ(d->history().size(), 96u);
    const auto& first = d->history().front();
    EXPECT_EQ(first.type, qx::DetectorHistoryItem::doseRateKind);
    EXPECT_EQ(d->history()[1].type, qx::DetectorHistoryItem::doseKind);
    EXPECT_EQ(std::fmod(first.date.timeIntervalSince1970(), 3600.0), 0);
    EXPECT_GE(plat::Date::now().timeIntervalSince(first.date), 47 * 3600.0);
    EXPECT_TRUE(DemoInstrument::make(3, steady(0.1))->history().empty());
}

TEST_F(DemoInstrumentTest, NamesAndDeviceInformationFollowTheModel) {
    auto ble = openDemo(7, steady(0.1));
    EXPECT_EQ(ble->name(), "VN2340A-GNM$" + ble->serialText());
    EXPECT_NE(ble->identifier(), DemoInstrument::make(6, steady(0.1))->identifier());
    ble->send(qx::command::ReadDeviceInformation{});
    ble->send(qx::command::ReadSignalStrength{});
    drain();
    const auto info = eventsOf<qx::event::Information>();
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].info.modelNumber, "VN2340A-GNM");
    EXPECT_EQ(info[0].info.serialNumber, ble->serialText());
    EXPECT_EQ(eventsOf<qx::event::SignalStrength>().size(), 1u);
    EXPECT_EQ(DemoInstrument::make(1, steady(0.1))->name(), "VN2560");
}

}  // namespace
