#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestEnvironment.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/SecretStore.h"

namespace {

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
