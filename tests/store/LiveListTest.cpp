#include <sstream>

#include "StoreTestSupport.h"
#include "store/FetchedResultsController.h"
#include "store/HistoryManager.h"

using namespace qx;

namespace qxtest {

namespace {

// Writes every report as a line: "will", "sec+ 1 name", "ins name -> 0.2", "del name 0.1 ->",
// "mov name 0.0 -> 0.3 [keys]", "upd name 0.1 -> 0.1 [keys]", "did".
class Recorder : public FetchedResultsControllerDelegate {
public:
    std::vector<std::string> lines;
    std::function<void()> onDid;
    // A list that holds only some of its objects may report a removed row without its object.
    bool removedByPlaceOnly = false;

    static std::string path(const std::optional<IndexPath>& p) {
        return p ? std::to_string(p->section) + "." + std::to_string(p->row) : "";
    }
    static std::string label(const ManagedObject& o) {
        if (o.entity() == EntityKind::waypoint) return static_cast<const Waypoint&>(o).name().value_or("-");
        return o.objectID().description();
    }
    void controllerWillChangeContent(FetchedResultsController&) override { lines.push_back("will"); }
    void controllerDidChangeSection(FetchedResultsController&, const SectionChange& c) override {
        lines.push_back(std::string(c.type == ChangeType::insert ? "sec+ " : "sec- ") + std::to_string(c.index));
    }
    void controllerDidChangeObject(FetchedResultsController&, const ObjectChange& c) override {
        static const char* kinds[] = {"", "ins", "del", "mov", "upd"};
        std::string keys;
        for (const auto& k : c.changedKeys) keys += (keys.empty() ? "" : ",") + k;
        const bool unnamed = removedByPlaceOnly && c.type == ChangeType::remove;
        lines.push_back(std::string(kinds[static_cast<int>(c.type)]) + " " + (unnamed ? "?" : label(*c.object)) + " " +
                        path(c.indexPath) +
                        " -> " + path(c.newIndexPath) + (keys.empty() ? "" : " [" + keys + "]"));
    }
    void controllerDidChangeContent(FetchedResultsController&) override {
        lines.push_back("did");
        if (onDid) onDid();
    }
};

std::vector<std::string> rows(const FetchedResultsController& c) {
    std::vector<std::string> out;
    for (const auto& o : c.fetchedObjects()) out.push_back(Recorder::label(*o));
    return out;
}

}  // namespace

class LiveListTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        day = makeSet(main(), plat::Date(0));
        for (int i = 0; i < 4; ++i) addPoint(main(), day, 0.1 * (i + 1), plat::Date(10 * (i + 1)), names[i]);
        ASSERT_TRUE(main().save());
        list = FetchedResultsController::create(
            FetchRequest::of<Waypoint>().where(Key("measurement.der") > 0.15).sortedBy("measurement.date", false), main(),
            &recorder);
        StoreError e;
        ASSERT_TRUE(list->performFetch(&e)) << e.message;
    }
    void TearDown() override {
        list->setDelegate(nullptr);
        StoreTest::TearDown();
    }
    void inBackground(std::function<void(Context&)> block) {
        store().saveWithBlock(std::move(block));
        drain();
    }
    static std::shared_ptr<Waypoint> named(Context& c, const char* name) {
        return c.fetchFirst<Waypoint>(FetchRequest::of<Waypoint>().where(Key("name") == name));
    }

    const char* names[4] = {"a", "b", "c", "d"};
    std::shared_ptr<Set> day;
    Recorder recorder;
    std::shared_ptr<FetchedResultsController> list;
};

using V = std::vector<std::string>;

TEST_F(LiveListTest, ReportsInsertionsAndDeletionsWithTheirPositions) {
    EXPECT_EQ(rows(*list), (V{"d", "c", "b"}));
    inBackground([this](Context& c) {
        addPoint(c, c.inContext(day), 0.9, plat::Date(25), "new");  // between b and c
        addPoint(c, c.inContext(day), 0.01, plat::Date(26), "low");  // does not match
        c.deleteObject(named(c, "d"));
    });
    EXPECT_EQ(rows(*list), (V{"c", "new", "b"}));
    EXPECT_EQ(recorder.lines, (V{"will", "del d 0.0 -> ", "ins new  -> 0.1", "did"}));
}

TEST_F(LiveListTest, ReportsMovesAndUpdatesWithTheChangedKeys) {
    inBackground([](Context& c) {
        named(c, "b")->setName(std::string("B"));  // stays in place
    });
    EXPECT_EQ(recorder.lines, (V{"will", "upd B 0.2 -> 0.2 [name]", "did"}));
    recorder.lines.clear();

    // A change of another entity that the sort key reads moves the waypoint.
    inBackground([](Context& c) { named(c, "B")->measurement()->setDate(plat::Date(100)); });
    EXPECT_EQ(rows(*list), (V{"B", "d", "c"}));
    EXPECT_EQ(recorder.lines, (V{"will", "mov B 0.2 -> 0.0", "did"}));
    recorder.lines.clear();

    // Leaving the condition through the related reading is a deletion; matching it again an insertion.
    inBackground([](Context& c) { named(c, "c")->measurement()->setDer(0.01); });
    EXPECT_EQ(recorder.lines, (V{"will", "del c 0.2 -> ", "did"}));
    recorder.lines.clear();
    inBackground([](Context& c) {
        named(c, "a")->measurement()->setDer(5);
        named(c, "a")->setAutoSaved(true);
    });
    EXPECT_EQ(rows(*list), (V{"B", "d", "a"}));
    EXPECT_EQ(recorder.lines, (V{"will", "ins a  -> 0.2 [autoSaved]", "did"}));
}

TEST_F(LiveListTest, RelationKeysArriveWithTheOwnersUpdate) {
    Recorder trackRecorder;
    auto tracks = FetchedResultsController::create(
        FetchRequest::of<Track>().where(Key("dateFrom") >= plat::Date(0)).sortedBy("dateFrom").sectionedBy("dateFrom"),
        main(), &trackRecorder);
    auto t = main().insertNew<Track>();
    ASSERT_TRUE(main().save());
    ASSERT_TRUE(tracks->performFetch());
    inBackground([row = t->objectID().row](Context& c) {
        addPoint(c, nullptr, 0.5, plat::Date(1), "p", c.objectWithRow<Track>(row));
    });
    // The point is above the first threshold, so the stored alarm count changed too.
    EXPECT_EQ(trackRecorder.lines, (V{"will", "upd " + t->objectID().description() + " 0.0 -> 0.0 [alarms,waypoints]", "did"}));
    tracks->setDelegate(nullptr);
}

TEST_F(LiveListTest, SectionsAppearAndVanishWithTheirObjects) {
    Recorder sectioned;
    auto bySet = FetchedResultsController::create(
        FetchRequest::of<Waypoint>().sortedBy("set.date").sortedBy("name").sectionedBy("set.date"), main(), &sectioned);
    ASSERT_TRUE(bySet->performFetch());
    ASSERT_EQ(bySet->sections().size(), 1u);
    inBackground([](Context& c) {
        auto next = makeSet(c, plat::Date(86400));
        addPoint(c, next, 1, plat::Date(86401), "n");
    });
    ASSERT_EQ(bySet->sections().size(), 2u);
    EXPECT_EQ(bySet->sections()[1].numberOfObjects, 1u);
    EXPECT_EQ(bySet->objectAt<Waypoint>({1, 0})->name(), "n");
    // The filtered list has no sections of its own: one section, whatever changes.
    EXPECT_EQ(list->sections().size(), 1u);
    EXPECT_EQ(sectioned.lines, (V{"will", "sec+ 1", "ins n  -> 1.0", "did"}));

    sectioned.lines.clear();
    inBackground([&](Context& c) { c.deleteObject(c.inContext(named(main(), "n")->set())); });
    EXPECT_EQ(bySet->sections().size(), 1u);
    EXPECT_EQ(sectioned.lines, (V{"will", "sec- 1", "del n 1.0 -> ", "did"}));
    bySet->setDelegate(nullptr);
}

TEST_F(LiveListTest, MainContextSavesAndCascadesReachTheList) {
    auto d = named(main(), "d");
    main().deleteObject(day);
    ASSERT_TRUE(main().save());
    EXPECT_TRUE(rows(*list).empty());
    EXPECT_EQ(recorder.lines.front(), "will");
    EXPECT_EQ(recorder.lines.size(), 5u);  // will, three deletions, did
    EXPECT_TRUE(d->isDeleted());
}

TEST_F(LiveListTest, AListMayBeDroppedFromInsideItsOwnReport) {
    recorder.onDid = [this] { list.reset(); };
    inBackground([](Context& c) { c.deleteObject(named(c, "d")); });
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(recorder.lines.back(), "did");
    // A later save reaches no list and no delegate.
    recorder.lines.clear();
    inBackground([](Context& c) { c.deleteObject(named(c, "c")); });
    EXPECT_TRUE(recorder.lines.empty());
    list = FetchedResultsController::create(FetchRequest::of<Waypoint>(), main());
}

TEST_F(LiveListTest, WipingTheStoreEmptiesLiveLists) {
    ASSERT_TRUE(HistoryManager::sharedHistoryManager().resetHistoryDataBase());
    EXPECT_TRUE(rows(*list).empty());
    EXPECT_EQ(recorder.lines, (V{"will", "del d 0.0 -> ", "del c 0.1 -> ", "del b 0.2 -> ", "did"}));
}

// A save touching many rows at once: the list ends as a fresh fetch would, and its report,
// replayed on the old rows as a table view applies one (deletions and move sources at old
// places, insertions and move destinations at new ones), gives the new rows.
TEST_F(LiveListTest, ABigSaveLeavesTheListAsAFreshFetchAndItsReportReplays) {
    struct Replay : FetchedResultsControllerDelegate {
        std::vector<std::string> rows;
        std::vector<long> gone;
        std::vector<std::pair<long, std::string>> come;
        void controllerDidChangeObject(FetchedResultsController&, const ObjectChange& c) override {
            if (c.indexPath && c.type != ChangeType::update) gone.push_back(c.indexPath->row);
            if (c.newIndexPath && c.type != ChangeType::update) come.emplace_back(c.newIndexPath->row, Recorder::label(*c.object));
        }
        void controllerDidChangeContent(FetchedResultsController&) override {
            std::sort(gone.rbegin(), gone.rend());
            for (long i : gone) rows.erase(rows.begin() + i);
            std::sort(come.begin(), come.end());
            for (const auto& [i, name] : come) rows.insert(rows.begin() + i, name);
        }
    } replay;
    replay.rows = rows(*list);
    list->setDelegate(&replay);
    inBackground([this](Context& c) {
        for (int i = 0; i < 60; ++i)  // every third one below the condition
            addPoint(c, c.inContext(day), i % 3 ? 0.2 + i : 0.01, plat::Date(5 + (i * 7) % 45), ("p" + std::to_string(i)).c_str());
        c.deleteObject(named(c, "c"));
        named(c, "b")->measurement()->setDate(plat::Date(1));  // to the end
        named(c, "d")->measurement()->setDer(0.01);            // leaves
    });
    auto fresh = FetchedResultsController::create(list->fetchRequest(), main());
    ASSERT_TRUE(fresh->performFetch());
    EXPECT_EQ(rows(*list).size(), 41u);
    EXPECT_EQ(rows(*list), rows(*fresh));
    EXPECT_EQ(replay.rows, rows(*fresh));
    list->setDelegate(&recorder);
}

// A list that reads its objects batch by batch shows the same rows and reports the same changes
// as one that holds them all, while it holds only the batches read last.
TEST_F(LiveListTest, ABatchedListMatchesAWholeOneAndHoldsOnlyItsLastBatches) {
    inBackground([this](Context& c) {
        for (int i = 0; i < 30; ++i)
            addPoint(c, c.inContext(day), 0.2 + i, plat::Date(100 + i * 3), ("q" + std::to_string(i)).c_str());
    });
    Recorder wholeLines, batchedLines;
    wholeLines.removedByPlaceOnly = batchedLines.removedByPlaceOnly = true;
    FetchRequest request = list->fetchRequest();
    list = FetchedResultsController::create(request, main());  // holds nothing, unfetched
    auto batched = FetchedResultsController::create(FetchRequest(request).batchedBy(2), main(), &batchedLines);
    ASSERT_TRUE(batched->performFetch());
    EXPECT_EQ(batched->numberOfHeldObjects(), 0u);
    V names;
    for (const auto& w : main().fetch<Waypoint>(request)) names.push_back(Recorder::label(*w));
    ASSERT_EQ(batched->numberOfObjects(), names.size());

    // Read row by row, as a table scrolls: each row comes, the earliest batches go.
    std::weak_ptr<ManagedObject> first = batched->objectAtIndexPath({0, 0});
    for (std::size_t r = 0; r < names.size(); ++r)
        EXPECT_EQ(Recorder::label(*batched->objectAtIndexPath({0, static_cast<long>(r)})), names[r]) << r;
    EXPECT_LE(batched->numberOfHeldObjects(), FetchedResultsController::kHeldBatches * 2);
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(batched->objectAtIndexPath({0, static_cast<long>(names.size())}), nullptr);
    EXPECT_EQ(rows(*batched), names);

    auto whole = FetchedResultsController::create(request, main(), &wholeLines);
    ASSERT_TRUE(whole->performFetch());
    const std::vector<std::function<void(Context&)>> saves{
        [this](Context& c) {
            addPoint(c, c.inContext(day), 0.9, plat::Date(25), "new");
            c.deleteObject(named(c, "d"));
            c.deleteObject(named(c, "q7"));
        },
        [](Context& c) { named(c, "b")->setName(std::string("B")); },
        [](Context& c) { named(c, "q3")->measurement()->setDate(plat::Date(1000)); },
        [](Context& c) { named(c, "c")->measurement()->setDer(0.01); },
        [this](Context& c) {
            for (int i = 0; i < 60; ++i)
                addPoint(c, c.inContext(day), i % 3 ? 0.2 + i : 0.01, plat::Date(5 + (i * 7) % 45),
                         ("p" + std::to_string(i)).c_str());
            named(c, "B")->measurement()->setDate(plat::Date(1));
        },
    };
    for (std::size_t i = 0; i < saves.size(); ++i) {
        batched->objectAtIndexPath({0, 1});  // a held batch whose places the save shifts
        wholeLines.lines.clear();
        batchedLines.lines.clear();
        inBackground(saves[i]);
        EXPECT_FALSE(wholeLines.lines.empty()) << i;
        EXPECT_EQ(batchedLines.lines, wholeLines.lines) << i;
        EXPECT_EQ(rows(*batched), rows(*whole)) << i;
        EXPECT_EQ(batched->objectAtIndexPath({0, 1}), whole->objectAtIndexPath({0, 1})) << i;
        EXPECT_EQ(batched->indexPathForObject(*whole->objectAtIndexPath({0, 2})), (IndexPath{0, 2})) << i;
    }
    whole->setDelegate(nullptr);
    batched->setDelegate(nullptr);
}

// A list keeps numbers and dates of its rows compactly and anything else as it is: whatever the
// kinds of its keys, a row that a save inserts or moves lands where the store's own order puts it.
TEST_F(LiveListTest, RowsOfEveryKindOfKeyLandInTheStoresOrder) {
    const std::vector<FetchRequest> requests{
        FetchRequest::of<Waypoint>().sortedBy("measurement.date", false),  // equal dates: by row
        FetchRequest::of<Waypoint>().sortedBy("name"),                     // nothing before texts
        FetchRequest::of<Waypoint>().sortedBy("measurement.der").sortedBy("name", false),
        FetchRequest::of<Waypoint>().sortedBy("set.date").sortedBy("measurement.date").sortedBy("name").sectionedBy(
            "set.date"),
    };
    const auto ids = [](const std::vector<std::shared_ptr<Waypoint>>& objects) {
        std::vector<std::string> out;
        for (const auto& o : objects) out.push_back(o->objectID().description());
        return out;
    };
    Recorder reports;
    reports.removedByPlaceOnly = true;
    std::vector<std::shared_ptr<FetchedResultsController>> lists;
    for (const auto& r : requests) {
        lists.push_back(FetchedResultsController::create(FetchRequest(r).batchedBy(3), main(), &reports));
        ASSERT_TRUE(lists.back()->performFetch());
    }
    inBackground([this](Context& c) {
        auto next = makeSet(c, plat::Date(86400));
        for (int i = 0; i < 12; ++i)
            addPoint(c, i % 2 ? c.inContext(day) : next, i % 4 ? 0.5 : 1, plat::Date(20 + i % 3 * 10),
                     i % 3 ? ("m" + std::to_string(i % 5)).c_str() : nullptr);
        named(c, "a")->setName(std::nullopt);
        named(c, "b")->measurement()->setDate(plat::Date(30));
    });
    for (std::size_t i = 0; i < requests.size(); ++i) {
        std::vector<std::string> live;
        for (const auto& o : lists[i]->fetchedObjects()) live.push_back(o->objectID().description());
        EXPECT_EQ(live, ids(main().fetch<Waypoint>(requests[i]))) << i;
        auto fresh = FetchedResultsController::create(requests[i], main());
        ASSERT_TRUE(fresh->performFetch());
        ASSERT_EQ(lists[i]->sections().size(), fresh->sections().size()) << i;
        for (std::size_t s = 0; s < fresh->sections().size(); ++s)
            EXPECT_EQ(lists[i]->sections()[s].numberOfObjects, fresh->sections()[s].numberOfObjects) << i << " " << s;
        lists[i]->setDelegate(nullptr);
    }
}

TEST_F(LiveListTest, AnInvalidRequestReportsItsErrorAndStaysEmpty) {
    auto bad = FetchedResultsController::create(FetchRequest::of<Waypoint>().sortedBy("measurement.colour"), main());
    StoreError e;
    EXPECT_FALSE(bad->performFetch(&e));
    EXPECT_EQ(e.code, StoreError::Code::unknownKey);
    EXPECT_EQ(bad->numberOfObjects(), 0u);
    EXPECT_EQ(bad->objectAtIndexPath({0, 0}), nullptr);
}

}  // namespace qxtest
