#include "settings/VNZENETSection.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SecretStore.h"
#include "platform/ui/AlertView.h"
#include "services/VNZENETManager.h"
#include "settings/SettingsRows.h"

namespace qx {

namespace {

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

void storePassword(const std::string& password, const std::string& username) {
    std::string error;
    if (!plat::SecretStore::standard().setPassword(password, VNZENETManager::kKeychainService, username, &error)) {
        plat::Log::line("ZENET: the password could not be stored: " + error);
    }
}

void forgetPassword(const std::optional<std::string>& username) {
    if (!present(username)) return;
    std::string error;
    if (!plat::SecretStore::standard().deletePassword(VNZENETManager::kKeychainService, *username, &error)) {
        plat::Log::line("ZENET: the password could not be removed: " + error);
    }
}

// A login that failed without a fault from the service (whose alert the client shows) would
// otherwise fail in silence.
void tellLoginFailure() {
    const auto& why = VNZENETManager::sharedInstance().loginFailure();
    if (!why.empty()) plat::AlertView::show(Language::get("Login Error!"), why, Language::get("OK"), {}, {});
}

void startUploadWhenAutomatic() {
    if (Settings::sharedSettings().ZENETAutoApload()) VNZENETManager::sharedInstance().uploadAll();
}

}  // namespace

std::string VNZENETSection::title() const { return Language::get("     ZENET"); }

std::optional<std::string> VNZENETSection::storedAccountName() {
    const auto& name = Settings::sharedSettings().ZENETUsername();
    return present(name) ? name : std::nullopt;
}

std::optional<std::string> VNZENETSection::storedPassword(const std::optional<std::string>& username) {
    if (!present(username)) return std::nullopt;
    auto password = plat::SecretStore::standard().passwordForService(VNZENETManager::kKeychainService, *username);
    return present(password) ? password : std::nullopt;
}

std::shared_ptr<VNLoginTableViewCell> VNZENETSection::loginLogoutCell() {
    if (!loginLogoutCell_) {
        loginLogoutCell_ = VNLoginTableViewCell::loadFromNib();
        loginLogoutCell_->setOnSelectCellBlock(selectionRunning(&VNZENETSection::selectLogin));
        const auto username = storedAccountName();
        setShowsLogout(username && storedPassword(username) && Settings::sharedSettings().ZENETLoggedIn());
    }
    return loginLogoutCell_;
}

void VNZENETSection::setShowsLogout(bool logout) {
    showsLogout_ = logout;
    if (loginLogoutCell_) loginLogoutCell_->textLabel().setText(Language::get(logout ? "Logout" : "Login"));
}

void VNZENETSection::initRows() {
    auto& settings = Settings::sharedSettings();
    autoUploadCell_ = VNTableViewSwitchCell::loadFromNib();
    autoUploadCell_->cellSwitch().setOn(settings.ZENETAutoApload());
    autoUploadCell_->setAccessoryType(plat::AccessoryType::None);
    // Saved with the page's back action.
    autoUploadCell_->setOnSwitchOnOffBlock([](bool on) { Settings::sharedSettings().setZENETAutoApload(on); });
    auto login = loginLogoutCell();
    serverAddressCell_ = qx::serverAddressCell(settings.ZENETServerAddress(), login, &Settings::setZENETServerAddress);
    setRows({autoUploadCell_, serverAddressCell_, login});
    if (!showsLogout_) login->setLabelEnabled(!settings.ZENETServerAddress().empty());
    updateCellsTitles();
}

void VNZENETSection::updateCellsTitles() {
    if (autoUploadCell_) autoUploadCell_->title().setText(Language::get("Auto Upload"));
    if (serverAddressCell_) serverAddressCell_->textLabel().setText(Language::get("Server Address"));
    setShowsLogout(showsLogout_);
}

void VNZENETSection::selectLogin() {
    if (Settings::sharedSettings().ZENETLoggedIn()) {
        logout();
        return;
    }
    const auto username = storedAccountName();
    const auto password = storedPassword(username);
    if (username || password) {
        loginWithStoredAccount(username, password);
    } else if (loginLogoutCell()->isLabelEnabled()) {
        askForAccount();
    }
}

void VNZENETSection::logout() {
    // The account logged in now, also when it was entered on this page.
    const auto username = storedAccountName();
    const auto password = storedPassword(username);
    std::weak_ptr<VNSection> weak = weak_from_this();
    VNZENETManager::sharedInstance().submitLogoutWithUsername(username, password, [weak, username](bool success) {
        if (!success) return;
        auto& settings = Settings::sharedSettings();
        settings.setZENETUsername(std::nullopt);
        settings.setZENETLoggedIn(false);
        settings.save();
        forgetPassword(username);
        if (auto self = std::static_pointer_cast<VNZENETSection>(weak.lock())) self->setShowsLogout(false);
    });
}

void VNZENETSection::loginWithStoredAccount(const std::optional<std::string>& username,
                                            const std::optional<std::string>& password) {
    std::weak_ptr<VNSection> weak = weak_from_this();
    VNZENETManager::sharedInstance().submitLoginWithUsername(username, password, [weak, username](bool success) {
        auto& settings = Settings::sharedSettings();
        if (!success) {
            // Forget the account, password and all, so that the next try asks for one and no
            // secret is left behind without its account.
            settings.setZENETUsername(std::nullopt);
            settings.save();
            forgetPassword(username);
            tellLoginFailure();
            return;
        }
        settings.setZENETLoggedIn(true);
        if (auto self = std::static_pointer_cast<VNZENETSection>(weak.lock())) self->setShowsLogout(true);
        startUploadWhenAutomatic();
    });
}

void VNZENETSection::askForAccount() {
    auto prompt = plat::AlertView::make(Language::get("Login to ZENET"), Language::get("Please enter username and password"),
                                        Language::get("Cancel"), {Language::get("Login")});
    prompt->setAlertViewStyle(plat::AlertStyle::LoginAndPasswordInput);
    auto usernameField = prompt->textFieldAtIndex(0);
    auto passwordField = prompt->textFieldAtIndex(1);
    usernameField->setPlaceholder(Language::get("username"));
    passwordField->setPlaceholder(Language::get("password"));
    std::weak_ptr<VNSection> weak = weak_from_this();
    // Runs for the Login button only.
    prompt->setDismissHandler([weak, usernameField, passwordField](long) {
        if (auto self = std::static_pointer_cast<VNZENETSection>(weak.lock())) {
            self->loginWithNewAccount(usernameField->text(), passwordField->text());
        }
    });
    prompt->show();
}

void VNZENETSection::loginWithNewAccount(const std::string& username, const std::string& password) {
    std::weak_ptr<VNSection> weak = weak_from_this();
    VNZENETManager::sharedInstance().submitLoginWithUsername(
        username, password, [weak, username, password](bool success) {
            if (!success) return tellLoginFailure();
            auto& settings = Settings::sharedSettings();
            settings.setZENETUsername(username);
            settings.setZENETLoggedIn(true);
            settings.save();
            storePassword(password, username);
            if (auto self = std::static_pointer_cast<VNZENETSection>(weak.lock())) self->setShowsLogout(true);
            startUploadWhenAutomatic();
        });
}

}  // namespace qx
