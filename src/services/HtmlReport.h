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

// The HTML report mailed by the share service: one complete document per kind of record present,
// in the order sets, tracks, waypoints, measurements, each framed by the same header (titled with
// the date of the report) and footer; the rows come from the records' own report tables.
class HtmlReport {
public:
    // Empty for an empty list; records of other kinds are left out.
    static std::string generateReport(const std::vector<std::shared_ptr<ManagedObject>>& records, plat::Date date);

    static std::string generateSetsReport(std::vector<std::shared_ptr<Set>> sets, plat::Date date);
    static std::string generateTracksReport(const std::vector<std::shared_ptr<Track>>& tracks, plat::Date date);
    static std::string generateWaypointsReport(const std::vector<std::shared_ptr<Waypoint>>& waypoints,
                                               plat::Date date);
    static std::string generateMeasurementsReport(const std::vector<std::shared_ptr<Measurement>>& measurements,
                                                  plat::Date date);

    static std::string tableHeaderString(plat::Date date);
    static std::string tableFooterString();
};

}  // namespace qx
