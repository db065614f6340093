#pragma once

#include <functional>
#include <memory>
#include <string>

#include "shell/VNSection.h"

namespace plat {
class ViewController;
}

namespace qx {

class Settings;
class VNLoginTableViewCell;
class VNTableViewController;
class VNTableViewServerAddressCell;
class VNTableViewSwitchCell;

// Helpers shared by the settings sections.

// The row kept in `slot`, made on first use: a plain row showing `detail`, no accessory, no
// action. A row already made is returned as it is.
VNTableViewCellPtr infoCell(VNTableViewCellPtr& slot, const std::string& detail);

// The user's disconnect of the Bluetooth LE instrument connected now, when there is one.
void disconnectConnectedInstrument();

// The server-address row of a web service, labelled "Server Address", its field showing
// `address`. Every change report of the field (the empty text as an edit begins, the final
// text as it ends) enables the login row's label exactly when the text is not empty; once the
// edit has ended the text is stored with `store` and the preferences are saved.
std::shared_ptr<VNTableViewServerAddressCell> serverAddressCell(const std::string& address,
                                                                std::weak_ptr<VNLoginTableViewCell> login,
                                                                void (Settings::*store)(std::string));

// A switch row showing `on`; each turn is stored with `store` and the preferences are saved at
// once, as every settings row saves what it changes.
std::shared_ptr<VNTableViewSwitchCell> settingSwitchCell(bool on, void (Settings::*store)(bool));

// A page of one section: a table screen titled `title`, with the flip transition, presented
// animated on `presenter`. Its back block is `onBack`, or without one closes the page. None
// when the presenter refused it.
std::shared_ptr<VNTableViewController> presentSectionPage(plat::ViewController& presenter, const std::string& title,
                                                          VNSectionPtr section, std::function<void()> onBack);

}  // namespace qx
