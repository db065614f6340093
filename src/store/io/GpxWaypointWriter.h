#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "store/io/WaypointRecord.h"

namespace qx {

// Writes waypoints as a GPX 1.1 file: one wpt per waypoint with its elevation, UTC time and
// name in the order the GPX schema requires, and the reading under our own namespace in the
// waypoint's extensions. A reading without position cannot be a GPX waypoint and is left out.
class GpxWaypointWriter {
public:
    static constexpr const char* kGpxNamespace = "http://www.topografix.com/GPX/1/1";
    static constexpr const char* kReadingNamespace = "http://quorix.example/gpx/1";

    // `leftOut`, when given, receives the number of readings left out for want of a position.
    static std::string write(const std::vector<WaypointRecord>& records, std::size_t* leftOut = nullptr);
    // The same in pieces: the document's start, the records batch by batch (returning how many
    // were left out), its end.
    static void appendStart(std::string& out);
    static std::size_t appendWaypoints(std::string& out, const std::vector<WaypointRecord>& records);
    static void appendEnd(std::string& out);
};

}  // namespace qx
