#include "settings/VNBluetoothTableHeader.h"

#include "platform/ui/Interface.h"
#include "settings/SettingsInterfaces.h"

namespace qx {

namespace {

constexpr double kGrey = 222.0 / 255.0;

}  // namespace

std::shared_ptr<VNBluetoothTableHeader> VNBluetoothTableHeader::loadFromNib() {
    registerSettingsInterfaces();
    return plat::Interface::loadAs<VNBluetoothTableHeader>(kNibName);
}

VNBluetoothTableHeader::VNBluetoothTableHeader() : VNView(plat::Rect{0, 0, 320, kHeight}) {
    setBackgroundColor(plat::Color::rgba(kGrey, kGrey, kGrey));
    titleLabel_ = std::make_shared<plat::Label>(plat::Rect{15, 0, 250, kHeight});
    titleLabel_->setFont(plat::Font::named("HelveticaNeue-Bold", 17));
    titleLabel_->setTextColor(plat::Color::black());
    titleLabel_->setShadowColor(plat::Color::white());
    titleLabel_->setShadowOffset({1, 1});
    activityIndicator_ = std::make_shared<plat::ActivityIndicator>(plat::Rect{320 - 35, 6, 20, 20});
    addSubview(titleLabel_);
    addSubview(activityIndicator_);
}

}  // namespace qx
