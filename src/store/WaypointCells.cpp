#include "store/WaypointCells.h"

#include <sqlite3.h>

#include <set>
#include <unordered_set>

#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "store/Connection.h"

namespace qx {

namespace {

// The reads of one answer in one read transaction of the map's own connection: one lock of the
// file instead of one per statement, and its cached pages kept from one statement to the next.
class ReadTransaction {
public:
    ReadTransaction(Connection& c, bool own) : c_(own ? &c : nullptr) {
        if (c_ && !c_->exec("BEGIN")) c_ = nullptr;
    }
    ~ReadTransaction() {
        if (c_) c_->exec("COMMIT");
    }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    Connection* c_;
};

}  // namespace

std::shared_ptr<WaypointCells> WaypointCells::make(Context& context, Listener listener) {
    auto cells = std::make_shared<WaypointCells>(context, std::move(listener));
    context.addObserver(cells);
    return cells;
}

WaypointCells::Change WaypointCells::reload(const plat::MapRect& area, const WaypointGrid::CellGrid& grid,
                                            const WaypointGrid::Filter& filter) {
    area_ = area;
    grid_ = grid;
    filter_ = filter;
    loaded_ = true;
    if (!preparing_ && WaypointGrid::mustMake(context_.connection())) preparing_ = prepareInBackground();
    std::vector<CellPin> now;
    if (!preparing_) {
        gridInFile_ = WaypointGrid::ensure(context_.connection());
        Connection& c = reader();
        ReadTransaction read(c, reader_ != nullptr);
        now = WaypointGrid::pinsIn(c, area, grid, filter);
    }
    // A waypoint that keeps a pin keeps it, whichever cell it now holds.
    std::unordered_set<std::int64_t> before, after;
    for (const auto& [cell, pin] : pins_) before.insert(pin.waypoint);
    for (const auto& pin : now) after.insert(pin.waypoint);
    Change change;
    for (const auto& [cell, pin] : pins_)
        if (!after.count(pin.waypoint)) change.removed.push_back(pin);
    for (const auto& pin : now)
        if (!before.count(pin.waypoint)) change.added.push_back(pin);
    pins_.clear();
    for (const auto& pin : now) pins_[{pin.cellX, pin.cellY}] = pin;
    return change;
}

bool WaypointCells::prepareInBackground() {
    const char* name = sqlite3_db_filename(context_.connection().handle(), "main");
    if (!name || !*name) return false;
    const std::filesystem::path file = name;
    auto made = std::make_shared<bool>(false);
    std::weak_ptr<WaypointCells> weak = weak_from_this();
    plat::dispatch::backgroundThenMain(
        [file, made] {
            StoreError error;
            *made = WaypointGrid::makeInFile(file, &error);
            if (!*made) plat::Log::line("WaypointCells: the map grid could not be made in the file (" + error.message + ")");
        },
        [weak, made] {
            if (auto cells = weak.lock()) cells->gridMade(*made);
        });
    return true;
}

void WaypointCells::gridMade(bool inFile) {
    preparing_ = false;
    // A file that would not take it gets a grid for this run, made here after all.
    gridInFile_ = inFile || WaypointGrid::ensure(context_.connection());
    // What was saved meanwhile is in the grid now: the area is read whole.
    const auto change = reload(area_, grid_, filter_);
    if (listener_) listener_(change);
}

std::vector<WaypointCells::CellPin> WaypointCells::pins() const {
    std::vector<CellPin> out;
    out.reserve(pins_.size());
    for (const auto& [cell, pin] : pins_) out.push_back(pin);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a.cellY != b.cellY ? a.cellY < b.cellY : a.cellX < b.cellX;
    });
    return out;
}

std::vector<TrackPoint> WaypointCells::pointsOf(const std::vector<CellPin>& pins) const {
    std::vector<TrackPoint> points;
    points.reserve(pins.size());
    Connection& c = reader();
    ReadTransaction read(c, reader_ != nullptr);
    auto s = c.prepare(
        "SELECT w.latitude, w.longitude, w.name, m.date, m.der FROM \"Waypoint\" w"
        " LEFT JOIN \"Measurement\" m ON m.id = ?2 WHERE w.id = ?1");
    if (!s) return points;
    for (const auto& pin : pins) {
        s.bindInteger(1, pin.waypoint);
        s.bindInteger(2, pin.measurement);
        if (s.step() == 1) {
            TrackPoint p;
            p.row = pin.waypoint;
            p.latitude = s.columnDouble(0);
            p.longitude = s.columnDouble(1);
            if (!s.columnIsNull(2)) p.name = s.column(2).text();
            if (!s.columnIsNull(3)) p.date = plat::Date(s.columnDouble(3));
            p.der = s.columnIsNull(4) ? 0 : s.columnDouble(4);
            points.push_back(std::move(p));
        }
        s.reset();
    }
    return points;
}

Connection& WaypointCells::reader() const {
    if (!gridInFile_) return context_.connection();
    if (!reader_) {
        const char* file = sqlite3_db_filename(context_.connection().handle(), "main");
        if (file && *file) reader_ = Connection::open(file, nullptr);
        if (reader_ && !(reader_->exec("PRAGMA mmap_size = 0") && reader_->exec("PRAGMA cache_size = -32768") &&
                         reader_->exec("PRAGMA query_only = 1")))
            reader_.reset();
        if (!reader_) gridInFile_ = false;  // read through the context's connection after all
    }
    return reader_ ? *reader_ : context_.connection();
}

bool WaypointCells::cellInArea(const CellKey& cell) const {
    const plat::MapRect r = WaypointGrid::cellRect(cell.first, cell.second, grid_);
    for (const double shift : {0.0, plat::kMapWorldWidth, -plat::kMapWorldWidth}) {
        const plat::MapRect a = plat::MapRect::make(area_.minX() + shift, area_.minY(), area_.size.width, area_.size.height);
        if (r.minX() < a.maxX() && a.minX() < r.maxX() && r.minY() < a.maxY() && a.minY() < r.maxY()) return true;
    }
    return false;
}

std::optional<WaypointCells::CellKey> WaypointCells::cellOfWaypointRow(std::int64_t row) const {
    auto s = reader().prepare("SELECT latitude, longitude FROM \"Waypoint\" WHERE id = ?1");
    if (!s) return std::nullopt;
    s.bindInteger(1, row);
    if (s.step() != 1) return std::nullopt;
    const plat::Coordinate2D at{s.columnDouble(0), s.columnDouble(1)};
    return WaypointGrid::cellOf(WaypointGrid::placeOf(at), grid_);
}

std::optional<WaypointCells::CellKey> WaypointCells::cellOfMeasurementRow(std::int64_t row) const {
    std::int64_t waypoint = 0;
    {
        auto s = reader().prepare("SELECT waypoint_id FROM \"Measurement\" WHERE id = ?1");
        if (!s) return std::nullopt;
        s.bindInteger(1, row);
        if (s.step() != 1 || s.columnIsNull(0)) return std::nullopt;
        waypoint = s.columnInt(0);
    }
    return cellOfWaypointRow(waypoint);
}

void WaypointCells::contextDidChange(Context&, const ChangeSet& changes) {
    if (!loaded_ || !listener_) return;
    if (changes.reset) reader_.reset();  // the file was made anew
    if (preparing_) return;  // the whole area is read once the grid is made
    // A large save may have set the grid aside: reading it again makes it anew.
    const bool setAside = gridInFile_ && !WaypointGrid::inFile(context_.connection());
    if (changes.reset || changes.insertedInBulk || setAside) {
        // A grid made for this run alone is made again, in the file if it now takes it.
        if (!gridInFile_) WaypointGrid::renew(context_.connection());
        const auto change = reload(area_, grid_, filter_);
        if (!change.empty()) listener_(change);
        return;
    }
    std::unordered_set<std::int64_t> waypoints, measurements;
    std::set<CellKey> dirty;
    auto placed = [&](const ObjectID& id, bool stillStored) {
        if (id.entity == EntityKind::waypoint) {
            waypoints.insert(id.row);
            if (stillStored)
                if (auto cell = cellOfWaypointRow(id.row)) dirty.insert(*cell);
        } else if (id.entity == EntityKind::measurement) {
            measurements.insert(id.row);
            if (stillStored)
                if (auto cell = cellOfMeasurementRow(id.row)) dirty.insert(*cell);
        }
    };
    for (const auto& id : changes.inserted) placed(id, true);
    for (const auto& [id, keys] : changes.updated) placed(id, true);
    for (const auto& id : changes.deleted) placed(id, false);
    if (!gridInFile_) {
        WaypointGrid::refresh(context_.connection(), {waypoints.begin(), waypoints.end()},
                              {measurements.begin(), measurements.end()});
        gridInFile_ = WaypointGrid::inFile(context_.connection());  // a large save may have put it there
    }
    // A pin whose point changed or went is drawn anew from what its cell holds now.
    std::unordered_set<std::int64_t> redrawn;
    for (const auto& [cell, pin] : pins_) {
        if (waypoints.count(pin.waypoint) || measurements.count(pin.measurement)) {
            dirty.insert(cell);
            redrawn.insert(pin.waypoint);
        }
    }
    std::erase_if(dirty, [&](const CellKey& cell) { return !cellInArea(cell); });
    if (dirty.empty()) return;
    if (dirty.size() > kCellsPerChange) {
        const auto change = reload(area_, grid_, filter_);
        if (!change.empty()) listener_(change);
        return;
    }
    Change change;
    Connection& c = reader();
    ReadTransaction read(c, reader_ != nullptr);
    for (const auto& cell : dirty) {
        const auto found =
            WaypointGrid::pinsIn(c, WaypointGrid::cellRect(cell.first, cell.second, grid_), grid_, filter_);
        std::optional<CellPin> now;
        for (const auto& pin : found)
            if (pin.cellX == cell.first && pin.cellY == cell.second) now = pin;
        auto old = pins_.find(cell);
        const bool same = old != pins_.end() && now && now->waypoint == old->second.waypoint &&
                          !redrawn.count(now->waypoint);
        if (same) continue;
        if (old != pins_.end()) {
            change.removed.push_back(old->second);
            pins_.erase(old);
        }
        if (now) {
            change.added.push_back(*now);
            pins_[cell] = *now;
        }
    }
    if (!change.empty()) listener_(change);
}

}  // namespace qx
