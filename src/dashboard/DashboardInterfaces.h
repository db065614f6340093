#pragma once

namespace qx {

// Registers the interface files of the dashboard's views; safe to call more than once.
void registerDashboardInterfaces();

}  // namespace qx
