#pragma once

namespace qx {

// Registers the Settings tab's screen, gives the dashboard its instrument list and the history
// screens their filter screens; call once at start-up, before the application delegate launches.
void registerSettingsLayer();

}  // namespace qx
