// What the person changes by hand while the disk is full: a waypoint added, a name, a deletion,
// a mail. Each refusal is told with its reason and changes nothing; with room again, doing it
// once more works. And a first start on a full disk, whose default settings cannot be written.
#include <filesystem>

#include "FullDisk.h"
#include "HostFixture.h"
#include "platform/foundation/DataFolder.h"
#include "platform/ui/AlertView.h"

namespace {

using qxtest::HostTest;

class FullDiskEditsTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        disk = std::make_unique<qxtest::FullDisk>();
    }
    void TearDown() override {
        HostTest::TearDown();
        disk.reset();
    }
    void runAll(std::initializer_list<std::string> commands) {
        for (const auto& c : commands) ASSERT_TRUE(run(c).ok) << c << ": " << run("show").text;
    }
    static std::size_t mails() {
        std::size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(plat::DataFolder::outbox()))
            n += e.path().extension() == ".eml";
        return n;
    }

    std::unique_ptr<qxtest::FullDisk> disk;
};

TEST_F(FullDiskEditsTest, ChangesRefusedByAFullDiskAreToldAndMadeAgainOnceThereIsRoom) {
    launch();
    runAll({"tab Track", "tap \"Add Waypoint\"", "type \"Waypoint Name\" Alpha", "press Save", "advance 60",
            "tap \"Add Waypoint\"", "type \"Waypoint Name\" Beta", "press Save", "advance 60", "tab History"});
    ASSERT_TRUE(run("expect-waypoints Alpha Beta").ok);

    disk->fillAfter(0, qxtest::FullDisk::Room::forEveryWrite);
    struct Refusal {
        std::vector<std::string> commands;
        std::string told;
    };
    const Refusal refusals[] = {
        {{"tab Track", "tap \"Add Waypoint\"", "type \"Waypoint Name\" Gamma", "press Save"},
         "Waypoint Not Saved: The waypoint could not be saved: the disk is full."},
        {{"tab History", "tap \"Tracks:\"", "tap Manage", "tap Edit#1", "type \"Beta\" Delta", "tap Done"},
         "Name Not Saved: The new name could not be saved: the disk is full."},
        {{"delete Alpha"}, "Not Deleted: It could not be deleted: the disk is full."},
        {{"back", "tap Manage", "delete \"Monday, December 7, 2026\""},
         "Not Deleted: It could not be deleted: the disk is full."},
        {{"tap Manage", "toggle \"Monday, December 7, 2026\"", "tap Share", "press Email", "press OK",
          "type To: a@example.org", "tap Send"},
         "Message Not Sent: The message could not be written: the disk is full. Send it again when there is room."},
    };
    for (const auto& r : refusals) {
        for (const auto& c : r.commands) ASSERT_TRUE(run(c).ok) << c << ": " << run("show").text;
        EXPECT_EQ(takeAlert(), r.told) << r.commands.back();
        EXPECT_TRUE(run("expect-waypoints Alpha Beta").ok) << r.commands.back();
    }
    EXPECT_EQ(mails(), 0u);

    // The mail is still open with its recipient, and the name edit waits under it.
    disk->makeRoom();
    ASSERT_TRUE(run("expect a@example.org").ok);
    ASSERT_TRUE(run("tap Send").ok);
    EXPECT_EQ(mails(), 1u);
    EXPECT_EQ(takeAlert(), "");
    // Starting a recording saves the main context: the refused deletion of the day is not in it.
    runAll({"tab Track", "tap Record", "tap Stop", "tab History"});
    EXPECT_TRUE(run("expect-waypoints Alpha Beta").ok) << run("store").text;
    runAll({"tap \"Tracks:\"", "tap Manage", "tap Edit#1", "type \"Beta\" Delta", "tap Done", "delete Alpha"});
    EXPECT_TRUE(run("expect-waypoints Delta").ok) << run("store").text;
}

// The failed first write of the default settings asks for the words of its message, which are
// read in the language those settings hold: the start must not wait for itself, and once there
// is room the settings are written.
TEST_F(FullDiskEditsTest, AFirstStartOnAFullDiskComesUp) {
    disk->fillAfter(0, qxtest::FullDisk::Room::forEveryWrite);
    launch();
    EXPECT_GT(disk->refusedWrites(), 0u);
    disk->makeRoom();
    while (!takeAlert().empty()) {
    }
    ASSERT_TRUE(run("tab Settings").ok);
    ASSERT_TRUE(run("toggle \"Sound OFF by Shake\"").ok);
    EXPECT_EQ(takeAlert(), "");
    EXPECT_TRUE(std::filesystem::exists(dataDir() / "Preferences.json"));
}

}  // namespace
