#pragma once

namespace qx {

// Registers what the history screens bring at start-up: their interface files, the History
// tab, the World Map tab's search, and the makers through which the map callouts and the day
// list open the details screens. Safe to call more than once.
void registerHistoryLayer();

}  // namespace qx
