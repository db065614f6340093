#include "link/MeasurementStoreAdapter.h"

#include "model/StorageAlert.h"
#include "platform/foundation/Log.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

bool MeasurementStoreAdapter::isRecordingTrack() const { return Track::recordingTrack() != nullptr; }

void MeasurementStoreAdapter::storeAutosavedWaypoint(const StoredReading& r) {
    // The instrument's name, serial and accumulation reach the store through the current
    // reading source, which DeviceManager provides.
    // Readings come every few seconds: a full disk is told once, and again only after storing
    // worked in between. The recording goes on; each reading tries again, so storing resumes by
    // itself once there is room.
    Waypoint::applyData(r.der, r.de, r.variation, r.location, r.date, [](Waypoint& w) { w.setAutoSaved(true); },
                        [told = toldFailure_](const std::shared_ptr<Waypoint>&, const StoreError* error) {
                            if (!error) {
                                // The fixes went on counting while their readings were refused:
                                // the recording's figures go back to what its points show.
                                if (const auto track = Track::recordingTrack(); track && Track::recordingFiguresAhead()) {
                                    track->refigureFromStoredPoints();
                                    Track::setRecordingFiguresAhead(false);
                                }
                                if (*told) plat::Log::line("DeviceManager: automatic waypoints are stored again");
                                *told = false;
                                return;
                            }
                            Track::setRecordingFiguresAhead(true);
                            plat::Log::line("DeviceManager: an automatic waypoint could not be stored: " +
                                            error->message);
                            if (*told) return;
                            *told = true;
                            // Room comes back by itself; a file that cannot be written does not.
                            StorageAlert::show("Readings Not Stored",
                                               error->code == StoreError::Code::diskFull
                                                   ? "New readings cannot be stored: %@. Recording goes on, and "
                                                     "readings are stored again as soon as there is room."
                                                   : "New readings cannot be stored: %@.",
                                               Store::failureReason(*error));
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
