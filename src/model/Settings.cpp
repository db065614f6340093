#include "model/Settings.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "model/DeviceModels.h"
#include "model/Language.h"
#include "model/StorageAlert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace qx {

namespace {

constexpr const char* kNotFirstRunKey = "NotFistRun";

std::mutex sharedMutex;
std::unique_ptr<Settings>& sharedSlot() {
    static std::unique_ptr<Settings> slot;
    return slot;
}

// Reads each preference from user defaults. A missing key keeps the in-memory default; so does
// a stored value the preference cannot take (another type, a number its type cannot hold, which
// would otherwise wrap round), and that key is noted in `reset`.
struct Loader {
    plat::UserDefaults& d;
    std::vector<std::string>& reset;

    template <class T, class Stored>
    void take(const char* key, const std::optional<Stored>& stored, T& v) {
        if (stored && fits<T>(*stored)) {
            v = static_cast<T>(*stored);
        } else if (d.contains(key) || d.hadUnreadableValue(key)) {
            reset.emplace_back(key);
        }
    }
    template <class T, class Stored>
    static bool fits(const Stored& stored) {
        if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) return std::in_range<T>(stored);
        return true;
    }

    void operator()(const char* key, bool& v) { take(key, d.optionalBoolForKey(key), v); }
    void operator()(const char* key, unsigned& v) { take(key, d.optionalIntegerForKey(key), v); }
    void operator()(const char* key, int& v) { take(key, d.optionalIntegerForKey(key), v); }
    void operator()(const char* key, double& v) { take(key, d.optionalDoubleForKey(key), v); }
    void operator()(const char* key, std::string& v) { take(key, d.optionalStringForKey(key), v); }
    void operator()(const char* key, std::optional<std::string>& v) { take(key, d.optionalStringForKey(key), v); }
    void operator()(const char* key, plat::Date& v) { take(key, d.dateForKey(key), v); }
    void operator()(const char* key, std::optional<plat::Date>& v) { take(key, d.dateForKey(key), v); }
    void operator()(const char* key, std::set<std::string>& v) { take(key, d.optionalStringSetForKey(key), v); }
};

struct Saver {
    plat::UserDefaults& d;
    void operator()(const char* key, bool v) { d.setBool(key, v); }
    void operator()(const char* key, unsigned v) { d.setInteger(key, v); }
    void operator()(const char* key, int v) { d.setInteger(key, v); }
    void operator()(const char* key, double v) { d.setDouble(key, v); }
    void operator()(const char* key, const std::string& v) { d.setString(key, v); }
    void operator()(const char* key, const std::optional<std::string>& v) {
        if (v) d.setString(key, *v); else d.remove(key);
    }
    void operator()(const char* key, plat::Date v) { d.setDate(key, v); }
    // A date never chosen is not written, so that it stays today on later days; one that was
    // stored and then put back to never chosen goes.
    void operator()(const char* key, const std::optional<plat::Date>& v) {
        if (v) d.setDate(key, *v); else d.remove(key);
    }
    void operator()(const char* key, const std::set<std::string>& v) { d.setStringSet(key, v); }
};

// Whether any preference's key is in user defaults, whatever its value.
struct KeyFinder {
    const plat::UserDefaults& d;
    bool found = false;
    template <class T>
    void operator()(const char* key, const T&) {
        found = found || d.contains(key) || d.hadUnreadableValue(key);
    }
};

// Threshold fields live in plain members while loading and saving.
struct ThresholdFields {
    double first, second;
    int multiplier1, multiplier2;
    bool mute;
    int scaleRange;
    bool single;

    explicit ThresholdFields(const Threshold& t)
        : first(t.firstThreshold->value()), second(t.secondThreshold->value()),
          multiplier1(t.firstThreshold->multiplier()), multiplier2(t.secondThreshold->multiplier()),
          mute(t.mute), scaleRange(t.scaleRange), single(t.singleThresMode) {}

    void applyTo(Threshold& t) const {
        t.firstThreshold->setValue(first);
        t.secondThreshold->setValue(second);
        t.firstThreshold->setMultiplier(multiplier1);
        t.secondThreshold->setMultiplier(multiplier2);
        t.mute = mute;
        t.scaleRange = scaleRange;
        t.singleThresMode = single;
    }

    template <class Io>
    void visit(Io& io, const std::string& prefix, bool withSingle) {
        io((prefix + "1").c_str(), first);
        io((prefix + "2").c_str(), second);
        io((prefix + "Multiplier1").c_str(), multiplier1);
        io((prefix + "Multiplier2").c_str(), multiplier2);
        io((prefix + "Mute").c_str(), mute);
        io((prefix + "ScaleRange").c_str(), scaleRange);
        if (withSingle) io((prefix + "Single").c_str(), single);
    }
};

}  // namespace

// Every persisted preference under its key, in one place for loading and saving.
template <class Io>
void Settings::visitPreferences(Io& io) {
    io("Language", language_);
    io("Metric", metric_);
    io("Unit", unit_);
    io("StartScreen", startScreen_);
    io("ShakeMute", shakeMute_);
    io("AutoSave", autoSave_);
    io("AutoSaveInterval", autosaveInterval_);
    io("LocalNotifications", localNotifications_);
    io("TrackDRSettingsOn", trackDRSettingsOn_);
    io("TrackTime", trackTime_);
    io("TrackTimeOn", trackTimeOn_);
    io("TrackDistance", trackDistance_);
    io("TrackDistanceOn", trackDistanceOn_);
    io("TrackFirstTreshOn", trackFirstTreshOn_);
    io("TrackSecondTreshOn", trackSecondTreshOn_);
    io("HistoryFilterAlarmsOnly", historyFilterAlarmsOnly_);
    io("HistoryFilterNotUploaded", historyFilterNotUploaded_);
    io("HistoryDayFrom", historyDayFrom_);
    io("HistoryDaysTo", historyDaysTo_);
    io("HistoryDateFrom", historyDateFrom_);
    io("HistoryDateTo", historyDateTo_);
    io("HistoryDeviceTypeOnly", historyDeviceTypeOnly_);
    io("HistoryDetectorOnlySerials", historyDetectorOnlySerials_);
    io("HistorySortMode", historySortMode_);
    io("LoadHistoryOnStart", loadHistoryOnStart_);
    io("ClearHistory", clearHistory_);
    io("RecordingInterval", recordingInterval_);
    io("RecordingMode", recordingMode_);
    io("CoeffN", coeffN_);
    io("SearchMuteGamma", searchMuteGamma_);
    io("WMDistance", wmDistance_);
    io("WMDistanceOn", wmDistanceOn_);
    io("WMAlertsOnly", wmAlertsOnly_);
    io("WMTimeFromOn", wmTimeFromOn_);
    io("WMTimeToOn", wmTimeToOn_);
    io("WMTimeFrom", wmTimeFrom_);
    io("WMTimeTo", wmTimeTo_);
    io("WMthresholdValue", wmThresholdValue_);
    io("WMthresholdScaleRange", wmThresholdScaleRange_);
    io("ZENETServerAddress", zenetServerAddress_);
    io("ZENETUsername", zenetUsername_);
    io("ZENETAutoApload", zenetAutoApload_);
    io("RRServerAddress", rrServerAddress_);
    io("RREventId", rrEventId_);
    io("RREventName", rrEventName_);
    io("RRUploadMode", rrUploadMode_);
}

// The preferences and the fields of the three thresholds; what a loader read is put in the
// thresholds.
template <class Io>
void Settings::visitAll(Io& io) {
    visitPreferences(io);
    for (auto [threshold, prefix, single] : {std::tuple{&derThreshold_, "DERThreshold", false},
                                             std::tuple{&deThreshold_, "DEThreshold", true},
                                             std::tuple{&trackThresh_, "TrackThreshold", false}}) {
        ThresholdFields fields(*threshold);
        fields.visit(io, prefix, single);
        fields.applyTo(*threshold);
    }
}

Settings& Settings::sharedSettings() {
    Settings* settings = nullptr;
    bool needsSave = false;
    {
        std::lock_guard lock(sharedMutex);
        auto& slot = sharedSlot();
        if (!slot) {
            slot.reset(new Settings());
            needsSave = slot->load();
        }
        settings = slot.get();
    }
    // The first run's defaults, or those that replaced unusable stored values, are written once
    // the settings are in place: a write that fails says so in the person's language, which is
    // read from these settings.
    if (needsSave) settings->save();
    return *settings;
}

void Settings::resetShared() {
    std::lock_guard lock(sharedMutex);
    sharedSlot().reset();
}

Settings::Settings() = default;

bool Settings::load() {
    auto& defaults = plat::UserDefaults::standard();
    // The flag only marks a file written before; a file that holds settings without it (or with
    // it spoiled) is read all the same, and the flag is written back.
    const bool flagged = defaults.boolForKey(kNotFirstRunKey);
    if (!flagged) {
        KeyFinder finder{defaults};
        visitAll(finder);
        // First run: the members hold the defaults; the date limits, never chosen, are today.
        if (!finder.found) return true;
        plat::Log::line(std::string("Settings load: \"") + kNotFirstRunKey +
                        "\" is missing or not true; the stored settings are read all the same");
    }
    Loader loader{defaults, resetOnLoad_};
    visitAll(loader);
    keepValuesInRange();
    // The plain-HTTP default of earlier versions sent the password in clear: the same service
    // over HTTPS takes its place. An address the person typed stays as it is.
    if (zenetServerAddress_ == kFormerZENETServerAddress) zenetServerAddress_ = kDefaultZENETServerAddress;
    std::sort(resetOnLoad_.begin(), resetOnLoad_.end());
    resetOnLoad_.erase(std::unique(resetOnLoad_.begin(), resetOnLoad_.end()), resetOnLoad_.end());
    // The defaults put in place are written at once, so that the person is told only once.
    return !resetOnLoad_.empty() || !flagged;
}

namespace {

// The largest threshold any threshold editor offers (dose, µSv), and the world map filter's.
constexpr double kMaxThreshold = 1e7;
constexpr double kMaxMapThreshold = 1e8;
// Dates from 1970 to about the year 5000.
constexpr double kMaxDateSeconds = 1e11;

bool within(double value, double low, double high) { return std::isfinite(value) && value >= low && value <= high; }

// Puts the default in place of a stored value its setting does not allow, saying so in the log
// and noting the key in `reset`.
template <class T>
void keepInRange(std::vector<std::string>& reset, const std::string& key, T& value, const T& fallback, bool allowed) {
    if (allowed) return;
    plat::Log::line("Settings load: the stored \"" + key + "\" is outside what it allows; using its default");
    value = fallback;
    reset.push_back(key);
}

}  // namespace

// A stored value no screen could have set (a threshold of 1e308, a fifth start screen) would
// show as nonsense or upset the code that reads it: the default takes its place.
void Settings::keepValuesInRange() {
    const Settings defaults;
    keepInRange(resetOnLoad_, "Unit", unit_, defaults.unit_, unit_ <= 1);
    keepInRange(resetOnLoad_, "StartScreen", startScreen_, defaults.startScreen_, startScreen_ <= 3);
    keepInRange(resetOnLoad_, "AutoSaveInterval", autosaveInterval_, defaults.autosaveInterval_,
                autosaveInterval_ >= 1);
    keepInRange(resetOnLoad_, "TrackTime", trackTime_, defaults.trackTime_, within(trackTime_, 0, 1e6));
    keepInRange(resetOnLoad_, "HistoryDeviceTypeOnly", historyDeviceTypeOnly_, defaults.historyDeviceTypeOnly_,
                historyDeviceTypeOnly_ <= DeviceModels::kLast);
    keepInRange(resetOnLoad_, "HistorySortMode", historySortMode_, defaults.historySortMode_, historySortMode_ <= 2);
    keepInRange(resetOnLoad_, "RecordingMode", recordingMode_, defaults.recordingMode_, recordingMode_ <= 1);
    keepInRange(resetOnLoad_, "CoeffN", coeffN_, defaults.coeffN_, within(coeffN_, 2, 10));
    keepInRange(resetOnLoad_, "WMthresholdValue", wmThresholdValue_, defaults.wmThresholdValue_,
                within(wmThresholdValue_, 0, kMaxMapThreshold));
    keepInRange(resetOnLoad_, "RRUploadMode", rrUploadMode_, defaults.rrUploadMode_, rrUploadMode_ <= 2);
    for (auto [key, date] : {std::pair{"HistoryDateFrom", &historyDateFrom_}, {"HistoryDateTo", &historyDateTo_},
                             {"WMTimeFrom", &wmTimeFrom_}, {"WMTimeTo", &wmTimeTo_}}) {
        const std::optional<plat::Date> neverChosen;
        keepInRange(resetOnLoad_, key, *date, neverChosen,
                    !*date || within((*date)->timeIntervalSince1970(), 0, kMaxDateSeconds));
    }
    for (auto [threshold, fallback, prefix] : {std::tuple{&derThreshold_, &defaults.derThreshold_, "DERThreshold"},
                                               std::tuple{&deThreshold_, &defaults.deThreshold_, "DEThreshold"},
                                               std::tuple{&trackThresh_, &defaults.trackThresh_, "TrackThreshold"}}) {
        for (auto [n, value, initial] : {std::tuple{"1", threshold->firstThreshold, fallback->firstThreshold},
                                         std::tuple{"2", threshold->secondThreshold, fallback->secondThreshold}}) {
            double v = value->value();
            keepInRange(resetOnLoad_, prefix + std::string(n), v, initial->value(), within(v, 0, kMaxThreshold));
            value->setValue(v);
        }
    }
}

void Settings::save() {
    auto& defaults = plat::UserDefaults::standard();
    Saver saver{defaults};
    visitAll(saver);
    defaults.setBool(kNotFirstRunKey, true);
    int cause = 0;
    if (!defaults.synchronize(&cause)) {
        plat::Log::line("Settings save: preferences not written");
        // The screens already show the change; the person must know it will not outlast this run.
        // A file that could not be read is kept from being written over with these values.
        StorageAlert::show("Settings Not Saved",
                           "The changed settings could not be saved: %@. They apply until quorix ends.",
                           defaults.readFailure() ? Language::get("the settings file could not be read")
                                                  : StorageAlert::reasonForErrno(cause));
    }
}

plat::Color Settings::colorFor(double value, const Threshold& threshold) {
    if (value > threshold.secondThreshold->value()) return plat::Color::red();
    if (value > threshold.firstThreshold->value()) return plat::Color::orange();
    return kGreen;
}

plat::Color Settings::derColor(double doseRate) { return colorFor(doseRate, derThreshold_); }
plat::Color Settings::deColor(double dose) { return colorFor(dose, deThreshold_); }

std::string Settings::stringFromDeviceType(unsigned code) {
    if (code > DeviceModels::kLast) return {};
    return Language::get(code == 0 ? "All devices" : DeviceModels::name(code));
}

std::string Settings::historyRecordingIntervalString() const {
    const unsigned hours = recordingInterval_ / 60;
    const unsigned minutes = recordingInterval_ % 60;
    std::string text;
    if (hours > 0) text = std::to_string(hours) + " " + Language::get("h");
    if (minutes > 0 || hours == 0) {
        if (!text.empty()) text += " ";
        text += std::to_string(minutes) + " " + Language::get("min");
    }
    return text;
}

}  // namespace qx
