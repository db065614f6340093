#include "shell/VNBaseViewController.h"

#include "model/Language.h"

namespace qx {

namespace {

constexpr plat::Color kBarTint = plat::Color::fromBytes(38, 38, 38);

}  // namespace

VNBaseViewController::VNBaseViewController() : VNBaseViewController(std::string{}) {}

VNBaseViewController::VNBaseViewController(std::string interfaceName)
    : plat::ViewController(std::move(interfaceName)) {
    backButton_ = plat::BarButtonItem::withTitle(Language::get("Back"), plat::BarButtonStyle::Bordered);
}

VNBaseViewController::~VNBaseViewController() {
    languageObserver_.reset();
    if (backButton_) backButton_->setAction({});
}

std::shared_ptr<plat::NavigationBar> VNBaseViewController::navBar() {
    view();
    return navBar_;
}

void VNBaseViewController::viewDidLoad() {
    auto root = view();
    navBar_ = outlet<plat::NavigationBar>("navBar");
    if (!navBar_) {
        navBar_ = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, root->bounds().width(), kNavBarHeight});
        root->addSubview(navBar_);
    }
    navBar_->setBarStyle(plat::BarStyle::Black);
    navBar_->setTranslucent(false);
    navBar_->setBarTintColor(kBarTint);
    navBar_->setTintColor(plat::Color::white());
    navItem().setTitle(title());
    navBar_->setItems({navigationItemPtr()});

    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    backButton_->setAction([weak](plat::BarButtonItem&) {
        if (auto self = std::dynamic_pointer_cast<VNBaseViewController>(weak.lock())) self->onBack();
    });
    backButton_->setTitle(Language::get("Back"));
    placeBackButton();

    languageObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        kVNLanguageDidSwitchedNotification, [this](const plat::Notification&) { languageDidSwitch(); });
}

plat::Rect VNBaseViewController::contentFrame() {
    const auto bounds = view()->bounds();
    const double top = navBar_ ? navBar_->frame().maxY() : 0;
    return {0, top, bounds.width(), bounds.height() - top};
}

void VNBaseViewController::setOnBackBlock(BackBlock block) {
    onBackBlock_ = std::move(block);
    if (isViewLoaded()) placeBackButton();
}

void VNBaseViewController::placeBackButton() {
    navItem().setLeftBarButtonItem(onBackBlock_ ? backButton_ : nullptr);
    if (navBar_) navBar_->setNeedsDisplay();
}

void VNBaseViewController::onBack() {
    // A copy: the block usually dismisses this screen, which may drop the block itself.
    if (auto block = onBackBlock_) block();
}

void VNBaseViewController::initTitles() { backButton_->setTitle(Language::get("Back")); }

void VNBaseViewController::languageDidSwitch() { initTitles(); }

}  // namespace qx
