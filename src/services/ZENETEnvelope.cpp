#include "services/ZENETEnvelope.h"

#include <charconv>
#include <cmath>

#include "store/io/FieldText.h"
#include "store/io/XmlText.h"

namespace qx {

namespace {

void element(std::string& out, const char* name, const std::optional<std::string>& value) {
    out += "        <a:";
    out += name;
    if (!value) {
        out += " i:nil=\"true\"/>\n";
        return;
    }
    out += ">" + ZENETEnvelope::escaped(*value) + "</a:" + name + ">\n";
}

std::string formatted(double value, std::chars_format format, int precision) {
    if (!std::isfinite(value)) return "0";
    char buffer[400];  // room for the fixed form of any double
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    return std::string(buffer, result.ptr);
}

}  // namespace

const char* ZENETEnvelope::operationName(unsigned action) {
    switch (action) {
        case 0: return "SubmitLogin";
        case 1: return "SubmitLogout";
        case 2: return "SubmitMeasure";
        default: return "";
    }
}

std::string ZENETEnvelope::build(unsigned action, const Fields& fields) {
    const std::string operation = operationName(action);
    if (operation.empty()) return {};
    const char* data = action == 2 ? "dto" : "measureDto";
    std::string out;
    out += std::string("<s:Envelope xmlns:s=\"") + kEnvelopeNamespace + "\">\n";
    out += "  <s:Body>\n";
    out += "    <" + operation + " xmlns=\"" + kServiceNamespace + "\">\n";
    out += std::string("      <") + data + " xmlns:a=\"" + kDataContractNamespace + "\" xmlns:i=\"" +
           kSchemaInstanceNamespace + "\">\n";
    element(out, "AlarmType", fields.alarmType);
    element(out, "DateTaken", fields.dateTaken);
    element(out, "DeviceId", fields.deviceId);
    element(out, "DevicePassword", fields.devicePassword);
    element(out, "Lattitude", fields.latitude);
    element(out, "Longitude", fields.longitude);
    element(out, "MeasureType", fields.measureType);
    if (fields.measureValue) element(out, "MeasureValue", fields.measureValue);
    out += std::string("      </") + data + ">\n";
    out += "    </" + operation + ">\n";
    out += "  </s:Body>\n";
    out += "</s:Envelope>\n";
    return out;
}

std::string ZENETEnvelope::escaped(std::string_view text) { return XmlText::escape(text); }

std::string ZENETEnvelope::decimal(double value) { return std::isfinite(value) ? FieldText::number(value) : "0"; }

std::string ZENETEnvelope::threeDecimals(double value) { return formatted(value, std::chars_format::fixed, 3); }

}  // namespace qx
