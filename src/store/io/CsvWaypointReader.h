#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "store/io/WaypointRecord.h"

namespace qx {

// Reads a waypoint CSV file as a stream. Columns are found by the names in the header row, in
// any order and case; only "date" is required. A row that cannot be read (wrong number of
// fields, a date or number that does not parse, half a position, broken quoting, a row of four
// megabytes or more) is left out and counted. Empty position fields make a reading without
// waypoint; empty readings are 0.
class CsvWaypointReader {
public:
    CsvWaypointReader();
    ~CsvWaypointReader();
    CsvWaypointReader(const CsvWaypointReader&) = delete;
    CsvWaypointReader& operator=(const CsvWaypointReader&) = delete;

    // Feeds the next piece of the file, in any encoding (see TextDecoder); false once the file is
    // known to be unreadable.
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
