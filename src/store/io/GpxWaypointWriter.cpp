#include "store/io/GpxWaypointWriter.h"

#include "store/io/FieldText.h"
#include "store/io/XmlText.h"

namespace qx {

namespace {

void element(std::string& out, const char* indent, const char* tag, std::string_view text) {
    out += indent;
    out += '<';
    out += tag;
    out += '>';
    XmlText::append(out, text);
    out += "</";
    out += tag;
    out += ">\n";
}

void extensions(std::string& out, const WaypointRecord& r) {
    constexpr const char* in = "      ";
    out += "    <extensions>\n";
    element(out, in, "qx:der", FieldText::number(r.der));
    element(out, in, "qx:variation", FieldText::number(r.variation));
    element(out, in, "qx:de", FieldText::number(r.de));
    if (!r.accumulation.empty()) element(out, in, "qx:accumulation", r.accumulation);
    if (r.deviceType != 0) element(out, in, "qx:deviceType", std::to_string(r.deviceType));
    if (!r.deviceName.empty()) element(out, in, "qx:deviceName", r.deviceName);
    if (!r.deviceSerial.empty()) element(out, in, "qx:deviceSerial", r.deviceSerial);
    out += "    </extensions>\n";
}

void waypoint(std::string& out, const WaypointRecord& r) {
    out += "  <wpt lat=\"";
    out += FieldText::number(*r.latitude);
    out += "\" lon=\"";
    // The schema's longitudes stop short of 180; -180 is the same meridian.
    out += FieldText::number(*r.longitude == 180 ? -180.0 : *r.longitude);
    out += "\">\n";
    if (r.altitude) element(out, "    ", "ele", FieldText::number(*r.altitude));
    element(out, "    ", "time", FieldText::dateTime(r.date));
    if (!r.name.empty()) element(out, "    ", "name", r.name);
    extensions(out, r);
    out += "  </wpt>\n";
}

}  // namespace

void GpxWaypointWriter::appendStart(std::string& out) {
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<gpx version=\"1.1\" creator=\"Quorix\" xmlns=\"";
    out += kGpxNamespace;
    out += "\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:qx=\"";
    out += kReadingNamespace;
    out += "\" xsi:schemaLocation=\"";
    out += kGpxNamespace;
    out += " http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
}

std::size_t GpxWaypointWriter::appendWaypoints(std::string& out, const std::vector<WaypointRecord>& records) {
    std::size_t skipped = 0;
    for (const auto& r : records) {
        if (r.hasPosition()) {
            waypoint(out, r);
        } else {
            ++skipped;
        }
    }
    return skipped;
}

void GpxWaypointWriter::appendEnd(std::string& out) { out += "</gpx>\n"; }

std::string GpxWaypointWriter::write(const std::vector<WaypointRecord>& records, std::size_t* leftOut) {
    std::string out;
    out.reserve(512 + records.size() * 320);
    appendStart(out);
    const std::size_t skipped = appendWaypoints(out, records);
    appendEnd(out);
    if (leftOut) *leftOut = skipped;
    return out;
}

}  // namespace qx
