// The map grid of the stored points: one pin per cell, the cell's highest dose rate, at every
// scale and under every filter, checked against a plain reading of every point; kept right
// through saves, moves and deletes; and built from what a file holds when a map first asks.
#include <sqlite3.h>

#include <cmath>
#include <map>
#include <set>
#include <random>

#include "FullDisk.h"
#include "StoreTestSupport.h"
#include "store/Connection.h"
#include "store/ImportManager.h"
#include "store/WaypointCells.h"
#include "store/WaypointGrid.h"
#include "store/io/WaypointFile.h"

using namespace qx;

namespace qxtest {

namespace {

using Grid = WaypointGrid::CellGrid;
using Filter = WaypointGrid::Filter;

class WaypointGridTest : public StoreTest {
protected:
    static constexpr plat::Coordinate2D kCrowd{48.137, 11.575};

    struct Point {
        std::int64_t row;
        plat::Coordinate2D at;
        double der, date;
    };

    // Clusters over the world (one across the antimeridian), dose rates on a coarse scale so
    // that cells hold ties, dates spread over a month; the first cluster's dates lie in one day.
    void fill(int count) {
        auto day = makeSet(main(), plat::Date(1.7e9));
        std::mt19937 rng(5);
        const plat::Coordinate2D centres[] = {{48.1, 11.5}, {-17.0, 179.9}, {35.6, 139.7}, {64.1, -21.9}, {0.0, 0.0}};
        std::normal_distribution<double> spread(0, 1.5), crowd(0, 0.002);
        std::uniform_int_distribution<int> level(1, 40);
        std::uniform_real_distribution<double> when(0, 30 * 86400.0);
        for (int i = 0; i < count; ++i) {
            const int c = i % 5;
            double lon = centres[c].longitude + spread(rng);
            if (lon > 180) lon -= 360;
            plat::Coordinate2D at{std::clamp(centres[c].latitude + spread(rng), -80.0, 80.0), lon};
            // A crowd of a few hundred metres in the first cluster, a tenth of it at one spot.
            if (c == 0 && i % 4 == 0) at = {kCrowd.latitude + crowd(rng), kCrowd.longitude + crowd(rng)};
            if (c == 0 && i % 40 == 0) at = kCrowd;
            const double der = level(rng) * 0.05;
            const double date = 1.7e9 + (c == 0 ? 3600.0 + i : when(rng));
            auto w = addPoint(main(), day, der, plat::Date(date));
            w->setLatitude(at.latitude);
            w->setLongitude(at.longitude);
            made.push_back(w);
        }
        addPoint(main(), day, 9.0, plat::Date(1.7e9));  // no fix: never on the map
        ASSERT_TRUE(main().save());
        WaypointGrid::ensure(main().connection());
        points.clear();
        for (const auto& w : made) {
            points.push_back({w->objectID().row, w->coordinate(), w->measurement()->der(),
                              w->measurement()->date().timeIntervalSince1970()});
        }
    }

    // The points as the file holds them, for saves made outside the main context.
    void readPoints() {
        points.clear();
        auto s = main().connection().prepare(
            "SELECT w.id, w.latitude, w.longitude, m.der, m.date FROM \"Waypoint\" w JOIN \"Measurement\" m"
            " ON m.waypoint_id = w.id WHERE NOT (w.latitude = -1 AND w.longitude = -1)");
        ASSERT_TRUE(s);
        while (s.step() == 1)
            points.push_back({s.columnInt(0), {s.columnDouble(1), s.columnDouble(2)}, s.columnDouble(3), s.columnDouble(4)});
    }

    // Every point read one by one.
    std::map<std::pair<std::int64_t, std::int64_t>, std::pair<double, std::int64_t>> expected(const plat::MapRect& area,
                                                                                              const Grid& grid,
                                                                                              const Filter& f) {
        std::map<std::pair<std::int64_t, std::int64_t>, std::pair<double, std::int64_t>> cells;
        const auto [cx0, cy0] = WaypointGrid::cellOf(area.origin, grid);
        const auto [cx1, cy1] = WaypointGrid::cellOf({area.maxX() - 1e-6, area.maxY() - 1e-6}, grid);
        const std::int64_t across = static_cast<std::int64_t>(std::ceil(plat::kMapWorldWidth / grid.size()));
        for (const auto& p : points) {
            if (!(p.der > f.doseRateAbove)) continue;
            if (f.from && p.date < *f.from) continue;
            if (f.before && p.date >= *f.before) continue;
            if (f.within && plat::Location::distanceBetween(p.at, f.within->centre) > f.within->radius) continue;
            auto cell = WaypointGrid::cellOf(plat::mapPointForCoordinate(p.at), grid);
            bool inside = false;
            for (const std::int64_t shift : {std::int64_t{0}, across, -across})
                inside = inside || (cell.first + shift >= cx0 && cell.first + shift <= cx1);
            if (!inside || cell.second < cy0 || cell.second > cy1) continue;
            auto [it, added] = cells.try_emplace(cell, p.der, p.row);
            if (!added && (p.der > it->second.first || (p.der == it->second.first && p.row < it->second.second)))
                it->second = {p.der, p.row};
        }
        return cells;
    }

    void expectSame(const plat::MapRect& area, const Grid& grid, const Filter& f, const std::string& what) {
        const auto want = expected(area, grid, f);
        std::map<std::pair<std::int64_t, std::int64_t>, std::pair<double, std::int64_t>> got;
        for (const auto& pin : WaypointGrid::pinsIn(main().connection(), area, grid, f)) {
            EXPECT_TRUE(got.emplace(std::pair{pin.cellX, pin.cellY}, std::pair{pin.der, pin.waypoint}).second)
                << what << ": two pins in one cell";
        }
        EXPECT_EQ(got.size(), want.size()) << what;
        EXPECT_TRUE(got == want) << what;
        compared += want.size();
    }

    struct View {
        double mapPointsPerPoint;
        plat::MapRect area;
    };
    // A screen of 320 by 480 points at that scale, a little off centre.
    static View around(const plat::Coordinate2D& at, double mapPointsPerPoint) {
        const plat::MapPoint p = plat::mapPointForCoordinate(at);
        return {mapPointsPerPoint, plat::MapRect::make(p.x - 150 * mapPointsPerPoint, p.y - 230 * mapPointsPerPoint,
                                                       320 * mapPointsPerPoint, 480 * mapPointsPerPoint)};
    }

    // The scales of the screen: the whole world, the tile levels, and the points themselves.
    void expectSameEverywhere(const std::string& what) {
        const double world = plat::kMapWorldWidth;
        const View views[] = {
            {world / 320, plat::MapRect::make(0, 0, world, world)},
            {world / 320 / 3.3, plat::MapRect::make(world * 0.3, world * 0.2, world * 0.31, world * 0.4)},
            {world / 320 / 7.1, plat::MapRect::make(world * 0.95, world * 0.5, world * 0.14, world * 0.2)},  // wraps
            {world / 320 / 40, plat::MapRect::make(plat::mapPointForCoordinate({49.0, 10.0}).x, plat::mapPointForCoordinate({49.0, 10.0}).y,
                                                   world / 40, world / 30)},
            {world / 320 / 900, plat::MapRect::make(plat::mapPointForCoordinate({48.2, 11.3}).x, plat::mapPointForCoordinate({48.2, 11.3}).y,
                                                    world / 900, world / 700)},
            // Closer over the crowd: cells of 5 and 6 squares, and cells smaller than a square.
            around(kCrowd, 230), around(kCrowd, 42), around(kCrowd, 3.3), around(kCrowd, 0.4),
        };
        Filter none;
        Filter floor;
        floor.doseRateAbove = 1.0;
        Filter window;
        window.from = 1.7e9 + 2 * 86400.0;
        window.before = 1.7e9 + 9 * 86400.0;
        Filter firstDay;  // holds all of the first cluster, which lies in one day
        firstDay.from = 1.7e9;
        firstDay.before = 1.7e9 + 86400.0;
        Filter circle;
        circle.within = Filter::Circle{{48.5, 11.0}, 150000};
        Filter all;
        all.doseRateAbove = 0.5;
        all.from = 1.7e9;
        all.within = Filter::Circle{{-17.0, -179.5}, 300000};
        const std::pair<const char*, Filter> filters[] = {{"none", none},       {"floor", floor},   {"window", window},
                                                          {"first day", firstDay}, {"circle", circle}, {"all", all}};
        compared = 0;
        for (const auto& view : views) {
            const Grid grid = Grid::forScale(view.mapPointsPerPoint);
            for (const auto& [name, f] : filters)
                expectSame(view.area, grid, f,
                           what + ", cells of " + std::to_string(grid.size()) + " map points, filter " + name);
        }
        EXPECT_GT(compared, 300u) << what;  // the views and filters leave cells to compare
    }

    // The file as an earlier version left it, without the grid (the store is closed).
    void dropGridFromFile() {
        sqlite3* db = nullptr;
        sqlite3_open((dataDir() / Store::kFileName).c_str(), &db);
        const char* drop =
            "DROP TABLE WaypointMapPoint; DROP TABLE WaypointMapSquare;"
            "DROP TRIGGER WaypointMap_waypoint_insert; DROP TRIGGER WaypointMap_measurement_insert;"
            "DROP TRIGGER WaypointMap_waypoint_move; DROP TRIGGER WaypointMap_measurement_change;"
            "DROP TRIGGER WaypointMap_waypoint_delete; DROP TRIGGER WaypointMap_measurement_delete; VACUUM;";
        ASSERT_EQ(sqlite3_exec(db, drop, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    // A file of 3000 louder readings around the same places, all in one day; a few without a position.
    std::optional<std::filesystem::path> louderReadingsFile() {
        std::vector<WaypointRecord> records;
        std::mt19937 rng(11);
        std::normal_distribution<double> spread(0, 2.0);
        std::uniform_int_distribution<int> level(1, 60);
        for (int i = 0; i < 3000; ++i) {
            WaypointRecord r;
            r.date = plat::Date(1.7e9 + 40 * 86400.0 + i);
            r.der = level(rng) * 0.05;
            if (i % 50 != 0) {
                r.latitude = std::clamp(48.1 + spread(rng), -80.0, 80.0);
                r.longitude = std::remainder(11.5 + (i % 3) * 120 + spread(rng), 360.0);
            }
            records.push_back(r);
        }
        return WaypointFile::writeNew(records, WaypointFormat::CSV, dataDir(), plat::Date(1.7e9));
    }

    // The squares the file keeps are those a grid made anew from the same points would hold.
    void expectSquaresAsMadeAnew(const std::string& what) {
        Connection& c = main().connection();
        ASSERT_TRUE(WaypointGrid::install(c, true, nullptr)) << what;
        auto rows = [&](const char* schema) {
            std::vector<std::vector<double>> out;
            auto s = c.prepare(std::string("SELECT level, ty, tx, n, der, wid, mid, dateMin, dateMax FROM ") + schema +
                               ".WaypointMapSquare ORDER BY level, ty, tx");
            while (s.step() == 1) {
                out.emplace_back();
                for (int k = 0; k < 9; ++k) out.back().push_back(s.columnDouble(k));
            }
            return out;
        };
        // A square's dates may span more than its points after deletes: it is read deeper, never wrongly.
        const auto kept = rows("main"), anew = rows("temp");
        ASSERT_EQ(kept.size(), anew.size()) << what;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            EXPECT_TRUE(std::equal(kept[i].begin(), kept[i].begin() + 7, anew[i].begin())) << what << ", square " << i;
            EXPECT_TRUE(kept[i][7] <= anew[i][7] && kept[i][8] >= anew[i][8]) << what << ", square " << i;
        }
        ASSERT_TRUE(c.exec("DROP TABLE temp.WaypointMapPoint; DROP TABLE temp.WaypointMapSquare;"));
    }

    std::vector<std::shared_ptr<Waypoint>> made;
    std::vector<Point> points;
    std::size_t compared = 0;
};

}  // namespace

TEST_F(WaypointGridTest, CellsAreTenToTwelveAndAHalfScreenPointsAndLieOnTheWorld) {
    for (const double mpp : {1.0 / 16, 0.3, 1.0, 7.0, 1000.0, 268435456.0 / 320}) {
        const Grid grid = Grid::forScale(mpp);
        EXPECT_GE(grid.size() / mpp, 10.0 - 1e-9) << mpp;
        EXPECT_LT(grid.size() / mpp, 12.5) << mpp;
    }
    const Grid grid = Grid::forScale(1000.0);
    const auto cell = WaypointGrid::cellOf({grid.size() * 3 + 0.5, grid.size() * 7 - 0.5}, grid);
    EXPECT_EQ(cell.first, 3);
    EXPECT_EQ(cell.second, 6);
}

TEST_F(WaypointGridTest, EachCellShowsItsHighestReadingAtEveryScaleAndUnderEveryFilter) {
    fill(4000);
    expectSameEverywhere("saved");
}

TEST_F(WaypointGridTest, DeletesMovesAndNewReadingsKeepEveryCellRight) {
    fill(3000);
    // The highest points of the world view's cells go, which makes every level find its next one.
    const Grid world = Grid::forScale(plat::kMapWorldWidth / 320);
    const auto pins = WaypointGrid::pinsIn(main().connection(), plat::MapRect::world(), world, Filter{});
    ASSERT_FALSE(pins.empty());
    std::map<std::int64_t, std::shared_ptr<Waypoint>> byRow;
    for (const auto& w : made) byRow[w->objectID().row] = w;
    std::set<const Waypoint*> gone;  // deleted, or without a reading: off the map
    std::set<const Waypoint*> deleted;
    for (std::size_t i = 0; i < pins.size(); i += 2) {
        main().deleteObject(byRow[pins[i].waypoint]);
        gone.insert(byRow[pins[i].waypoint].get());
        deleted.insert(byRow[pins[i].waypoint].get());
    }
    // Others move across the world or get another reading.
    for (std::size_t i = 1; i < made.size(); i += 97) {
        if (gone.count(made[i].get())) continue;
        made[i]->setLongitude(-made[i]->longitude());
        made[i]->measurement()->setDer(made[i]->measurement()->der() + 3.0);
    }
    for (std::size_t i = 3; i < made.size(); i += 89) {
        if (gone.count(made[i].get())) continue;
        main().deleteObject(made[i]->measurement());
        gone.insert(made[i].get());
    }
    ASSERT_TRUE(main().save());
    points.clear();
    for (const auto& w : made) {
        if (gone.count(w.get())) continue;
        points.push_back({w->objectID().row, w->coordinate(), w->measurement()->der(),
                          w->measurement()->date().timeIntervalSince1970()});
    }
    expectSameEverywhere("changed");

    // Deleting everything leaves an empty grid (made anew, as for any save of that many).
    for (const auto& w : made)
        if (!deleted.count(w.get())) main().deleteObject(w);
    ASSERT_TRUE(main().save());
    EXPECT_FALSE(WaypointGrid::inFile(main().connection()));
    EXPECT_TRUE(WaypointGrid::ensure(main().connection()));
    EXPECT_TRUE(WaypointGrid::pinsIn(main().connection(), plat::MapRect::world(), world, Filter{}).empty());
    auto left = main().connection().prepare("SELECT count(*) FROM WaypointMapSquare");
    ASSERT_TRUE(left && left.step() == 1);
    EXPECT_EQ(left.columnInt(0), 0);
}

TEST_F(WaypointGridTest, ImportsAndDeletesOfManyPointsMakeTheGridAnewAndAFailedOneKeepsIt) {
    fill(1500);
    const Grid world = Grid::forScale(plat::kMapWorldWidth / 320);
    auto cells = WaypointCells::make(main(), [](const WaypointCells::Change&) {});
    cells->reload(plat::MapRect::world(), world, Filter{});
    drain();  // the grid is made in the background
    auto cellsAgree = [&](const std::string& what) {
        drain();  // a grid set aside is made anew in the background
        EXPECT_TRUE(WaypointGrid::inFile(main().connection())) << what;
        EXPECT_EQ(cells->pins(), WaypointGrid::pinsIn(main().connection(), plat::MapRect::world(), world, Filter{}))
            << what;
        readPoints();
        expectSameEverywhere(what);
    };
    const auto file = louderReadingsFile();
    ASSERT_TRUE(file);

    // Given up part-way, the import takes the grid's removal back with its points.
    EXPECT_FALSE(store().saveWithBlockAndWait([&](Context& c) {
        ImportManager::storeFile(*file, c);
        EXPECT_FALSE(WaypointGrid::inFile(c.connection()));
        c.abandonSave(StoreError::make(StoreError::Code::invalidRequest, "given up"));
    }));
    cellsAgree("after a failed import");

    // Done, the grid is made anew by the next map read: the live cells' own.
    ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) {
        EXPECT_EQ(ImportManager::storeFile(*file, c).imported, 3000u);
        EXPECT_FALSE(WaypointGrid::inFile(c.connection()));
    }));
    cellsAgree("after an import");

    // Deleting the imported day: the same, once the points go.
    ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) {
        auto day = Set::setForDay(plat::Date(1.7e9 + 40 * 86400.0), c);
        ASSERT_GT(day->waypoints().size(), 2000u);
        c.deleteObject(day);
        ASSERT_TRUE(c.save());
        EXPECT_FALSE(WaypointGrid::inFile(c.connection()));
    }));
    cellsAgree("after deleting a day");

    // A few points kept per row: the grid stays.
    ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) {
        for (std::size_t i = 0; i < 10; ++i) c.deleteObject(c.inContext(made[i]));
        ASSERT_TRUE(c.save());
        EXPECT_TRUE(WaypointGrid::inFile(c.connection()));
    }));
    cellsAgree("after deleting a few");
}

// Written by an earlier version, the file may hold that version's grid: it goes, with its
// triggers, for this one.
TEST_F(WaypointGridTest, AFileWithoutTheGridGetsItWhenAMapFirstAsks) {
    fill(1500);
    Store::closeDefaultStore();
    dropGridFromFile();
    {
        sqlite3* db = nullptr;
        sqlite3_open((dataDir() / Store::kFileName).c_str(), &db);
        const char* earlier =
            "CREATE TABLE WaypointSpot (id INTEGER PRIMARY KEY, key INTEGER); CREATE TABLE WaypointTile (level INTEGER);"
            "CREATE TRIGGER WaypointGrid_waypoint_insert AFTER INSERT ON \"Waypoint\" BEGIN"
            " INSERT INTO WaypointSpot (id, key) VALUES (NEW.id, 0); END;";
        ASSERT_EQ(sqlite3_exec(db, earlier, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    made.clear();
    ASSERT_TRUE(store().isOpen());
    EXPECT_TRUE(WaypointGrid::ensure(main().connection()));
    expectSameEverywhere("built when first asked");
    auto left = main().connection().prepare(
        "SELECT count(*) FROM sqlite_master WHERE name IN ('WaypointSpot', 'WaypointTile', 'WaypointGrid_waypoint_insert')");
    ASSERT_TRUE(left && left.step() == 1);
    EXPECT_EQ(left.columnInt(0), 0);
}

TEST_F(WaypointGridTest, LiveCellsReportOnlyTheCellsThatChanged) {
    auto day = makeSet(main(), plat::Date(1.7e9));
    auto at = [&](double der, plat::Coordinate2D where) {
        auto w = addPoint(main(), day, der, plat::Date(1.7e9));
        w->setLatitude(where.latitude);
        w->setLongitude(where.longitude);
        return w;
    };
    auto quiet = at(0.1, {52.52, 13.40});
    auto other = at(0.2, {52.0, 10.0});
    ASSERT_TRUE(main().save());
    std::vector<WaypointCells::Change> told;
    auto cells = WaypointCells::make(main(), [&](const WaypointCells::Change& c) { told.push_back(c); });
    const Grid grid = Grid::forScale(1000);
    const plat::MapPoint berlin = plat::mapPointForCoordinate({52.52, 13.40});
    const plat::MapRect area = plat::MapRect::make(berlin.x - 300000, berlin.y - 300000, 600000, 600000);
    // The file has no grid yet: the cells are being prepared, and told their pins once it is made.
    EXPECT_TRUE(cells->reload(area, grid, Filter{}).empty());
    EXPECT_TRUE(cells->preparing());
    drain();
    EXPECT_FALSE(cells->preparing());
    ASSERT_EQ(told.size(), 1u);
    const auto first = told[0];
    told.clear();
    ASSERT_EQ(first.added.size(), 1u);  // the other point lies outside the area
    EXPECT_EQ(first.added[0].waypoint, quiet->objectID().row);

    // A louder reading in the same cell takes it; a quieter one changes nothing.
    auto loud = at(2.0, {52.52, 13.40001});
    ASSERT_TRUE(main().save());
    ASSERT_EQ(told.size(), 1u);
    ASSERT_EQ(told[0].removed.size(), 1u);
    EXPECT_EQ(told[0].removed[0].waypoint, quiet->objectID().row);
    ASSERT_EQ(told[0].added.size(), 1u);
    EXPECT_EQ(told[0].added[0].waypoint, loud->objectID().row);
    at(0.05, {52.52, 13.40002});
    ASSERT_TRUE(main().save());
    EXPECT_EQ(told.size(), 1u);

    // The loud one deleted: the cell falls back to the next highest.
    main().deleteObject(loud);
    ASSERT_TRUE(main().save());
    ASSERT_EQ(told.size(), 2u);
    ASSERT_EQ(told[1].added.size(), 1u);
    EXPECT_EQ(told[1].added[0].waypoint, quiet->objectID().row);
    EXPECT_EQ(cells->pins().size(), 1u);
    (void)other;
}

// The file is full when the first map asks: the grid is made for the run, and the saves of the
// save thread, which pass it by, still reach it; the next large save puts it in the file.
TEST_F(WaypointGridTest, AGridTheFileCouldNotTakeFollowsEverySaveOfTheRun) {
    fill(1500);
    Store::closeDefaultStore();
    dropGridFromFile();
    made.clear();
    ASSERT_TRUE(store().isOpen());
    std::int64_t pages = 0;
    if (auto count = main().connection().prepare("PRAGMA page_count"); count && count.step() == 1) pages = count.columnInt(0);
    ASSERT_TRUE(main().connection().exec("PRAGMA max_page_count = " + std::to_string(pages)));
    std::vector<WaypointCells::Change> told;
    auto cells = WaypointCells::make(main(), [&](const WaypointCells::Change& c) { told.push_back(c); });
    const Grid grid = Grid::forScale(1000);
    const plat::MapPoint munich = plat::mapPointForCoordinate({48.1, 11.5});
    const plat::MapRect area = plat::MapRect::make(munich.x - 400000, munich.y - 400000, 800000, 800000);
    {
        // Full for the background build's connection as well.
        FullDisk disk;
        disk.fillAfter(0);
        cells->reload(area, grid, Filter{});
        drain();
    }
    ASSERT_FALSE(WaypointGrid::inFile(main().connection()));
    told.clear();

    // A loud reading saved on the save thread takes its cell; others move, change and go.
    std::int64_t loud = 0;
    ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) {
        auto w = addPoint(c, Set::setForDay(plat::Date(1.7e9), c), 50.0, plat::Date(1.7e9 + 5));
        w->setLatitude(48.1);
        w->setLongitude(11.5);
        loud = w->objectID().row;
        auto stored = c.fetch<Waypoint>(FetchRequest::of<Waypoint>());
        for (std::size_t i = 0; i < stored.size(); i += 7) {
            if (!stored[i]->measurement() || stored[i]->objectID().row == loud) continue;
            if (i % 3 == 0) c.deleteObject(stored[i]);
            else if (i % 3 == 1) stored[i]->setLongitude(std::remainder(stored[i]->longitude() + 0.3, 360.0));
            else stored[i]->measurement()->setDer(stored[i]->measurement()->der() + 1.0);
        }
    }));
    ASSERT_FALSE(told.empty());
    bool shown = false;
    for (const auto& pin : cells->pins()) shown = shown || pin.waypoint == loud;
    EXPECT_TRUE(shown);
    EXPECT_EQ(cells->pins(), WaypointGrid::pinsIn(main().connection(), area, grid, Filter{}));
    readPoints();
    expectSameEverywhere("saved past the grid of the run");

    // With room again, a save too large to follow row by row puts the grid in the file.
    ASSERT_TRUE(main().connection().exec("PRAGMA max_page_count = 1073741823"));
    ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) {
        auto day = Set::setForDay(plat::Date(1.7e9 + 86400.0), c);
        for (int i = 0; i < static_cast<int>(WaypointGrid::kBulkRows); ++i) {
            auto w = addPoint(c, day, 0.1 + i % 17, plat::Date(1.7e9 + 86400.0 + i));
            w->setLatitude(47.0 + i % 50 * 0.05);
            w->setLongitude(10.0 + i / 50 * 0.07);
        }
    }));
    EXPECT_TRUE(WaypointGrid::inFile(main().connection()));
    readPoints();
    expectSameEverywhere("after a large save");
}

// A reading at a pole lies in the world's edge row of cells, as the grid keeps it, and reaches
// the map open on it.
TEST_F(WaypointGridTest, LiveCellsTakeReadingsAtThePoles) {
    auto day = makeSet(main(), plat::Date(1.7e9));
    addPoint(main(), day, 0.1, plat::Date(1.7e9))->setLatitude(10);
    ASSERT_TRUE(main().save());
    std::vector<WaypointCells::Change> told;
    auto cells = WaypointCells::make(main(), [&](const WaypointCells::Change& c) { told.push_back(c); });
    const Grid grid = Grid::forScale(plat::kMapWorldWidth / 320);
    cells->reload(plat::MapRect::world(), grid, Filter{});
    drain();
    for (const plat::Coordinate2D at : {plat::Coordinate2D{89.5, 8.5}, plat::Coordinate2D{-90, -120},
                                        plat::Coordinate2D{0, 180}}) {
        auto w = addPoint(main(), day, 3.0, plat::Date(1.7e9));
        w->setLatitude(at.latitude);
        w->setLongitude(at.longitude);
        told.clear();
        ASSERT_TRUE(main().save());
        ASSERT_EQ(told.size(), 1u) << at.latitude << ", " << at.longitude;
        ASSERT_EQ(told[0].added.size(), 1u);
        EXPECT_EQ(told[0].added[0].waypoint, w->objectID().row);
    }
    EXPECT_EQ(cells->pins(), WaypointGrid::pinsIn(main().connection(), plat::MapRect::world(), grid, Filter{}));
}

// The squares the saves keep, row by row through the triggers, are those a grid made in one
// pass over the same points holds: crowded places split into quarters as points come and join
// again as they go.
TEST_F(WaypointGridTest, SavesKeepTheSquaresAGridMadeAnewWouldHold) {
    ASSERT_TRUE(WaypointGrid::ensure(main().connection()));
    auto sameAsMadeAnew = [&](const std::string& what, bool crowded) {
        expectSquaresAsMadeAnew(what);
        std::set<int> split;
        auto levels = main().connection().prepare("SELECT DISTINCT level FROM WaypointMapSquare");
        while (levels.step() == 1) split.insert(static_cast<int>(levels.columnInt(0)));
        EXPECT_EQ(split.count(WaypointGrid::kFinestTileShift), crowded ? 1u : 0u) << what << ": the crowd's finest squares";
    };
    auto day = makeSet(main(), plat::Date(1.7e9));
    std::mt19937 rng(3);
    std::normal_distribution<double> near(0, 0.0004), far(0, 1.0);
    std::uniform_int_distribution<int> level(1, 30);
    for (int batch = 0; batch < 4; ++batch) {
        for (int i = 0; i < 400; ++i) {
            auto w = addPoint(main(), day, level(rng) * 0.05, plat::Date(1.7e9 + batch * 1000 + i));
            const bool crowd = i % 3 != 0, spot = i % 10 == 0;
            w->setLatitude(spot ? kCrowd.latitude : kCrowd.latitude + (crowd ? near(rng) : far(rng)));
            w->setLongitude(spot ? kCrowd.longitude : kCrowd.longitude + (crowd ? near(rng) : far(rng)));
            made.push_back(w);
        }
        ASSERT_TRUE(main().save());
    }
    ASSERT_TRUE(WaypointGrid::inFile(main().connection()));
    sameAsMadeAnew("stored", true);

    // Most of the crowd goes, some points move away and others get another reading.
    for (std::size_t i = 0; i < made.size(); ++i) {
        if (i % 4 != 3) {
            main().deleteObject(made[i]);
        } else if (i % 8 == 3) {
            made[i]->setLongitude(made[i]->longitude() + 0.5);
        } else {
            made[i]->measurement()->setDer(made[i]->measurement()->der() + 0.5);
        }
        if (i % 500 == 499) {
            ASSERT_TRUE(main().save());
        }
    }
    ASSERT_TRUE(main().save());
    ASSERT_TRUE(WaypointGrid::inFile(main().connection()));
    sameAsMadeAnew("after deletes and moves", false);
}

// An import keeps its points on the grid batch by batch and sets only the squares aside: saves
// after it keep the points, and the next map makes their squares, as a grid made anew would
// hold them. A file without the grid gets its points with the import.
TEST_F(WaypointGridTest, AnImportKeepsItsPointsAndTheNextMapMakesOnlyTheirSquares) {
    auto pointsKept = [&] {
        auto s = main().connection().prepare("SELECT count(*) FROM WaypointMapPoint");
        return s && s.step() == 1 ? s.columnInt(0) : -1;
    };
    for (const bool mappedBefore : {true, false}) {
        Store::closeDefaultStore();
        std::filesystem::remove_all(dataDir());
        std::filesystem::create_directories(dataDir());
        made.clear();
        fill(1500);  // the grid made by a map read
        if (!mappedBefore) {
            Store::closeDefaultStore();
            dropGridFromFile();
            made.clear();
        }
        const auto file = louderReadingsFile();
        ASSERT_TRUE(file);
        ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) {
            EXPECT_EQ(ImportManager::storeFile(*file, c).imported, 3000u);
        }));
        EXPECT_FALSE(WaypointGrid::inFile(main().connection()));
        EXPECT_EQ(pointsKept(), 1500 + 3000 - 60);  // every point with a position and a reading
        // A save before the next map: a new point and one gone.
        auto day = makeSet(main(), plat::Date(1.7e9 + 50 * 86400.0));
        auto extra = addPoint(main(), day, 20.0, plat::Date(1.7e9 + 50 * 86400.0));
        extra->setLatitude(10);
        extra->setLongitude(10);
        main().deleteObject(main().objectWithRow<Waypoint>(5));
        ASSERT_TRUE(main().save());
        EXPECT_EQ(pointsKept(), 1500 + 3000 - 60);
        ASSERT_TRUE(WaypointGrid::ensure(main().connection()));
        expectSquaresAsMadeAnew(mappedBefore ? "mapped before" : "never mapped");
        readPoints();
        expectSameEverywhere(mappedBefore ? "mapped before" : "never mapped");
    }
}

}  // namespace qxtest
