#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "StoreTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "store/FetchedResultsController.h"

using namespace qx;

namespace qxtest {

namespace {
class CountingDelegate : public FetchedResultsControllerDelegate {
public:
    std::vector<std::thread::id> threads;
    void controllerDidChangeContent(FetchedResultsController&) override { threads.push_back(std::this_thread::get_id()); }
};
}  // namespace

TEST_F(StoreTest, SaveWithBlockWritesOnAWorkerAndMergesOnTheMainThread) {
    auto day = makeSet(main(), plat::Date(0));
    ASSERT_TRUE(main().save());
    CountingDelegate delegate;
    auto list = FetchedResultsController::create(FetchRequest::of<Waypoint>(), main(), &delegate);
    ASSERT_TRUE(list->performFetch());

    const auto mainThread = std::this_thread::get_id();
    std::thread::id blockThread, completionThread;
    std::size_t listSizeAtCompletion = 0;
    std::vector<int> order;
    store().saveWithBlock(
        [&](Context& c) {
            blockThread = std::this_thread::get_id();
            EXPECT_FALSE(c.isMain());
            addPoint(c, c.inContext(day), 0.2, plat::Date(5), "bg");
        },
        [&](bool ok, const StoreError* error) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(error, nullptr);
            completionThread = std::this_thread::get_id();
            listSizeAtCompletion = list->numberOfObjects();
            order.push_back(1);
        });
    store().saveWithBlock([](Context&) {}, [&](bool ok, const StoreError*) {
        EXPECT_TRUE(ok);
        order.push_back(2);
    });
    EXPECT_EQ(list->numberOfObjects(), 0u);  // nothing merges before the main loop runs
    drain();
    EXPECT_NE(blockThread, mainThread);
    EXPECT_EQ(completionThread, mainThread);
    EXPECT_EQ(listSizeAtCompletion, 1u);  // merged, and the list told, before the completion
    EXPECT_EQ(delegate.threads, std::vector<std::thread::id>{mainThread});
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(day->waypointsCount(), 1u);
    list->setDelegate(nullptr);
}

TEST_F(StoreTest, BackgroundSavesCopyTheirLogBackIntoTheDatabaseFile) {
    // Five saves of 1 MB each: past the log's limit, their pages must reach the file itself, or
    // the log would grow without end while the program runs.
    const auto file = store().file();
    const auto before = std::filesystem::file_size(file);
    const std::string name(1000, 'n');
    for (int save = 0; save < 5; ++save) {
        store().saveWithBlock([&, save](Context& c) {
            auto day = makeSet(c, plat::Date(86400.0 * save));
            for (int i = 0; i < 1000; ++i) addPoint(c, day, 0.1, plat::Date(86400.0 * save + i), name.c_str());
        });
    }
    drain();
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 5000u);
    EXPECT_GT(std::filesystem::file_size(file), before + 3000000);
}

TEST_F(StoreTest, SaveInTheCurrentThreadsContextUsesTheMainContextOnTheMainThread) {
    auto day = makeSet(main(), plat::Date(0));
    ASSERT_TRUE(main().save());
    bool done = false;
    store().saveUsingCurrentThreadContextWithBlock(
        [&](Context& c) {
            EXPECT_TRUE(c.isMain());
            c.deleteObject(day);
        },
        [&](bool ok, const StoreError* error) {
            done = ok && !error;
        });
    EXPECT_TRUE(day->isDeleted());  // saved at once
    drain();
    EXPECT_TRUE(done);
}

TEST_F(StoreTest, ASaveOnAStoreThatCannotOpenReportsItsError) {
    // A plain file where the store's folder should be.
    ASSERT_TRUE(plat::file::writeAtomically(dataDir() / "blocker", "x"));
    Store broken(dataDir() / "blocker" / "x.sqlite");
    EXPECT_FALSE(broken.isOpen());
    EXPECT_EQ(broken.openError().code, StoreError::Code::cannotOpen);
    bool called = false;
    StoreError seen;
    broken.saveWithBlock([](Context& c) { c.insertNew<Set>(); },
                         [&](bool ok, const StoreError* error) {
                             called = true;
                             EXPECT_FALSE(ok);
                             if (error) seen = *error;
                         });
    drain();
    EXPECT_TRUE(called);
    EXPECT_TRUE(seen);
    // Reads still answer, from an empty store.
    EXPECT_EQ(broken.mainContext().count(FetchRequest::of<Set>()), 0u);
}

// A process killed while a large save is being written leaves the file as it was before.
TEST_F(StoreTest, AKilledSaveLeavesTheStoreAsItWas) {
    auto day = makeSet(main(), plat::Date(0));
    for (int i = 0; i < 20; ++i) addPoint(main(), day, 0.01 * i, plat::Date(i), "before");
    ASSERT_TRUE(main().save());
    const auto file = store().file();
    Store::closeDefaultStore();
    drain();

    // The child writes its rows into the save's open transaction and stops there, before the
    // commit, until it is killed: the kill lands inside the save whatever the load. A small page
    // cache sends the rows on to the write-ahead log meanwhile, as a large save's would.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        Store s(file);
        s.saveWithBlockAndWait([](Context& c) { c.connection().exec("PRAGMA cache_size = 8"); });
        const auto wal = file.string() + "-wal";
        s.saveWithBlockAndWait([&](Context& c) {
            auto d = c.fetchFirst<Set>(FetchRequest::of<Set>());
            for (int i = 0; i < 100000; ++i) addPoint(c, d, 1.0, plat::Date(100 + i), "during");
            const bool written = c.save();
            std::error_code ec;
            const char ready = written && std::filesystem::file_size(wal, ec) > (1u << 20) ? 1 : 2;
            (void)!write(pipeFds[1], &ready, 1);
            for (;;) pause();
        });
        _exit(3);  // committed: the test failed to interrupt it
    }
    close(pipeFds[1]);
    char ready = 0;
    ASSERT_EQ(read(pipeFds[0], &ready, 1), 1);
    EXPECT_EQ(ready, 1) << "the rows did not reach the write-ahead log before the commit";
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 20u);
    EXPECT_EQ(main().count(FetchRequest::of<Measurement>().where(Key("der") == 1.0)), 0u);
    EXPECT_EQ(main().count(FetchRequest::of<Set>()), 1u);
    // And the store goes on working.
    ASSERT_TRUE(store().saveWithBlockAndWait([](Context& c) {
        addPoint(c, c.fetchFirst<Set>(FetchRequest::of<Set>()), 2.0, plat::Date(1), "after");
    }));
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 21u);
}

}  // namespace qxtest
