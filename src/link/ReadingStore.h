#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/Location.h"
#include "model/DetectorHistoryItem.h"
#include "platform/foundation/Date.h"

namespace qx {

// Which instrument a stored reading came from.
struct InstrumentIdentity {
    unsigned deviceType = 0;
    std::string deviceName;    // model name
    std::string deviceSerial;  // serial number text
};

// A reading as it goes into the store with its waypoint.
struct StoredReading {
    double der = 0;        // µSv/h
    double de = 0;         // µSv
    double variation = 0;  // percent
    std::string accumulation;
    InstrumentIdentity instrument;
    std::optional<Location> location;  // none without a fix
    plat::Date date;
};

// Where the instrument link puts what it stores: autosaved waypoints and the instrument's own
// history. The measurement store implements it.
class ReadingStore {
public:
    virtual ~ReadingStore() = default;

    // True while a track records (started and not stopped).
    virtual bool isRecordingTrack() const = 0;
    // Stores an autosaved waypoint with its measurement in the recording track when there is one,
    // else in today's set.
    virtual void storeAutosavedWaypoint(const StoredReading& reading) = 0;
    // Saves the instrument's history records as measurements in their day sets, then tells
    // `done` on the main run loop whether they are safely stored.
    virtual void storeHistory(const std::vector<DetectorHistoryItem>& items, const InstrumentIdentity& instrument,
                              std::function<void(bool stored)> done) = 0;
};

}  // namespace qx
