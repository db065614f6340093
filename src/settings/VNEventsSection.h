#pragma once

#include <cstdint>

#include "shell/VNSection.h"

namespace qx {

// The events the radiation-reporting service lets the person report to, as known when the list
// was made; choosing one stores its id and name and saves them.
class VNEventsSection : public VNSection {
public:
    void initRows() override;

    // The row of an event of the list; none for an id the list does not have.
    VNTableViewCellPtr cellWithEventId(std::int64_t eventId);

private:
    void choose(VNTableViewCell& cell, std::int64_t eventId);
};

}  // namespace qx
