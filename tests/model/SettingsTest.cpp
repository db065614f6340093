#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "ModelTestFixture.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"

using qx::Settings;

TEST_F(ModelTest, FirstRunWritesTheDefaultsAndMarksTheRun) {
    auto& s = settings();
    EXPECT_EQ(s.autosaveInterval(), 3600u);
    EXPECT_EQ(s.recordingInterval(), 10u);
    EXPECT_DOUBLE_EQ(s.coeffN(), 5.3);
    EXPECT_TRUE(s.clearHistory());
    EXPECT_TRUE(s.ZENETAutoApload());
    EXPECT_FALSE(s.ZENETLoggedIn());
    EXPECT_FALSE(s.ZENETUsername().has_value());
    EXPECT_EQ(s.RREventId(), 68800u);
    EXPECT_EQ(s.RREventName(), "Testing/Training (Vennorlabs US)");
    EXPECT_EQ(s.RRUploadMode(), 0u);
    EXPECT_EQ(s.RRServerAddress().rfind("https://", 0), 0u);
    EXPECT_NE(s.ZENETServerAddress().find("/Zenet31/DeviceService"), std::string::npos);
    EXPECT_EQ(s.ZENETServerAddress().rfind("https://", 0), 0u);  // the password never goes in clear
    EXPECT_FALSE(s.historyFilterAlarmsOnly());
    EXPECT_FALSE(s.historyFilterNotUploaded());
    EXPECT_FALSE(s.historyDayFrom());
    EXPECT_FALSE(s.historyDaysTo());
    EXPECT_EQ(s.historySortMode(), 0u);
    EXPECT_FALSE(s.loadHistoryOnStart());
    EXPECT_EQ(s.recordingMode(), 0u);
    EXPECT_TRUE(plat::UserDefaults::standard().boolForKey("NotFistRun"));
    EXPECT_TRUE(plat::UserDefaults::standard().contains("AutoSaveInterval"));
}

TEST_F(ModelTest, EveryPreferenceSurvivesSaveAndReloadWithItsType) {
    auto& s = settings();
    s.setLanguage("ru");
    s.setMetric(false);
    s.setUnit(0);
    s.setStartScreen(3);
    s.setShakeMute(true);
    s.setAutoSave(false);
    s.setAutosaveInterval(900);
    s.setLocalNotifications(false);
    s.DERthreshold().firstThreshold->setValue(0.5);
    s.DERthreshold().secondThreshold->setValue(2.5);
    s.DERthreshold().firstThreshold->setMultiplier(3);
    s.DERthreshold().mute = true;
    s.DERthreshold().scaleRange = -2;
    s.DEthreshold().singleThresMode = true;
    s.DEthreshold().secondThreshold->setValue(5000);
    s.trackThresh().firstThreshold->setValue(0.7);
    s.trackThresh().mute = true;
    s.setTrackDRSettingsOn(false);
    s.setTrackTime(2.5);
    s.setTrackTimeOn(false);
    s.setTrackDistance(250);
    s.setTrackDistanceOn(true);
    s.setTrackFirstTreshOn(false);
    s.setTrackSecondTreshOn(false);
    s.setHistoryFilterAlarmsOnly(true);
    s.setHistoryDayFrom(true);
    s.setHistoryDaysTo(true);
    s.setHistoryDateFrom(plat::Date(1'700'000'000));
    s.setHistoryDateTo(plat::Date(1'700'086'400.5));
    s.setHistoryDeviceTypeOnly(5);
    s.setHistoryDetectorOnlySerials({"A-1", "Б-2"});
    s.setHistorySortMode(2);
    s.setLoadHistoryOnStart(true);
    s.setClearHistory(false);
    s.setRecordingInterval(1080);
    s.setRecordingMode(1);
    s.setCoeffN(7.25);
    s.setSearchMuteGamma(true);
    s.setWMDistance(42);
    s.setWMDistanceOn(true);
    s.setWMAlertsOnly(true);
    s.setWMTimeFromOn(true);
    s.setWMTimeToOn(true);
    s.setWMTimeFrom(plat::Date(1'600'000'000));
    s.setWMTimeTo(plat::Date(1'600'100'000));
    s.setWMthresholdValue(0.35);
    s.setWMthresholdScaleRange(3);
    s.setZENETServerAddress("http://127.0.0.1:9/Zenet31/DeviceService");
    s.setZENETUsername("operator");
    s.setZENETAutoApload(false);
    s.setZENETLoggedIn(true);
    s.setRRServerAddress("https://127.0.0.1:8443");
    s.setRREventId(12);
    s.setRREventName("Drill");
    s.setRRUploadMode(2);
    s.save();

    auto& r = reload();
    EXPECT_EQ(r.language(), "ru");
    EXPECT_FALSE(r.metric());
    EXPECT_EQ(r.unit(), 0u);
    EXPECT_EQ(r.startScreen(), 3u);
    EXPECT_TRUE(r.shakeMute());
    EXPECT_FALSE(r.autoSave());
    EXPECT_EQ(r.autosaveInterval(), 900u);
    EXPECT_FALSE(r.localNotifications());
    EXPECT_DOUBLE_EQ(r.DERthreshold().firstThreshold->value(), 0.5);
    EXPECT_DOUBLE_EQ(r.DERthreshold().secondThreshold->value(), 2.5);
    EXPECT_EQ(r.DERthreshold().firstThreshold->multiplier(), 3);
    EXPECT_TRUE(r.DERthreshold().mute);
    EXPECT_EQ(r.DERthreshold().scaleRange, -2);
    EXPECT_TRUE(r.DEthreshold().singleThresMode);
    EXPECT_DOUBLE_EQ(r.DEthreshold().secondThreshold->value(), 5000);
    EXPECT_DOUBLE_EQ(r.trackThresh().firstThreshold->value(), 0.7);
    EXPECT_TRUE(r.trackThresh().mute);
    EXPECT_FALSE(r.trackDRSettingsOn());
    EXPECT_DOUBLE_EQ(r.trackTime(), 2.5);
    EXPECT_FALSE(r.trackTimeOn());
    EXPECT_EQ(r.trackDistance(), 250u);
    EXPECT_TRUE(r.trackDistanceOn());
    EXPECT_FALSE(r.trackFirstTreshOn());
    EXPECT_FALSE(r.trackSecondTreshOn());
    EXPECT_TRUE(r.historyFilterAlarmsOnly());
    EXPECT_TRUE(r.historyDayFrom());
    EXPECT_TRUE(r.historyDaysTo());
    EXPECT_EQ(r.historyDateFrom(), plat::Date(1'700'000'000));
    EXPECT_EQ(r.historyDateTo(), plat::Date(1'700'086'400.5));
    EXPECT_EQ(r.historyDeviceTypeOnly(), 5u);
    EXPECT_EQ(r.historyDetectorOnlySerials(), (std::set<std::string>{"A-1", "Б-2"}));
    EXPECT_EQ(r.historySortMode(), 2u);
    EXPECT_TRUE(r.loadHistoryOnStart());
    EXPECT_FALSE(r.clearHistory());
    EXPECT_EQ(r.recordingInterval(), 1080u);
    EXPECT_EQ(r.recordingMode(), 1u);
    EXPECT_DOUBLE_EQ(r.coeffN(), 7.25);
    EXPECT_TRUE(r.searchMuteGamma());
    EXPECT_EQ(r.WMDistance(), 42u);
    EXPECT_TRUE(r.WMDistanceOn());
    EXPECT_TRUE(r.WMAlertsOnly());
    EXPECT_TRUE(r.WMTimeFromOn());
    EXPECT_TRUE(r.WMTimeToOn());
    EXPECT_EQ(r.WMTimeFrom(), plat::Date(1'600'000'000));
    EXPECT_EQ(r.WMTimeTo(), plat::Date(1'600'100'000));
    EXPECT_DOUBLE_EQ(r.WMthresholdValue(), 0.35);
    EXPECT_EQ(r.WMthresholdScaleRange(), 3);
    EXPECT_EQ(r.ZENETServerAddress(), "http://127.0.0.1:9/Zenet31/DeviceService");
    EXPECT_EQ(r.ZENETUsername(), std::optional<std::string>("operator"));
    EXPECT_FALSE(r.ZENETAutoApload());
    EXPECT_FALSE(r.ZENETLoggedIn()) << "the logged-in flag is not persisted";
    EXPECT_EQ(r.RRServerAddress(), "https://127.0.0.1:8443");
    EXPECT_EQ(r.RREventId(), 12u);
    EXPECT_EQ(r.RREventName(), "Drill");
    EXPECT_EQ(r.RRUploadMode(), 2u);
}

TEST_F(ModelTest, SettersReachStorageOnlyOnSave) {
    settings().setCoeffN(9.5);
    EXPECT_DOUBLE_EQ(reload().coeffN(), 5.3);
}

TEST_F(ModelTest, TheFormerPlainHttpDefaultAddressBecomesHttpsAndTypedAddressesStay) {
    settings().setZENETServerAddress(qx::Settings::kFormerZENETServerAddress);
    settings().save();
    EXPECT_EQ(reload().ZENETServerAddress(), qx::Settings::kDefaultZENETServerAddress);
    settings().setZENETServerAddress("http://10.0.0.7/Zenet31/DeviceService");
    settings().save();
    EXPECT_EQ(reload().ZENETServerAddress(), "http://10.0.0.7/Zenet31/DeviceService");
}

TEST_F(ModelTest, WrongTypedPreferenceFallsBackAndKeepsTheOthers) {
    settings().setAutosaveInterval(120);
    settings().setMetric(false);
    settings().save();
    auto prefs = plat::file::read(plat::DataFolder::preferencesFile()).value();
    auto pos = prefs.find("\"AutoSaveInterval\": 120");
    ASSERT_NE(pos, std::string::npos) << prefs;
    prefs.replace(pos, std::string("\"AutoSaveInterval\": 120").size(), "\"AutoSaveInterval\": \"soon\"");
    ASSERT_TRUE(plat::file::writeAtomically(plat::DataFolder::preferencesFile(), prefs));
    qxtest::LogCapture log;
    auto& r = reload();
    EXPECT_EQ(r.autosaveInterval(), 3600u);
    EXPECT_FALSE(r.metric());
    EXPECT_TRUE(log.contains("AutoSaveInterval"));
}

TEST_F(ModelTest, StoredValuesItCannotTakeAreResetNeverWrappedListedAndWrittenBackOnce) {
    settings().setCoeffN(7.5);
    settings().save();
    auto& defaults = plat::UserDefaults::standard();
    defaults.setInteger("WMthresholdScaleRange", 2147483648LL);       // one past an int
    defaults.setInteger("DERThresholdMultiplier1", -2147483649LL);    // one below
    defaults.setInteger("TrackDistance", 4294967296LL);               // one past an unsigned
    defaults.setString("Metric", "yes");
    ASSERT_TRUE(defaults.synchronize());
    const auto text = plat::file::read(plat::DataFolder::preferencesFile()).value();
    ASSERT_TRUE(plat::file::writeAtomically(plat::DataFolder::preferencesFile(),
                                            text.substr(0, text.rfind('}')) + ", \"Unit\": null}"));
    auto& r = reload();
    EXPECT_EQ(r.resetOnLoad(), (std::vector<std::string>{"DERThresholdMultiplier1", "Metric", "TrackDistance", "Unit",
                                                         "WMthresholdScaleRange"}));
    EXPECT_EQ(r.WMthresholdScaleRange(), 0);
    EXPECT_EQ(r.trackDistance(), 100u);  // not 0, where 4294967296 would have wrapped
    EXPECT_TRUE(r.metric());
    EXPECT_DOUBLE_EQ(r.coeffN(), 7.5);
    // The defaults were written at once: the next start has nothing to tell, and no number in
    // the file has wrapped round.
    const auto saved = plat::file::read(plat::DataFolder::preferencesFile()).value();
    EXPECT_EQ(saved.find("2147483648"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("4294967296"), std::string::npos) << saved;
    EXPECT_TRUE(reload().resetOnLoad().empty());
}

TEST_F(ModelTest, StoredValuesOutsideTheirRangeFallBackToTheirDefaults) {
    settings().setMetric(false);
    settings().save();
    const struct {
        const char* key;
        double stored;
        std::function<double(qx::Settings&)> read;
        double fallback;
    } cases[] = {
        {"DERThreshold1", 1e308, [](qx::Settings& s) { return s.DERthreshold().firstThreshold->value(); }, 0.3},
        {"DEThreshold2", -5, [](qx::Settings& s) { return s.DEthreshold().secondThreshold->value(); }, 1000},
        {"TrackThreshold2", 2e7, [](qx::Settings& s) { return s.trackThresh().secondThreshold->value(); }, 1.2},
        {"WMthresholdValue", 1e300, [](qx::Settings& s) { return s.WMthresholdValue(); }, 0},
        {"CoeffN", 1e9, [](qx::Settings& s) { return s.coeffN(); }, 5.3},
        {"TrackTime", -1, [](qx::Settings& s) { return s.trackTime(); }, 1},
        {"StartScreen", 7, [](qx::Settings& s) { return s.startScreen(); }, 0},
        {"Unit", 4, [](qx::Settings& s) { return s.unit(); }, 1},
        {"AutoSaveInterval", 0, [](qx::Settings& s) { return s.autosaveInterval(); }, 3600},
        {"HistorySortMode", 3, [](qx::Settings& s) { return s.historySortMode(); }, 0},
        {"RRUploadMode", 9, [](qx::Settings& s) { return s.RRUploadMode(); }, 0},
        {"HistoryDeviceTypeOnly", 12, [](qx::Settings& s) { return s.historyDeviceTypeOnly(); }, 0},
        {"HistoryDateFrom", 1e300, [](qx::Settings& s) { return std::abs(s.historyDateFrom().timeIntervalSinceNow()); }, 0},
    };
    for (const auto& c : cases) {
        auto& defaults = plat::UserDefaults::standard();
        if (std::string(c.key) == "HistoryDateFrom") {
            defaults.setDate(c.key, plat::Date(c.stored));
        } else if (c.stored == std::floor(c.stored) && std::abs(c.stored) < 1e6) {
            defaults.setInteger(c.key, static_cast<std::int64_t>(c.stored));
        } else {
            defaults.setDouble(c.key, c.stored);
        }
        ASSERT_TRUE(defaults.synchronize());
        qxtest::LogCapture log;
        auto& r = reload();
        EXPECT_DOUBLE_EQ(c.read(r), c.fallback) << c.key;
        EXPECT_FALSE(r.metric()) << "the other values are kept";
        EXPECT_TRUE(log.contains(std::string("\"") + c.key + "\" is outside what it allows")) << c.key;
        EXPECT_EQ(r.resetOnLoad(), std::vector<std::string>{c.key});
        EXPECT_TRUE(reload().resetOnLoad().empty()) << c.key << ": its default was written back";
    }
}

TEST_F(ModelTest, AFileOfSettingsWithoutAUsableFirstRunMarkKeepsEveryValue) {
    // Files written by hand: the mark left out, or given as a number.
    for (const char* mark : {"", "\"NotFistRun\": 1, ", "\"NotFistRun\": false, "}) {
        const std::string text = std::string("{") + mark +
                                 "\"CoeffN\": 7.35, \"Metric\": false, \"DERThreshold1\": 0.5, \"Unit\": 9}";
        ASSERT_TRUE(plat::file::writeAtomically(plat::DataFolder::preferencesFile(), text));
        auto& r = reload();
        EXPECT_DOUBLE_EQ(r.coeffN(), 7.35) << mark;
        EXPECT_FALSE(r.metric()) << mark;
        EXPECT_DOUBLE_EQ(r.DERthreshold().firstThreshold->value(), 0.5) << mark;
        EXPECT_EQ(r.resetOnLoad(), std::vector<std::string>{"Unit"}) << mark;
        EXPECT_FALSE(plat::UserDefaults::standard().movedAsideFile().has_value());
        // Marked now, with the values as they were.
        EXPECT_TRUE(plat::UserDefaults::standard().boolForKey("NotFistRun")) << mark;
        EXPECT_DOUBLE_EQ(reload().coeffN(), 7.35) << mark;
    }
    // A file without any setting is a first run.
    ASSERT_TRUE(plat::file::writeAtomically(plat::DataFolder::preferencesFile(), "{\"SomethingElse\": 3}"));
    EXPECT_DOUBLE_EQ(reload().coeffN(), 5.3);
    EXPECT_TRUE(plat::UserDefaults::standard().boolForKey("NotFistRun"));
}

TEST_F(ModelTest, CorruptPreferencesAreKeptAsideAndDefaultsApply) {
    settings().setCoeffN(8);
    settings().save();
    ASSERT_TRUE(plat::file::writeAtomically(plat::DataFolder::preferencesFile(), "\x01garbage"));
    qxtest::LogCapture log;
    auto& r = reload();
    EXPECT_DOUBLE_EQ(r.coeffN(), 5.3);
    ASSERT_TRUE(plat::UserDefaults::standard().movedAsideFile().has_value());
    EXPECT_EQ(plat::file::read(*plat::UserDefaults::standard().movedAsideFile()).value(), "\x01garbage");
}

TEST_F(ModelTest, ColoursChangeOnlyAboveEachThreshold) {
    auto& s = settings();
    s.DERthreshold().firstThreshold->setValue(0.3);
    s.DERthreshold().secondThreshold->setValue(1.2);
    s.DEthreshold().firstThreshold->setValue(100);
    s.DEthreshold().secondThreshold->setValue(1000);
    const plat::Color green = plat::Color::fromBytes(108, 160, 11);
    EXPECT_NEAR(Settings::kGreen.r, green.r, 1e-3);
    EXPECT_NEAR(Settings::kGreen.g, green.g, 1e-3);
    EXPECT_NEAR(Settings::kGreen.b, green.b, 1e-3);
    EXPECT_EQ(s.derColor(0.3), Settings::kGreen);
    EXPECT_EQ(s.derColor(0.3000001), plat::Color::orange());
    EXPECT_EQ(s.derColor(1.2), plat::Color::orange());
    EXPECT_EQ(s.derColor(1.2000001), plat::Color::red());
    EXPECT_EQ(s.deColor(100), Settings::kGreen);
    EXPECT_EQ(s.deColor(100.5), plat::Color::orange());
    EXPECT_EQ(s.deColor(1000), plat::Color::orange());
    EXPECT_EQ(s.deColor(1001), plat::Color::red());
}

TEST_F(ModelTest, DeviceTypeNamesAndUnknownCodes) {
    EXPECT_EQ(Settings::stringFromDeviceType(0), "All devices");
    EXPECT_EQ(Settings::stringFromDeviceType(2), "VN2450");
    EXPECT_EQ(Settings::stringFromDeviceType(8), "VN2230RX1");
    EXPECT_EQ(Settings::stringFromDeviceType(9), "VN2110BT");
    EXPECT_EQ(Settings::stringFromDeviceType(10), "");
    useLanguage("de");
    EXPECT_EQ(Settings::stringFromDeviceType(0), "Alle Geräte");
}

TEST_F(ModelTest, RecordingIntervalText) {
    settings().setRecordingInterval(10);
    EXPECT_EQ(settings().historyRecordingIntervalString(), "10 min");
    settings().setRecordingInterval(90);
    EXPECT_EQ(settings().historyRecordingIntervalString(), "1 h 30 min");
    settings().setRecordingInterval(1080);
    EXPECT_EQ(settings().historyRecordingIntervalString(), "18 h");
}
