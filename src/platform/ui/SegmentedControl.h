#pragma once

#include <string>
#include <vector>

#include "platform/ui/Control.h"

namespace plat {

// A row of segments, one selected (or none: -1). Choosing a segment by a tap sends
// value-changed; setting the selection from code does not.
class SegmentedControl : public Control {
public:
    static constexpr long kNoSegment = -1;

    using Control::Control;
    explicit SegmentedControl(std::vector<std::string> titles, const Rect& frame = {});

    std::size_t numberOfSegments() const { return segments_.size(); }
    void insertSegment(std::string title, std::size_t index, bool animated = false);
    void insertSegment(ImagePtr image, std::size_t index, bool animated = false);
    void removeSegment(std::size_t index, bool animated = false);
    void removeAllSegments();
    std::string titleForSegment(std::size_t index) const;
    void setTitle(std::string title, std::size_t index);
    ImagePtr imageForSegment(std::size_t index) const;
    void setImage(ImagePtr image, std::size_t index);
    bool isSegmentEnabled(std::size_t index) const;
    void setSegmentEnabled(bool enabled, std::size_t index);
    long selectedSegmentIndex() const { return selected_; }
    void setSelectedSegmentIndex(long index);
    bool isMomentary() const { return momentary_; }
    void setMomentary(bool on) { momentary_ = on; }
    const std::optional<Color>& tintColor() const { return tint_; }
    void setTintColor(std::optional<Color> c) { tint_ = c; }

    // A tap on one segment: selects it and sends value-changed; false when it is disabled or
    // out of range.
    bool tapSegment(std::size_t index);

    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "SegmentedControl"; }
    std::string describeLine() const override;

private:
    struct Segment {
        std::string title;
        ImagePtr image;
        bool enabled = true;
    };
    std::vector<Segment> segments_;
    long selected_ = kNoSegment;
    bool momentary_ = false;
    std::optional<Color> tint_;
};

}  // namespace plat
