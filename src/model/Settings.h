#pragma once

#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/Threshold.h"
#include "platform/foundation/Date.h"
#include "platform/graphics/Color.h"

namespace qx {

// The process-wide preferences, loaded from user defaults on first use. Setters change memory
// only; save() writes every preference at once. The first run (no "NotFistRun" yet) writes the
// defaults.
class Settings {
public:
    static Settings& sharedSettings();
    // Drops the shared object so the next sharedSettings() loads again (data folder changed).
    static void resetShared();

    void save();
    // The keys (as Preferences.json names them) whose stored values could not be used when the
    // settings were loaded, and which hold their defaults instead; sorted.
    const std::vector<std::string>& resetOnLoad() const { return resetOnLoad_; }

    // Interface and units
    const std::string& language() const { return language_; }
    void setLanguage(std::string code) { language_ = std::move(code); }
    bool metric() const { return metric_; }
    void setMetric(bool v) { metric_ = v; }
    unsigned unit() const { return unit_; }  // 0 roentgen, 1 sievert
    void setUnit(unsigned v) { unit_ = v; }
    unsigned startScreen() const { return startScreen_; }  // 0 dashboard, 1 track, 2 history, 3 world map
    void setStartScreen(unsigned v) { startScreen_ = v; }
    bool shakeMute() const { return shakeMute_; }
    void setShakeMute(bool v) { shakeMute_ = v; }
    bool autoSave() const { return autoSave_; }
    void setAutoSave(bool v) { autoSave_ = v; }
    unsigned autosaveInterval() const { return autosaveInterval_; }
    void setAutosaveInterval(unsigned seconds) { autosaveInterval_ = seconds; }
    bool localNotifications() const { return localNotifications_; }
    void setLocalNotifications(bool v) { localNotifications_ = v; }

    // Thresholds: the same objects on every call, changed in place by their users.
    Threshold& DERthreshold() { return derThreshold_; }
    Threshold& DEthreshold() { return deThreshold_; }
    Threshold& trackThresh() { return trackThresh_; }

    // Track recording
    bool trackDRSettingsOn() const { return trackDRSettingsOn_; }
    void setTrackDRSettingsOn(bool v) { trackDRSettingsOn_ = v; }
    double trackTime() const { return trackTime_; }  // minutes
    // The time step in whole seconds: it is chosen in seconds but kept in single precision, so
    // 5 s reads back as 5.00000015 s. Below one second (or not a number) it is 0: no step.
    double trackTimeSeconds() const {
        const double seconds = std::round(trackTime_ * 60);
        return seconds >= 1 ? seconds : 0;
    }
    void setTrackTime(double minutes) { trackTime_ = minutes; }
    bool trackTimeOn() const { return trackTimeOn_; }
    void setTrackTimeOn(bool v) { trackTimeOn_ = v; }
    unsigned trackDistance() const { return trackDistance_; }  // metres or yards by metric()
    void setTrackDistance(unsigned v) { trackDistance_ = v; }
    bool trackDistanceOn() const { return trackDistanceOn_; }
    void setTrackDistanceOn(bool v) { trackDistanceOn_ = v; }
    bool trackFirstTreshOn() const { return trackFirstTreshOn_; }
    void setTrackFirstTreshOn(bool v) { trackFirstTreshOn_ = v; }
    bool trackSecondTreshOn() const { return trackSecondTreshOn_; }
    void setTrackSecondTreshOn(bool v) { trackSecondTreshOn_ = v; }

    // Colours of a dose rate (µSv/h) and a dose (µSv) against their thresholds: red above the
    // second, orange above the first, else green. A value equal to a threshold is not above it.
    plat::Color derColor(double doseRate);
    plat::Color deColor(double dose);
    static constexpr plat::Color kGreen = plat::Color::rgba(0.4235, 0.6275, 0.0431);

    // The localised name of a device type code; empty for an unknown code.
    static std::string stringFromDeviceType(unsigned code);

    // History filters
    bool historyFilterAlarmsOnly() const { return historyFilterAlarmsOnly_; }
    void setHistoryFilterAlarmsOnly(bool v) { historyFilterAlarmsOnly_ = v; }
    bool historyFilterNotUploaded() const { return historyFilterNotUploaded_; }
    void setHistoryFilterNotUploaded(bool v) { historyFilterNotUploaded_ = v; }
    bool historyDayFrom() const { return historyDayFrom_; }
    void setHistoryDayFrom(bool v) { historyDayFrom_ = v; }
    bool historyDaysTo() const { return historyDaysTo_; }
    void setHistoryDaysTo(bool v) { historyDaysTo_ = v; }
    // The date bounds of the history and world-map filters: the one the person chose, or now
    // (today) for one never chosen, whatever day it is.
    plat::Date historyDateFrom() const { return historyDateFrom_.value_or(plat::Date::now()); }
    void setHistoryDateFrom(plat::Date d) { historyDateFrom_ = d; }
    plat::Date historyDateTo() const { return historyDateTo_.value_or(plat::Date::now()); }
    void setHistoryDateTo(plat::Date d) { historyDateTo_ = d; }
    unsigned historyDeviceTypeOnly() const { return historyDeviceTypeOnly_; }
    void setHistoryDeviceTypeOnly(unsigned v) { historyDeviceTypeOnly_ = v; }
    const std::set<std::string>& historyDetectorOnlySerials() const { return historyDetectorOnlySerials_; }
    void setHistoryDetectorOnlySerials(std::set<std::string> v) { historyDetectorOnlySerials_ = std::move(v); }
    unsigned historySortMode() const { return historySortMode_; }  // 0 date, 1 alarms, 2 name
    void setHistorySortMode(unsigned v) { historySortMode_ = v; }

    // Instrument history
    bool loadHistoryOnStart() const { return loadHistoryOnStart_; }
    void setLoadHistoryOnStart(bool v) { loadHistoryOnStart_ = v; }
    bool clearHistory() const { return clearHistory_; }
    void setClearHistory(bool v) { clearHistory_ = v; }
    unsigned recordingInterval() const { return recordingInterval_; }  // minutes
    void setRecordingInterval(unsigned minutes) { recordingInterval_ = minutes; }
    std::string historyRecordingIntervalString() const;
    unsigned recordingMode() const { return recordingMode_; }  // 0 cyclic, 1 linear
    void setRecordingMode(unsigned v) { recordingMode_ = v; }

    // Search
    double coeffN() const { return coeffN_; }
    void setCoeffN(double v) { coeffN_ = v; }
    bool searchMuteGamma() const { return searchMuteGamma_; }
    void setSearchMuteGamma(bool v) { searchMuteGamma_ = v; }

    // World-map filter
    unsigned WMDistance() const { return wmDistance_; }  // km or miles by metric()
    void setWMDistance(unsigned v) { wmDistance_ = v; }
    bool WMDistanceOn() const { return wmDistanceOn_; }
    void setWMDistanceOn(bool v) { wmDistanceOn_ = v; }
    bool WMAlertsOnly() const { return wmAlertsOnly_; }
    void setWMAlertsOnly(bool v) { wmAlertsOnly_ = v; }
    bool WMTimeFromOn() const { return wmTimeFromOn_; }
    void setWMTimeFromOn(bool v) { wmTimeFromOn_ = v; }
    bool WMTimeToOn() const { return wmTimeToOn_; }
    void setWMTimeToOn(bool v) { wmTimeToOn_ = v; }
    plat::Date WMTimeFrom() const { return wmTimeFrom_.value_or(plat::Date::now()); }
    void setWMTimeFrom(plat::Date d) { wmTimeFrom_ = d; }
    plat::Date WMTimeTo() const { return wmTimeTo_.value_or(plat::Date::now()); }
    void setWMTimeTo(plat::Date d) { wmTimeTo_ = d; }
    double WMthresholdValue() const { return wmThresholdValue_; }
    void setWMthresholdValue(double v) { wmThresholdValue_ = v; }
    int WMthresholdScaleRange() const { return wmThresholdScaleRange_; }
    void setWMthresholdScaleRange(int v) { wmThresholdScaleRange_ = v; }

    // ZENET (the password lives in the secret store, not here)
    const std::string& ZENETServerAddress() const { return zenetServerAddress_; }
    void setZENETServerAddress(std::string v) { zenetServerAddress_ = std::move(v); }
    const std::optional<std::string>& ZENETUsername() const { return zenetUsername_; }
    void setZENETUsername(std::optional<std::string> v) { zenetUsername_ = std::move(v); }
    bool ZENETAutoApload() const { return zenetAutoApload_; }
    void setZENETAutoApload(bool v) { zenetAutoApload_ = v; }
    bool ZENETLoggedIn() const { return zenetLoggedIn_; }  // not persisted
    void setZENETLoggedIn(bool v) { zenetLoggedIn_ = v; }

    // RadResponder
    const std::string& RRServerAddress() const { return rrServerAddress_; }
    void setRRServerAddress(std::string v) { rrServerAddress_ = std::move(v); }
    unsigned RREventId() const { return rrEventId_; }
    void setRREventId(unsigned v) { rrEventId_ = v; }
    const std::string& RREventName() const { return rrEventName_; }
    void setRREventName(std::string v) { rrEventName_ = std::move(v); }
    unsigned RRUploadMode() const { return rrUploadMode_; }  // 0 manual, 1 automatic, 2 alarms
    void setRRUploadMode(unsigned v) { rrUploadMode_ = v; }

    static constexpr const char* kDefaultZENETServerAddress = "https://zenet.vennorlabs.com/Zenet31/DeviceService";
    static constexpr const char* kFormerZENETServerAddress = "http://zenet.vennorlabs.com/Zenet31/DeviceService";
    static constexpr const char* kDefaultRRServerAddress = "https://www.radresponder.net";
    static constexpr const char* kDefaultRREventName = "Testing/Training (Vennorlabs US)";

private:
    Settings();
    // Reads the stored preferences; true when the defaults are to be written: on the first run,
    // when there are none, when stored values were reset, and when the file lacked the mark of
    // an earlier save.
    bool load();
    void keepValuesInRange();
    template <class Io>
    void visitPreferences(Io& io);
    template <class Io>
    void visitAll(Io& io);
    static plat::Color colorFor(double value, const Threshold& threshold);

    std::string language_ = "en";
    bool metric_ = true;
    unsigned unit_ = 1;
    unsigned startScreen_ = 0;
    bool shakeMute_ = false;
    bool autoSave_ = true;
    unsigned autosaveInterval_ = 3600;
    bool localNotifications_ = true;

    Threshold derThreshold_{0.3, 1.2};
    Threshold deThreshold_{100, 1000};
    Threshold trackThresh_{0.3, 1.2};

    bool trackDRSettingsOn_ = true;
    double trackTime_ = 1;
    bool trackTimeOn_ = true;
    unsigned trackDistance_ = 100;
    bool trackDistanceOn_ = false;
    bool trackFirstTreshOn_ = true;
    bool trackSecondTreshOn_ = true;

    bool historyFilterAlarmsOnly_ = false;
    bool historyFilterNotUploaded_ = false;
    bool historyDayFrom_ = false;
    bool historyDaysTo_ = false;
    std::optional<plat::Date> historyDateFrom_;  // none: never chosen
    std::optional<plat::Date> historyDateTo_;
    unsigned historyDeviceTypeOnly_ = 0;
    std::set<std::string> historyDetectorOnlySerials_;
    unsigned historySortMode_ = 0;

    bool loadHistoryOnStart_ = false;
    bool clearHistory_ = true;
    unsigned recordingInterval_ = 10;
    unsigned recordingMode_ = 0;

    double coeffN_ = 5.3;
    bool searchMuteGamma_ = false;

    unsigned wmDistance_ = 10;
    bool wmDistanceOn_ = false;
    bool wmAlertsOnly_ = false;
    bool wmTimeFromOn_ = false;
    bool wmTimeToOn_ = false;
    std::optional<plat::Date> wmTimeFrom_;
    std::optional<plat::Date> wmTimeTo_;
    double wmThresholdValue_ = 0;
    int wmThresholdScaleRange_ = 0;

    std::string zenetServerAddress_ = kDefaultZENETServerAddress;
    std::optional<std::string> zenetUsername_;
    bool zenetAutoApload_ = true;
    bool zenetLoggedIn_ = false;

    std::string rrServerAddress_ = kDefaultRRServerAddress;
    unsigned rrEventId_ = 68800;
    std::string rrEventName_ = kDefaultRREventName;
    unsigned rrUploadMode_ = 0;
    std::vector<std::string> resetOnLoad_;
};

}  // namespace qx
