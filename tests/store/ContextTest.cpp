#include "StoreTestSupport.h"

using namespace qx;

namespace qxtest {

namespace {
std::vector<std::string> namesOf(const std::vector<std::shared_ptr<Waypoint>>& points) {
    std::vector<std::string> out;
    for (const auto& w : points) out.push_back(w->name().value_or("-"));
    return out;
}
std::size_t countOf(Context& c, EntityKind e) { return c.count(FetchRequest(e)).value_or(999); }
}  // namespace

TEST_F(StoreTest, OrderedRelationsKeepTheOrderObjectsWereAdded) {
    auto day = makeSet(main(), plat::Date(0));
    auto track = main().insertNew<Track>();
    day->addTracksObject(track);
    // Reading dates run backwards so that insertion order and date order differ.
    for (const char* n : {"c", "a", "b"}) addPoint(main(), day, 0.1, plat::Date(100 - n[0]), n, track);
    for (const char* n : {"z", "x"}) addPoint(main(), day, 0.1, plat::Date(100 - n[0]), n);
    ASSERT_TRUE(main().save());
    using V = std::vector<std::string>;
    EXPECT_EQ(namesOf(track->waypoints()), (V{"c", "a", "b"}));
    EXPECT_EQ(namesOf(day->waypoints()), (V{"z", "x"}));  // track points are not the day's own
    EXPECT_EQ(day->measurementsCount(), 5u);

    // Appends in a later save, from another connection, go after the stored ones.
    store().saveWithBlock([row = track->objectID().row, day = day->objectID().row](Context& c) {
        auto t = c.objectWithRow<Track>(row);
        addPoint(c, c.objectWithRow<Set>(day), 0.2, plat::Date(1), "d", t);
        addPoint(c, nullptr, 0.2, plat::Date(2), "e", t);
    });
    drain();
    EXPECT_EQ(namesOf(track->waypoints()), (V{"c", "a", "b", "d", "e"}));

    // Moving a point from one owner to another leaves the old list and joins the end of the new.
    auto points = track->waypoints();
    day->addWaypointsObject(points[1]);
    points[1]->setTrack(nullptr);
    ASSERT_TRUE(main().save());
    EXPECT_EQ(namesOf(track->waypoints()), (V{"c", "b", "d", "e"}));
    EXPECT_EQ(namesOf(day->waypoints()), (V{"z", "x", "a"}));
    Store::closeDefaultStore();
    auto reopened = main().fetch<Set>(FetchRequest::of<Set>());
    ASSERT_EQ(reopened.size(), 1u);
    EXPECT_EQ(namesOf(reopened[0]->waypoints()), (V{"z", "x", "a"}));
    EXPECT_EQ(namesOf(reopened[0]->tracks()[0]->waypoints()), (V{"c", "b", "d", "e"}));
}

TEST_F(StoreTest, DeletingCascadesDownTheRelations) {
    auto day = makeSet(main(), plat::Date(0));
    auto keep = makeSet(main(), plat::Date(86400));
    auto track = main().insertNew<Track>();
    day->addTracksObject(track);
    addPoint(main(), day, 0.1, plat::Date(1), "t1", track);
    addPoint(main(), day, 0.1, plat::Date(2), "t2", track);
    auto loose = addPoint(main(), day, 0.1, plat::Date(3), "w");
    addPoint(main(), keep, 0.1, plat::Date(86401), "kept");
    ASSERT_TRUE(main().save());
    ASSERT_EQ(countOf(main(), EntityKind::measurement), 4u);

    // A waypoint takes its reading with it and leaves its day.
    main().deleteObject(loose);
    EXPECT_TRUE(loose->isDeleted());
    EXPECT_EQ(day->waypointsCount(), 0u);
    ASSERT_TRUE(main().save());
    EXPECT_EQ(countOf(main(), EntityKind::measurement), 3u);
    EXPECT_EQ(day->measurementsCount(), 2u);

    // A track takes its waypoints and their readings.
    store().saveWithBlock([row = track->objectID().row](Context& c) { c.deleteObject(c.objectWithRow<Track>(row)); });
    drain();
    EXPECT_TRUE(track->isDeleted());
    EXPECT_EQ(countOf(main(), EntityKind::waypoint), 1u);
    EXPECT_EQ(countOf(main(), EntityKind::measurement), 1u);

    // A day takes everything in it, and nothing of other days.
    auto track2 = main().insertNew<Track>();
    day->addTracksObject(track2);
    addPoint(main(), day, 0.3, plat::Date(5), "t3", track2);
    auto history = main().insertNew<Measurement>();
    day->addMeasurementsObject(history);
    ASSERT_TRUE(main().save());
    main().deleteObject(day);
    ASSERT_TRUE(main().save());
    EXPECT_EQ(countOf(main(), EntityKind::set), 1u);
    EXPECT_EQ(countOf(main(), EntityKind::track), 0u);
    EXPECT_EQ(countOf(main(), EntityKind::waypoint), 1u);
    EXPECT_EQ(countOf(main(), EntityKind::measurement), 1u);
    EXPECT_TRUE(history->isDeleted());
    EXPECT_EQ(keep->waypoints().front()->name(), "kept");
}

TEST_F(StoreTest, DeletingADayTakesTheWaypointsOfItsReadingsWhereverTheyHang) {
    auto day = makeSet(main(), plat::Date(0));
    auto next = makeSet(main(), plat::Date(86400));
    // The recording track belongs to no day yet: its readings are the day's.
    auto recording = main().insertNew<Track>();
    addPoint(main(), day, 0.1, plat::Date(1), "r1", recording);
    addPoint(main(), day, 0.1, plat::Date(2), "r2", recording);
    // A filed track that ran past midnight: its first point's reading is the first day's.
    auto filed = main().insertNew<Track>();
    next->addTracksObject(filed);
    addPoint(main(), day, 0.2, plat::Date(86399), "before", filed);
    addPoint(main(), next, 0.2, plat::Date(86401), "after", filed);
    // An unfiled track of the other day stays.
    auto other = main().insertNew<Track>();
    addPoint(main(), next, 0.3, plat::Date(86402), "o", other);
    ASSERT_TRUE(main().save());
    Track::setCurrentTrack(recording);

    main().deleteObject(day);
    ASSERT_TRUE(main().save());
    EXPECT_TRUE(recording->isDeleted());
    EXPECT_EQ(Track::getCurrentTrack(), nullptr);
    EXPECT_FALSE(filed->isDeleted());
    EXPECT_EQ(namesOf(filed->waypoints()), std::vector<std::string>{"after"});
    EXPECT_FALSE(other->isDeleted());
    EXPECT_EQ(countOf(main(), EntityKind::track), 2u);
    // Every stored waypoint still has its reading.
    EXPECT_EQ(countOf(main(), EntityKind::waypoint), 2u);
    EXPECT_EQ(countOf(main(), EntityKind::measurement), 2u);
    EXPECT_EQ(next->measurementsCount(), 2u);

    // A reading deleted on its own takes its waypoint out of the track too.
    main().deleteObject(filed->waypoints().front()->measurement());
    ASSERT_TRUE(main().save());
    EXPECT_EQ(filed->waypointsCount(), 0u);
    EXPECT_EQ(countOf(main(), EntityKind::waypoint), 1u);
    Store::closeDefaultStore();
    EXPECT_EQ(countOf(main(), EntityKind::waypoint), 1u);
    EXPECT_EQ(countOf(main(), EntityKind::measurement), 1u);
}

TEST_F(StoreTest, AReadingStaysWithTheDayOfItsWaypoint) {
    auto day = makeSet(main(), plat::Date(0));
    auto next = makeSet(main(), plat::Date(86400));
    auto w = addPoint(main(), day, 0.1, plat::Date(1), "p");
    auto m = w->measurement();
    EXPECT_EQ(m->set(), day);
    m->setSet(next);  // the point is the first day's: so is its reading
    EXPECT_EQ(m->set(), day);
    next->addWaypointsObject(w);  // moving the point moves the reading
    EXPECT_EQ(m->set(), next);
    ASSERT_TRUE(main().save());
    EXPECT_EQ(day->measurementsCount(), 0u);
    EXPECT_EQ(next->measurementsCount(), 1u);

    // A reading linked to a day's point joins that day; a track's point leaves its reading be.
    auto late = main().insertNew<Measurement>();
    late->setWaypoint(addPoint(main(), day, 0.2, plat::Date(2), "q"));
    EXPECT_EQ(late->set(), day);
    auto track = main().insertNew<Track>();
    auto t = addPoint(main(), next, 0.3, plat::Date(86402), "t", track);
    EXPECT_EQ(t->set(), nullptr);
    EXPECT_EQ(t->measurement()->set(), next);
    t->measurement()->setSet(day);
    EXPECT_EQ(t->measurement()->set(), day);
}

TEST_F(StoreTest, UnsavedObjectsDeletedBeforeTheSaveNeverReachTheFile) {
    auto day = makeSet(main(), plat::Date(0));
    auto w = addPoint(main(), day, 0.1, plat::Date(1), "gone");
    main().deleteObject(w);
    EXPECT_EQ(day->waypointsCount(), 0u);
    ASSERT_TRUE(main().save());
    EXPECT_EQ(countOf(main(), EntityKind::waypoint), 0u);
    EXPECT_EQ(countOf(main(), EntityKind::measurement), 0u);
    EXPECT_EQ(countOf(main(), EntityKind::set), 1u);
}

TEST_F(StoreTest, AnObjectHasOneInstancePerContextAndMovesByItsID) {
    auto day = makeSet(main(), plat::Date(0));
    auto w = addPoint(main(), day, 0.1, plat::Date(1), "one");
    ASSERT_TRUE(main().save());
    auto again = main().fetchFirst<Waypoint>(FetchRequest::of<Waypoint>());
    EXPECT_EQ(again.get(), w.get());
    EXPECT_EQ(main().inContext(w).get(), w.get());

    std::string seen;
    bool sameInstance = true;
    store().saveWithBlockAndWait([&](Context& c) {
        auto other = c.inContext(w);
        sameInstance = other.get() == w.get();
        seen = other->name().value_or("");
        other->setName(std::string("renamed"));
    });
    EXPECT_FALSE(sameInstance);
    EXPECT_EQ(seen, "one");
    EXPECT_EQ(w->name(), "renamed");  // merged into the main context's instance

    StoreError e;
    EXPECT_EQ(main().existingObjectWithID({EntityKind::waypoint, 999}, &e), nullptr);
    EXPECT_EQ(e.code, StoreError::Code::notFound);
}

TEST_F(StoreTest, MergesKeepTheMainContextsOwnUnsavedEdits) {
    auto day = makeSet(main(), plat::Date(0));
    auto w = addPoint(main(), day, 0.1, plat::Date(1), "one");
    ASSERT_TRUE(main().save());
    w->setName(std::string("mine"));
    store().saveWithBlockAndWait([row = w->objectID().row](Context& c) {
        auto o = c.objectWithRow<Waypoint>(row);
        o->setName(std::string("theirs"));
        o->setAutoSaved(true);
    });
    EXPECT_EQ(w->name(), "mine");
    EXPECT_TRUE(w->autoSaved());
    EXPECT_TRUE(w->hasChanges());
}

TEST_F(StoreTest, RollbackForgetsUnsavedChanges) {
    auto day = makeSet(main(), plat::Date(0));
    auto w = addPoint(main(), day, 0.1, plat::Date(1), "kept");
    ASSERT_TRUE(main().save());
    w->setName(std::string("edit"));
    auto extra = addPoint(main(), day, 0.2, plat::Date(2), "new");
    main().rollback();
    EXPECT_EQ(w->name(), "kept");
    EXPECT_FALSE(main().hasChanges());
    EXPECT_EQ(day->waypointsCount(), 1u);
    EXPECT_EQ(extra->managedObjectContext(), nullptr);
}

TEST_F(StoreTest, ASetMadeTwiceForOneDayBecomesOneSet) {
    auto first = Set::setForDay(plat::Date(10 * 86400 + 5), main());
    ASSERT_TRUE(main().save());
    std::int64_t row = 0;
    // The private context looked before the main one saved: it makes its own set of that day.
    store().saveWithBlockAndWait([&](Context& c) {
        auto again = c.insertNew<Set>();
        again->setDate(first->date());
        addPoint(c, again, 0.5, plat::Date(10 * 86400 + 6), "late");
        row = again->objectID().row;
    });
    EXPECT_EQ(countOf(main(), EntityKind::set), 1u);
    EXPECT_NE(row, first->objectID().row);
    EXPECT_EQ(first->waypointsCount(), 1u);
}

}  // namespace qxtest
