#include "store/io/CsvWaypointReader.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <memory>

#include "platform/foundation/FileUtil.h"
#include "store/io/FieldText.h"

namespace qx {

namespace {

enum Column { kDate, kDer, kVariation, kDe, kAccumulation, kLatitude, kLongitude, kAltitude, kName, kColumnCount };

constexpr std::array<const char*, kColumnCount> kColumnNames = {
    "date", "der", "variation", "de", "accumulation", "latitude", "longitude", "altitude", "name"};

constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

std::string lowerAscii(std::string_view text) {
    std::string out(FieldText::trim(text));
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

class RowDecoder {
public:
    // False when the header lacks a date column.
    bool takeHeader(std::vector<std::string> header) {
        width_ = header.size();
        index_.fill(kAbsent);
        for (std::size_t i = 0; i < header.size(); ++i) {
            const std::string name = lowerAscii(header[i]);
            for (std::size_t c = 0; c < kColumnCount; ++c) {
                if (name == kColumnNames[c] && index_[c] == kAbsent) index_[c] = i;
            }
        }
        return index_[kDate] != kAbsent;
    }

    std::optional<WaypointRecord> decode(const std::vector<std::string>& row) const {
        if (row.size() != width_) return std::nullopt;
        WaypointRecord r;
        const auto date = FieldText::parseDateTime(field(row, kDate));
        if (!date) return std::nullopt;
        r.date = *date;
        if (!reading(row, kDer, r.der) || !reading(row, kVariation, r.variation) || !reading(row, kDe, r.de)) {
            return std::nullopt;
        }
        r.accumulation = field(row, kAccumulation);
        r.name = field(row, kName);
        if (!position(row, r)) return std::nullopt;
        return r;
    }

private:
    std::string_view field(const std::vector<std::string>& row, Column c) const {
        return index_[c] == kAbsent ? std::string_view() : std::string_view(row[index_[c]]);
    }

    bool optionalNumber(const std::vector<std::string>& row, Column c, std::optional<double>& out) const {
        const std::string_view text = FieldText::trim(field(row, c));
        if (text.empty()) return true;
        out = FieldText::parseNumber(text);
        return out.has_value();
    }

    bool reading(const std::vector<std::string>& row, Column c, double& out) const {
        std::optional<double> value;
        if (!optionalNumber(row, c, value)) return false;
        out = value.value_or(0);
        return true;
    }

    bool position(const std::vector<std::string>& row, WaypointRecord& r) const {
        if (!optionalNumber(row, kLatitude, r.latitude) || !optionalNumber(row, kLongitude, r.longitude) ||
            !optionalNumber(row, kAltitude, r.altitude)) {
            return false;
        }
        if (r.latitude.has_value() != r.longitude.has_value()) return false;
        if (!r.hasPosition()) {
            r.altitude.reset();
            return true;
        }
        return std::abs(*r.latitude) <= 90 && std::abs(*r.longitude) <= 180;
    }

    std::size_t width_ = 0;
    std::array<std::size_t, kColumnCount> index_{};
};

// Feeds libcsv one physical line at a time, so that every row knows the line it began on.
class CsvParse {
public:
    CsvParse() { open(); }
    ~CsvParse() { csv_free(&parser_); }
    CsvParse(const CsvParse&) = delete;
    CsvParse& operator=(const CsvParse&) = delete;

    WaypointReadResult run(std::string_view bytes) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        std::size_t start = 0;
        while (start < bytes.size() && result_.readable) {
            std::size_t end = bytes.find('\n', start);
            end = end == std::string_view::npos ? bytes.size() : end + 1;
            feedLine(bytes.substr(start, end - start));
            start = end;
        }
        if (result_.readable && csv_fini(&parser_, onField, onRowEnd, this) != 0) badRow();
        if (result_.readable && !headerSeen_) result_.fail("The file holds no header row", 1);
        return std::move(result_);
    }

private:
    void open() { csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI); }

    void feedLine(std::string_view line) {
        ++line_;
        if (!inRow_ && line.find_first_not_of("\r\n") != std::string_view::npos) {
            inRow_ = true;
            rowLine_ = line_;
        }
        if (csv_parse(&parser_, line.data(), line.size(), onField, onRowEnd, this) != line.size()) {
            // Broken quoting: drop what was gathered of the row and start afresh on the next line.
            badRow();
            csv_free(&parser_);
            open();
        }
    }

    void badRow() {
        if (!headerSeen_) {
            result_.fail("The header row cannot be read", rowLine_);
        } else {
            result_.skipRow(rowLine_);
        }
        fields_.clear();
        inRow_ = false;
    }

    static void onField(void* text, std::size_t length, void* self) {
        static_cast<CsvParse*>(self)->fields_.emplace_back(static_cast<const char*>(text), length);
    }

    static void onRowEnd(int, void* self) { static_cast<CsvParse*>(self)->endRow(); }

    void endRow() {
        inRow_ = false;
        if (!result_.readable) return;
        if (!headerSeen_) {
            headerSeen_ = true;
            if (!decoder_.takeHeader(std::move(fields_))) result_.fail("The file has no \"date\" column", rowLine_);
        } else if (auto record = decoder_.decode(fields_)) {
            result_.records.push_back(std::move(*record));
        } else {
            result_.skipRow(rowLine_);
        }
        fields_.clear();
    }

    csv_parser parser_{};
    WaypointReadResult result_;
    RowDecoder decoder_;
    std::vector<std::string> fields_;
    std::size_t line_ = 0;
    std::size_t rowLine_ = 1;
    bool inRow_ = false;
    bool headerSeen_ = false;
};

}  // namespace

WaypointReadResult CsvWaypointReader::read(std::string_view bytes) {
    auto parse = std::make_unique<CsvParse>();
    return parse->run(bytes);
}

WaypointReadResult CsvWaypointReader::readFile(const std::filesystem::path& path) {
    const auto bytes = plat::file::read(path);
    if (!bytes) {
        WaypointReadResult result;
        result.fail("The file cannot be opened", 0);
        return result;
    }
    return read(*bytes);
}

}  // namespace qx
