#pragma once

#include <memory>
#include <optional>
#include <string>

#include "settings/VNLoginTableViewCell.h"
#include "shell/VNSection.h"
#include "shell/VNTableViewServerAddressCell.h"
#include "shell/VNTableViewSwitchCell.h"

namespace qx {

// The monitoring service's page: automatic upload, the server address, and logging in (asking
// for the account when none is stored) and out.
class VNZENETSection : public VNSection {
public:
    std::string title() const override;
    void initRows() override;
    void updateCellsTitles() override;

    // Made afresh by every initRows.
    std::shared_ptr<VNTableViewSwitchCell> autoUploadCell() const { return autoUploadCell_; }
    std::shared_ptr<VNTableViewServerAddressCell> serverAddressCell() const { return serverAddressCell_; }
    // Made once.
    std::shared_ptr<VNLoginTableViewCell> loginLogoutCell();

    // The login row's action: log out, log in with the stored account, or ask for one.
    void selectLogin();
    // Whether the login row offers to log out.
    bool showsLogout() const { return showsLogout_; }

    // The stored user name and its password in the secret store, each when there.
    static std::optional<std::string> storedAccountName();
    static std::optional<std::string> storedPassword(const std::optional<std::string>& username);

private:
    void setShowsLogout(bool logout);
    void logout();
    void loginWithStoredAccount(const std::optional<std::string>& username, const std::optional<std::string>& password);
    void askForAccount();
    void loginWithNewAccount(const std::string& username, const std::string& password);

    std::shared_ptr<VNTableViewSwitchCell> autoUploadCell_;
    std::shared_ptr<VNTableViewServerAddressCell> serverAddressCell_;
    std::shared_ptr<VNLoginTableViewCell> loginLogoutCell_;
    bool showsLogout_ = false;
};

}  // namespace qx
