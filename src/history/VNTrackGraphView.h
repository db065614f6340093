#pragma once

#include <memory>
#include <vector>

#include "history/TrackReadings.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "shell/VNView.h"

namespace qx {

class Track;

// One graph of a track against time: alarm bands behind, two arrowed axes, the readings as a
// grey line and dotted threshold lines, with labels for the title, the first and last times,
// the lowest and highest value and the two thresholds. Mode 0 plots dose rate, any other mode
// dose.
class VNTrackGraphView : public VNView {
public:
    static constexpr double kAxisMargin = 20;
    static constexpr double kYAxisX = 40;
    static constexpr double kArrowRoom = 8;
    static constexpr plat::Color kGreenBand = plat::Color::fromBytes(58, 100, 35);
    static constexpr plat::Color kOrangeBand = plat::Color::fromBytes(130, 85, 45);
    static constexpr plat::Color kRedBand = plat::Color::fromBytes(142, 66, 60);
    // The bands are laid over the page thinly enough for the grey reading line to stand out.
    static constexpr double kBandAlpha = 0.45;

    // A view made in code: no geometry and no labels.
    explicit VNTrackGraphView(const plat::Rect& frame);
    // The view as its interface file makes it: the axes fixed from this frame, and the labels.
    static std::shared_ptr<VNTrackGraphView> fromInterface(const plat::Rect& frame);

    unsigned long mode() const { return mode_; }
    void setMode(unsigned long mode) { mode_ = mode; }
    // Takes the scale and the labels from the track (none: the view keeps what it had) and
    // asks for a redraw.
    void setTrack(std::shared_ptr<Track> track, unsigned long mode);
    // The same with the track's readings read already, oldest first (TrackReadings::byDate).
    void setTrack(std::shared_ptr<Track> track, unsigned long mode, std::vector<TrackReadings::Sample> samples);
    const std::shared_ptr<Track>& track() const { return track_; }

    void drawRect(plat::DrawingContext& context, const plat::Rect& rect) override;
    void drawBackground(plat::DrawingContext& context);
    void drawAxis(plat::DrawingContext& context);
    void drawPlot(plat::DrawingContext& context);
    void drawTreshLines(plat::DrawingContext& context);
    // One axis with its arrow head at `to`.
    static void drawArrowLine(plat::DrawingContext& context, plat::Point from, plat::Point to);

    double firstThreshold() const { return firstThreshold_; }
    double secondThreshold() const { return secondThreshold_; }
    plat::Point zeroPoint() const { return zeroPoint_; }
    plat::Point endXPoint() const { return endXPoint_; }
    plat::Point endYPoint() const { return endYPoint_; }
    float xLength() const { return xLength_; }
    float yLength() const { return yLength_; }
    float timeDelta() const { return timeDelta_; }
    float yDelta() const { return yDelta_; }
    float maxValue() const { return maxValue_; }
    float minValue() const { return minValue_; }
    double firstMarkYOrigin() const { return firstMarkYOrigin_; }
    void setFirstMarkYOrigin(double y) { firstMarkYOrigin_ = y; }
    double secondMarkYOrigin() const { return secondMarkYOrigin_; }
    void setSecondMarkYOrigin(double y) { secondMarkYOrigin_ = y; }
    // The x of a reading taken `seconds` after the first one.
    double xForTime(double seconds) const;

    const std::shared_ptr<plat::Label>& startDateLabel() const { return startDateLabel_; }
    const std::shared_ptr<plat::Label>& endDateLabel() const { return endDateLabel_; }
    const std::shared_ptr<plat::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<plat::Label>& minValueLabel() const { return minValueLabel_; }
    const std::shared_ptr<plat::Label>& maxValueLabel() const { return maxValueLabel_; }
    const std::shared_ptr<plat::Label>& firstThresholdLabel() const { return firstThresholdLabel_; }
    const std::shared_ptr<plat::Label>& secondThresholdLabel() const { return secondThresholdLabel_; }
    const std::shared_ptr<plat::LayoutConstraint>& firstThresholdLabelTopSpaceConstraint() const { return firstTop_; }
    const std::shared_ptr<plat::LayoutConstraint>& secondThresholdLabelTopSpaceConstraint() const { return secondTop_; }

    std::string kindName() const override { return "Graph"; }

private:
    void buildLabels();
    void readThresholds();
    // The y of a threshold strictly inside the plotted range, else -1; places its label.
    double placeMark(double threshold, plat::Label* label, plat::LayoutConstraint* top);
    void hideCollidingLabels();
    void fillTexts();

    unsigned long mode_ = 0;
    double firstThreshold_ = 0, secondThreshold_ = 0;
    plat::Point zeroPoint_, endXPoint_, endYPoint_;
    float xLength_ = 0, yLength_ = 0;
    float timeDelta_ = 0, yDelta_ = 0;
    float maxValue_ = 1, minValue_ = 1;
    double firstMarkYOrigin_ = -1, secondMarkYOrigin_ = -1;
    std::shared_ptr<Track> track_;
    // The readings, oldest first, read once per track: a redraw must not go back to the store.
    std::vector<TrackReadings::Sample> samples_;
    // The track's lowest and highest value of the plotted quantity (the lowest of nothing is
    // infinite, as the track reports it).
    double lowest_ = 0, highest_ = 0;
    // The plotted range: the lowest and highest value, or around a value all readings share.
    double bottom_ = 0, top_ = 0;

    std::shared_ptr<plat::Label> startDateLabel_, endDateLabel_, titleLabel_, titleView_;
    std::shared_ptr<plat::Label> minValueLabel_, maxValueLabel_, firstThresholdLabel_, secondThresholdLabel_;
    std::shared_ptr<plat::LayoutConstraint> firstTop_, secondTop_;
};

}  // namespace qx
