#include <algorithm>
#include <set>

#include "StoreTestSupport.h"
#include "store/FetchRequest.h"

using namespace qx;

namespace qxtest {

// A day of five named points with readings, used to check each operator against a known answer.
class PredicateTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        day = makeSet(main(), plat::Date(86400));
        other = makeSet(main(), plat::Date(2 * 86400));
        const char* names[] = {"Alpha", "alpine", "Beta", "Ålesund", "it's <b>&"};
        for (int i = 0; i < 5; ++i) {
            auto w = addPoint(main(), i < 4 ? day : other, 0.1 * (i + 1), plat::Date(86400 + 100 * i), names[i]);
            w->setAutoSaved(i % 2 == 0);
            w->measurement()->setDeviceSerial(i < 2 ? std::optional<std::string>("S1") : std::nullopt);
            w->measurement()->setDeviceType(i);
        }
        auto history = main().insertNew<Measurement>();  // no waypoint
        history->setDer(9);
        day->addMeasurementsObject(history);
        ASSERT_TRUE(main().save());
    }

    std::set<std::string> names(const Predicate& p, StoreError* error = nullptr) {
        std::set<std::string> out;
        for (const auto& w : main().fetch<Waypoint>(FetchRequest::of<Waypoint>().where(p), error))
            out.insert(w->name().value_or("-"));
        return out;
    }

    std::shared_ptr<Set> day, other;
};

TEST_F(PredicateTest, ComparisonsOnAttributesAndToOnePaths) {
    using S = std::set<std::string>;
    EXPECT_EQ(names(Key("name") == "Beta"), S{"Beta"});
    EXPECT_EQ(names(Key("name") != "Beta").size(), 4u);
    EXPECT_EQ(names(Key("measurement.der") < 0.2), S{"Alpha"});
    EXPECT_EQ(names(Key("measurement.der") <= 0.2), (S{"Alpha", "alpine"}));
    EXPECT_EQ(names(Key("measurement.der") > 0.4), S{"it's <b>&"});
    EXPECT_EQ(names(Key("measurement.der") >= 0.4), (S{"Ålesund", "it's <b>&"}));
    EXPECT_EQ(names(Key("measurement.date") >= plat::Date(86400 + 300)), (S{"Ålesund", "it's <b>&"}));
    EXPECT_EQ(names(Key("autoSaved") == true), (S{"Alpha", "Beta", "it's <b>&"}));
    EXPECT_EQ(names(Key("autoSaved") == false), (S{"alpine", "Ålesund"}));
    EXPECT_EQ(names(Key("measurement.der") > 0.1 && Key("autoSaved") == false && Key("name") != "alpine"),
              S{"Ålesund"});
}

TEST_F(PredicateTest, NullConstantsBeginsWithAndIn) {
    using S = std::set<std::string>;
    EXPECT_EQ(names(Key("measurement.deviceSerial").isNull()), (S{"Beta", "Ålesund", "it's <b>&"}));
    EXPECT_EQ(names(Key("measurement.deviceSerial") != nullptr), (S{"Alpha", "alpine"}));
    EXPECT_EQ(names(Predicate::truePredicate()).size(), 5u);
    EXPECT_TRUE(names(Predicate::falsePredicate()).empty());
    // Case- and accent-sensitive, on characters rather than bytes.
    EXPECT_EQ(names(Key("name").beginsWith("Al")), S{"Alpha"});
    EXPECT_EQ(names(Key("name").beginsWith("al")), S{"alpine"});
    EXPECT_EQ(names(Key("name").beginsWith("Å")), S{"Ålesund"});
    EXPECT_EQ(names(Key("measurement.deviceType").in({1, 3, 7})), (S{"alpine", "Ålesund"}));
    EXPECT_TRUE(names(Key("measurement.deviceType").in({})).empty());
    // Values are bound, never pasted into the statement.
    EXPECT_EQ(names(Key("name") == "it's <b>&"), S{"it's <b>&"});
    EXPECT_TRUE(names(Key("name") == "x' OR '1'='1").empty());

    auto history = main().fetch<Measurement>(FetchRequest::of<Measurement>().where(Key("waypoint").isNull()));
    ASSERT_EQ(history.size(), 1u);
    EXPECT_DOUBLE_EQ(history[0]->der(), 9);
}

TEST_F(PredicateTest, ObjectEqualityAnyAndSubqueryCounts) {
    using S = std::set<std::string>;
    EXPECT_EQ(names(Key("set") == other), S{"it's <b>&"});
    EXPECT_EQ(main().count(FetchRequest::of<Measurement>().where(Key("set") == day)), 5u);

    auto sets = [&](const Predicate& p) {
        std::set<double> days;
        for (const auto& s : main().fetch<Set>(FetchRequest::of<Set>().where(p))) days.insert(s->date().timeIntervalSince1970());
        return days;
    };
    const std::set<std::string> serials{"S1", "S9"};
    EXPECT_EQ(sets(Predicate::subqueryCount("waypoints", Key("measurement.deviceSerial").inRange(serials),
                                            Comparison::notEqual, 0)),
              std::set<double>{86400});
    EXPECT_EQ(sets(Predicate::subqueryCount("waypoints", Key("measurement.deviceType") == 4, Comparison::notEqual, 0)),
              std::set<double>{2 * 86400});
    EXPECT_EQ(sets(Predicate::subqueryCount("waypoints", Key("measurement.der") > 0.15, Comparison::equal, 3)),
              std::set<double>{86400});
    EXPECT_EQ(sets(Predicate::subqueryCount("waypoints", Key("autoSaved") == true, Comparison::equal, 0)),
              std::set<double>{});
    EXPECT_EQ(sets(Key("waypoints.measurement.der").any() > 0.45), std::set<double>{2 * 86400});
    // A day's track points are not the day's own waypoints: their instrument does not count.
    auto track = main().insertNew<Track>();
    other->addTracksObject(track);
    addPoint(main(), other, 0.2, plat::Date(2 * 86400 + 5), "tracked", track)->measurement()->setDeviceSerial(std::string("S9"));
    ASSERT_TRUE(main().save());
    EXPECT_EQ(sets(Predicate::subqueryCount("waypoints", Key("measurement.deviceSerial") == "S9", Comparison::notEqual, 0)),
              std::set<double>{});
    EXPECT_EQ(sets(Predicate::subqueryCount("waypoints", Key("measurement.deviceSerial") == "S9", Comparison::equal, 0)),
              (std::set<double>{86400, 2 * 86400}));
    EXPECT_EQ(sets(Key("measurements.der").any() > 5), std::set<double>{86400});
}

TEST_F(PredicateTest, AlternativesJoinWithAndInsideSubqueries) {
    using S = std::set<std::string>;
    EXPECT_EQ(names(Key("name") == "Beta" || Key("measurement.der") > 0.45), (S{"Beta", "it's <b>&"}));
    // Nested under "and" the alternatives stay together.
    EXPECT_EQ(names(Key("autoSaved") == true && (Key("name") == "Alpha" || Key("name") == "alpine")), S{"Alpha"});
    EXPECT_EQ(names(Predicate::orPredicates({})), S{});
    auto sets = [&](const Predicate& p) { return main().count(FetchRequest::of<Set>().where(p)).value_or(99); };
    EXPECT_EQ(sets(Predicate::subqueryCount("waypoints", Key("measurement.deviceType") == 4 || Key("measurement.der") < 0.15,
                                            Comparison::notEqual, 0)),
              2u);
    EXPECT_EQ((Key("name") == "a" || Key("name") == "b").description(), "(name == a) OR (name == b)");
}

TEST_F(PredicateTest, UnknownKeysAndMisusedRelationsAreErrors) {
    auto expectError = [&](const FetchRequest& r, StoreError::Code code) {
        StoreError e;
        EXPECT_TRUE(main().executeFetch(r, &e).empty());
        EXPECT_EQ(e.code, code) << e.message;
        StoreError c;
        if (!r.predicate) return;
        EXPECT_FALSE(main().count(r, &c).has_value());
        EXPECT_EQ(c.code, code);
    };
    expectError(FetchRequest::of<Waypoint>().where(Key("colour") == 1), StoreError::Code::unknownKey);
    expectError(FetchRequest::of<Waypoint>().where(Key("measurement.nope") == 1), StoreError::Code::unknownKey);
    expectError(FetchRequest::of<Waypoint>().sortedBy("measurement.when"), StoreError::Code::unknownKey);
    expectError(FetchRequest::of<Set>().where(Key("waypoints.name") == "x"), StoreError::Code::invalidRequest);
    expectError(FetchRequest::of<Set>().sortedBy("waypoints"), StoreError::Code::invalidRequest);
    expectError(FetchRequest::of<Waypoint>().where(Key("set") == 3), StoreError::Code::invalidRequest);
    expectError(FetchRequest::of<Waypoint>().where(Key("set") == main().fetch<Track>(FetchRequest::of<Track>()).size()),
                StoreError::Code::invalidRequest);
    expectError(FetchRequest::of<Waypoint>().where(Key("latitude").beginsWith("5")), StoreError::Code::invalidRequest);
    expectError(FetchRequest::of<Set>().where(Predicate::subqueryCount("name", Predicate::truePredicate(),
                                                                       Comparison::equal, 0)),
                StoreError::Code::invalidRequest);
}

TEST_F(PredicateTest, SortKeysThroughRelationsLimitsAndStableTies) {
    auto ordered = [&](FetchRequest r) {
        std::vector<std::string> out;
        for (const auto& w : main().fetch<Waypoint>(r)) out.push_back(w->name().value_or("-"));
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(ordered(FetchRequest::of<Waypoint>().sortedBy("measurement.der", false).limit(2)),
              (V{"it's <b>&", "Ålesund"}));
    // Byte order: capitals before small letters before other scripts.
    EXPECT_EQ(ordered(FetchRequest::of<Waypoint>().sortedBy("name")), (V{"Alpha", "Beta", "alpine", "it's <b>&", "Ålesund"}));
    // Equal keys keep the order of creation.
    EXPECT_EQ(ordered(FetchRequest::of<Waypoint>().sortedBy("autoSaved").sortedBy("set.date", false)),
              (V{"alpine", "Ålesund", "it's <b>&", "Alpha", "Beta"}));
}

}  // namespace qxtest
