#include "platform/ui/DatePicker.h"

#include <array>
#include <cmath>
#include <ctime>
#include <vector>

#include <memory>

#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include "platform/foundation/ProlepticCalendar.h"
#include "platform/ui/PickerView.h"
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

// Date texts in the interface language, each from a skeleton ("MMMd": "Dec 7", "12月7日",
// "7. Dez.") through the language's own patterns.
class DateTexts {
public:
    DateTexts() : locale_(uiLocale().c_str()) {
        UErrorCode status = U_ZERO_ERROR;
        generator_.reset(icu::DateTimePatternGenerator::createInstance(locale_, status));
        if (U_FAILURE(status)) generator_.reset();
    }

    // The pattern the language writes the skeleton's fields in; the skeleton itself without one.
    icu::UnicodeString pattern(const char* skeleton) const {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString best = generator_ ? generator_->getBestPattern(icu::UnicodeString(skeleton), status) : "";
        return U_SUCCESS(status) && !best.isEmpty() ? best : icu::UnicodeString(skeleton);
    }

    // The calendar fields of `tm` (local already) written by the skeleton.
    std::string format(const std::tm& tm, const char* skeleton) const {
        UErrorCode status = U_ZERO_ERROR;
        icu::SimpleDateFormat f(pattern(skeleton), locale_, status);
        if (U_FAILURE(status)) return {};
        plat::ProlepticCalendar::apply(f);
        f.setTimeZone(*icu::TimeZone::getGMT());
        std::tm copy = tm;
        const UDate at = static_cast<UDate>(timegm(&copy)) * 1000.0;
        icu::UnicodeString text;
        f.format(at, text);
        std::string out;
        return text.toUTF8String(out);
    }

private:
    icu::Locale locale_;
    std::unique_ptr<icu::DateTimePatternGenerator> generator_;
};

// The tm `days` days from `tm`.
std::tm daysFrom(const std::tm& tm, long days) {
    std::tm other = tm;
    other.tm_mday += static_cast<int>(days);
    other.tm_isdst = -1;
    std::mktime(&other);
    return other;
}

// The order the language writes a day, a month and a year in: "dMy", "Mdy" or "yMd".
std::string fieldOrder(const DateTexts& texts) {
    icu::UnicodeString pattern = texts.pattern("yMMMd");
    std::string out;
    bool quoted = false;
    for (int32_t i = 0; i < pattern.length(); ++i) {
        const char16_t c = pattern.charAt(i);
        if (c == u'\'') quoted = !quoted;
        if (quoted) continue;
        char field = c == u'y' ? 'y' : (c == u'M' || c == u'L') ? 'M' : c == u'd' ? 'd' : 0;
        if (field && out.find(field) == std::string::npos) out += field;
    }
    return out.size() == 3 ? out : "Mdy";
}

std::vector<Wheel> dateWheels(const std::tm& tm, bool withTime) {
    const DateTexts texts;
    std::vector<Wheel> wheels;
    if (withTime) {
        // The day with its month in one wheel, then the hour and the minute.
        Wheel day;
        day.width = 130;
        for (long d = -2; d <= 2; ++d) day.rows[static_cast<std::size_t>(d + 2)] = texts.format(daysFrom(tm, d), "MMMd");
        wheels.push_back(day);
        return wheels;
    }
    // A wheel for each of the month, the day and the year, in the language's order.
    for (const char field : fieldOrder(texts)) {
        Wheel wheel;
        for (long d = -2; d <= 2; ++d) {
            std::tm other = tm;
            if (field == 'M') {
                if (tm.tm_mon + d < 0 || tm.tm_mon + d >= 12) continue;
                other.tm_mon += static_cast<int>(d);
                other.tm_mday = 1;
            } else if (field == 'd') {
                other.tm_mday = static_cast<int>(1 + ((tm.tm_mday - 1 + d) % 31 + 31) % 31);
                other.tm_mon = 0;
            } else {
                if (tm.tm_year + d < -1899) continue;
                other.tm_year += static_cast<int>(d);
                other.tm_mon = 0;
                other.tm_mday = 1;
            }
            wheel.rows[static_cast<std::size_t>(d + 2)] = texts.format(other, field == 'M' ? "MMM" : field == 'd' ? "d" : "y");
        }
        // Centred, as the order and the words around the figures change with the language.
        wheel.width = field == 'M' ? 100 : field == 'd' ? 70 : 100;
        wheel.alignment = TextAlignment::Center;
        wheels.push_back(wheel);
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
    PickerView::drawSelectionBar(ctx, rect, kRow);
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
            const double fade = PickerView::rowOpacity(static_cast<long>(i) - 2);
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
