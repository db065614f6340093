#include "history/VNDetailsViewController.h"

#include <algorithm>

#include "dashboard/VNSegmentedControlView.h"
#include "history/HistoryInterfaces.h"
#include "model/Language.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "store/Context.h"

namespace qx {

namespace {

constexpr double kSegmentedHeight = 44;
constexpr plat::Rect kShareFrame{222, 7, 90, 30};

}  // namespace

std::shared_ptr<plat::View> buildDetailsInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(screen);
    root->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    const double bar = plat::NavigationBar::kHeight;
    auto navBar = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, screen.width(), bar});
    auto segmented = std::make_shared<plat::View>(plat::Rect{0, bar, screen.width(), kSegmentedHeight});
    segmented->setBackgroundColor(plat::Color::fromBytes(38, 38, 38));
    const double top = bar + kSegmentedHeight;
    auto pages = std::make_shared<plat::View>(plat::Rect{0, top, screen.width(), screen.height() - top});
    pages->setClipsToBounds(true);
    auto share = plat::Button::make(plat::ButtonType::System, {screen.width() - 320 + kShareFrame.x(), kShareFrame.y(),
                                                               kShareFrame.width(), kShareFrame.height()});
    share->setTitleColor(plat::Color::white());
    fitButtonTitle(*share, 13);
    root->addSubview(pages);
    root->addSubview(segmented);
    root->addSubview(navBar);
    root->addSubview(share);
    outlets.set("navBar", navBar);
    outlets.set("pageContainerView", pages);
    outlets.set("segmentedContainerView", segmented);
    outlets.set("shareButton", share);
    return root;
}

class VNDetailsViewController::RecordWatch : public ContextObserver {
public:
    RecordWatch(std::weak_ptr<plat::ViewController> screen, ObjectID id) : screen_(std::move(screen)), id_(id) {}

    void contextDidChange(Context&, const ChangeSet& changes) override {
        auto screen = std::dynamic_pointer_cast<VNDetailsViewController>(screen_.lock());
        if (!screen || screen->watch_.get() != this) return;
        if (changes.reset || std::find(changes.deleted.begin(), changes.deleted.end(), id_) != changes.deleted.end()) {
            screen->recordWasDeleted();
        } else if (changes.updated.contains(id_)) {
            screen->recordDidChange();
        }
    }

private:
    std::weak_ptr<plat::ViewController> screen_;
    ObjectID id_;
};

VNDetailsViewController::VNDetailsViewController(std::string interfaceName)
    : VNBaseViewController(std::move(interfaceName)) {}

std::shared_ptr<plat::View> VNDetailsViewController::pageContainerView() {
    view();
    return outlet<plat::View>("pageContainerView");
}

std::shared_ptr<plat::View> VNDetailsViewController::segmentedContainerView() {
    view();
    return outlet<plat::View>("segmentedContainerView");
}

std::shared_ptr<plat::Button> VNDetailsViewController::shareButton() {
    view();
    return outlet<plat::Button>("shareButton");
}

void VNDetailsViewController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(true, false);
    if (auto button = shareButton()) {
        button->setTitle(Language::get("Share"));
        std::weak_ptr<plat::ViewController> weak = weak_from_this();
        button->addAction(plat::TouchUpInside, [weak](plat::Control&) {
            if (auto self = std::dynamic_pointer_cast<VNDetailsViewController>(weak.lock())) self->share();
        });
    }
}

void VNDetailsViewController::share() {}

void VNDetailsViewController::watchRecord(const ManagedObject& record) {
    watch_.reset();
    Context* context = record.managedObjectContext();
    if (!context) return;
    watch_ = std::make_shared<RecordWatch>(weak_from_this(), record.objectID());
    context->addObserver(watch_);
}

void VNDetailsViewController::recordWasDeleted() {
    watch_.reset();
    if (auto* presenter = presentingViewController()) presenter->dismissViewController(true);
}

std::shared_ptr<plat::View> VNDetailsViewController::frontPage() {
    auto container = pageContainerView();
    if (!container || container->subviews().empty()) return nullptr;
    return container->subviews().back();
}

std::shared_ptr<VNSegmentedControlView> VNDetailsViewController::addPageSwitch(PageGetter left, PageGetter centre,
                                                                               PageGetter right) {
    auto control = VNSegmentedControlView::loadFromNibWithStyle(0);
    if (!control) return nullptr;
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    auto bring = [weak](PageGetter page) {
        return [weak, page](bool) {
            auto self = std::dynamic_pointer_cast<VNDetailsViewController>(weak.lock());
            if (self) self->bringPageToFront(page(*self));
        };
    };
    fitSwitchTitles(*control);
    control->setLeftButtonPressBlock(bring(left));
    control->setCenterButtonPressBlock(bring(centre));
    control->setRightButtonPressBlock(bring(right));
    auto container = segmentedContainerView();
    if (container) {
        const auto size = control->frame().size;
        control->setFrame({(container->bounds().width() - size.width) / 2,
                           (container->bounds().height() - size.height) / 2, size.width, size.height});
        container->addSubview(control);
    }
    return control;
}

void VNDetailsViewController::titleSwitch(VNSegmentedControlView* control, const char* left, const char* centre,
                                          const char* right) {
    if (!control) return;
    control->leftButton().setTitle(Language::get(left));
    control->centerButton().setTitle(Language::get(centre));
    control->rightButton().setTitle(Language::get(right));
}

void VNDetailsViewController::addPage(const std::shared_ptr<plat::View>& page) {
    auto container = pageContainerView();
    if (!page || !container) return;
    page->setFrame(container->bounds());
    container->addSubview(page);
}

void VNDetailsViewController::addPageController(const std::shared_ptr<plat::ViewController>& child) {
    if (!child) return;
    // A page shows under this screen's bar: its own bar goes, and what lay under it moves up
    // into its place.
    if (auto screen = std::dynamic_pointer_cast<VNBaseViewController>(child)) {
        if (auto bar = screen->navBar(); bar && !bar->isHidden()) {
            bar->setHidden(true);
            const double height = bar->frame().maxY();
            const double bottom = screen->view()->bounds().height();
            for (const auto& view : screen->view()->subviews()) {
                if (view == bar || view->frame().y() < height) continue;
                auto frame = view->frame();
                const bool toBottom = frame.maxY() >= bottom;
                frame.origin.y -= height;
                if (toBottom) frame.size.height += height;
                view->setFrame(frame);
            }
        }
    }
    addPage(child->view());
    addChildViewController(child);
}

void VNDetailsViewController::bringPageToFront(const std::shared_ptr<plat::View>& page) {
    auto container = pageContainerView();
    if (page && container) container->bringSubviewToFront(page.get());
}

}  // namespace qx
