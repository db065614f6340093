#include "link/MeasurementStoreAdapter.h"

#include "platform/foundation/Log.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

bool MeasurementStoreAdapter::isRecordingTrack() const { return Track::recordingTrack() != nullptr; }

void MeasurementStoreAdapter::storeAutosavedWaypoint(const StoredReading& r) {
    // The instrument's name, serial and accumulation reach the store through the current
    // reading source, which DeviceManager provides.
    Waypoint::applyData(r.der, r.de, r.variation, r.location, r.date, [](Waypoint& w) { w.setAutoSaved(true); },
                        [](const std::shared_ptr<Waypoint>&, const StoreError* error) {
                            if (error) plat::Log::line("DeviceManager: an automatic waypoint could not be stored");
                        });
}

std::vector<HistoryRecord> MeasurementStoreAdapter::historyRecords(const std::vector<DetectorHistoryItem>& items,
                                                                   const InstrumentIdentity& instrument) {
    std::vector<HistoryRecord> records;
    bool rateOpen = false;  // the last record came from a dose-rate item still waiting for its dose
    for (const auto& item : items) {
        if (item.type == DetectorHistoryItem::doseRateKind) {
            records.push_back({item.date, item.figure(), 0, instrument.deviceType, instrument.deviceName,
                               instrument.deviceSerial});
            rateOpen = true;
        } else if (item.type == DetectorHistoryItem::doseKind) {
            if (rateOpen && records.back().date == item.date) {
                records.back().de = item.figure();
            } else {
                records.push_back({item.date, 0, item.figure(), instrument.deviceType, instrument.deviceName,
                                   instrument.deviceSerial});
            }
            rateOpen = false;
        }
    }
    return records;
}

void MeasurementStoreAdapter::storeHistory(const std::vector<DetectorHistoryItem>& items,
                                           const InstrumentIdentity& instrument, std::function<void(bool)> done) {
    HistoryManager::sharedHistoryManager().saveHistoryRecords(
        historyRecords(items, instrument), [done = std::move(done)](bool ok, const StoreError*) {
            if (done) done(ok);
        });
}

}  // namespace qx
