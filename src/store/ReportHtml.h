#pragma once

#include <string>
#include <string_view>

namespace qx {

// Pieces of the HTML report tables shared by the entities.
class ReportHtml {
public:
    // The text with &, <, >, " and ' replaced by entities; bytes of other scripts pass unchanged.
    static std::string escape(std::string_view text);
    // "<td>text</td>" with the text escaped.
    static std::string cell(std::string_view text);
    static std::string headerCell(std::string_view text);
    // A dose rate (kind 0) or dose (kind 1) with its unit, or the text for "n/a".
    static std::string dose(double value, int kind);
    // "51.500000" for a coordinate; the text for "n/a" for the -1 mark of no fix.
    static std::string degrees(double value, bool hasPosition);
    // A table opening with one header cell per column name (each looked up in the language).
    static std::string tableOpening(std::initializer_list<const char*> columns);
    static constexpr const char* kTableClosing = "</table>";
};

}  // namespace qx
