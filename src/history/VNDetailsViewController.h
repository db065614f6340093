#pragma once

#include <memory>

#include "platform/ui/Button.h"
#include "shell/VNBaseViewController.h"

namespace qx {

class ManagedObject;
class VNSegmentedControlView;

// The base of the track and waypoint details screens: a page container holding every page at
// once (the one in front is shown), a container for the subclass's three-button page switch,
// a share button and the back button.
class VNDetailsViewController : public VNBaseViewController {
public:
    static constexpr const char* kNibName = "VNDetailsViewController";

    explicit VNDetailsViewController(std::string interfaceName = kNibName);

    std::shared_ptr<plat::View> pageContainerView();
    std::shared_ptr<plat::View> segmentedContainerView();
    std::shared_ptr<plat::Button> shareButton();

    void viewDidLoad() override;
    // The share button's action; each subclass shares its own record.
    virtual void share();

    // The page in front of the container.
    std::shared_ptr<plat::View> frontPage();

protected:
    // Follows the record shown from now on: a save that deletes it (or wipes the store) closes
    // the screen, so that nothing reads it again; one that changes it runs recordDidChange.
    void watchRecord(const ManagedObject& record);
    virtual void recordDidChange() {}
    // The page each button of the switch brings to the front, asked for at the press.
    using PageGetter = std::shared_ptr<plat::View> (*)(VNDetailsViewController& screen);
    // A new page switch in the segmented container whose left, centre and right buttons bring
    // their pages to the front. The presses do not keep the screen alive.
    std::shared_ptr<VNSegmentedControlView> addPageSwitch(PageGetter left, PageGetter centre, PageGetter right);
    // Titles the switch's buttons with the texts of three keys.
    static void titleSwitch(VNSegmentedControlView* control, const char* left, const char* centre, const char* right);
    // Puts a page into the container, filling it.
    void addPage(const std::shared_ptr<plat::View>& page);
    // Adds a child screen whose view is a page.
    void addPageController(const std::shared_ptr<plat::ViewController>& child);
    void bringPageToFront(const std::shared_ptr<plat::View>& page);

private:
    class RecordWatch;
    // Closes the screen with whatever it presented.
    void recordWasDeleted();

    std::shared_ptr<RecordWatch> watch_;
};

// The interface file of the details screens.
std::shared_ptr<plat::View> buildDetailsInterface(plat::Outlets& outlets);

}  // namespace qx
