#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <set>

#include "TestEnvironment.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"

using plat::Date;
using plat::UserDefaults;

class UserDefaultsTest : public qxtest::AppTest {
protected:
    std::filesystem::path file() const { return dataDir() / "prefs.json"; }
};

TEST_F(UserDefaultsTest, EveryTypeSurvivesSaveAndReload) {
    {
        UserDefaults d(file());
        d.setBool("bool", true);
        d.setInteger("int", std::int64_t{-7});
        d.setDouble("double", 5.0);
        d.setString("text", "Привет & <b>");
        d.setDate("date", Date(1'700'000'000.25));
        d.setStringSet("set", UserDefaults::StringSet{"b", "a"});
        d.setStringList("list", UserDefaults::StringList{"en", "ja", "zh-Hans"});
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults d(file());
    EXPECT_TRUE(d.boolForKey("bool"));
    EXPECT_EQ(d.integerForKey("int"), -7);
    EXPECT_DOUBLE_EQ(d.doubleForKey("double"), 5.0);
    EXPECT_EQ(d.stringForKey("text"), "Привет & <b>");
    EXPECT_EQ(d.dateForKey("date"), Date(1'700'000'000.25));
    EXPECT_EQ(d.stringSetForKey("set"), (UserDefaults::StringSet{"a", "b"}));
    EXPECT_EQ(d.stringListForKey("list"), (UserDefaults::StringList{"en", "ja", "zh-Hans"}));
    EXPECT_FALSE(d.contains("missing"));
    EXPECT_FALSE(d.optionalStringForKey("missing").has_value());
}

TEST_F(UserDefaultsTest, UnsavedChangesDoNotReachTheFile) {
    UserDefaults d(file());
    d.setInteger("a", 1);
    d.synchronize();
    d.setInteger("a", 2);
    UserDefaults other(file());
    EXPECT_EQ(other.integerForKey("a"), 1);
}

TEST_F(UserDefaultsTest, CorruptFileIsMovedAsideReportedOnceAndDefaultsApply) {
    ASSERT_TRUE(plat::file::writeAtomically(file(), "{\"a\": 1, broken"));
    qxtest::LogCapture log;
    UserDefaults d(file());
    EXPECT_EQ(d.integerForKey("a", 99), 99);
    ASSERT_TRUE(d.movedAsideFile().has_value());
    EXPECT_EQ(plat::file::read(*d.movedAsideFile()).value(), "{\"a\": 1, broken");
    EXPECT_EQ(log.count("cannot read"), 1u);
    d.setInteger("a", 3);
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(plat::file::read(*d.movedAsideFile()).value(), "{\"a\": 1, broken")
        << "saving again must not overwrite the damaged original";
}

TEST_F(UserDefaultsTest, WrongTypeFallsBackForThatKeyOnly) {
    ASSERT_TRUE(plat::file::writeAtomically(
        file(), R"({"Metric": "yes", "Unit": 1, "CoeffN": 5.3, "Language": 7, "When": {"date": 10}})"));
    qxtest::LogCapture log;
    UserDefaults d(file());
    EXPECT_TRUE(d.boolForKey("Metric", true));
    EXPECT_FALSE(d.boolForKey("Metric", false));
    EXPECT_EQ(d.integerForKey("Unit", 0), 1);
    EXPECT_DOUBLE_EQ(d.doubleForKey("CoeffN"), 5.3);
    EXPECT_EQ(d.stringForKey("Language", "en"), "en");
    EXPECT_EQ(d.dateForKey("When"), Date(10));
    EXPECT_EQ(d.integerForKey("CoeffN", 4), 4) << "5.3 is not an integer";
    EXPECT_EQ(log.count("\"Metric\""), 1u) << "reported once per key";
}

// A file that cannot be read says nothing of the values in it: it stays where it is, is never
// written over, and no value read from it is reset. Nothing here waits on a FIFO or fills the
// memory with an endless device.
TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsLeftAsItIsAndNeverWrittenOver) {
    namespace fs = std::filesystem;
    const auto large = dataDir() / "large.json";
    {
        std::ofstream out(large);
        out << "{\"a\": \"" << std::string(UserDefaults::kMostBytes, 'x') << "\"}";
    }
    const auto fifo = dataDir() / "fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto zero = dataDir() / "zero.json";
    fs::create_symlink("/dev/zero", zero);
    const auto folder = dataDir() / "folder.json";
    fs::create_directories(folder);
    const struct {
        fs::path file;
        int cause;
        const char* reason;
    } cases[] = {
        {fifo, plat::file::kNotPlainFile, "it is not a plain file"},
        {zero, plat::file::kNotPlainFile, "it is not a plain file"},
        {folder, EISDIR, "it is a folder"},
        {large, plat::file::kTooLarge, "it is too large"},
    };
    auto names = [&] {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(dataDir())) found.insert(entry.path().filename().string());
        return found;
    };
    const auto namesBefore = names();
    for (const auto& c : cases) {
        const auto before = fs::symlink_status(c.file).type();
        UserDefaults d(c.file);
        ASSERT_TRUE(d.readFailure().has_value()) << c.file;
        EXPECT_EQ(d.readFailure()->code, c.cause) << c.file;
        EXPECT_EQ(d.readFailure()->reason({}), c.reason);
        EXPECT_FALSE(d.movedAsideFile().has_value()) << c.file;
        d.setInteger("a", 1);
        int cause = 0;
        EXPECT_FALSE(d.synchronize(&cause)) << c.file;
        EXPECT_EQ(cause, c.cause);
        EXPECT_EQ(fs::symlink_status(c.file).type(), before) << c.file;
    }
    EXPECT_EQ(fs::file_size(large), UserDefaults::kMostBytes + 9);
    EXPECT_EQ(names(), namesBefore) << "nothing moved aside, no temporary left";
}
