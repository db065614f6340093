#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace qx {

// The threshold editor's scale: a logarithmic window of three decades, starting at the decade
// 10^range and kept inside the editor's limits, with one or two handles on it. Values are
// µSv/h or µSv, as the mode says (0 dose rate, 1 dose); the tick labels carry their unit.
class ThresholdScaleView : public plat::View {
public:
    static constexpr int kDecades = 3;
    static constexpr double kInset = 20;
    // The screen's margin, which the end labels keep from its edges.
    static constexpr double kMargin = 20;

    using MoveBlock = std::function<void(int handle, double value)>;

    using plat::View::View;

    // The limits of the whole scale and the decade the window starts at (moved inside the
    // limits when it lies outside).
    void setScale(double minValue, double maxValue, int range);
    int range() const { return range_; }
    // The lowest and the highest range the limits allow.
    int lowestRange() const;
    int highestRange() const;
    // The ends of the window shown now.
    double lowValue() const;
    double highValue() const;

    void setMode(int mode);
    int mode() const { return mode_; }

    void setValues(double first, double second);
    // Moves the window to the decade that best shows the values when they are not all inside
    // it: a stored decade may no longer suit values changed elsewhere (restored defaults, the
    // other unit's thresholds).
    void bringValuesIntoView();
    double value(int handle) const { return handle == 0 ? first_ : second_; }
    void setSingleHandle(bool single);
    bool singleHandle() const { return single_; }

    // Where a value sits on the track, and the value under a point of it.
    double xForValue(double value) const;
    double valueForX(double x) const;

    // Moves a handle to a value: kept inside the window, rounded to two significant digits,
    // and never past the other handle. Runs the move block. False for a handle that is not
    // shown.
    bool moveHandle(int handle, double value);
    // Drags a handle to a point of the track.
    bool dragHandle(int handle, double x) { return moveHandle(handle, valueForX(x)); }
    void setOnHandleMoved(MoveBlock block) { onMoved_ = std::move(block); }

    // The names the handles go by (the texts of the values they set).
    void setHandleNames(std::string first, std::string second);
    std::vector<DragHandle> dragHandles() const override;
    bool dragHandleTo(std::size_t handle, double value) override;

    void drawRect(plat::DrawingContext& context, const plat::Rect& rect) override;
    std::string kindName() const override { return "ThresholdScale"; }
    std::string describeLine() const override;

private:
    // The track ends far enough in that the labels of its end ticks, centred under them, keep
    // the screen's margin.
    double trackLeft() const;
    double trackRight() const;
    double endInset(double value) const;
    std::string tickText(double value) const;

    double min_ = 0.1, max_ = 1e7;
    int range_ = 0;
    double first_ = 0, second_ = 0;
    bool single_ = false;
    int mode_ = 0;
    std::string firstName_, secondName_;
    MoveBlock onMoved_;
};

}  // namespace qx
