#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>

#include "CommandGroups.h"
#include "CommandSupport.h"
#include "Driver.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/PickerView.h"

namespace qx::app {

namespace {

bool isWheelPicker(const Element& e) {
    return e.role == Element::Role::View && dynamic_cast<const plat::PickerView*>(e.view) != nullptr;
}

const plat::DatePicker* datePickerOf(const Element& e) {
    return e.role == Element::Role::View ? dynamic_cast<const plat::DatePicker*>(e.view) : nullptr;
}

bool isDatePicker(const Element& e) {
    const auto* picker = datePickerOf(e);
    return picker && picker->mode() != plat::DatePickerMode::CountDownTimer;
}

bool isDurationPicker(const Element& e) {
    const auto* picker = datePickerOf(e);
    return picker && picker->mode() == plat::DatePickerMode::CountDownTimer;
}

bool isHandle(const Element& e) { return e.role == Element::Role::Handle; }

// The one control of a kind that the path names: the control itself, the only one inside what
// the path names (a screen, a row), or the one beside it. Without a path, the only one on screen.
Found findControl(const ScreenLookup& lookup, const std::vector<Word>& path, const ElementFinder::Predicate& want,
                  const std::string& what) {
    const ScreenElements& all = lookup.elements();
    const auto inside = [&](std::size_t scope) {
        std::vector<std::size_t> hits;
        for (std::size_t j = 0; j < all.size(); ++j) {
            const Element& e = all.at(j);
            const bool within = scope == Element::npos || j == scope || all.isInside(j, scope);
            if (within && e.shown && !e.covered && want(e)) hits.push_back(j);
        }
        return hits;
    };
    if (path.empty()) {
        const auto hits = inside(Element::npos);
        if (hits.size() == 1) return {hits.front(), {}};
        if (hits.empty()) return {Element::npos, "no " + what + " on screen"};
        return {Element::npos, "more than one " + what + " on screen; name it by a text on or beside it"};
    }
    Found found = lookup.find(path, want);
    if (!found) return found;
    const auto hits = inside(found.index);
    if (hits.size() == 1) return {hits.front(), {}};
    if (hits.size() > 1) return {Element::npos, "more than one " + what + " in " + all.nameOf(found.index)};
    return lookup.nearest(found.index, want, what);
}

std::vector<Word> leading(const std::vector<Word>& args, std::size_t dropped) {
    return {args.begin(), args.end() - static_cast<std::ptrdiff_t>(dropped)};
}

// The word as the person wrote it, "#N" included.
std::string wholeText(const Word& word) {
    return word.index > 0 ? word.text + "#" + std::to_string(word.index) : word.text;
}

template <class Number>
std::optional<Number> parsed(const std::string& text) {
    Number value{};
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || text.empty()) return std::nullopt;
    return value;
}

std::optional<long> count(const Word& word) {
    if (word.separator || word.index != 0) return std::nullopt;
    auto n = parsed<long>(word.text);
    if (!n || *n < 0) return std::nullopt;
    return n;
}

// A wheel's rows, listed for messages (the first few only for long wheels).
std::string rowList(plat::PickerView& picker, long wheel) {
    constexpr long kListed = 12;
    const long rows = picker.numberOfRows(wheel);
    std::string list;
    for (long r = 0; r < rows && r < kListed; ++r) list += (r ? ", \"" : "\"") + picker.titleForRow(r, wheel) + "\"";
    if (rows > kListed) list += " ... (" + std::to_string(rows) + " rows)";
    return list;
}

// A row by the text it shows, else by its number; a text wins, since it is what the person sees.
std::optional<long> rowOf(plat::PickerView& picker, long wheel, const Word& word) {
    const std::string text = wholeText(word);
    for (long r = 0; r < picker.numberOfRows(wheel); ++r) {
        if (picker.titleForRow(r, wheel) == text) return r;
    }
    // A quoted number is a text the person saw, not a place.
    auto n = word.quoted ? std::nullopt : count(word);
    if (n && *n < picker.numberOfRows(wheel)) return n;
    return std::nullopt;
}

Outcome spin(Driver& driver, const std::vector<Word>& args) {
    const std::string usage = "usage: spin [PICKER] WHEEL ROW";
    if (args.size() < 2 || args.back().separator || args[args.size() - 2].separator) return Outcome::failure(usage);
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    Found found = findControl(lookup, leading(args, 2), isWheelPicker, "picker");
    if (!found) return Outcome::failure(found.error);
    auto& picker = *static_cast<plat::PickerView*>(lookup.elements().at(found.index).view);
    const long wheels = picker.numberOfComponents();
    const auto wheel = count(args[args.size() - 2]);
    if (!wheel || *wheel >= wheels) {
        return Outcome::failure("no wheel " + wholeText(args[args.size() - 2]) + "; the picker's wheels are 0 to " +
                                std::to_string(wheels - 1));
    }
    const auto row = rowOf(picker, *wheel, args.back());
    if (!row) {
        return Outcome::failure("wheel " + std::to_string(*wheel) + " has no row \"" + wholeText(args.back()) +
                                "\"; its rows are " + rowList(picker, *wheel));
    }
    if (!picker.spin(*row, *wheel)) return Outcome::failure("the picker cannot be turned");
    return Outcome::success();
}

// "HH:MM" (up to 23:59) as minutes.
std::optional<int> clockTime(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || text.size() - colon != 3) return std::nullopt;
    auto hours = parsed<int>(text.substr(0, colon));
    auto minutes = parsed<int>(text.substr(colon + 1));
    if (!hours || !minutes || *hours < 0 || *hours > 23 || *minutes < 0 || *minutes > 59) return std::nullopt;
    return *hours * 60 + *minutes;
}

struct Day {
    int year = 0, month = 0, day = 0;
};

std::tm localParts(plat::Date date) {
    std::time_t t = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

// "YYYY-MM-DD", or "today" with an optional offset in days ("today-3", "today+1"), so that a
// script can pick days near the clock's date whenever it runs.
std::optional<Day> dayOf(const std::string& text) {
    if (text.rfind("today", 0) == 0) {
        int offset = 0;
        if (text.size() > 5) {
            const char sign = text[5];
            auto n = parsed<int>(text.substr(6));
            if ((sign != '+' && sign != '-') || !n || *n < 0 || *n > 100000) return std::nullopt;
            offset = sign == '-' ? -*n : *n;
        }
        std::tm tm = localParts(plat::Date::now());
        tm.tm_mday += offset;
        tm.tm_hour = 12;  // away from the hours a clock change skips
        tm.tm_isdst = -1;
        std::mktime(&tm);
        return Day{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    }
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    auto y = parsed<int>(text.substr(0, 4));
    auto m = parsed<int>(text.substr(5, 2));
    auto d = parsed<int>(text.substr(8, 2));
    if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31) return std::nullopt;
    return Day{*y, *m, *d};
}

// The local date of that day at that time; the picker's own time of day when none is given.
std::optional<plat::Date> localDate(const Day& day, std::optional<int> minutes, plat::Date current) {
    std::tm tm = localParts(current);
    tm.tm_year = day.year - 1900;
    tm.tm_mon = day.month - 1;
    tm.tm_mday = day.day;
    if (minutes) {
        tm.tm_hour = *minutes / 60;
        tm.tm_min = *minutes % 60;
        tm.tm_sec = 0;
    }
    tm.tm_isdst = -1;
    const std::tm asked = tm;
    const std::time_t t = std::mktime(&tm);
    // mktime moves the 31st of a short month into the next one: such a day does not exist.
    if (t == static_cast<std::time_t>(-1) || tm.tm_mday != asked.tm_mday || tm.tm_mon != asked.tm_mon) {
        return std::nullopt;
    }
    return plat::Date(static_cast<double>(t));
}

struct DateWords {
    std::optional<Day> day;
    std::optional<int> minutes;
    std::size_t used = 0;  // words at the end taken by the date and time
};

// The date and time at the end of the words: "DATE", "DATE HH:MM", "\"DATE HH:MM\"" or "HH:MM".
std::optional<DateWords> dateWords(const std::vector<Word>& args) {
    if (args.empty() || args.back().separator || args.back().index != 0) return std::nullopt;
    const std::string& last = args.back().text;
    const auto blank = last.find(' ');
    if (blank != std::string::npos) {
        auto day = dayOf(last.substr(0, blank));
        auto minutes = clockTime(last.substr(blank + 1));
        if (!day || !minutes) return std::nullopt;
        return DateWords{day, minutes, 1};
    }
    if (auto minutes = clockTime(last)) {
        if (args.size() >= 2 && !args[args.size() - 2].separator) {
            if (auto day = dayOf(args[args.size() - 2].text)) return DateWords{day, minutes, 2};
        }
        return DateWords{std::nullopt, minutes, 1};
    }
    if (auto day = dayOf(last)) return DateWords{day, std::nullopt, 1};
    return std::nullopt;
}

Outcome pickDate(Driver& driver, const std::vector<Word>& args) {
    const auto words = dateWords(args);
    if (!words) return Outcome::failure("usage: pick-date [PICKER] YYYY-MM-DD|today[-N|+N] [HH:MM]");
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    Found found = findControl(lookup, leading(args, words->used), isDatePicker, "date picker");
    if (!found) return Outcome::failure(found.error);
    auto& picker = *static_cast<plat::DatePicker*>(lookup.elements().at(found.index).view);
    const std::tm now = localParts(picker.date());
    const Day day = words->day.value_or(Day{now.tm_year + 1900, now.tm_mon + 1, now.tm_mday});
    const auto date = localDate(day, words->minutes, picker.date());
    if (!date) return Outcome::failure("no such day: " + wholeText(args[args.size() - words->used]));
    // A wheel turned past the last date springs back; a script is told instead of left guessing.
    if (picker.maximumDate() && *date > *picker.maximumDate()) {
        return Outcome::failure("the picker offers no date after " + plat::localDateTimeText(*picker.maximumDate()));
    }
    if (picker.minimumDate() && *date < *picker.minimumDate()) {
        return Outcome::failure("the picker offers no date before " + plat::localDateTimeText(*picker.minimumDate()));
    }
    if (!picker.pickDate(*date)) return Outcome::failure("the date picker cannot be turned");
    return Outcome::success();
}

Outcome pickDuration(Driver& driver, const std::vector<Word>& args) {
    const std::string usage = "usage: pick-duration [PICKER] H:MM (up to 23:59)";
    if (args.empty() || args.back().separator || args.back().index != 0) return Outcome::failure(usage);
    const auto minutes = clockTime(args.back().text);
    if (!minutes) return Outcome::failure(usage);
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    Found found = findControl(lookup, leading(args, 1), isDurationPicker, "duration picker");
    if (!found) return Outcome::failure(found.error);
    auto& picker = *static_cast<plat::DatePicker*>(lookup.elements().at(found.index).view);
    if (!picker.pickCountDownDuration(*minutes * 60.0)) return Outcome::failure("the duration picker cannot be turned");
    return Outcome::success();
}

std::string number(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

Outcome drag(Driver& driver, const std::vector<Word>& args) {
    const std::string usage = "usage: drag [HANDLE] VALUE";
    if (args.empty() || args.back().separator || args.back().index != 0) return Outcome::failure(usage);
    const auto value = parsed<double>(args.back().text);
    if (!value || !std::isfinite(*value)) return Outcome::failure("not a number: " + args.back().text);
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    Found found = findControl(lookup, leading(args, 1), isHandle, "handle");
    if (!found) return Outcome::failure(found.error);
    const ScreenElements& all = lookup.elements();
    const Element& e = all.at(found.index);
    const std::string name = all.nameOf(found.index);
    if (!e.enabled) return Outcome::failure(name + " is disabled");
    const auto handles = e.view->dragHandles();
    if (e.item >= handles.size()) return Outcome::failure(name + " is gone");
    const auto& handle = handles[e.item];
    // The track ends where it is drawn; a value past them cannot be reached by dragging.
    const double slack = 1e-9 * std::max(std::fabs(handle.lowest), std::fabs(handle.highest));
    if (*value < handle.lowest - slack || *value > handle.highest + slack) {
        return Outcome::failure(name + " goes from " + number(handle.lowest) + " to " + number(handle.highest));
    }
    if (!e.view->dragHandleTo(e.item, *value)) return Outcome::failure(name + " cannot be dragged");
    // Where the handle stopped: a scale rounds it, and one handle never passes another.
    const auto after = e.view->dragHandles();
    if (e.item < after.size()) return Outcome::success(name + " at " + number(after[e.item].value) + "\n");
    return Outcome::success();
}

}  // namespace

void registerControlCommands(CommandRegistry& registry) {
    registry.add({"spin", "[PICKER] WHEEL ROW",
                  "turn a picker wheel (numbered from 0, as show prints) to a row by its text or number", spin});
    registry.add({"pick-date", "[PICKER] DATE [HH:MM]",
                  "turn a date picker to a day (YYYY-MM-DD, today, today-N) and a time", pickDate});
    registry.add({"pick-duration", "[PICKER] H:MM", "turn a duration picker to hours and minutes", pickDuration});
    registry.add({"drag", "[HANDLE] VALUE", "drag a slider's thumb or a scale's handle, by its name, to a value",
                  drag});
}

}  // namespace qx::app
