#include "maps/VNTrackAlarmsView.h"

#include <mutex>

#include "model/DoseUnit.h"
#include "platform/ui/Interface.h"
#include "shell/Artwork.h"
#include "store/Track.h"

namespace qx {

namespace {

void registerAlarmsViewInterface() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(VNTrackAlarmsView::kNibName, [](plat::Outlets& outlets) {
            auto view = std::make_shared<VNTrackAlarmsView>();
            outlets.set("maxDoseRateLabel", view->maxDoseRateLabel().shared_from_this());
            outlets.set("alarmsCountButton", view->alarmsCountButton().shared_from_this());
            // Nothing to show until a track with alarms arrives.
            view->setHidden(true);
            return view;
        });
    });
}

}  // namespace

std::shared_ptr<VNTrackAlarmsView> VNTrackAlarmsView::loadFromNib() {
    registerAlarmsViewInterface();
    return VNView::loadFromNib<VNTrackAlarmsView>();
}

VNTrackAlarmsView::VNTrackAlarmsView(const plat::Rect& frame) : VNView(frame) {
    const double h = frame.height();
    setBackgroundColor(plat::Color::white().withAlpha(0.85));
    alarmsCountButton_ = plat::Button::make(plat::ButtonType::Custom, {2, 2, h - 4, h - 4});
    alarmsCountButton_->setTitleColor(plat::Color::white());
    alarmsCountButton_->titleLabel().setFont(plat::Font::boldSystem(13));
    alarmsCountButton_->setContentEdgeInsets(Artwork::alarmCountInsets(alarmsCountButton_->frame().size));
    addSubview(alarmsCountButton_);
    maxDoseRateLabel_ = std::make_shared<plat::Label>(plat::Rect{h + 2, 0, frame.width() - h - 6, h});
    maxDoseRateLabel_->setFont(plat::Font::named("HelveticaNeue-Bold", 15));
    maxDoseRateLabel_->setAdjustsFontSizeToFitWidth(true);
    addSubview(maxDoseRateLabel_);
}

void VNTrackAlarmsView::setTrack(std::shared_ptr<Track> track) {
    track_ = std::move(track);
    update();
}

void VNTrackAlarmsView::setTrack(std::shared_ptr<Track> track, const Figures& figures) {
    track_ = std::move(track);
    show(track_ && !track_->isDeleted() ? figures : Figures{});
}

void VNTrackAlarmsView::update() {
    // A track deleted under the badge has nothing left to count.
    const std::int64_t alarms = track_ && !track_->isDeleted() ? track_->alarms() : 0;
    show({alarms, alarms == 0 ? 0 : track_->maxDER()});
}

void VNTrackAlarmsView::show(const Figures& figures) {
    if (figures.alarms == 0) {
        setHidden(true);
        return;
    }
    setHidden(false);
    const auto maxDoseRate = DoseUnit::doseWithValue(figures.maxDoseRate);
    maxDoseRateLabel_->setText(maxDoseRate->stringValue() + " " + maxDoseRate->unitString(DoseUnit::doseRateKind));
    const std::string icon = Track::alarmIconForDoseRate(figures.maxDoseRate);
    alarmsCountButton_->setBackgroundImage(plat::Image::named(icon));
    alarmsCountButton_->setTitle(std::to_string(figures.alarms));
}

}  // namespace qx
