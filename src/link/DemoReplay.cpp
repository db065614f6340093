#include "link/DemoReplay.h"

#include <csv.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <variant>

#include "model/Language.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace qx {

namespace {

constexpr std::size_t kColumns = 7;  // named in the text "a row needs 7 fields"
// Rounds are played by adding whole periods to the rows' offsets. Offsets of at most 31 years, a
// millisecond or more apart, stay apart in doubles for hundreds of rounds; a row 1e100 s on would
// swallow the gaps of the rows before it, and their samples would share one time.
constexpr double kLatestOffset = 1e9;
constexpr double kLeastGap = 0.001;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A finite number filling the whole field; none for an empty or malformed field.
std::optional<double> number(std::string_view field) {
    field = trimmed(field);
    if (field.empty()) return std::nullopt;
    if (field.front() == '+') field.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::vector<std::string> fieldsOf(std::string_view line) {
    std::vector<std::string> fields;
    csv_parser parser;
    if (csv_init(&parser, 0) != 0) return fields;
    auto onField = [](void* data, std::size_t len, void* out) {
        static_cast<std::vector<std::string>*>(out)->emplace_back(static_cast<const char*>(data), len);
    };
    csv_parse(&parser, line.data(), line.size(), onField, nullptr, &fields);
    csv_fini(&parser, onField, nullptr, &fields);
    csv_free(&parser);
    return fields;
}

// The sample of one row, or the reason it is refused.
std::variant<DemoSample, std::string> rowSample(const std::vector<std::string>& f) {
    if (f.size() != kColumns) return Language::get("a row needs 7 fields");
    DemoSample s;
    const auto offset = number(f[0]);
    if (!offset || *offset < 0) return Language::get("time offset is not a number of seconds");
    if (*offset > kLatestOffset) return Language::get("time offset is more than 31 years");
    s.offset = *offset;
    const auto der = number(f[1]);
    if (!der || *der < 0) return Language::get("dose rate is not a number of at least 0");
    s.der = *der;
    if (!trimmed(f[2]).empty()) {
        s.dose = number(f[2]);
        if (!s.dose || *s.dose < 0) return Language::get("dose is not a number of at least 0");
    }
    const bool noFix = trimmed(f[3]).empty() && trimmed(f[4]).empty() && trimmed(f[5]).empty();
    if (!noFix) {
        const auto lat = number(f[3]);
        const auto lon = number(f[4]);
        const auto alt = number(f[5]);
        if (!lat || *lat < -90 || *lat > 90) return Language::get("latitude is not within -90 to 90");
        if (!lon || *lon < -180 || *lon > 180) return Language::get("longitude is not within -180 to 180");
        if (!alt) return Language::get("altitude is not a number");
        DemoFix fix;
        fix.latitude = *lat;
        fix.longitude = *lon;
        fix.altitude = *alt;
        if (!trimmed(f[6]).empty()) {
            const auto speed = number(f[6]);
            if (!speed) return Language::get("speed is not a number");
            fix.speed = *speed;
        }
        s.fix = fix;
    }
    return s;
}

}  // namespace

DemoReplay::DemoReplay(std::vector<DemoSample> rows) : rows_(std::move(rows)) {
    const double last = rows_.back().offset;
    const double gap = rows_.size() > 1 ? last - rows_[rows_.size() - 2].offset : 1.0;
    period_ = last + gap;
}

std::shared_ptr<DemoReplay> DemoReplay::load(const std::filesystem::path& file, std::vector<BadRow>* badRows,
                                             std::string* error) {
    const auto text = plat::file::read(file);
    if (!text) {
        if (error) *error = Language::get("cannot read the file") + " " + file.string();
        return nullptr;
    }
    return parse(*text, badRows, error);
}

std::shared_ptr<DemoReplay> DemoReplay::parse(std::string_view text, std::vector<BadRow>* badRows,
                                              std::string* error) {
    std::vector<DemoSample> rows;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (line.empty()) continue;
        const auto fields = fieldsOf(line);
        if (lineNumber == 1 && !fields.empty() && !number(fields[0])) continue;  // header
        auto result = rowSample(fields);
        if (auto* s = std::get_if<DemoSample>(&result); s && !rows.empty() && s->offset < rows.back().offset + kLeastGap) {
            result = Language::get("time offset does not follow the previous row's");
        }
        if (auto* reason = std::get_if<std::string>(&result)) {
            plat::Log::line("DemoReplay: line " + std::to_string(lineNumber) + ": " + *reason + "; row skipped");
            if (badRows) badRows->push_back({lineNumber, *reason});
            continue;
        }
        rows.push_back(std::get<DemoSample>(result));
    }
    if (rows.empty()) {
        if (error) *error = Language::get("no playable row");
        return nullptr;
    }
    return std::shared_ptr<DemoReplay>(new DemoReplay(std::move(rows)));
}

DemoSample DemoReplay::sample(std::size_t index) const {
    const auto round = index / rows_.size();
    DemoSample s = rows_[index % rows_.size()];
    s.offset += static_cast<double>(round) * period_;
    return s;
}

}  // namespace qx
