#include "store/io/CsvWaypointReader.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <memory>

#include "store/io/FieldText.h"
#include "store/io/FileInPieces.h"
#include "store/io/TextDecoder.h"

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

// What the person is told a field should hold (keys of the language table).
constexpr const char* kExpectDate = "a date and time such as 2024-05-01T12:00:00Z";
constexpr const char* kExpectNumber = "a number such as 0.12";
constexpr const char* kExpectBoth = "a latitude and a longitude, or neither";
constexpr const char* kExpectLatitude = "a latitude from -90 to 90";
constexpr const char* kExpectLongitude = "a longitude from -180 to 180";
constexpr const char* kExpectWidth = "as many fields as the header row";
constexpr const char* kExpectQuote = "quotation marks only around whole fields";
constexpr const char* kExpectShorterRow = "a row of less than 4 MB";

// Why a row was not taken: the column (empty for the row as a whole) and what it should hold.
struct RowProblem {
    std::string field;
    std::string expected;
};

class RowDecoder {
public:
    // False when the header lacks a date column; the diagnosis then names the columns.
    bool takeHeader(std::vector<std::string> header, WaypointReadResult& result, std::size_t line) {
        width_ = header.size();
        index_.fill(kAbsent);
        header_ = header;
        std::vector<std::string> unknown;
        for (std::size_t i = 0; i < header.size(); ++i) {
            const std::string name = lowerAscii(header[i]);
            bool known = false;
            for (std::size_t c = 0; c < kColumnCount; ++c) {
                if (name != kColumnNames[c]) continue;
                known = true;
                if (index_[c] == kAbsent) index_[c] = i;
            }
            if (!known) unknown.emplace_back(FieldText::trim(header[i]));
        }
        auto& d = result.diagnosis;
        if (!unknown.empty()) d.expectedColumns.assign(kColumnNames.begin(), kColumnNames.end());
        if (index_[kDate] != kAbsent) {
            d.unknownColumns = std::move(unknown);
            return true;
        }
        std::vector<std::string> found = header;
        const bool semicolons = header.size() == 1 && header[0].find(';') != std::string::npos;
        if (semicolons) found = semicolonParts(header[0]);
        // With the date among the columns, the separator is all there is to change.
        const bool hasDate = std::any_of(found.begin(), found.end(),
                                         [](const std::string& name) { return lowerAscii(name) == kColumnNames[kDate]; });
        d.expectedColumns.clear();
        if (!hasDate) {
            d.expectedColumns.assign(kColumnNames.begin(), kColumnNames.end());
            for (const auto& name : found) d.foundColumns.emplace_back(FieldText::trim(name));
        }
        if (semicolons) {
            result.fail("The columns are separated by semicolons; the file needs commas", line);
            return false;
        }
        result.fail("The file has no \"date\" column", line);
        return false;
    }

    std::optional<WaypointRecord> decode(const std::vector<std::string>& row, RowProblem& problem) const {
        if (row.size() != width_) {
            problem = {"", kExpectWidth};
            return std::nullopt;
        }
        WaypointRecord r;
        const auto date = FieldText::parseDateTime(field(row, kDate));
        if (!date) {
            problem = {name(kDate), kExpectDate};
            return std::nullopt;
        }
        r.date = *date;
        for (const auto& [column, out] : {std::pair{kDer, &r.der}, {kVariation, &r.variation}, {kDe, &r.de}}) {
            if (!reading(row, column, *out)) {
                problem = {name(column), kExpectNumber};
                return std::nullopt;
            }
        }
        r.accumulation = field(row, kAccumulation);
        r.name = field(row, kName);
        if (!position(row, r, problem)) return std::nullopt;
        return r;
    }

private:
    static std::vector<std::string> semicolonParts(const std::string& header) {
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= header.size()) {
            auto end = header.find(';', start);
            if (end == std::string::npos) end = header.size();
            parts.push_back(header.substr(start, end - start));
            start = end + 1;
        }
        return parts;
    }

    // The column's name as the file's header wrote it.
    std::string name(Column c) const {
        return std::string(index_[c] == kAbsent ? std::string_view(kColumnNames[c]) : FieldText::trim(header_[index_[c]]));
    }

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

    bool position(const std::vector<std::string>& row, WaypointRecord& r, RowProblem& problem) const {
        for (const auto& [column, out] :
             {std::pair{kLatitude, &r.latitude}, {kLongitude, &r.longitude}, {kAltitude, &r.altitude}}) {
            if (!optionalNumber(row, column, *out)) {
                problem = {name(column), kExpectNumber};
                return false;
            }
        }
        if (r.latitude.has_value() != r.longitude.has_value()) {
            problem = {name(r.latitude ? kLongitude : kLatitude), kExpectBoth};
            return false;
        }
        if (!r.hasPosition()) {
            r.altitude.reset();
            return true;
        }
        if (std::abs(*r.latitude) > 90) {
            problem = {name(kLatitude), kExpectLatitude};
            return false;
        }
        if (std::abs(*r.longitude) > 180) {
            problem = {name(kLongitude), kExpectLongitude};
            return false;
        }
        return true;
    }

    std::size_t width_ = 0;
    std::array<std::size_t, kColumnCount> index_{};
    std::vector<std::string> header_;
};

// A row longer than this is not a waypoint row: it is dropped unread rather than gathered, so
// that a file without line breaks cannot fill the memory.
constexpr std::size_t kMaxRowBytes = std::size_t{4} << 20;
// A field counts for more than its text, so that a row of empty fields is held to a size too.
constexpr std::size_t kFieldOverhead = 8;
// libcsv gets at most this much at once, so that a long row is noticed early.
constexpr std::size_t kSlice = 64 * 1024;

}  // namespace

// Feeds libcsv one physical line at a time, so that every row knows the line it began on; the
// lines may arrive in pieces of any size.
class CsvWaypointReader::Parse {
public:
    Parse() { open(); }
    ~Parse() { csv_free(&parser_); }
    Parse(const Parse&) = delete;
    Parse& operator=(const Parse&) = delete;

    bool feed(std::string_view bytes) {
        if (!result_.readable) return false;
        return feedText(text_.decode(bytes));
    }

    std::vector<WaypointRecord>& records() { return result_.records; }

    WaypointReadResult finish() {
        if (result_.readable) feedText(text_.finish());
        if (result_.readable && !skippingLine_ && csv_fini(&parser_, onField, onRowEnd, this) != 0) badRow(kExpectQuote);
        if (result_.readable && !headerSeen_) result_.fail("The file holds no header row", 1);
        result_.readAs = text_.detectedEncoding();
        result_.replacedCharacters = text_.replaced();
        return std::move(result_);
    }

private:
    // Feeds the text (UTF-8 whatever the file's encoding) a line at a time.
    bool feedText(std::string_view bytes) {
        while (!bytes.empty() && result_.readable) {
            const std::size_t newline = bytes.find('\n');
            const std::size_t n = std::min(newline == std::string_view::npos ? bytes.size() : newline + 1, kSlice);
            feedPiece(bytes.substr(0, n), n == newline + 1);
            bytes.remove_prefix(n);
        }
        return result_.readable;
    }

    void open() {
        csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI);
        // The parser grows its field buffer by this step: the default of 128 bytes makes a
        // field of megabytes cost tens of thousands of reallocations, each copying it whole
        // where realloc cannot grow in place.
        csv_set_blk_size(&parser_, 64 * 1024);
    }

    void restart() {
        csv_free(&parser_);
        open();
    }

    void feedPiece(std::string_view piece, bool endsLine) {
        if (atLineStart_) ++line_;
        atLineStart_ = endsLine;
        if (skippingLine_) {
            skippingLine_ = !endsLine;
            return;
        }
        if (!inRow_ && piece.find_first_not_of("\r\n") != std::string_view::npos) {
            inRow_ = true;
            rowLine_ = line_;
        }
        if (csv_parse(&parser_, piece.data(), piece.size(), onField, onRowEnd, this) != piece.size()) {
            // Broken quoting: drop what was gathered of the row and start afresh on the next line.
            badRow(kExpectQuote);
            restart();
            skippingLine_ = !endsLine;
        } else if (rowBytes_ + parser_.entry_pos > kMaxRowBytes) {
            badRow(kExpectShorterRow);
            restart();
            skippingLine_ = !endsLine;
        }
    }

    void badRow(const char* expected) {
        if (!headerSeen_) {
            result_.fail("The header row cannot be read", rowLine_);
        } else {
            result_.skipRow(rowLine_, {}, expected);
        }
        fields_.clear();
        rowBytes_ = 0;
        inRow_ = false;
    }

    static void onField(void* text, std::size_t length, void* self) {
        auto* parse = static_cast<Parse*>(self);
        parse->fields_.emplace_back(static_cast<const char*>(text), length);
        parse->rowBytes_ += length + kFieldOverhead;
    }

    static void onRowEnd(int, void* self) { static_cast<Parse*>(self)->endRow(); }

    void endRow() {
        inRow_ = false;
        rowBytes_ = 0;
        if (!result_.readable) return;
        if (!headerSeen_) {
            headerSeen_ = true;
            decoder_.takeHeader(std::move(fields_), result_, rowLine_);
        } else if (RowProblem problem; auto record = decoder_.decode(fields_, problem)) {
            result_.records.push_back(std::move(*record));
        } else {
            result_.skipRow(rowLine_, std::move(problem.field), std::move(problem.expected));
        }
        fields_.clear();
    }

    csv_parser parser_{};
    TextDecoder text_;
    WaypointReadResult result_;
    RowDecoder decoder_;
    std::vector<std::string> fields_;
    std::size_t rowBytes_ = 0;  // what the fields of the current row hold so far
    std::size_t line_ = 0;
    std::size_t rowLine_ = 1;
    bool inRow_ = false;
    bool headerSeen_ = false;
    bool atLineStart_ = true;
    bool skippingLine_ = false;  // the rest of a line whose row was dropped
};

CsvWaypointReader::CsvWaypointReader() : parse_(std::make_unique<Parse>()) {}
CsvWaypointReader::~CsvWaypointReader() = default;

bool CsvWaypointReader::feed(std::string_view bytes) { return parse_->feed(bytes); }
WaypointReadResult CsvWaypointReader::finish() { return parse_->finish(); }
std::vector<WaypointRecord>& CsvWaypointReader::records() { return parse_->records(); }

WaypointReadResult CsvWaypointReader::read(std::string_view bytes) {
    CsvWaypointReader reader;
    reader.feed(bytes);
    return reader.finish();
}

WaypointReadResult CsvWaypointReader::readFile(const std::filesystem::path& path, const WaypointRecordSink& sink) {
    return readFileInPieces<CsvWaypointReader>(path, sink);
}

}  // namespace qx
