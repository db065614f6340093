#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "link/DemoScript.h"
#include "link/InstrumentSource.h"
#include "platform/foundation/Timer.h"

namespace qx {

// An instrument without hardware: it plays a script (the built-in walk or a replay file) on the
// run loop's clock as readings and position fixes, for any device type from 1 to 9, and keeps the
// state the application writes (thresholds, search coefficient, history period and mode, dose),
// so that every write shows in the readings that follow.
//
// The instrument lives on while no link is open: its script time runs from its creation, and on
// the next open it goes on where the clock has got to. It keeps its own history of dose-rate
// and dose records (one pair per history period while a link is open; the VN2450 also leaves
// the factory with two days of hourly records).
class DemoInstrument final : public InstrumentSource, public std::enable_shared_from_this<DemoInstrument> {
public:
    // A reading to play once, overriding what the script says; systemMode and battery stay.
    struct NextReading {
        std::optional<double> der{};
        std::optional<double> de{};
        std::optional<double> countRate{};
        std::optional<double> variation{};
        std::optional<double> accumulationTime{};
        std::optional<unsigned> systemMode{};
        std::optional<unsigned> battery{};
        std::optional<bool> overload{};
    };

    static constexpr double kSensitivity = 60;           // counts per second per µSv/h
    static constexpr std::size_t kHistoryCapacity = 2000;  // records
    static constexpr std::size_t kHistoryChunk = 50;       // records per history report
    static constexpr double kBatteryDrainInterval = 600;   // seconds per percent
    static constexpr unsigned kLowestBattery = 5;
    static constexpr int kSignalStrength = -58;            // dBm

    // `serial` 0 gives the model's demo serial number.
    static std::shared_ptr<DemoInstrument> make(unsigned deviceType, std::shared_ptr<DemoScript> script,
                                                std::uint32_t serial = 0);
    DemoInstrument(unsigned deviceType, std::shared_ptr<DemoScript> script, std::uint32_t serial);
    ~DemoInstrument() override;

    // InstrumentSource
    unsigned deviceType() const override { return type_; }
    std::string name() const override;
    std::string identifier() const override;
    void open(Listener listener) override;
    void close() override;
    bool isOpen() const override { return open_; }
    void send(const InstrumentCommand& command) override;

    void setNextReading(const NextReading& next);

    // The instrument's state.
    std::uint32_t serialNumber() const { return serial_; }
    std::string serialText() const { return std::to_string(serial_); }
    std::string version() const;
    const std::array<float, 4>& thresholds() const { return thresholds_; }  // µSv/h, µSv
    float coeffN() const { return coeffN_; }
    double historyPeriod() const { return historyPeriod_; }  // minutes
    unsigned jobMode() const { return jobMode_; }            // 0 cyclic, 1 linear
    double dose() const { return dose_; }
    unsigned battery() const { return battery_; }
    const std::deque<DetectorHistoryItem>& history() const { return history_; }
    const std::optional<InstrumentReading>& lastReading() const { return last_; }

private:
    void emitLater(InstrumentEvent event);
    void emitNow(const InstrumentEvent& event);
    void scheduleNext();
    std::size_t firstIndexAtOrAfter(double elapsed) const;
    void playNext();
    InstrumentReading readingFor(const DemoSample& sample, plat::Date now);
    void advanceDose(const DemoSample& sample, plat::Date now);
    void drainBattery(plat::Date now);
    void recordHistory(plat::Date now);
    void appendHistory(const DetectorHistoryItem& item);
    void seedHistory();
    void sendHistory();
    void restoreFactorySettings();

    unsigned type_;
    std::shared_ptr<DemoScript> script_;
    std::uint32_t serial_;
    plat::Date origin_;

    Listener listener_;
    bool open_ = false;
    unsigned generation_ = 0;  // events posted for an earlier link are dropped
    std::shared_ptr<plat::Timer> playTimer_;
    std::size_t nextIndex_ = 0;

    double dose_ = 0;
    std::optional<double> lastScriptDose_;
    std::optional<plat::Date> lastPlayed_;
    plat::Date accumulationStart_;
    unsigned battery_ = 100;
    plat::Date batteryClock_;
    unsigned systemMode_ = 0;
    std::array<float, 4> thresholds_{};
    float coeffN_ = 5.3f;
    double historyPeriod_ = 10;
    unsigned jobMode_ = 0;
    std::optional<plat::Date> nextHistoryAt_;
    std::deque<DetectorHistoryItem> history_;
    std::optional<NextReading> next_;
    std::optional<InstrumentReading> last_;
};

}  // namespace qx
