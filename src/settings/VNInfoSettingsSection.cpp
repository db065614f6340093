#include "settings/VNInfoSettingsSection.h"

#include "link/DeviceManager.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/URLText.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/Window.h"
#include "settings/SettingsRows.h"
#include "settings/VNWebViewController.h"
#include "shell/AppWindow.h"
#include "shell/VNTableViewController.h"

namespace qx {

std::string VNInfoSettingsSection::helpResource(const std::string& language) {
    if (language == "ja") return "helpJa";
    if (language == "ru") return "helpRu";
    return "help";
}

std::string VNInfoSettingsSection::termsResource(const std::string& language) {
    return language == "ja" ? "termsJa" : "terms";
}

std::string VNInfoSettingsSection::feedbackAddress(const std::string& language) {
    return language == "en" ? kFeedbackAddressUS : kFeedbackAddress;
}

std::string VNInfoSettingsSection::pageURL(const std::string& resource) {
    const auto path = plat::Bundle::main().pathForResource(resource, "html");
    return path ? plat::url::fileURL(std::filesystem::absolute(*path).string()) : std::string{};
}

VNTableViewCellPtr VNInfoSettingsSection::helpCell() {
    if (!helpCell_) {
        helpCell_ = VNTableViewCell::loadFromNib();
        helpCell_->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
        setWebControllerForCell(helpCell_, pageURL(helpResource(Settings::sharedSettings().language())));
    }
    return helpCell_;
}

VNTableViewCellPtr VNInfoSettingsSection::termsCell() {
    if (!termsCell_) {
        termsCell_ = VNTableViewCell::loadFromNib();
        termsCell_->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
        setWebControllerForCell(termsCell_, pageURL(termsResource(Settings::sharedSettings().language())));
    }
    return termsCell_;
}

VNTableViewCellPtr VNInfoSettingsSection::versionCell() {
    return infoCell(versionCell_, plat::Bundle::main().infoValue("CFBundleShortVersionString"));
}

VNTableViewCellPtr VNInfoSettingsSection::deviceCell() { return infoCell(deviceCell_, {}); }

VNTableViewCellPtr VNInfoSettingsSection::feedbackCell() {
    if (!feedbackCell_) {
        feedbackCell_ = VNTableViewCell::loadFromNib();
        feedbackCell_->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
        feedbackCell_->setOnSelectCellBlock(selectionRunning(&VNInfoSettingsSection::sendFeedback));
    }
    return feedbackCell_;
}

void VNInfoSettingsSection::initRows() {
    setRows({helpCell(), termsCell(), versionCell(), deviceCell(), feedbackCell()});
    updateCellsTitles();
    if (!serialDisposable_.isActive()) {
        std::weak_ptr<VNSection> weak = weak_from_this();
        serialDisposable_ = DeviceManager::sharedDeviceManager().serialNumberString().subscribe(
            [weak](const std::string& serial) {
                if (auto self = std::static_pointer_cast<VNInfoSettingsSection>(weak.lock())) {
                    self->deviceCell()->detailTextLabel().setText(serial);
                }
            },
            true);
    }
    urlObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        kVNLanguageDidSwitchedNotification, [this](const plat::Notification&) { updateURLs(); });
}

void VNInfoSettingsSection::updateCellsTitles() {
    helpCell()->textLabel().setText(Language::get("Help"));
    termsCell()->textLabel().setText(Language::get("Terms and Conditions"));
    versionCell()->textLabel().setText(Language::get("Version"));
    deviceCell()->textLabel().setText(Language::get("Device"));
    feedbackCell()->textLabel().setText(Language::get("Feedback/Report Issue"));
}

void VNInfoSettingsSection::updateURLs() {
    const auto& language = Settings::sharedSettings().language();
    setWebControllerForCell(helpCell(), pageURL(helpResource(language)));
    setWebControllerForCell(termsCell(), pageURL(termsResource(language)));
}

void VNInfoSettingsSection::setWebControllerForCell(const VNTableViewCellPtr& cell, const std::string& contentUrl) {
    std::weak_ptr<VNSection> weak = weak_from_this();
    cell->setOnSelectCellBlock([weak, contentUrl](VNTableViewCell& selected) {
        if (auto self = std::static_pointer_cast<VNInfoSettingsSection>(weak.lock())) {
            self->openPage(selected.textLabel().text(), contentUrl);
        }
    });
}

void VNInfoSettingsSection::openPage(const std::string& title, const std::string& contentUrl) {
    auto parent = parentController();
    if (!parent) return;
    auto page = VNWebViewController::make();
    page->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    page->setTitle(title);
    std::weak_ptr<VNWebViewController> weak = page;
    page->setOnBackBlock([weak] {
        if (auto shown = weak.lock()) shown->dismissViewController(true);
    });
    if (!parent->presentViewController(page, true)) return;
    // A page that cannot be read shows empty.
    std::optional<std::string> html;
    if (const auto path = plat::url::filePath(contentUrl)) html = plat::file::read(*path);
    page->setContentString(html.value_or(""));
}

void VNInfoSettingsSection::sendFeedback() {
    if (!plat::MailComposer::canSendMail()) return;
    auto* window = plat::Window::keyWindow();
    auto root = window ? window->rootViewController() : nullptr;
    if (!root) return;
    auto mail = std::make_shared<plat::MailComposer>();
    mail->setSubject("Build " + plat::Bundle::main().infoValue("CFBundleVersion"));
    mail->setToRecipients({feedbackAddress(Settings::sharedSettings().language())});
    mail->setCompletion([](plat::MailComposer& composer, plat::MailResult, const std::string&) {
        composer.dismissViewController(true);
    });
    root->presentViewController(mail, true);
}

}  // namespace qx
