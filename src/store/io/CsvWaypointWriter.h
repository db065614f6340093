#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/io/WaypointRecord.h"

namespace qx {

// Writes readings as CSV (RFC 4180: comma separated, CRLF line ends, fields quoted when they
// hold a comma, quote or line break): a header row, then one row per reading. A reading of no
// waypoint leaves its position fields empty. The waypoint's name comes last, so that readers
// that go by column position see the reading columns where they always were.
class CsvWaypointWriter {
public:
    static const std::vector<std::string>& columns();
    static std::string write(const std::vector<WaypointRecord>& records);
    // The same in pieces: the header row, then the records' rows batch by batch.
    static void appendHeader(std::string& out);
    static void appendRows(std::string& out, const std::vector<WaypointRecord>& records);

    // Appends one field, quoted when needed.
    static void appendField(std::string& out, std::string_view text);
};

}  // namespace qx
