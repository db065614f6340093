#pragma once

#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "store/Store.h"

namespace qx {

// One record of the instrument's own history.
struct HistoryRecord {
    plat::Date date;
    double der = 0;  // µSv/h
    double de = 0;   // µSv
    unsigned deviceType = 0;
    std::string deviceName;
    std::string deviceSerial;
};

// The process-wide service that saves the instrument's history into the store and wipes the
// store.
class HistoryManager {
public:
    static HistoryManager& sharedHistoryManager();

    // Deletes every set, track, waypoint and measurement and leaves an empty, working store;
    // the current set and track are forgotten. Main thread.
    bool resetHistoryDataBase(StoreError* error = nullptr);

    // Saves the records as measurements without waypoint in the sets of their days, in one
    // background save. A record already stored (same date, instrument and reading) is not
    // stored again, so reading an uncleared history twice adds nothing.
    void saveHistoryRecords(std::vector<HistoryRecord> records, SaveCompletion completion = {});

private:
    HistoryManager() = default;
};

}  // namespace qx
