#include "store/io/CsvWaypointWriter.h"

#include "store/io/FieldText.h"

namespace qx {

namespace {

void appendOptional(std::string& out, const std::optional<double>& value) {
    if (value) out += FieldText::number(*value);
}

void appendRow(std::string& out, const WaypointRecord& r) {
    out += FieldText::dateTime(r.date);
    out += ',';
    out += FieldText::number(r.der);
    out += ',';
    out += FieldText::number(r.variation);
    out += ',';
    out += FieldText::number(r.de);
    out += ',';
    CsvWaypointWriter::appendField(out, r.accumulation);
    out += ',';
    if (r.hasPosition()) {
        appendOptional(out, r.latitude);
        out += ',';
        appendOptional(out, r.longitude);
        out += ',';
        appendOptional(out, r.altitude);
    } else {
        out += ",,";
    }
    out += ',';
    CsvWaypointWriter::appendField(out, r.name);
    out += "\r\n";
}

}  // namespace

const std::vector<std::string>& CsvWaypointWriter::columns() {
    static const std::vector<std::string> names = {"date",     "der",       "variation", "de",  "accumulation",
                                                   "latitude", "longitude", "altitude",  "name"};
    return names;
}

void CsvWaypointWriter::appendField(std::string& out, std::string_view text) {
    // Blanks at either end are quoted too: readers trim them from plain fields.
    const bool edgeBlank = !text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                                             text.back() == ' ' || text.back() == '\t');
    if (!edgeBlank && text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void CsvWaypointWriter::appendHeader(std::string& out) {
    const auto& names = columns();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ',';
        out += names[i];
    }
    out += "\r\n";
}

void CsvWaypointWriter::appendRows(std::string& out, const std::vector<WaypointRecord>& records) {
    for (const auto& r : records) appendRow(out, r);
}

std::string CsvWaypointWriter::write(const std::vector<WaypointRecord>& records) {
    std::string out;
    out.reserve(64 + records.size() * 96);
    appendHeader(out);
    appendRows(out, records);
    return out;
}

}  // namespace qx
