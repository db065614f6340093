#include "link/AutosavePolicy.h"

#include <cmath>

#include "model/Settings.h"

namespace qx {

void AutosavePolicy::start(plat::Date now) { lastAutosave_ = now; }

void AutosavePolicy::setLastSaveTime(plat::Date date) {
    lastTrackSave_ = date;
    distance_ = 0;
}

void AutosavePolicy::addDistance(double metres) {
    if (metres > 0) distance_ += metres;
}

unsigned AutosavePolicy::evaluate(plat::Date now, double doseRate, bool recording, Settings& s) {
    unsigned fired = none;
    const unsigned period = s.autosaveInterval();
    if (s.autoSave() && period > 0 && now.timeIntervalSince(lastAutosave_) >= period) fired |= interval;

    if (!recording) {
        wasRecording_ = false;
        return fired;
    }
    if (!wasRecording_) {
        // A new recording: its distance and threshold levels start afresh.
        wasRecording_ = true;
        distance_ = 0;
        aboveFirst_ = aboveSecond_ = false;
    }
    // Compared in whole seconds: a step read back a hair above its seconds would otherwise make
    // a reading each second miss it and save one second late.
    const double step = s.trackTimeSeconds();
    if (s.trackTimeOn() && step > 0 && std::round(now.timeIntervalSince(lastTrackSave_)) >= step) fired |= trackTime;

    const double metres = s.trackDistance() * (s.metric() ? 1.0 : kMetresPerYard);
    if (s.trackDistanceOn() && metres > 0 && distance_ >= metres) fired |= trackDistance;

    const Threshold& t = s.trackDRSettingsOn() ? s.DERthreshold() : s.trackThresh();
    const bool aboveFirst = doseRate > t.firstThreshold->value();
    const bool aboveSecond = doseRate > t.secondThreshold->value();
    if (s.trackFirstTreshOn() && aboveFirst && !aboveFirst_) fired |= firstThreshold;
    if (s.trackSecondTreshOn() && aboveSecond && !aboveSecond_) fired |= secondThreshold;
    aboveFirst_ = aboveFirst;
    aboveSecond_ = aboveSecond;
    return fired;
}

void AutosavePolicy::noteSaved(plat::Date now) {
    lastAutosave_ = now;
    lastTrackSave_ = now;
    distance_ = 0;
}

}  // namespace qx
