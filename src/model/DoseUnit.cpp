#include "model/DoseUnit.h"

#include <cmath>
#include <cstdio>

#include "model/Language.h"
#include "model/Settings.h"

namespace qx {

namespace {
constexpr double kMicroRoentgenPerMicroSievert = 100.0;  // 1 Sv = 100 R
constexpr unsigned kRoentgen = 0;

double prefixFactor(DoseUnit::Prefix prefix) {
    switch (prefix) {
        case DoseUnit::Prefix::micro: return 1.0;
        case DoseUnit::Prefix::milli: return 1e3;
        case DoseUnit::Prefix::none: return 1e6;
    }
    return 1.0;
}
}  // namespace

DoseUnit::Scaled DoseUnit::scale(double microSievert, unsigned unitSystem) {
    double micro = unitSystem == kRoentgen ? microSievert * kMicroRoentgenPerMicroSievert : microSievert;
    if (micro >= 1e6) return {micro / 1e6, Prefix::none};
    if (micro >= 1e3) return {micro / 1e3, Prefix::milli};
    return {micro, Prefix::micro};
}

std::string DoseUnit::formatNumber(double number) {
    const char* format = number < 10 ? "%.2f" : number < 100 ? "%.1f" : "%.0f";
    char buf[64];
    std::snprintf(buf, sizeof buf, format, number);
    return buf;
}

std::string DoseUnit::stringValue() const {
    if (!(value_ > 0) || !std::isfinite(value_)) return Language::get("n/a");
    return formatNumber(scale(value_, Settings::sharedSettings().unit()).number);
}

std::string DoseUnit::stringWithUnit(int kind) const {
    if (!(value_ > 0) || !std::isfinite(value_)) return Language::get("n/a");
    return stringValue() + " " + unitString(kind);
}

std::string DoseUnit::stringValueScaledAs(double reference) const {
    if (!(value_ > 0) || !std::isfinite(value_)) return Language::get("n/a");
    const unsigned system = Settings::sharedSettings().unit();
    const double micro = system == kRoentgen ? value_ * kMicroRoentgenPerMicroSievert : value_;
    const Prefix prefix = scale(std::isfinite(reference) ? reference : 0, system).prefix;
    return formatNumber(micro / prefixFactor(prefix));
}

std::string DoseUnit::unitString(int kind) const {
    const bool roentgen = Settings::sharedSettings().unit() == kRoentgen;
    std::string prefix;
    switch (scale(std::isfinite(value_) ? value_ : 0, Settings::sharedSettings().unit()).prefix) {
        case Prefix::micro: prefix = Language::get("µ"); break;
        case Prefix::milli: prefix = Language::get("milli"); break;
        case Prefix::none: break;
    }
    const char* base = kind == doseKind ? (roentgen ? "R" : "Sv") : (roentgen ? "R/h" : "Sv/h");
    return prefix + Language::get(base);
}

}  // namespace qx
