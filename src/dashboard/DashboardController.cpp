#include "dashboard/DashboardController.h"

#include <cmath>

#include "dashboard/DashboardInterfaces.h"
#include "dashboard/DashboardSections.h"
#include "dashboard/FittingTitle.h"
#include "dashboard/VNBTLETableViewController.h"
#include "link/DeviceManager.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/Readability.h"
#include "shell/TabScreens.h"

namespace qx {

namespace {

const char* const kModeKeys[3] = {"Dose rate", "Dose", "Search"};
const char* const kModePictures[3] = {"btn-left", "btn-center", "btn-right"};
constexpr plat::Size kSegment{100, 32};

// The buttons' pictures are dark; drawn without them, their colours keep the white titles
// readable on the light screen, the chosen mode darker than the others.
constexpr plat::Color kButtonColor = plat::Color::fromBytes(70, 70, 70);
constexpr plat::Color kModeColor = plat::Color::fromBytes(105, 105, 105);
constexpr plat::Color kChosenModeColor = plat::Color::fromBytes(34, 34, 34);

constexpr plat::Color kScreenColor = plat::Color::fromBytes(234, 234, 234);
constexpr plat::Color kUnknownColor = plat::Color::fromBytes(110, 110, 110);

}  // namespace

std::shared_ptr<DashboardController> DashboardController::make(std::shared_ptr<LiveReadings> readings) {
    return std::make_shared<DashboardController>(std::move(readings));
}

DashboardController::DashboardController(std::shared_ptr<LiveReadings> readings) : readings_(std::move(readings)) {
    setTitle(Language::get("Dashboard"));
}

DashboardController::~DashboardController() { presenceObserver_.reset(); }

std::shared_ptr<plat::Label> DashboardController::addLabel(const plat::Rect& frame, const plat::Font& font) {
    auto label = std::make_shared<plat::Label>(frame);
    label->setFont(font);
    view()->addSubview(label);
    return label;
}

std::shared_ptr<plat::Button> DashboardController::addButton(const plat::Rect& frame,
                                                             void (DashboardController::*action)()) {
    auto button = plat::Button::make(plat::ButtonType::Custom, frame);
    button->setBackgroundImage(plat::Image::named("btn-dashboard"));
    button->setBackgroundColor(kButtonColor);
    button->setTitleColor(plat::Color::white());
    button->addAction(plat::TouchUpInside, [this, action](plat::Control&) { (this->*action)(); });
    view()->addSubview(button);
    return button;
}

void DashboardController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    view()->setBackgroundColor(kScreenColor);
    const auto top = contentFrame().y();

    auto self = weak_from_this().lock();
    modeControl_ = std::make_shared<CustomSegmentedControl>(
        3, kSegment, plat::Image::named("segment-divider"), 0,
        std::shared_ptr<CustomSegmentedControlDelegate>(self, this));
    modeControl_->setFrame(plat::Rect{9, top + 10, modeControl_->frame().width(), modeControl_->frame().height()});
    view()->addSubview(modeControl_);

    const plat::Font caption = plat::Font::named("HelveticaNeue-Bold", 17);
    const plat::Font value = plat::Font::named("HelveticaNeue-Bold", 44);
    const plat::Font unit = plat::Font::named("HelveticaNeue", 20);
    derCaption_ = addLabel({20, top + 56, 280, 22}, caption);
    derValue_ = addLabel({20, top + 78, 180, 52}, value);
    derUnit_ = addLabel({205, top + 98, 95, 26}, unit);
    progress_ = std::make_shared<PDColoredProgressView>(plat::Rect{20, top + 136, 280, 12});
    view()->addSubview(progress_);
    deCaption_ = addLabel({20, top + 164, 280, 22}, caption);
    deValue_ = addLabel({20, top + 186, 180, 52}, value);
    deUnit_ = addLabel({205, top + 206, 95, 26}, unit);
    // "n/a" is a long word in some languages; values must not run into their units.
    for (const auto& label : {derValue_, deValue_}) {
        label->setAdjustsFontSizeToFitWidth(true);
        label->setMinimumScaleFactor(0.4);
        label->setShadowOffset({0, 1});  // where an outline is drawn (see updateValues)
    }
    modeSettingsButton_ = addButton({20, top + 256, 135, 40}, &DashboardController::openModeSettings);
    instrumentsButton_ = addButton({165, top + 256, 135, 40}, &DashboardController::openInstrumentList);

    presenceObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        kDevicePresentNotification, [this](const plat::Notification&) { updateValues(); });
    showModeButtons();
    initTitles();
}

void DashboardController::viewWillAppear(bool animated) {
    VNBaseViewController::viewWillAppear(animated);
    auto self = weak_from_this().lock();
    if (readings_) readings_->setDelegate(std::shared_ptr<DeviceManagerDelegate>(self, this));
    updateValues();
}

void DashboardController::initTitles() {
    VNBaseViewController::initTitles();
    setTitle(Language::get("Dashboard"));
    if (!isViewLoaded()) return;
    derCaption_->setText(Language::get("Dose rate"));
    deCaption_->setText(Language::get("Dose"));
    setFittingTitles({{modeSettingsButton_.get(), Language::get("Mode Settings")},
                      {instrumentsButton_.get(), Language::get("Instruments")}});
    std::vector<std::pair<plat::Button*, std::string>> modes;
    for (std::size_t i = 0; i < modeControl_->buttons().size(); ++i)
        modes.emplace_back(modeControl_->buttons()[i].get(), Language::get(kModeKeys[i]));
    setFittingTitles(modes);
    updateValues();
}

void DashboardController::updateValues() {
    if (!isViewLoaded()) return;
    // Without an instrument the last values are history, not a live reading: show none.
    const bool live = readings_ && readings_->deviceType() != 0;
    const DoseUnit der(live ? readings_->doseRate() : 0);
    const DoseUnit de(live ? readings_->dose() : 0);
    auto& settings = Settings::sharedSettings();

    derValue_->setText(der.stringValue());
    derUnit_->setText(der.unitString(DoseUnit::doseRateKind));
    // The alarm colours are lighter than the screen: those that need it are outlined. A value
    // not known ("n/a") is no safe reading and is drawn in grey, not in the safe green.
    const auto colorOf = [](double value, const plat::Color& color) { return value > 0 && std::isfinite(value) ? color : kUnknownColor; };
    plat::Readability::colorText(*derValue_, colorOf(der.value(), settings.derColor(der.value())), kScreenColor);
    deValue_->setText(de.stringValue());
    deUnit_->setText(de.unitString(DoseUnit::doseKind));
    plat::Readability::colorText(*deValue_, colorOf(de.value(), settings.deColor(de.value())), kScreenColor);

    const auto& thresholds = settings.DERthreshold();
    progress_->setFirstThreshold(thresholds.firstThreshold->value());
    progress_->setSecondThreshold(thresholds.secondThreshold->value());
    progress_->setDer(der.value());
}

void DashboardController::setMode(unsigned mode) {
    if (mode > searchMode) return;
    mode_ = mode;
    if (isViewLoaded()) showModeButtons();
}

void DashboardController::showModeButtons() {
    const auto& buttons = modeControl_->buttons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const bool on = i == mode_;
        buttons[i]->setSelected(on);
        buttons[i]->setBackgroundImage(plat::Image::named(std::string(kModePictures[i]) + (on ? "-active" : "")));
        buttons[i]->setBackgroundColor(on ? kChosenModeColor : kModeColor);
    }
}

std::shared_ptr<plat::Button> DashboardController::buttonFor(CustomSegmentedControl&, std::size_t index) {
    auto button = plat::Button::make(plat::ButtonType::Custom);
    button->setTitle(Language::get(kModeKeys[index < 3 ? index : 0]));
    button->setTitleColor(plat::Color::white());
    return button;
}

void DashboardController::touchUpInsideSegmentIndex(CustomSegmentedControl&, std::size_t index) {
    setMode(static_cast<unsigned>(index));
}

std::shared_ptr<VNTableViewController> DashboardController::showModeSettings() {
    auto screen = VNTableViewController::make();
    screen->setTitle(Language::get("Mode Settings"));
    screen->setSections({DashboardSections::makeModeSection(mode_)});
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    screen->setOnBackBlock([weak] {
        auto self = std::static_pointer_cast<DashboardController>(weak.lock());
        if (!self) return;
        self->dismissViewController(true);
        self->updateValues();
    });
    if (!presentViewController(screen, true)) return nullptr;
    return screen;
}

std::shared_ptr<VNTableViewController> DashboardController::showInstrumentList() {
    auto screen = VNBTLETableViewController::make();
    screen->setTitle(Language::get("Instruments"));
    screen->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    screen->setSections({DashboardSections::makeInstrumentListSection()});
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    screen->setOnBackBlock([weak] {
        VNBTLETableViewController::returnManagerToDeviceManager();
        if (auto self = weak.lock()) self->dismissViewController(true);
    });
    if (!presentViewController(screen, true)) return nullptr;
    return screen;
}

void registerDashboardLayer() {
    registerDashboardInterfaces();
    TabScreens::registerFactory(Tab::dashboard, [] { return DashboardController::make(); });
}

}  // namespace qx
