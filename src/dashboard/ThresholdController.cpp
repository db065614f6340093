#include "dashboard/ThresholdController.h"

#include "model/DoseUnit.h"
#include "model/Language.h"
#include "platform/ui/Readability.h"

namespace qx {

namespace {

constexpr plat::Color kScreenColor = plat::Color::fromBytes(234, 234, 234);

}  // namespace

void ThresholdController::setFirstThreshValue(double v) {
    first_ = v;
    showOnScale();
    showValues();
}

void ThresholdController::setSecondThreshValue(double v) {
    second_ = v;
    showOnScale();
    showValues();
}

void ThresholdController::showOnScale() {
    if (!scale_) return;
    scale_->setValues(first_, second_);
    scale_->bringValuesIntoView();
    scaleRange_ = scale_->range();
}

std::shared_ptr<ThresholdScaleView> ThresholdController::scaleView() {
    view();
    return scale_;
}

plat::Label& ThresholdController::firstValueLabel() {
    view();
    return *firstLabel_;
}

plat::Label& ThresholdController::secondValueLabel() {
    view();
    return *secondLabel_;
}

const plat::BarButtonItemPtr& ThresholdController::applyButton() {
    view();
    return applyButton_;
}

void ThresholdController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(kScreenColor);
    const auto area = contentFrame();
    const double width = area.width();

    const auto label = [&](double y, bool bold) {
        auto l = std::make_shared<plat::Label>(plat::Rect{20, area.y() + y, width - 40, 24});
        l->setFont(plat::Font::named(bold ? "HelveticaNeue-Bold" : "HelveticaNeue", 17));
        l->setShadowOffset({0, 1});  // where the values' outline goes
        root->addSubview(l);
        return l;
    };
    firstTitle_ = label(20, true);
    firstLabel_ = label(44, false);
    secondTitle_ = label(76, true);
    secondLabel_ = label(100, false);
    // The thresholds' colours, outlined where they would not read on the screen's grey.
    plat::Readability::colorText(*firstLabel_, singleHandle_ ? plat::Color::red() : plat::Color::orange(), kScreenColor);
    plat::Readability::colorText(*secondLabel_, plat::Color::red(), kScreenColor);
    secondTitle_->setHidden(singleHandle_);
    secondLabel_->setHidden(singleHandle_);

    scale_ = std::make_shared<ThresholdScaleView>(plat::Rect{0, area.y() + 140, width, 80});
    scale_->setScale(scaleMin_, scaleMax_, scaleRange_);
    scale_->setMode(mode_);
    scale_->setSingleHandle(singleHandle_);
    showOnScale();
    scale_->setOnHandleMoved([this](int handle, double value) {
        (handle == 0 ? first_ : second_) = value;
        showValues();
    });
    root->addSubview(scale_);

    lowerButton_ = plat::Button::make(plat::ButtonType::System, plat::Rect{20, area.y() + 230, 60, 36});
    lowerButton_->setTitle("<<");
    lowerButton_->addAction(plat::TouchUpInside, [this](plat::Control&) { shiftScale(-1); });
    higherButton_ = plat::Button::make(plat::ButtonType::System, plat::Rect{width - 80, area.y() + 230, 60, 36});
    higherButton_->setTitle(">>");
    higherButton_->addAction(plat::TouchUpInside, [this](plat::Control&) { shiftScale(1); });
    root->addSubview(lowerButton_);
    root->addSubview(higherButton_);

    applyButton_ = plat::BarButtonItem::withTitle(Language::get("Apply"), plat::BarButtonStyle::Done,
                                                  [this](plat::BarButtonItem&) { apply(); });
    navItem().setRightBarButtonItem(applyButton_);
    initTitles();
}

void ThresholdController::initTitles() {
    VNBaseViewController::initTitles();
    setTitle(Language::get(mode_ == DoseUnit::doseKind ? "Dose thresholds" : "Dose rate thresholds"));
    if (applyButton_) applyButton_->setTitle(Language::get("Apply"));
    if (firstTitle_) {
        firstTitle_->setText(Language::get(singleHandle_ ? "Threshold" : "First threshold"));
        secondTitle_->setText(Language::get("Second threshold"));
        if (scale_) scale_->setHandleNames(firstTitle_->text(), secondTitle_->text());
    }
    showValues();
}

std::string ThresholdController::valueText(double value) const {
    const DoseUnit unit(value);
    return unit.stringValue() + " " + unit.unitString(mode_ == DoseUnit::doseKind ? DoseUnit::doseKind : DoseUnit::doseRateKind);
}

void ThresholdController::showValues() {
    if (!firstLabel_) return;
    firstLabel_->setText(valueText(first_));
    secondLabel_->setText(valueText(second_));
}

bool ThresholdController::moveHandle(int handle, double value) { return scaleView()->moveHandle(handle, value); }

void ThresholdController::shiftScale(int decades) {
    auto scale = scaleView();
    scale->setScale(scaleMin_, scaleMax_, scale->range() + decades);
    scaleRange_ = scale->range();
}

void ThresholdController::apply() {
    // A copy: the block usually dismisses the editor.
    if (auto block = onApply_) block(*this);
}

}  // namespace qx
