#pragma once

#include <memory>

#include "platform/graphics/Image.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ViewController.h"

namespace qx {

class Waypoint;

// The Photo page of a waypoint's details: the waypoint's photo, or a button that takes or picks
// one and attaches it to the waypoint. There is no way to replace or remove a photo here.
class VNWaypointPhotoViewController : public plat::ViewController {
public:
    static constexpr const char* kNibName = "VNWaypointPhotoViewController";

    VNWaypointPhotoViewController();
    static std::shared_ptr<VNWaypointPhotoViewController> make();

    void viewDidLoad() override;
    // Keeps the waypoint and loads its photo, when it has one.
    void setWaypoint(std::shared_ptr<Waypoint> waypoint);
    const std::shared_ptr<Waypoint>& waypoint() const { return waypoint_; }
    // Shows the photo and hides the button; none changes nothing.
    void setPhotoImage(const plat::ImagePtr& image);
    const plat::ImagePtr& photoImage() const { return photoImage_; }
    // The button's action: asks for a photo, stores its link, then shows it.
    void addPhoto();

    std::shared_ptr<plat::Button> addPhotoButton();
    std::shared_ptr<plat::ImageView> photoImageView();

    std::string kindName() const override { return "Photo page"; }

private:
    // Reads the picked photo and links it only when it can be shown; otherwise says why.
    void readPhoto(const std::string& url);
    static void refusePhoto(const std::string& url);
    void attachPhoto(const std::string& url, const plat::ImagePtr& image);
    void loadPhoto(const std::string& url);
    void showPhoto(const plat::ImagePtr& image);

    std::shared_ptr<Waypoint> waypoint_;
    plat::ImagePtr photoImage_;
};

// The interface file of the photo page.
std::shared_ptr<plat::View> buildPhotoPageInterface(plat::Outlets& outlets);

}  // namespace qx
