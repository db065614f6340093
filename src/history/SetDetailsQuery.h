#pragma once

#include <string>

#include "store/FetchRequest.h"

namespace qx {

class Set;
class Settings;

// The three lists of one day under the history settings: the day's tracks, its waypoints taken
// outside tracks, and its readings that belong to no waypoint; and the header texts that name
// the filters in force.
namespace SetDetailsQuery {

FetchRequest tracks(const Set& set, Settings& settings);
FetchRequest waypoints(const Set& set, Settings& settings);
FetchRequest measurements(const Set& set, Settings& settings);

// What the filters add to a list's caption ("Alarms Only," "Not Uploaded" and the days).
std::string filterText(Settings& settings);

}  // namespace SetDetailsQuery
}  // namespace qx
