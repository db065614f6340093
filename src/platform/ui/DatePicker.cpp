#include "platform/ui/DatePicker.h"

#include <array>
#include <cmath>
#include <ctime>
#include <vector>

#include "platform/ui/UiText.h"

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

namespace {

using Wheel = DatePicker::Wheel;

std::string number(long n, bool twoDigits = false) {
    char buf[24];
    std::snprintf(buf, sizeof buf, twoDigits ? "%02ld" : "%ld", n);
    return buf;
}

// A wheel of the numbers first..last around the selected one.
Wheel numberWheel(double width, long selected, long first, long last, bool twoDigits, bool wraps) {
    Wheel w;
    w.width = width;
    const long count = last - first + 1;
    for (long d = -2; d <= 2; ++d) {
        long n = selected + d;
        if (wraps) n = first + ((n - first) % count + count) % count;
        if (n >= first && n <= last) w.rows[static_cast<std::size_t>(d + 2)] = number(n, twoDigits);
    }
    return w;
}

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string monthName(long month) { return uiText(kMonths[((month % 12) + 12) % 12]); }

std::vector<Wheel> dateWheels(const std::tm& tm, bool withTime) {
    std::vector<Wheel> wheels;
    if (withTime) {
        // The day with its month in one wheel, then the hour and the minute.
        Wheel day;
        day.width = 130;
        for (long d = -2; d <= 2; ++d) {
            std::tm other = tm;
            other.tm_mday += static_cast<int>(d);
            std::mktime(&other);
            day.rows[static_cast<std::size_t>(d + 2)] = number(other.tm_mday) + " " + monthName(other.tm_mon);
        }
        wheels.push_back(day);
    } else {
        Wheel month;
        month.width = 110;
        month.alignment = TextAlignment::Left;
        for (long d = -2; d <= 2; ++d) {
            if (tm.tm_mon + d >= 0 && tm.tm_mon + d < 12) month.rows[static_cast<std::size_t>(d + 2)] = monthName(tm.tm_mon + d);
        }
        wheels.push_back(month);
        wheels.push_back(numberWheel(50, tm.tm_mday, 1, 31, false, true));
        wheels.push_back(numberWheel(80, tm.tm_year + 1900, 1, 9999, false, false));
    }
    return wheels;
}

std::vector<Wheel> timeWheels(const std::tm& tm) {
    return {numberWheel(60, tm.tm_hour, 0, 23, false, true), numberWheel(60, tm.tm_min, 0, 59, true, true)};
}

}  // namespace

std::vector<DatePicker::Wheel> DatePicker::wheelsShown() const {
    std::vector<Wheel> wheels;
    if (mode_ == DatePickerMode::CountDownTimer) {
        const long minutes = static_cast<long>(duration_ / 60);
        wheels.push_back(numberWheel(110, minutes / 60, 0, 23, false, false));
        wheels.back().unit = uiText("hours");
        wheels.push_back(numberWheel(110, minutes % 60, 0, 59, false, true));
        wheels.back().unit = uiText("min");
    } else {
        const std::time_t t = static_cast<std::time_t>(std::floor(date_.timeIntervalSince1970()));
        std::tm tm{};
        localtime_r(&t, &tm);
        if (mode_ != DatePickerMode::Time) wheels = dateWheels(tm, mode_ == DatePickerMode::DateAndTime);
        if (mode_ != DatePickerMode::Date) {
            for (auto& w : timeWheels(tm)) wheels.push_back(w);
        }
    }
    return wheels;
}

void DatePicker::drawRect(DrawingContext& ctx, const Rect& rect) {
    constexpr double kRow = 36, kGap = 8;
    const Font font = Font::system(21), unitFont = Font::boldSystem(15);
    ctx.setFillColor(Color::white());
    ctx.fillRect(rect);
    // The selection bar across every wheel.
    const Rect bar{rect.x(), rect.midY() - kRow / 2, rect.width(), kRow};
    ctx.setFillColor(Color::rgba(0.93, 0.94, 0.96));
    ctx.fillRect(bar);
    ctx.setStrokeColor(Color::rgba(0.78, 0.78, 0.8));
    ctx.setLineWidth(0.5);
    ctx.strokeRect(bar);
    const auto wheels = wheelsShown();
    double total = -kGap;
    for (const auto& w : wheels) total += w.width + kGap;
    double x = rect.midX() - total / 2;
    for (const auto& w : wheels) {
        // A wheel's unit takes the right part of it; the numbers end before it.
        const double unitWidth = w.unit.empty() ? 0 : std::min(unitFont.widthOf(w.unit) + 6, w.width * 0.55);
        const Rect column{x, rect.y(), w.width - unitWidth, rect.height()};
        for (std::size_t i = 0; i < w.rows.size(); ++i) {
            const double dy = (static_cast<double>(i) - 2) * kRow;
            const bool selected = i == 2;
            // Rows away from the selection fade, yet stay readable (3:1 against white).
            const double fade = selected ? 1 : (i == 1 || i == 3 ? 0.6 : 0.45);
            const Rect row{column.x(), rect.midY() + dy - font.lineHeight() / 2, column.width(), font.lineHeight()};
            ctx.drawText(w.rows[i], row, font, Color::rgba(0, 0, 0, fade), w.alignment, 0.6);
        }
        if (!w.unit.empty()) {
            const Rect unit{column.maxX() + 6, rect.midY() - unitFont.lineHeight() / 2, unitWidth - 6, unitFont.lineHeight()};
            ctx.drawText(w.unit, unit, unitFont, Color::black(), TextAlignment::Left, 0.6);
        }
        x += w.width + kGap;
    }
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
