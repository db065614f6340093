#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "store/Context.h"
#include "store/TrackPoints.h"
#include "store/WaypointGrid.h"

namespace qx {

// The pins of a map area, one per cell of the screen, kept current while points are stored and
// deleted: after each save or merge into its context it works out again only the cells the
// changed points lie in (or lay in, for a point that held a pin), and tells its listener which
// pins went and which came. A save of many points at once (an import, a wipe) reads the area
// again.
// A file that does not hold the map grid yet (one an earlier version wrote, or whose grid a
// large save set aside) has it made off the main thread: meanwhile the cells are being prepared
// and hold no pins, and once it is made they read their area and tell the listener (even of no
// change), so that a screen can say the map is ready.
class WaypointCells : public ContextObserver, public std::enable_shared_from_this<WaypointCells> {
public:
    using CellPin = WaypointGrid::CellPin;
    struct Change {
        std::vector<CellPin> removed, added;
        bool empty() const { return removed.empty() && added.empty(); }
    };
    using Listener = std::function<void(const Change&)>;

    // More changed cells than this in one save read the whole area again.
    static constexpr std::size_t kCellsPerChange = 256;

    // Watches `context` (the main one) from now on.
    static std::shared_ptr<WaypointCells> make(Context& context, Listener listener);

    // Reads the pins of the area anew and says what changed against the last reading; the
    // listener is not called for it.
    Change reload(const plat::MapRect& area, const WaypointGrid::CellGrid& grid, const WaypointGrid::Filter& filter);
    // The pins now, by cell.
    std::vector<CellPin> pins() const;
    const WaypointGrid::CellGrid& grid() const { return grid_; }
    // The map grid is being made: the pins come once it is.
    bool preparing() const { return preparing_; }

    // What a pin needs to show its waypoint: position, name, reading.
    std::vector<TrackPoint> pointsOf(const std::vector<CellPin>& pins) const;

    void contextDidChange(Context& context, const ChangeSet& changes) override;

    WaypointCells(Context& context, Listener listener) : context_(context), listener_(std::move(listener)) {}

private:
    using CellKey = std::pair<std::int64_t, std::int64_t>;
    struct CellKeyHash {
        std::size_t operator()(const CellKey& k) const { return std::hash<std::int64_t>()(k.first * 1000003 ^ k.second); }
    };
    bool cellInArea(const CellKey& cell) const;
    std::optional<CellKey> cellOfWaypointRow(std::int64_t row) const;
    std::optional<CellKey> cellOfMeasurementRow(std::int64_t row) const;

    // Where the grid is read: a connection of its own that reads the file's pages into a bounded
    // cache of its own instead of mapping them, so that the pins' scattered rows do not each map
    // a run of the file into the program's memory; the context's connection where the grid is
    // kept for that connection alone.
    Connection& reader() const;
    // Makes the grid in the file on a worker thread; the answer comes back on the main queue.
    // False when the file cannot be opened twice (a store in memory).
    bool prepareInBackground();
    void gridMade(bool inFile);

    Context& context_;
    Listener listener_;
    mutable bool gridInFile_ = false;
    mutable std::unique_ptr<Connection> reader_;
    bool loaded_ = false;
    bool preparing_ = false;
    plat::MapRect area_;
    WaypointGrid::CellGrid grid_;
    WaypointGrid::Filter filter_;
    std::unordered_map<CellKey, CellPin, CellKeyHash> pins_;
};

}  // namespace qx
