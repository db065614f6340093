#pragma once

namespace qx {

// Registers what the map screens bring at start-up: their interface files, the Track and World
// Map tabs, and the path of the track being recorded, made whenever a recording starts. Safe to
// call more than once.
void registerMapsLayer();

}  // namespace qx
