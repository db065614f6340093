#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Label.h"
#include "shell/VNView.h"

namespace qx {

class Track;

// The Main page of a track's details: captioned figures of one track in the user's units,
// dose figures coloured by the alarm thresholds. A tap on the panel runs the screen's handler.
class VNTrackDetailsView : public VNView {
public:
    static constexpr const char* kNibName = "VNTrackDetailsView";
    using TapHandler = std::function<void()>;

    VNTrackDetailsView();
    static std::shared_ptr<VNTrackDetailsView> loadFromNib();
    // The interface file's builder.
    static std::shared_ptr<plat::View> buildInterface(plat::Outlets& outlets);

    void awakeFromNib();
    void layoutSubviews() override;
    // The captions in the current language, set once when the panel loads.
    void initTiles();
    // Keeps the track and fills the figures; with none, every label stays as it was.
    void setTrack(std::shared_ptr<Track> track);
    const std::shared_ptr<Track>& track() const { return track_; }
    // The action of the panel's tap control.
    void tapAction();
    const TapHandler& onTapHandler() const { return onTapHandler_; }
    void setOnTapHandler(TapHandler handler) { onTapHandler_ = std::move(handler); }

    // Outlets: the caption of a figure is `<figure>TitleLabel`, its value `<figure>Label` and its
    // unit `<figure>UnitLabel`.
    enum Figure {
        waypoints, alarms, minDoseRate, avgDoseRate, maxDoseRate, startTime, endTime, duration, avgSpeed, maxSpeed,
        distance, minAltitude, maxAltitude, dose, figureCount
    };
    const std::shared_ptr<plat::Label>& titleLabel(Figure f) const { return titles_[f]; }
    const std::shared_ptr<plat::Label>& valueLabel(Figure f) const { return values_[f]; }
    // None for the figures without a unit (counts, times).
    const std::shared_ptr<plat::Label>& unitLabel(Figure f) const { return units_[f]; }
    const std::shared_ptr<plat::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<plat::ImageView>& uploadedIcon() const { return uploadedIcon_; }
    const std::shared_ptr<plat::Label>& startDateLabel() const { return startDateLabel_; }
    const std::shared_ptr<plat::Label>& endDateLabel() const { return endDateLabel_; }

private:
    void build(plat::Outlets& outlets);
    void addFigure(Figure f, const plat::Rect& frame, bool withUnit);
    void showDoseRate(Figure f, double value);
    void showFigure(Figure f, const std::optional<std::string>& value, const char* unitKey);
    void fill(Track& track);

    std::shared_ptr<Track> track_;
    TapHandler onTapHandler_;
    std::shared_ptr<plat::Label> nameLabel_, startDateLabel_, endDateLabel_;
    std::shared_ptr<plat::ImageView> uploadedIcon_;
    std::shared_ptr<plat::Control> tapControl_;
    std::shared_ptr<plat::Label> titles_[figureCount], values_[figureCount], units_[figureCount];
};

}  // namespace qx
