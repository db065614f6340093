#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "TestEnvironment.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/DataFolderLock.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SecretStore.h"
#include "platform/foundation/WriteFailure.h"

namespace fs = std::filesystem;

namespace {

void put(const fs::path& path, const std::string& text = "half") {
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(plat::file::writeAtomically(path, text));
}

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}  // namespace

TEST(DataFolderTest, OnlyTheProgramsOwnTemporaryFilesInItsOwnFoldersAreLeftovers) {
    qxtest::TempDir dir;
    const auto root = dir.path();
    auto isExport = [](std::string_view n) { return plat::file::isUniqueNameOf(n, "Export ####", {".gpx"}); };
    const struct {
        const char* file;
        bool removed;
    } cases[] = {
        {"Settings.json.tmp-4242-0", true},
        {"Documents/Export 2026.gpx.tmp-4242-1", true},
        {"Documents/Export 2026-3.gpx.tmp-1-12", true},
        // The person's: a name the program never gives, in a folder where it writes...
        {"Documents/budget.tmp-2024-05", false},
        {"Documents/Export 2026.gpx.tmp-4242", false},
        {"Documents/Export 2026.csv.tmp-4242-2", false},
        {"Documents/Export 20267.gpx.tmp-4242-3", false},
        {"Other.json.tmp-4242-4", false},
        // ...and anything in a folder of theirs inside it, or in a folder it does not write in.
        {"Documents/archive/budget.tmp-2024-05", false},
        {"Documents/archive/Export 2026.gpx.tmp-4242-5", false},
        {"Photos/Settings.json.tmp-4242-6", false},
    };
    for (const auto& c : cases) put(root / c.file);
    // A link with a leftover's name is no file of the program's; what it leads to stays.
    put(root / "elsewhere.txt", "the person's");
    fs::create_symlink(root / "elsewhere.txt", root / "Documents" / "Export 2027.gpx.tmp-4242-7");

    const std::vector<plat::DataFolder::WrittenFiles> places{
        {root, [](std::string_view n) { return n == "Settings.json"; }},
        {root / "Documents", isExport},
    };
    EXPECT_EQ(plat::DataFolder::removeLeftovers(places), 3u);
    for (const auto& c : cases) EXPECT_EQ(fs::exists(root / c.file), !c.removed) << c.file;
    EXPECT_TRUE(fs::is_symlink(root / "Documents" / "Export 2027.gpx.tmp-4242-7"));
    EXPECT_EQ(plat::file::read(root / "elsewhere.txt").value_or(""), "the person's");
}

TEST(DataFolderTest, LinksInTheDataFolderKeepTheRightsOfWhatTheyLeadTo) {
    qxtest::TempDir dir;
    const auto theirs = dir.path() / "their documents";
    const auto notes = dir.path() / "notes.txt";
    const auto root = dir.path() / "data";
    fs::create_directories(theirs);
    fs::create_directories(root / "Outbox");
    put(notes, "my notes");
    ::chmod(theirs.c_str(), 0755);
    ::chmod(notes.c_str(), 0644);
    ::chmod((root / "Outbox").c_str(), 0755);
    fs::create_symlink(theirs, root / "Documents");
    fs::create_symlink(notes, root / "Preferences.json");

    ASSERT_TRUE(plat::DataFolder::setRoot(root));
    // The secrets read through a link to a file open to others: read, and the file left alone.
    const auto secrets = dir.path() / "secrets.json";
    put(secrets, R"({"ZENET": {"ann": "s"}})");
    ::chmod(secrets.c_str(), 0644);
    fs::create_symlink(secrets, root / plat::SecretStore::kFileName);
    EXPECT_EQ(plat::SecretStore::standard().passwordForService("ZENET", "ann").value_or(""), "s");
    EXPECT_EQ(modeOf(secrets), 0644u);
    EXPECT_EQ(modeOf(theirs), 0755u);
    EXPECT_EQ(modeOf(notes), 0644u);
    EXPECT_EQ(modeOf(root / "Outbox"), 0755u);  // a folder that was there keeps its rights
    EXPECT_EQ(modeOf(root / "Photos"), 0700u);  // one it made is closed to others
    EXPECT_TRUE(fs::is_symlink(root / "Documents"));
}

TEST(DataFolderLockTest, ALinkOrSecondNameAsTheLockFileIsRefusedAndLeftAsItIs) {
    qxtest::TempDir dir;
    const auto notes = dir.path() / "notes.txt";
    put(notes, "my notes");
    for (const bool hardLink : {false, true}) {
        const auto folder = dir.path() / (hardLink ? "hard" : "soft");
        fs::create_directories(folder);
        const auto lockFile = folder / plat::DataFolderLock::kFileName;
        if (hardLink) {
            fs::create_hard_link(notes, lockFile);
        } else {
            fs::create_symlink(notes, lockFile);
        }
        plat::DataFolderLock lock;
        std::string error;
        EXPECT_FALSE(lock.acquire(folder, error));
        EXPECT_NE(error.find(lockFile.string()), std::string::npos) << error;
        EXPECT_EQ(plat::file::read(notes).value_or(""), "my notes");
    }
}

TEST(DataFolderLockTest, AnotherDescriptorOnTheLockFileCannotDropTheLock) {
    qxtest::TempDir dir;
    plat::DataFolderLock first;
    std::string error;
    ASSERT_TRUE(first.acquire(dir.path(), error)) << error;
    // Anything of this process that opens and closes the file (a look at the holder's id) would
    // let go of a lock held by the process rather than by the open file.
    const int peek = ::open((dir.path() / plat::DataFolderLock::kFileName).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(peek, 0);
    ::close(peek);
    plat::DataFolderLock second;
    EXPECT_FALSE(second.acquire(dir.path(), error));
    EXPECT_NE(error.find("in use by another quorix (process " + std::to_string(::getpid()) + ")"), std::string::npos)
        << error;
}

TEST(WriteFailureTest, CausesAPersonCanActOnAreNamedInPlainWords) {
    const struct {
        int code;
        const char* reason;
    } cases[] = {
        {ENOSPC, "the disk is full"},
        {EDQUOT, "the disk is full"},
        {EROFS, "the disk is read-only"},
        {EACCES, "quorix has no permission to write there"},
        {EPERM, "quorix has no permission to write there"},
        {EIO, "the disk reported an error"},
        {ENAMETOOLONG, "File name too long"},  // no plainer words than the system's
        {0, "Input/output error"},             // never "Success"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plat::WriteFailure::reason(c.code, [](const std::string& key) { return key; }), c.reason) << c.code;
    }
    EXPECT_EQ(plat::WriteFailure::reason(EROFS, [](const std::string& key) { return "<" + key + ">"; }),
              "<the disk is read-only>");
}

TEST(LogTest, OneCallIsOneLineAndNamesAreQuotedWhateverTheyHold) {
    qxtest::LogCapture log;
    plat::Log::line("ImportManager importFile: " + plat::Log::quoted("walk\nquorix: forged.csv"));
    plat::Log::line("plain\r\x1b[2Jtext\ttab");
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0], "ImportManager importFile: \"walk\\nquorix: forged.csv\"");
    EXPECT_EQ(log.lines()[1], "plain\\r\\x1b[2Jtext\ttab");
    EXPECT_EQ(plat::Log::quoted("a \"b\" \\ c"), "\"a \\\"b\\\" \\\\ c\"");
    EXPECT_EQ(plat::Log::quoted("Привет.gpx"), "\"Привет.gpx\"");
}

TEST(LogTest, AHugeValueIsCutWhereACharacterBegins) {
    qxtest::LogCapture log;
    // A two-byte letter straddles the limit: the cut falls before it, never inside.
    const std::string value = std::string(plat::Log::kMostBytes - 1, 'x') + "ж" + std::string(20'000'000, 'y');
    plat::Log::line(value);
    plat::Log::line(std::string(plat::Log::kMostBytes, 'z'));
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0], std::string(plat::Log::kMostBytes - 1, 'x') + "... (20000002 more bytes)");
    EXPECT_EQ(log.lines()[1], std::string(plat::Log::kMostBytes, 'z'));
}
