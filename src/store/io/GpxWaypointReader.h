#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "store/io/WaypointRecord.h"

namespace qx {

// Reads the waypoints of a GPX file (1.1 or 1.0, whatever the namespace prefixes) as a stream:
// position, elevation, time and name of every top-level wpt, and our own reading extensions
// when present; routes, tracks and unknown elements are passed over (tracks and routes counted). A waypoint without a valid
// position or time is left out and counted. A file that is not well-formed is not taken at all.
class GpxWaypointReader {
public:
    GpxWaypointReader();
    ~GpxWaypointReader();
    GpxWaypointReader(const GpxWaypointReader&) = delete;
    GpxWaypointReader& operator=(const GpxWaypointReader&) = delete;

    // Feeds the next piece of the file; false once the file is known to be unreadable.
    bool feed(std::string_view bytes);
    WaypointReadResult finish();
    // The records read since they were last taken; a caller may move them out.
    std::vector<WaypointRecord>& records();

    static WaypointReadResult read(std::string_view bytes);
    static WaypointReadResult readFile(const std::filesystem::path& path, const WaypointRecordSink& sink = {});

private:
    class Parse;
    std::unique_ptr<Parse> parse_;
};

}  // namespace qx
