#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "settings/VNLoginTableViewCell.h"
#include "shell/VNSection.h"
#include "shell/VNTableViewServerAddressCell.h"

namespace qx {

class VNWebViewController;

// The radiation-reporting service's page: the upload mode, the server address, logging in on
// the service's own web page and out, and the event the readings are reported to.
class VNRRESSection : public VNSection {
public:
    std::string title() const override;
    void initRows() override;
    // Titles and the upload mode; with a known event list, the stored event is checked against
    // it and replaced when the service no longer offers it.
    void updateCellsTitles() override;

    VNTableViewCellPtr uploadCell();
    // Made afresh by every initRows.
    std::shared_ptr<VNTableViewServerAddressCell> serverAddressCell() const { return serverAddressCell_; }
    std::shared_ptr<VNLoginTableViewCell> loginLogoutCell();
    VNTableViewCellPtr eventsCell();

    // The login row's action: log out, or open the service's login page.
    void selectLogin();
    // Follows the client's login: Logout while connected, with the event row once the service
    // has listed its events; else Login.
    void updateConnectState();
    // Opens the list of the events known now.
    void openEvents();

private:
    void showLoginPage();
    // A login that did not complete: the page closes, the section is left as it was before the
    // login, and the person is told why.
    void loginFailed(const std::string& why);
    void checkStoredEvent();

    VNTableViewCellPtr uploadCell_, eventsCell_;
    std::shared_ptr<VNTableViewServerAddressCell> serverAddressCell_;
    std::shared_ptr<VNLoginTableViewCell> loginLogoutCell_;
    plat::ObserverToken connectObserver_, eventsObserver_, failureObserver_;
    std::weak_ptr<VNWebViewController> loginPage_;
};

}  // namespace qx
