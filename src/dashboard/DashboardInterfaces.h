#pragma once

namespace qx {

// Registers the interface files of the dashboard's views; safe to call more than once.
void registerDashboardInterfaces();

// Makes the dashboard the first tab's screen (before the application delegate launches) and
// registers the dashboard's interface files.
void registerDashboardLayer();

}  // namespace qx
