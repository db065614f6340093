#include <gtest/gtest.h>

#include "ShellTestFixture.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"
#include "shell/VNImportTableViewController.h"
#include "store/Measurement.h"
#include "store/Store.h"

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
            "<time>2026-12-02T10:00:00Z</time></wpt><wpt lat=\"3\" lon=\"4\"><time>2026-12-02T11:00:00Z</time></wpt></gpx>",
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
    EXPECT_EQ(plat::AlertView::frontmostAlert()->message(), "Imported: 2\nSkipped: 0");

    // A file that arrives later shows after a rescan.
    addFile("latest.csv", "date\n", 0);
    importScreen->dir();
    EXPECT_EQ(table->numberOfRows(0), 4);
    EXPECT_EQ(table->cellForRow({0, 0})->textLabel().text(), "latest.csv");
}

}  // namespace
