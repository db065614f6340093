#pragma once

namespace qx {

// Joins the sharing and web-service layer to the application, before the application delegate
// launches: the RadResponder login redirect, its reports from the add-waypoint prompt and from
// automatic waypoints, test mode off at launch, the network watch that logs in to ZENET and
// uploads when the network comes back, and the share service the history screens hand records to.
void registerServicesLayer();

}  // namespace qx
