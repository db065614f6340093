#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"

namespace qx {

// The readings the radiation-reporting service did not take, kept in the data folder's
// preferences until a later upload delivers them: a login lasts only as long as the process, so
// a reading refused now may go out after a restart. The list is read and written whole on each
// change; it holds what a failing service left over, never the stream of readings.
class RadResponderPending {
public:
    struct Survey {
        unsigned eventId = 0;
        plat::Date date;
        double latitude = 0, longitude = 0;
        double doseRate = 0;  // µSv/h

        bool operator==(const Survey&) const = default;
        // One line that names the survey, also as its key among those under way.
        std::string text() const;
    };

    static std::vector<Survey> all();
    // Adds the survey unless it is kept already; false when it was. Beyond kMostKept the
    // oldest readings (by the time they were taken) go, and `dropped` counts them.
    static bool keep(const Survey& survey, std::size_t* dropped = nullptr);
    static void drop(const Survey& survey);

    static constexpr const char* kPreferencesKey = "RRPendingSurveys";
    // A service out of order for weeks must not grow the preferences file without end: it is
    // read and written whole on every change.
    static constexpr std::size_t kMostKept = 500;
};

}  // namespace qx
