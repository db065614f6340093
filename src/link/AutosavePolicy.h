#pragma once

#include "platform/foundation/Date.h"

namespace qx {

class Settings;

// Decides when a reading becomes an automatic waypoint.
//
// General autosave: with Settings::autoSave on, one waypoint every Settings::autosaveInterval
// seconds while readings come in, counted from the connection or from the last automatic
// waypoint (an interval of 0 stores nothing).
//
// Track triggers, only while a track records, each with its own switch:
//  - time: Settings::trackTime minutes since the last save;
//  - distance: Settings::trackDistance (metres, or yards when not metric) travelled along the
//    position fixes since the last save;
//  - first / second threshold: the dose rate rises above that threshold of the thresholds that
//    apply to tracks (Settings::DERthreshold when trackDRSettingsOn, else trackThresh). A rise is
//    a reading above the threshold whose predecessor in the same recording was not above it:
//    staying above stores nothing more, dropping back and rising again stores again. At the
//    start of a recording the level counts as not above, so a recording that begins inside a hot
//    area marks it once with its first reading.
//
// "The last save" is the last automatic waypoint of any trigger, or the time last given to
// setLastSaveTime (the start of a recording); both also restart the distance. One reading stores at most one waypoint, however many triggers fired.
class AutosavePolicy {
public:
    enum Trigger : unsigned {
        none = 0,
        interval = 1,
        trackTime = 2,
        trackDistance = 4,
        firstThreshold = 8,
        secondThreshold = 16,
    };

    static constexpr double kMetresPerYard = 0.9144;

    // An instrument connected: the general interval starts now.
    void start(plat::Date now);
    // Restarts the track time and distance (the Track tab calls it when a recording begins).
    void setLastSaveTime(plat::Date date);
    // Distance covered between two fixes, in metres.
    void addDistance(double metres);

    // The triggers that fire for a reading taken at `now`; a set of Trigger bits.
    unsigned evaluate(plat::Date now, double doseRate, bool recording, Settings& settings);
    // An automatic waypoint was stored at `now`.
    void noteSaved(plat::Date now);

    double distanceSinceSave() const { return distance_; }
    plat::Date lastTrackSave() const { return lastTrackSave_; }

private:
    plat::Date lastAutosave_;
    plat::Date lastTrackSave_;
    double distance_ = 0;
    bool aboveFirst_ = false;
    bool aboveSecond_ = false;
    bool wasRecording_ = false;
};

}  // namespace qx
