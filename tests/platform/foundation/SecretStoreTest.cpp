#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TestEnvironment.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/SecretStore.h"

namespace {

namespace fs = std::filesystem;
using plat::SecretStore;

class SecretStoreTest : public qxtest::AppTest {};

TEST_F(SecretStoreTest, KeepsSecretsByServiceAndAccountInAFileOnlyItsOwnerReads) {
    qxtest::LogCapture log;
    auto store = SecretStore::standard();
    EXPECT_EQ(store.file(), plat::DataFolder::root() / "Secrets.json");
    EXPECT_FALSE(store.passwordForService("ZENET", "ann").has_value());

    ASSERT_TRUE(store.setPassword("p&ss<1>", "ZENET", "ann"));
    ASSERT_TRUE(store.setPassword("other", "ZENET", "bob"));
    ASSERT_TRUE(store.setPassword("token", "RadResponder", "ann"));
    EXPECT_EQ(SecretStore::standard().passwordForService("ZENET", "ann").value_or(""), "p&ss<1>");
    EXPECT_EQ(store.passwordForService("ZENET", "bob").value_or(""), "other");
    EXPECT_EQ(store.passwordForService("RadResponder", "ann").value_or(""), "token");

    struct stat info {};
    ASSERT_EQ(::stat(store.file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ASSERT_TRUE(store.setPassword("new", "ZENET", "ann"));
    EXPECT_EQ(store.passwordForService("ZENET", "ann").value_or(""), "new");
    ASSERT_TRUE(store.deletePassword("ZENET", "ann"));
    EXPECT_FALSE(store.passwordForService("ZENET", "ann").has_value());
    EXPECT_EQ(store.passwordForService("ZENET", "bob").value_or(""), "other");
    EXPECT_TRUE(store.deletePassword("ZENET", "nobody"));

    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.find("p&ss"), std::string::npos) << line;
        EXPECT_EQ(line.find("token"), std::string::npos) << line;
    }
}

TEST_F(SecretStoreTest, AFileOthersCouldReadIsClosedToThem) {
    auto store = SecretStore::standard();
    ASSERT_TRUE(store.setPassword("s", "ZENET", "ann"));
    ASSERT_EQ(::chmod(store.file().c_str(), 0644), 0);
    EXPECT_EQ(store.passwordForService("ZENET", "ann").value_or(""), "s");
    struct stat info {};
    ASSERT_EQ(::stat(store.file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(SecretStoreTest, AnUnreadableFileIsKeptAsideNotOverwritten) {
    auto store = SecretStore::standard();
    ASSERT_TRUE(plat::file::writeAtomically(store.file(), "{broken"));
    EXPECT_FALSE(store.passwordForService("ZENET", "ann").has_value());
    ASSERT_TRUE(store.setPassword("s", "ZENET", "ann"));
    EXPECT_EQ(store.passwordForService("ZENET", "ann").value_or(""), "s");
    auto aside = store.file();
    aside += ".unreadable";
    EXPECT_EQ(plat::file::read(aside).value_or(""), "{broken");

    // Damaged again: the copy kept before stays beside the new one.
    ASSERT_TRUE(plat::file::writeAtomically(store.file(), "{broken again"));
    ASSERT_TRUE(store.setPassword("t", "ZENET", "ann"));
    EXPECT_EQ(plat::file::read(aside).value_or(""), "{broken");
    aside += "-1";
    EXPECT_EQ(plat::file::read(aside).value_or(""), "{broken again");
}

// What stands at the store's name and cannot be read is never waited for, read without end,
// moved aside nor written over: a change is refused with the cause, which the log tells once.
TEST_F(SecretStoreTest, AFileThatCannotBeReadIsLeftAsItIsWithItsCauseTold) {
    qxtest::LogCapture log;
    const auto root = plat::DataFolder::root();
    const auto fifo = root / "fifo.json", endless = root / "endless.json", large = root / "large.json",
               folder = root / "folder.json", closed = root / "closed.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", endless);
    const std::string kept = R"({"ZENET":{"ann":"kept"}})";
    ASSERT_TRUE(plat::file::writeAtomically(large, kept + std::string(SecretStore::kMostBytes, ' ')));
    fs::create_directory(folder);
    ASSERT_TRUE(plat::file::writeAtomically(closed, kept));
    ASSERT_EQ(::chmod(closed.c_str(), 0), 0);
    const struct {
        fs::path file;
        std::string cause;
    } cases[] = {{fifo, "it is not a plain file"},
                 {endless, "it is not a plain file"},
                 {large, "it is too large"},
                 {folder, "it is a folder"},
                 {closed, "no permission"}};
    for (const auto& c : cases) {
        if (c.file == closed && ::geteuid() == 0) continue;  // root reads any file
        SCOPED_TRACE(c.file.filename().string());
        const auto type = fs::symlink_status(c.file).type();
        SecretStore store(c.file);
        EXPECT_FALSE(store.passwordForService("ZENET", "ann").has_value());
        std::string error;
        EXPECT_FALSE(store.setPassword("new-secret", "ZENET", "ann", &error));
        EXPECT_NE(error.find(c.cause), std::string::npos) << error;
        error.clear();
        EXPECT_FALSE(store.deletePassword("ZENET", "ann", &error));
        EXPECT_NE(error.find(c.cause), std::string::npos) << error;
        EXPECT_EQ(fs::symlink_status(c.file).type(), type);
        EXPECT_EQ(log.count(c.file.filename().string() + "\": "), 1u);
    }
    EXPECT_EQ(fs::file_size(large), kept.size() + SecretStore::kMostBytes);
    ASSERT_EQ(::chmod(closed.c_str(), 0600), 0);
    EXPECT_EQ(plat::file::read(closed).value_or(""), kept);
    for (const auto& entry : fs::directory_iterator(root)) {
        EXPECT_EQ(entry.path().string().find(".unreadable"), std::string::npos) << entry.path();
    }
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("new-secret"), std::string::npos) << line;
}

TEST_F(SecretStoreTest, TextThatIsNotUtf8IsRefusedAndTheOldSecretsStay) {
    auto store = SecretStore::standard();
    ASSERT_TRUE(store.setPassword("kept", "ZENET", "ann"));
    std::string error;
    EXPECT_FALSE(store.setPassword(std::string("bad\xff", 4), "ZENET", "bob", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(store.passwordForService("ZENET", "ann").value_or(""), "kept");
}

}  // namespace
