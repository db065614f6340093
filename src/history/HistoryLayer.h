#pragma once

namespace qx {

// Registers what the history screens bring at start-up: their interface files, and the
// makers through which the map callouts and the history list open the details screens. Safe
// to call more than once.
void registerHistoryLayer();

}  // namespace qx
