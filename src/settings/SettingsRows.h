#pragma once

#include <functional>
#include <memory>
#include <string>

#include "shell/VNSection.h"

namespace plat {
class ViewController;
}

namespace qx {

class VNTableViewController;

// Helpers shared by the settings sections.

// The row kept in `slot`, made on first use: a plain row showing `detail`, no accessory, no
// action. A row already made is returned as it is.
VNTableViewCellPtr infoCell(VNTableViewCellPtr& slot, const std::string& detail);

// The user's disconnect of the Bluetooth LE instrument connected now, when there is one.
void disconnectConnectedInstrument();

// A page of one section: a table screen titled `title`, with the flip transition, presented
// animated on `presenter`. Its back block is `onBack`, or without one closes the page. None
// when the presenter refused it.
std::shared_ptr<VNTableViewController> presentSectionPage(plat::ViewController& presenter, const std::string& title,
                                                          VNSectionPtr section, std::function<void()> onBack);

}  // namespace qx
