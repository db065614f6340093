#include "StoreTestSupport.h"
#include "store/ObjectRegistry.h"

using namespace qx;

namespace qxtest {

// Entries stay findable while others are erased around them (the table closes each hole by
// moving later entries back, across its end too), the same row of two entities stays two
// entries, and a sweep forgets only the objects nobody holds.
TEST_F(StoreTest, ObjectRegistryFindsEveryEntryThroughErasesAndSweeps) {
    ObjectRegistry registry;
    std::vector<std::shared_ptr<ManagedObject>> points;
    for (int i = 0; i < 3000; ++i) points.push_back(main().insertNew<Waypoint>());
    auto day = makeSet(main(), plat::Date(0));
    ASSERT_EQ(day->objectID().row, points[0]->objectID().row);
    std::vector<ObjectID> ids;
    for (const auto& p : points) {
        ids.push_back(p->objectID());
        registry.put(p->objectID(), p);
    }
    registry.put(day->objectID(), day);
    registry.put(points[5]->objectID(), points[5]);  // again: replaces, does not add
    EXPECT_EQ(registry.size(), 3001u);

    for (std::size_t i = 0; i < points.size(); i += 3) registry.erase(ids[i]);
    registry.erase({EntityKind::track, 1});  // never entered
    auto findsExactly = [&](auto expected) {
        for (std::size_t i = 0; i < points.size(); ++i)
            ASSERT_EQ(registry.find(ids[i]), expected(i) ? points[i] : nullptr) << i;
    };
    findsExactly([](std::size_t i) { return i % 3 != 0; });
    EXPECT_EQ(registry.find(day->objectID()), day);
    EXPECT_EQ(registry.size(), 2001u);

    for (std::size_t i = 1; i < points.size(); i += 3) {
        main().deleteObject(points[i]);
        points[i].reset();
    }
    findsExactly([](std::size_t i) { return i % 3 == 2; });  // gone objects are not found...
    EXPECT_EQ(registry.size(), 2001u);                         // ...though their entries stay
    registry.sweep();
    EXPECT_EQ(registry.size(), 1001u);
    findsExactly([](std::size_t i) { return i % 3 == 2; });
    EXPECT_EQ(registry.find(day->objectID()), day);
}

}  // namespace qxtest
