#pragma once

namespace qx {

// Registers the Settings tab's screen and gives the dashboard its instrument list; call once at
// start-up, before the application delegate launches.
void registerSettingsLayer();

}  // namespace qx
