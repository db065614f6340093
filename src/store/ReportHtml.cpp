#include "store/ReportHtml.h"

#include <cstdio>

#include "model/DoseUnit.h"
#include "model/Language.h"

namespace qx {

std::string ReportHtml::escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string ReportHtml::cell(std::string_view text) { return "<td>" + escape(text) + "</td>"; }
std::string ReportHtml::headerCell(std::string_view text) { return "<th>" + escape(text) + "</th>"; }

std::string ReportHtml::dose(double value, int kind) {
    DoseUnit unit(value);
    if (!(value > 0)) return unit.stringValue();
    return unit.stringValue() + " " + unit.unitString(kind);
}

std::string ReportHtml::degrees(double value, bool hasPosition) {
    if (!hasPosition) return Language::get("n/a");
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", value);
    return buf;
}

std::string ReportHtml::tableOpening(std::initializer_list<const char*> columns) {
    std::string s = "<table cellpadding=\"2\" cellspacing=\"0\" width=\"100%\" border=\"1\"><tr>";
    for (const char* c : columns) s += headerCell(Language::get(c));
    return s + "</tr>";
}

}  // namespace qx
