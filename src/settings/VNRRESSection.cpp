#include "settings/VNRRESSection.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/AlertView.h"
#include "services/NetworkFailure.h"
#include "services/VNRadResponderManager.h"
#include "settings/SettingsRows.h"
#include "settings/VNEventsSection.h"
#include "settings/VNUploadSection.h"
#include "settings/VNWebViewController.h"
#include "shell/VNTableViewController.h"

namespace qx {

namespace {

// The event readings go to until the person chooses one.
constexpr unsigned kDefaultEventId = 68800;

VNRadResponderManager& client() { return VNRadResponderManager::sharedInstance(); }

}  // namespace

std::string VNRRESSection::title() const { return Language::get("     RadResponder"); }

VNTableViewCellPtr VNRRESSection::uploadCell() {
    if (!uploadCell_) {
        uploadCell_ = VNTableViewCell::loadFromNib();
        uploadCell_->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
        setCheckListForCell(uploadCell_, VNSection::create<VNUploadSection>());
    }
    return uploadCell_;
}

std::shared_ptr<VNLoginTableViewCell> VNRRESSection::loginLogoutCell() {
    if (!loginLogoutCell_) {
        loginLogoutCell_ = VNLoginTableViewCell::loadFromNib();
        loginLogoutCell_->textLabel().setText(Language::get(client().isConnected() ? "Logout" : "Login"));
        loginLogoutCell_->setOnSelectCellBlock(selectionRunning(&VNRRESSection::selectLogin));
    }
    return loginLogoutCell_;
}

VNTableViewCellPtr VNRRESSection::eventsCell() {
    if (!eventsCell_) {
        auto& settings = Settings::sharedSettings();
        if (settings.RREventName().empty()) {
            settings.setRREventName(Settings::kDefaultRREventName);
            settings.setRREventId(kDefaultEventId);
            settings.save();
        }
        eventsCell_ = VNTableViewCell::loadFromNib();
        eventsCell_->setAccessoryType(plat::AccessoryType::None);
        eventsCell_->detailTextLabel().setText(settings.RREventName());
        eventsCell_->setOnSelectCellBlock(selectionRunning(&VNRRESSection::openEvents));
    }
    return eventsCell_;
}

void VNRRESSection::initRows() {
    auto& settings = Settings::sharedSettings();
    if (settings.RRServerAddress().empty()) {
        settings.setRRServerAddress(client().getServiceUrl());
        settings.save();
    }
    auto login = loginLogoutCell();
    serverAddressCell_ = qx::serverAddressCell(settings.RRServerAddress(), login, &Settings::setRRServerAddress);
    setRows({uploadCell(), serverAddressCell_, login, eventsCell()});
    eventsCell()->setHidden(client().events().empty());
    if (!client().isConnected()) login->setLabelEnabled(!settings.RRServerAddress().empty());
    updateCellsTitles();
}

void VNRRESSection::updateCellsTitles() {
    const auto& settings = Settings::sharedSettings();
    uploadCell()->textLabel().setText(Language::get("Upload Mode"));
    uploadCell()->textLabel().sizeToFit();
    const auto mode = settings.RRUploadMode();
    uploadCell()->detailTextLabel().setText(Language::get(VNUploadSection::modeKeys()[mode == 1 || mode == 2 ? mode : 0]));
    if (serverAddressCell_) serverAddressCell_->textLabel().setText(Language::get("Server Address"));
    loginLogoutCell()->textLabel().setText(Language::get(client().isConnected() ? "Logout" : "Login"));
    eventsCell()->textLabel().setText(Language::get("Select Event"));
    if (!client().events().empty()) checkStoredEvent();
}

void VNRRESSection::checkStoredEvent() {
    auto& settings = Settings::sharedSettings();
    const auto& events = client().events();
    auto& detail = eventsCell()->detailTextLabel();
    detail.setText("");
    if (settings.RREventId() != 0) {
        if (auto it = events.find(settings.RREventId()); it != events.end()) detail.setText(it->second);
    }
    if (detail.text().empty()) {
        // The stored event is gone: a test event if the service has one, else its first event.
        settings.setRREventId(0);
        for (const auto& [id, name] : events) {
            if (name.find("Test") == std::string::npos) continue;
            detail.setText(name);
            settings.setRREventId(static_cast<unsigned>(id));
        }
    }
    if (settings.RREventId() == 0) {
        const auto& [id, name] = *events.begin();
        settings.setRREventId(static_cast<unsigned>(id));
        detail.setText(name);
    }
    settings.save();
}

void VNRRESSection::selectLogin() {
    if (client().isConnected()) {
        std::weak_ptr<VNSection> weak = weak_from_this();
        client().submitLogout(true, [weak](bool success) {
            auto self = std::static_pointer_cast<VNRRESSection>(weak.lock());
            if (success && self) self->updateConnectState();
        });
        return;
    }
    if (loginLogoutCell()->isLabelEnabled()) showLoginPage();
}

void VNRRESSection::showLoginPage() {
    auto parent = parentController();
    if (!parent) return;
    auto page = VNWebViewController::make();
    page->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    page->setTitle(loginLogoutCell()->textLabel().text());
    std::weak_ptr<VNWebViewController> weakPage = page;
    page->setOnBackBlock([weakPage] {
        if (auto shown = weakPage.lock()) {
            shown->stopClosingOnNotification();
            shown->dismissViewController(true);
        }
    });
    if (!parent->presentViewController(page, true)) return;
    page->closeOnNotification(kVNRadResponderConnectNotification);
    // The row follows the login as soon as the code is exchanged: an event list that fails
    // afterwards leaves the client connected all the same.
    auto& center = plat::NotificationCenter::defaultCenter();
    connectObserver_ = center.addObserver(kVNRadResponderConnectNotification,
                                          [this](const plat::Notification&) { updateConnectState(); });
    eventsObserver_ = center.addObserver(kVNRadResponderEventsNotification,
                                         [this](const plat::Notification&) { updateConnectState(); });
    failureObserver_ = center.addObserver(kVNRadResponderLoginFailedNotification, [this](const plat::Notification& n) {
        const auto* why = std::any_cast<std::string>(&n.object);
        loginFailed(why ? *why : std::string());
    });
    page->setOnLoadFailed([this](plat::HttpFailure why) { loginFailed(NetworkFailure::text(why)); });
    loginPage_ = page;
    page->loadContent(client().getAuthorizationUrl());
}

void VNRRESSection::loginFailed(const std::string& why) {
    failureObserver_.reset();
    if (auto page = loginPage_.lock()) {
        page->setOnLoadFailed({});
        if (page->presentingViewController()) page->onBack();
    }
    updateConnectState();
    plat::AlertView::show(Language::get("Login Error!"), why, Language::get("OK"), {}, {});
}

void VNRRESSection::updateConnectState() {
    const bool connected = client().isConnected();
    loginLogoutCell()->textLabel().setText(Language::get(connected ? "Logout" : "Login"));
    // There is no event to choose until the service has listed them.
    eventsCell()->setHidden(!connected || client().events().empty());
    if (connected) updateCellsTitles();
}

void VNRRESSection::openEvents() {
    // The list is made of the events known now, and opens on this very selection.
    auto cell = eventsCell();
    setCheckListForCell(cell, VNSection::create<VNEventsSection>());
    cell->onSelectCell();
    cell->setOnSelectCellBlock(selectionRunning(&VNRRESSection::openEvents));
}

}  // namespace qx
