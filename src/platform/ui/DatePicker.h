#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/ui/Control.h"

namespace plat {

enum class DatePickerMode { Time = 0, Date = 1, DateAndTime = 2, CountDownTimer = 3 };

// Wheels for a date (and time), or for a count-down duration. The date stays within the
// minimum and maximum dates; a change by the person sends value-changed, one from code does not.
class DatePicker : public Control {
public:
    // One wheel as drawn: the texts of the rows from two above to two below the chosen one
    // (empty where the wheel ends), and a fixed word beside the chosen row.
    struct Wheel {
        double width = 0;
        std::array<std::string, 5> rows;
        TextAlignment alignment = TextAlignment::Right;
        std::string unit;
    };

    explicit DatePicker(const Rect& frame = {0, 0, 320, 216}) : Control(frame) {}

    DatePickerMode mode() const { return mode_; }
    void setMode(DatePickerMode m) { mode_ = m; }
    plat::Date date() const { return date_; }
    void setDate(plat::Date d, bool animated = false);
    const std::optional<plat::Date>& minimumDate() const { return min_; }
    void setMinimumDate(std::optional<plat::Date> d);
    const std::optional<plat::Date>& maximumDate() const { return max_; }
    void setMaximumDate(std::optional<plat::Date> d);
    // Seconds; whole minutes from 0 to 23:59.
    TimeInterval countDownDuration() const { return duration_; }
    void setCountDownDuration(TimeInterval seconds);
    int minuteInterval() const { return minuteInterval_; }
    void setMinuteInterval(int m) { minuteInterval_ = m > 0 ? m : 1; }
    bool lastChangeAnimated() const { return lastAnimated_; }

    // The person turns the wheels to a date or a duration.
    bool pickDate(plat::Date d);
    bool pickCountDownDuration(TimeInterval seconds);

    // Wheels with the chosen value on the selection bar and the rows next to it above and below.
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "DatePicker"; }
    std::string describeLine() const override;

private:
    // The wheels of the mode with the texts they show now.
    std::vector<Wheel> wheelsShown() const;
    plat::Date clamp(plat::Date d) const;

    DatePickerMode mode_ = DatePickerMode::DateAndTime;
    plat::Date date_ = plat::Date::now();
    std::optional<plat::Date> min_, max_;
    TimeInterval duration_ = 0;
    int minuteInterval_ = 1;
    bool lastAnimated_ = false;
};

// "2024-03-01 14:05" in local time (the driver's and the description's form).
std::string localDateTimeText(plat::Date d);

}  // namespace plat
