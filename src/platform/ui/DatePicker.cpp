#include "platform/ui/DatePicker.h"

#include <cmath>
#include <ctime>

namespace plat {

std::string localDateTimeText(plat::Date d) {
    std::time_t t = static_cast<std::time_t>(std::floor(d.timeIntervalSince1970()));
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

plat::Date DatePicker::clamp(plat::Date d) const {
    if (min_ && d < *min_) d = *min_;
    if (max_ && d > *max_) d = *max_;
    return d;
}

void DatePicker::setDate(plat::Date d, bool animated) {
    date_ = clamp(d);
    lastAnimated_ = animated;
    setNeedsDisplay();
}

void DatePicker::setMinimumDate(std::optional<plat::Date> d) {
    min_ = d;
    date_ = clamp(date_);
}

void DatePicker::setMaximumDate(std::optional<plat::Date> d) {
    max_ = d;
    date_ = clamp(date_);
}

void DatePicker::setCountDownDuration(TimeInterval seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    double minutes = std::floor(seconds / 60);
    duration_ = std::min(minutes, 23.0 * 60 + 59) * 60;
}

bool DatePicker::pickDate(plat::Date d) {
    if (!canInteract() || mode_ == DatePickerMode::CountDownTimer) return false;
    setDate(d, true);
    sendActions(ValueChanged);
    return true;
}

bool DatePicker::pickCountDownDuration(TimeInterval seconds) {
    if (!canInteract() || mode_ != DatePickerMode::CountDownTimer) return false;
    setCountDownDuration(seconds);
    sendActions(ValueChanged);
    return true;
}

std::string DatePicker::describeLine() const {
    if (mode_ == DatePickerMode::CountDownTimer) {
        long m = static_cast<long>(duration_ / 60);
        char buf[48];
        std::snprintf(buf, sizeof buf, "DatePicker count-down %ld:%02ld", m / 60, m % 60);
        return buf;
    }
    std::string text = localDateTimeText(date_);
    if (mode_ == DatePickerMode::Date) text = text.substr(0, 10);
    if (mode_ == DatePickerMode::Time) text = text.substr(11);
    return "DatePicker " + text;
}

}  // namespace plat
