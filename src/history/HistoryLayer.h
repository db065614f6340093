#pragma once

namespace qx {

// Registers what the history screens bring at start-up: their interface files, the History tab
// and the World Map tab's search. Safe to call more than once.
void registerHistoryLayer();

}  // namespace qx
