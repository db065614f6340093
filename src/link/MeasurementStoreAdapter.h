#pragma once

#include <memory>
#include <vector>

#include "link/ReadingStore.h"
#include "store/HistoryManager.h"

namespace qx {

// The measurement store as the place where the instrument link stores: automatic waypoints go
// through Waypoint::applyData (into the recording track or today's set), the instrument's
// history through HistoryManager (measurements in their day sets).
class MeasurementStoreAdapter final : public ReadingStore {
public:
    bool isRecordingTrack() const override;
    void storeAutosavedWaypoint(const StoredReading& reading) override;
    void storeHistory(const std::vector<DetectorHistoryItem>& items, const InstrumentIdentity& instrument,
                      std::function<void(bool stored)> done) override;

    // The readings among history records: each dose-rate record with the dose record of the
    // same minute when one follows it; a dose record alone stands for itself. Event records
    // (power, alarms) are no readings.
    static std::vector<HistoryRecord> historyRecords(const std::vector<DetectorHistoryItem>& items,
                                                     const InstrumentIdentity& instrument);

private:
    // Whether the person was told that readings cannot be stored, since the last one stored.
    std::shared_ptr<bool> toldFailure_ = std::make_shared<bool>(false);
};

}  // namespace qx
