#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"

namespace qx {

class ManagedObject;
class Measurement;
class Set;
class Track;
class Waypoint;

// The HTML report mailed by the share service: one document, titled with the date of the report,
// holding a part per kind of record present, in the order sets, tracks, waypoints, measurements;
// the rows come from the records' own report tables.
class HtmlReport {
public:
    // Empty for an empty list; records of other kinds are left out.
    static std::string generateReport(const std::vector<std::shared_ptr<ManagedObject>>& records, plat::Date date);

    // The parts of the document, each complete in itself.
    static std::string generateSetsReport(std::vector<std::shared_ptr<Set>> sets);
    static std::string generateTracksReport(const std::vector<std::shared_ptr<Track>>& tracks);
    static std::string generateWaypointsReport(const std::vector<std::shared_ptr<Waypoint>>& waypoints);
    static std::string generateMeasurementsReport(const std::vector<std::shared_ptr<Measurement>>& measurements);

    // The document's opening up to its body, and its end.
    static std::string tableHeaderString(plat::Date date);
    static std::string tableFooterString();
};

}  // namespace qx
