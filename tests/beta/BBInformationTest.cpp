#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <atomic>
#include <regex>
#include <thread>

#include "TestEnvironment.h"
#include "beta/BBApplicationInformation.h"
#include "beta/BBCompatibility.h"
#include "beta/BBCrypto.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBExecutableImage.h"
#include "beta/BBInformationHooks.h"
#include "beta/BBLogManager.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"

using namespace bb;

namespace {

// A provisioning profile as the signing tools write it: the property list inside binary wrapping.
std::string profile(const std::string& dictionaryBody) {
    return std::string("0\x82\x1f\x3a\x06\x09*\x86H\x86\xf7\r\x01\x07\x02\xa0", 16) +
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" +
           dictionaryBody + "</dict>\n</plist>" + std::string("\xa0\x82\x03\x00\x01", 5);
}

const std::string kAdHocDevices =
    "<key>Name</key><string>Beta &amp; friends</string>\n"
    "<key>ProvisionedDevices</key><array><string>0123abcd</string><string>4567ef01</string></array>\n";

class BBInformationTest : public qxtest::AppTest {
protected:
    // A host whose executable lies in a folder of its own, with or without a profile beside it.
    void host(std::map<std::string, std::string> info, const std::optional<std::string>& profileBytes = {}) {
        const auto exe = executableDir.path() / "host";
        plat::file::writeAtomically(exe, "not an executable image");
        if (profileBytes) plat::file::writeAtomically(executableDir.path() / "embedded.mobileprovision", *profileBytes);
        BBApplicationInformation::setHostBundle(std::move(info), exe.string());
    }
    qxtest::TempDir executableDir;
};

std::map<std::string, std::string> fullInfo() {
    return {{"CFBundleIdentifier", "org.example.host"},
            {"CFBundleName", "Host"},
            {"CFBundleDisplayName", "Host Display"},
            {"CFBundleExecutable", "host"},
            {"CFBundleShortVersionString", "1.2"},
            {"CFBundleVersion", "45"}};
}

}  // namespace

TEST_F(BBInformationTest, ProductionBuildWithoutProfile) {
    host(fullInfo());
    const BBDictionary record = BBApplicationInformation::bundleInformation();
    EXPECT_EQ(record.find("bundle_identifier")->string(), "org.example.host");
    EXPECT_EQ(record.find("app_name")->string(), "Host Display");
    EXPECT_EQ(record.find("app_version")->string(), "1.2 (45)");
    EXPECT_EQ(record.find("distribution_method")->string(), "not_encrypted");
    EXPECT_FALSE(record.contains("application_token"));
    EXPECT_FALSE(record.contains("binary_encryption_data"));
    EXPECT_FALSE(record.contains("uuid")) << "the host's executable is not an image";
    EXPECT_TRUE(BBApplicationInformation::isProduction());
    EXPECT_FALSE(BBApplicationInformation::allowInAppUpdate());
    EXPECT_FALSE(BBApplicationInformation::allowDeviceIdentifier());

    // A production build keeps no device identifier.
    BBDeviceInfo::setDeviceIdentifier("device-1");
    EXPECT_FALSE(BBDeviceInfo::deviceInformation().contains("udid"));
}

TEST_F(BBInformationTest, BuildNumberAloneAndMissingNames) {
    host({{"CFBundleVersion", "45"}});
    BBLogManager::sharedManager().setLogToSTDERR(false);
    BBLogManager::sharedManager().setLogToConsole(false);
    BBLogManager::sharedManager().setCurrentSessionID("names");
    const BBDictionary record = BBApplicationInformation::bundleInformation();
    EXPECT_EQ(record.find("app_version")->string(), "45");
    EXPECT_EQ(record.find("app_name")->string(), "Unknown");
    EXPECT_FALSE(record.contains("bundle_identifier"));
    const std::string ulog = plat::file::read(BBLogManager::sharedManager().pathForSessionID("names") + ".ulog").value_or("");
    EXPECT_NE(ulog.find("Betabeam: Unable to find the application name."), std::string::npos);
}

TEST_F(BBInformationTest, NoVersionsAtAll) {
    host({{"CFBundleExecutable", "host"}});
    EXPECT_EQ(BBApplicationInformation::getApplicationVersion(), "unknown_version");
    EXPECT_EQ(BBApplicationInformation::bundleInformation().find("app_name")->string(), "host");
}

TEST_F(BBInformationTest, AdHocProfileAllowsUpdatesAndDeviceIdentifier) {
    host(fullInfo(), profile(kAdHocDevices));
    EXPECT_EQ(BBApplicationInformation::getDistributionMethod(nullptr), "ad_hoc");
    EXPECT_FALSE(BBApplicationInformation::isProduction());
    EXPECT_TRUE(BBApplicationInformation::allowInAppUpdate());
    BBDeviceInfo::setDeviceIdentifier("device-1");
    EXPECT_EQ(BBDeviceInfo::deviceInformation().find("udid")->string(), "device-1");
}

TEST_F(BBInformationTest, BrokenProfileIsUnknownButNotProduction) {
    host(fullInfo(), profile(kAdHocDevices).substr(0, 200));
    EXPECT_EQ(BBApplicationInformation::getDistributionMethod(nullptr), "unknown");
    EXPECT_TRUE(BBApplicationInformation::isProduction());
    EXPECT_TRUE(BBApplicationInformation::allowInAppUpdate());
}

TEST_F(BBInformationTest, ProfilesNameTheirDistribution) {
    auto method = [](const std::string& bytes) {
        return BBApplicationInformation::distributionMethodForProfile(bytes, false);
    };
    EXPECT_EQ(method(profile(kAdHocDevices)), "ad_hoc");
    EXPECT_EQ(method(profile("<key>Name</key><string>In house</string>")), "enterprise");
    EXPECT_EQ(method(profile("<key>ProvisionedDevices</key><array/>")), "enterprise");
    EXPECT_EQ(method(profile("<key>ProvisionedDevices</key><string>x</string>")), "enterprise");
    const std::string adHoc = profile(kAdHocDevices);
    EXPECT_EQ(method(adHoc.substr(adHoc.find("<?xml"))), "unknown") << "a profile never starts with its list";
    EXPECT_EQ(method(adHoc.substr(0, adHoc.find("</plist>"))), "unknown");
    EXPECT_EQ(method("binary only"), "unknown");
    EXPECT_EQ(method("x<?xml version=\"1.0\"?><plist><array/></plist>"), "unknown") << "not a dictionary";
    EXPECT_EQ(method("x<?xml version=\"1.0\"?><plist><dict><key>a</key></dict></plist>"), "unknown");
    EXPECT_EQ(BBApplicationInformation::distributionMethodForProfile(std::nullopt, true), "encrypted");
    EXPECT_EQ(BBApplicationInformation::distributionMethodForProfile(std::nullopt, false), "not_encrypted");
}

TEST_F(BBInformationTest, TokenIsKeptUntilTheRecordIsBuiltAndPatchedAfter) {
    host(fullInfo());
    std::atomic<int> changes{0};
    bb_set_information_change_handler([&] { ++changes; });
    BBApplicationInformation::setApplicationToken("first");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(BBApplicationInformation::bundleInformation().find("application_token")->string(), "first");
    BBApplicationInformation::setApplicationToken("second");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(BBApplicationInformation::bundleInformation().find("application_token")->string(), "second");
    bb_set_information_change_handler(nullptr);
}

TEST_F(BBInformationTest, DeviceRecordDescribesThisSystem) {
    plat::UserDefaults::standard().setString("AppleLocale", "de_DE");
    utsname names{};
    ::uname(&names);
    const BBDictionary record = BBDeviceInfo::deviceInformation();
    EXPECT_EQ(record.find("system_name")->string(), names.sysname);
    EXPECT_EQ(record.find("os_version")->string(), names.release);
    EXPECT_EQ(record.find("device_model")->string(), names.machine);
    EXPECT_TRUE(record.find("carrier")->isNull());
    EXPECT_EQ(record.find("firmware")->string(), "");
    EXPECT_EQ(record.find("locale")->string(), "de_DE");
    EXPECT_EQ(record.find("connection_state")->string(), "No Connection");
    // The test clock stands in January and the tests run in Berlin time.
    EXPECT_EQ(record.find("time_zone")->string(), "CET");
    EXPECT_EQ(record.find("time_zone_offset")->int64Value(), 3600);
    EXPECT_TRUE(std::regex_match(std::string(record.find("open_udid")->string()), std::regex("[0-9a-f]{40}")));
    EXPECT_FALSE(record.contains("udid"));
    EXPECT_FALSE(record.contains("custom_environment"));
    EXPECT_FALSE(record.contains("vendor_id"));
    if (std::string(names.machine) == "x86_64") {
        EXPECT_EQ(record.find("device_architecture")->string(), "x86_64");
    }

    // Built once; the identifier outlives a rebuild.
    bb_set_reachability_status_source([] { return 1; });
    EXPECT_EQ(BBDeviceInfo::deviceInformation().find("connection_state")->string(), "No Connection");
    BBDeviceInfo::_testReset();
    const BBDictionary rebuilt = BBDeviceInfo::deviceInformation();
    EXPECT_EQ(rebuilt.find("connection_state")->string(), "Wifi Active");
    EXPECT_EQ(rebuilt.find("open_udid")->string(), record.find("open_udid")->string());
    bb_set_reachability_status_source(nullptr);
}

TEST_F(BBInformationTest, CustomEnvironmentPatchesTheCachedRecord) {
    std::atomic<int> changes{0};
    bb_set_information_change_handler([&] { ++changes; });
    BBDeviceInfo::addCustomEnvironmentInformationForKey("staging", "server");
    EXPECT_EQ(changes, 0) << "nothing cached yet";
    EXPECT_EQ(*BBDeviceInfo::deviceInformation().find("custom_environment"), BBValue(BBDictionary{{"server", "staging"}}));
    BBDeviceInfo::addCustomEnvironmentInformationForKey("7", "build");
    BBDeviceInfo::addCustomEnvironmentInformationForKey(std::nullopt, "server");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(*BBDeviceInfo::deviceInformation().find("custom_environment"), BBValue(BBDictionary{{"build", "7"}}));
    bb_set_information_change_handler(nullptr);
}

TEST_F(BBInformationTest, RecordsStayWholeUnderConcurrentPatching) {
    host(fullInfo());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                BBDeviceInfo::addCustomEnvironmentInformationForKey(std::to_string(i), "k" + std::to_string(t));
                BBApplicationInformation::setApplicationToken("token" + std::to_string(t));
                EXPECT_TRUE(BBDeviceInfo::deviceInformation().contains("os_version"));
                EXPECT_TRUE(BBApplicationInformation::bundleInformation().contains("app_name"));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const BBDictionary record = BBDeviceInfo::deviceInformation();
    const BBValue* environment = record.find("custom_environment");
    ASSERT_TRUE(environment && environment->isDictionary());
    EXPECT_EQ(environment->asDictionary()->size(), 4u);
    EXPECT_EQ(environment->asDictionary()->find("k2")->string(), "199");
}

TEST(BBCrypto, SHA1InLowerCaseHex) {
    EXPECT_EQ(BBCrypto::sha1(std::string()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(BBCrypto::sha1(std::nullopt), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(BBCrypto::sha1(std::string("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(BBCrypto::sha1(std::string("abc\0def", 7)), BBCrypto::sha1(std::string("abc")));
}

TEST(BBCompatibility, VersionsCompareByTheirNumbers) {
    EXPECT_GT(BBCompatibility::compareVersions("6.1.0-13-amd64", "5.0"), 0);
    EXPECT_GT(BBCompatibility::compareVersions("10.2", "9.11"), 0);
    EXPECT_LT(BBCompatibility::compareVersions("4.19.0", "5.0"), 0);
    EXPECT_EQ(BBCompatibility::compareVersions("5.0", "5.0"), 0);
    EXPECT_EQ(BBCompatibility::compareVersions("5.00", "5.0"), 0);
    EXPECT_GT(BBCompatibility::compareVersions("5.0.1", "5.0"), 0);
    utsname names{};
    ::uname(&names);
    EXPECT_EQ(BBCompatibility::allowedToRun_5_0(), BBCompatibility::compareVersions(names.release, "5.0") >= 0);
    EXPECT_FALSE(BBCompatibility::isIdiomIPhone());
    EXPECT_FALSE(BBCompatibility::isIdiomIPad());
}

TEST(BBExecutableImage, ReadsItsOwnHeaderAndBuildID) {
    auto image = BBExecutableImage::read(BBExecutableImage::currentExecutablePath());
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->architectureName().has_value());
    ASSERT_GE(image->buildID().size(), 16u) << "the toolchain links a build id";
    EXPECT_TRUE(std::regex_match(*image->uuidText(), std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
    EXPECT_FALSE(BBExecutableImage::read("/dev/null"));
    EXPECT_FALSE(BBExecutableImage::read("/no/such/file"));
}
