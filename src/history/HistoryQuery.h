#pragma once

#include <string>

#include "store/FetchRequest.h"

namespace qx {

class Settings;

// What the History tab lists for the stored history filter: the days that pass every filter
// that is on, in the chosen order (newest, most alarms or last name first), and the header
// text naming the active filters.
class HistoryQuery {
public:
    // Sort modes of the history settings.
    static constexpr unsigned kSortByDate = 0, kSortByAlarms = 1, kSortByName = 2;

    static FetchRequest fetchRequest(const Settings& settings);
    static Predicate predicate(const Settings& settings);
    static const char* sortKey(unsigned sortMode);
    // "Sets:" followed by the active filters, in the interface language.
    static std::string headerText(const Settings& settings);
};

}  // namespace qx
