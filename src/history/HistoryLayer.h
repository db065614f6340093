#pragma once

namespace qx {

// Registers what the history screens bring at start-up: their interface files and the
// History tab. Safe to call more than once.
void registerHistoryLayer();

}  // namespace qx
