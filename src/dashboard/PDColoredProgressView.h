#pragma once

#include "platform/ui/View.h"

namespace qx {

// The dose-rate bar. It is split into three equal zones: up to the first threshold (green),
// between the thresholds (orange) and above the second, up to ten times it (red); the fill
// grows linearly inside a zone and takes the colour of the zone the value is in.
class PDColoredProgressView : public plat::View {
public:
    using plat::View::View;

    void setFirstThreshold(double value);
    void setSecondThreshold(double value);
    // Shows a dose rate (µSv/h, the unit of the thresholds).
    void setDer(double value);

    double firstThreshold() const { return first_; }
    double secondThreshold() const { return second_; }
    double der() const { return der_; }
    // How much of the bar is filled, 0 to 1.
    double progress() const;
    // Green, orange or red by the zone of the value; a value on a threshold is below it.
    plat::Color barColor() const;

    void drawRect(plat::DrawingContext& context, const plat::Rect& rect) override;
    std::string kindName() const override { return "DoseRateBar"; }
    std::string describeLine() const override;

private:
    double first_ = 0, second_ = 0, der_ = 0;
};

}  // namespace qx
