#pragma once

#include <filesystem>
#include <string_view>

#include "store/io/WaypointRecord.h"

namespace qx {

// Reads a waypoint CSV file. Columns are found by the names in the header row, in any order
// and case; only "date" is required. A row that cannot be read (wrong number of fields, a date
// or number that does not parse, half a position, broken quoting) is left out and counted.
// Empty position fields make a reading without waypoint; empty readings are 0.
class CsvWaypointReader {
public:
    static WaypointReadResult read(std::string_view bytes);
    static WaypointReadResult readFile(const std::filesystem::path& path);
};

}  // namespace qx
