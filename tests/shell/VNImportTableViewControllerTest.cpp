#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "ShellTestFixture.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"
#include "shell/VNImportTableViewController.h"
#include "store/Measurement.h"
#include "store/Store.h"
#include "store/io/WaypointFile.h"

namespace {

class ImportScreenTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        qx::Store::closeDefaultStore();
        window.setRootViewController(screen);
        window.makeKeyAndVisible();
    }
    void TearDown() override {
        drain();
        qx::Store::closeDefaultStore();
        ShellTest::TearDown();
    }

    void addFile(const std::string& name, std::string_view text, int ageSeconds) {
        const auto path = plat::DataFolder::documents() / name;
        ASSERT_TRUE(plat::file::writeAtomically(path, text));
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                                   std::chrono::seconds(ageSeconds));
    }

    std::shared_ptr<plat::ViewController> screen = std::make_shared<plat::ViewController>();
    plat::Window window;
};

TEST_F(ImportScreenTest, ListsWaypointFilesNewestFirstAndImportsTheChosenOne) {
    addFile("old.csv", "date,der\n2026-12-01T10:00:00Z,0.1\n", 300);
    addFile("new.GPX",
            "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"><wpt lat=\"1\" lon=\"2\">"
            "<time>2026-12-02T10:00:00Z</time></wpt><wpt lat=\"3\" lon=\"4\"><time>2026-12-02T11:00:00Z</time></wpt>"
            "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"/><trkpt lat=\"1.1\" lon=\"2\"/></trkseg></trk></gpx>",
            10);
    addFile("middle.csv", "date\n", 100);
    addFile("notes.txt", "date\n", 0);
    std::filesystem::create_directories(plat::DataFolder::documents() / "folder.csv");

    auto importScreen = qx::VNImportTableViewController::loadFromNib();
    screen->presentViewController(importScreen, true);
    importScreen->dir();
    auto table = importScreen->tableView();
    ASSERT_EQ(table->numberOfRows(0), 3);
    EXPECT_EQ(table->cellForRow({0, 0})->textLabel().text(), "new.GPX");
    EXPECT_EQ(table->cellForRow({0, 1})->textLabel().text(), "middle.csv");
    EXPECT_EQ(table->cellForRow({0, 2})->textLabel().text(), "old.csv");

    ASSERT_TRUE(table->userSelectRow({0, 0}));
    drain();
    auto& context = qx::Store::defaultStore().mainContext();
    EXPECT_EQ(context.count(qx::FetchRequest::of<qx::Measurement>()), 2u);
    ASSERT_TRUE(plat::AlertView::frontmostAlert());
    EXPECT_EQ(plat::AlertView::frontmostAlert()->message(), "Imported: 2\nSkipped: 0\nTracks not imported: 1");

    // A file that arrives later shows after a rescan.
    addFile("latest.csv", "date\n", 0);
    importScreen->dir();
    EXPECT_EQ(table->numberOfRows(0), 4);
    EXPECT_EQ(table->cellForRow({0, 0})->textLabel().text(), "latest.csv");
}

TEST_F(ImportScreenTest, LinksAndSpecialFilesAreNeitherListedNorRead) {
    const auto documents = plat::DataFolder::documents();
    addFile("real.csv", "date\n", 0);
    std::filesystem::create_symlink("/etc/passwd", documents / "passwd.csv");
    std::filesystem::create_symlink(documents / "real.csv", documents / "link.csv");
    ASSERT_EQ(mkfifo((documents / "fifo.csv").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (documents / "s.gpx").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    EXPECT_EQ(qx::VNImportTableViewController::importableFiles(documents),
              std::vector<std::filesystem::path>{documents / "real.csv"});
    // Opened by name all the same (a file swapped after the listing), none is read: the FIFO
    // without a writer does not block.
    for (const char* name : {"passwd.csv", "link.csv", "fifo.csv", "s.gpx"}) {
        const auto read = qx::WaypointFile::read(documents / name);
        EXPECT_FALSE(read.readable) << name;
        EXPECT_EQ(read.error, "The file cannot be opened") << name;
    }
    close(sock);
}

}  // namespace
