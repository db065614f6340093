#pragma once

#include <memory>
#include <string>

namespace qx {

// A dose (micro-sievert) or dose rate (micro-sievert per hour) with its display multiplier.
//
// Display rule: the value is first converted to the unit system of Settings::unit (roentgen:
// 1 Sv = 100 R, so 1 µSv = 100 µR), then given the prefix a dosimeter user reads most easily:
// micro below 1000, milli from 1000, none from 1,000,000 of the base unit. Number text and unit
// text always use the same prefix.
class DoseUnit {
public:
    enum class Prefix { micro, milli, none };
    enum Kind { doseRateKind = 0, doseKind = 1 };

    explicit DoseUnit(double value = 0) : value_(value) {}
    static std::shared_ptr<DoseUnit> doseWithValue(double value) { return std::make_shared<DoseUnit>(value); }

    double value() const { return value_; }
    void setValue(double value) { value_ = value; }
    int multiplier() const { return multiplier_; }
    void setMultiplier(int multiplier) { multiplier_ = multiplier; }

    // The number in the current unit system and prefix; the text for "n/a" when the value is 0
    // or less (or not a finite number).
    std::string stringValue() const;
    // The number in the prefix `reference` is shown in, so figures set side by side (a graph's
    // axis) share the one unit written beside them; "n/a" as for stringValue.
    std::string stringValueScaledAs(double reference) const;
    // The unit text for the same scaling: kind 1 a dose, anything else a dose rate.
    std::string unitString(int kind) const;
    // The number followed by its unit; "n/a" alone when there is no figure, since a unit beside
    // no number reads as a measurement.
    std::string stringWithUnit(int kind) const;

    struct Scaled {
        double number;
        Prefix prefix;
    };
    // The scaling of a micro-sievert value in a unit system (0 roentgen, 1 sievert).
    static Scaled scale(double microSievert, unsigned unitSystem);
    // The number text of a scaled value: two decimals below 10, one below 100, none above.
    static std::string formatNumber(double number);

private:
    double value_;
    int multiplier_ = 0;
};

}  // namespace qx
