#include "history/VNWaypointPhotoViewController.h"

#include "history/HistoryInterfaces.h"
#include "model/Language.h"
#include "model/StorageAlert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLText.h"
#include "platform/ui/Screen.h"
#include "store/Store.h"
#include "store/VNPhotoManager.h"
#include "store/Waypoint.h"

namespace qx {

std::shared_ptr<plat::View> buildPhotoPageInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, screen.width(), screen.height() - 88});
    root->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    auto image = std::make_shared<plat::ImageView>(nullptr);
    image->setFrame({10, 10, root->bounds().width() - 20, root->bounds().height() - 20});
    image->setContentMode(plat::ContentMode::ScaleAspectFit);
    auto button = plat::Button::make(plat::ButtonType::System, {(root->bounds().width() - 160) / 2, 120, 160, 40});
    button->setBackgroundColor(plat::Color::white());
    button->setTitleColor(plat::Color::black());
    root->addSubview(image);
    root->addSubview(button);
    outlets.set("photoImageView", image);
    outlets.set("addPhotoButton", button);
    return root;
}

VNWaypointPhotoViewController::VNWaypointPhotoViewController() : plat::ViewController(kNibName) {}

std::shared_ptr<VNWaypointPhotoViewController> VNWaypointPhotoViewController::make() {
    registerHistoryInterfaces();
    return std::make_shared<VNWaypointPhotoViewController>();
}

std::shared_ptr<plat::Button> VNWaypointPhotoViewController::addPhotoButton() {
    view();
    return outlet<plat::Button>("addPhotoButton");
}

std::shared_ptr<plat::ImageView> VNWaypointPhotoViewController::photoImageView() {
    view();
    return outlet<plat::ImageView>("photoImageView");
}

void VNWaypointPhotoViewController::viewDidLoad() {
    plat::ViewController::viewDidLoad();
    if (auto button = addPhotoButton()) {
        button->setTitle(Language::get("Add Photo"));
        std::weak_ptr<plat::ViewController> weak = weak_from_this();
        button->addAction(plat::TouchUpInside, [weak](plat::Control&) {
            if (auto self = std::dynamic_pointer_cast<VNWaypointPhotoViewController>(weak.lock())) self->addPhoto();
        });
    }
}

void VNWaypointPhotoViewController::setWaypoint(std::shared_ptr<Waypoint> waypoint) {
    waypoint_ = std::move(waypoint);
    if (waypoint_ && waypoint_->photoUrl()) loadPhoto(*waypoint_->photoUrl());
}

void VNWaypointPhotoViewController::setPhotoImage(const plat::ImagePtr& image) {
    if (!image) return;
    photoImage_ = image;
    if (auto view = photoImageView()) view->setImage(image);
    if (auto button = addPhotoButton()) button->setHidden(true);
}

void VNWaypointPhotoViewController::addPhoto() {
    // A deleted waypoint takes no photo (its details close as it goes).
    if (!waypoint_ || waypoint_->isDeleted()) return;
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    VNPhotoManager::sharedInstance().takePhotoAlertInController(this, [weak](const std::optional<std::string>& url) {
        auto self = std::dynamic_pointer_cast<VNWaypointPhotoViewController>(weak.lock());
        if (self && url) self->readPhoto(*url);
    });
}

void VNWaypointPhotoViewController::readPhoto(const std::string& url) {
    // A picture that cannot be shown is not linked: the page would only offer "Add Photo" again
    // each time it opens.
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    VNPhotoManager::sharedInstance().getImage(url, [weak, url](const plat::ImagePtr& image, const std::string&) {
        auto self = std::dynamic_pointer_cast<VNWaypointPhotoViewController>(weak.lock());
        if (!self) return;
        if (!image) return refusePhoto(url);
        self->attachPhoto(url, image);
    });
}

void VNWaypointPhotoViewController::refusePhoto(const std::string& url) {
    const auto file = plat::url::filePath(url);
    StorageAlert::show("Photo Not Added", "%@ could not be read: the file is damaged, or is not a picture quorix can show.",
                       file ? std::filesystem::path(*file).filename().string() : url);
}

void VNWaypointPhotoViewController::attachPhoto(const std::string& url, const plat::ImagePtr& image) {
    if (!waypoint_ || waypoint_->isDeleted()) return;
    auto waypoint = waypoint_;
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    Store::defaultStore().saveWithBlock(
        [waypoint, url](Context& context) {
            if (auto own = context.inContext(waypoint)) own->setPhotoUrl(url);
        },
        [weak, url, image](bool success, const StoreError* error) {
            auto self = std::dynamic_pointer_cast<VNWaypointPhotoViewController>(weak.lock());
            if (!self) return;
            if (!success || error) {
                Store::reportFailedChange("VNWaypointPhotoViewController addPhoto", "Photo Not Saved",
                                          "The photo could not be added to the waypoint: %@.", error);
                return;
            }
            // A photo the waypoint does not link to would vanish when the page opens again.
            if (!self->waypoint_ || self->waypoint_->photoUrl() != url) {
                plat::Log::line("VNWaypointPhotoViewController addPhoto: the photo could not be attached");
                return;
            }
            self->showPhoto(image);
        });
}

void VNWaypointPhotoViewController::loadPhoto(const std::string& url) {
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    VNPhotoManager::sharedInstance().getImage(url, [weak](const plat::ImagePtr& image, const std::string&) {
        auto self = std::dynamic_pointer_cast<VNWaypointPhotoViewController>(weak.lock());
        if (self && image) self->showPhoto(image);
    });
}

void VNWaypointPhotoViewController::showPhoto(const plat::ImagePtr& image) {
    // Shown upright whatever way the camera was held.
    setPhotoImage(image->fixOrientation());
}

}  // namespace qx
