#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/map/Location.h"
#include "platform/map/MapGeometry.h"
#include "store/StoreError.h"

namespace qx {

class Connection;

// Where the stored waypoints lie on the flat world, kept by the database itself so that a map
// can ask "the highest reading of each cell of the screen" without reading every point.
//
// Two tables follow the waypoints and their readings through triggers:
//  - WaypointMapPoint: one row per waypoint that has a position and a reading, with its map
//    point, dose rate and date, indexed by the key of the finest square it lies in and, within
//    it, highest dose rate first. Keys interleave a square's column and row, so that the points
//    of any larger square are one range of keys;
//  - WaypointMapSquare: squares of 2^6 (a few metres) to 2^21 map points, each with how
//    many points it holds, the dates they span and the point with the highest dose rate (ties:
//    the oldest row). The squares of 2^18 and more are all kept; a finer one only while the
//    square it lies in holds more than kSplitAbove points, so that the grid grows with the
//    crowded places, not with every point.
// They are made when a map first asks (see ensure()).
// A cell of the screen is read from the largest squares it is made of, and from the larger
// squares of few points where those are not kept; a square the filter splits, or larger than
// the cells, is read from its quarters where it keeps them, else from its points: all of them
// for a square of few, and for a crowded finest square highest first until each of its cells
// has one. Those points are read last, from the square with the highest point first, and a
// square whose highest point betters the pin of none of the cells it meets is passed over.
// A reading costs about what the screen shows, not what the store holds: never one object
// per point.
class WaypointGrid {
public:
    static constexpr int kFinestTileShift = 6;
    static constexpr int kCoarsestTileShift = 21;
    static constexpr int kAlwaysKeptShift = 18;
    static constexpr std::int64_t kSplitAbove = 32;

    // Cells of the screen laid on the world: squares of `factor` * 2^shift map points from the
    // projection's corner, so that a cell is a whole number of squares of one tile level and a
    // pan does not move which point a cell keeps.
    struct CellGrid {
        int shift = 0;
        std::int64_t factor = 1;
        double size() const;
        // The smallest such cell at least `points` screen points wide at that scale
        // (at most a quarter wider).
        static CellGrid forScale(double mapPointsPerPoint, double points = 10);
        bool operator==(const CellGrid&) const = default;
    };

    // What a point must pass, besides lying in the area.
    struct Filter {
        double doseRateAbove = 0;  // strictly above
        std::optional<double> from;  // reading date (seconds since 1970), inclusive
        std::optional<double> before;  // exclusive
        struct Circle {
            plat::Coordinate2D centre;
            double radius = 0;  // metres
        };
        std::optional<Circle> within;
        bool nothing = false;  // lets no point through
    };

    struct CellPin {
        std::int64_t cellX = 0, cellY = 0;
        std::int64_t waypoint = 0;     // row of the waypoint
        std::int64_t measurement = 0;  // row of its reading
        double der = 0;
        bool operator==(const CellPin&) const = default;
    };

    // Makes the tables and triggers when the file has none, and fills them from what is stored
    // (a file written before they existed). `temporary` builds them for this connection alone,
    // for a file that cannot be written.
    static bool install(Connection& c, bool temporary, StoreError* error);
    // The grid for a map about to read it: made on first use, so that a file whose points are
    // never shown on a map neither waits for it at start nor keeps it up on every save. Where
    // the file cannot take it (read-only, full) it is made for the connection alone. True when
    // it is in the file (any connection to it can read it).
    static bool ensure(Connection& c);
    // Whether ensure() would make the grid in the file now: the file takes it and holds none.
    // Making it reads every stored point (seconds on a large store), so a screen has it made by
    // makeInFile() off the main thread instead.
    static bool mustMake(Connection& c);
    // Makes the grid in the file through a connection of its own, in one transaction: it sees
    // the points as they were when it began, and saves made meanwhile wait for it and then pass
    // through its triggers. A run killed meanwhile leaves the file as it was, and the grid is
    // made again at the next map. True when the file holds the grid.
    static bool makeInFile(const std::filesystem::path& file, StoreError* error);
    // Whether the file holds the grid (it may have been set aside since a map last read it).
    static bool inFile(Connection& c);
    // A grid kept for the connection alone has no triggers, and the saves of other connections
    // would pass it by: the points of these rows (waypoints, and readings by their waypoint then
    // and now) are put on it again as the file now holds them. Nothing to do for a grid in the file.
    static bool refresh(Connection& c, const std::vector<std::int64_t>& waypoints,
                        const std::vector<std::int64_t>& measurements);
    // After a save too large to follow row by row: a grid kept for the connection alone is made
    // anew, in the file if the file now takes it. True when the grid is in the file.
    static bool renew(Connection& c);

    // A save that stores or deletes many points pays for the grid's triggers on every row, far
    // more than making the grid anew in one pass: once `rows` points of the save in the open
    // transaction of `c` reach a share of what the grid holds, the grid and its triggers are
    // dropped in that transaction, and the next map read makes them again. Being part of the
    // save, a save that fails or never ends takes the drop back with it, so the grid never
    // disagrees with the points. True when it was set aside now.
    static bool setAsideForBulk(Connection& c, std::int64_t rows);
    // The same for an import, which knows each batch's points: only the squares and the
    // triggers are set aside, and the import puts each batch's points on the grid in one
    // statement once the batch is written (keepPointsOfImport()); at its end (endImport()) the
    // points are kept by triggers again until a map makes their squares, in one pass over them.
    static bool setAsideForImport(Connection& c, std::int64_t rows);
    static bool keepPointsOfImport(Connection& c, StoreError* error = nullptr);
    static bool endImport(Connection& c, StoreError* error = nullptr);
    static constexpr std::int64_t kBulkRows = 2000;   // never for fewer
    static constexpr std::int64_t kBulkShare = 8;     // rows * share >= points on the grid

private:
    static bool setAsideForBulk(Connection& c, std::int64_t rows, bool withPoints);

public:
    // One pin per cell of `grid` that meets `area` (map points; it may reach past the
    // antimeridian), for the point with the highest dose rate that passes the filter.
    static std::vector<CellPin> pinsIn(Connection& c, const plat::MapRect& area, const CellGrid& grid,
                                       const Filter& filter);
    // Where the grid keeps a position: its map point, held inside the world (a point at a pole
    // or on the antimeridian lies in the world's edge row or column of cells).
    static plat::MapPoint placeOf(const plat::Coordinate2D& at);
    // The cell of a map point.
    static std::pair<std::int64_t, std::int64_t> cellOf(const plat::MapPoint& point, const CellGrid& grid);
    // The map rectangle of a cell.
    static plat::MapRect cellRect(std::int64_t cellX, std::int64_t cellY, const CellGrid& grid);
};

}  // namespace qx
