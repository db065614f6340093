#include "history/RowLine.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Readability.h"

namespace qx {

namespace {

// The least share of its size a label may be drawn at.
double smallestScale(const plat::Label& label) {
    if (!label.adjustsFontSizeToFitWidth()) return 1;
    const double size = label.font().size;
    const double scale = label.minimumScaleFactor() > 0 ? label.minimumScaleFactor() : 0.5;
    return std::min(1.0, std::max(scale, plat::Readability::kSmallestTextSize / size));
}

double textWidth(const plat::Label& label, double scale) {
    if (label.text().empty()) return 0;
    return std::ceil(label.font().widthOf(label.text()) * std::max(scale, smallestScale(label)) * 100) / 100;
}

// The least width a cut caption keeps: a letter and the ellipsis.
constexpr double kShortestCaption = 12;
constexpr double kScaleStep = 0.02;

}  // namespace

RowLine::RowLine(std::vector<Column> columns) {
    for (auto& column : columns) {
        Entry entry{{}, column.value, column.gap, column.figureBelow};
        for (auto& label : column.labels) {
            if (label) entry.labels.push_back({label, label->frame()});
        }
        columns_.push_back(std::move(entry));
    }
}

double RowLine::widthAt(const Entry& column, double scale) {
    double width = 0;
    for (const auto& placed : column.labels) width = std::max(width, textWidth(*placed.label, scale));
    return width;
}

double RowLine::narrowest(const Entry& column, double scale) {
    if (!column.figureBelow || column.labels.empty()) return kShortestCaption;
    return std::max(kShortestCaption, textWidth(*column.labels.back().label, scale));
}

std::vector<double> RowLine::starts(const std::vector<double>& widths, double& end, bool packed) const {
    std::vector<double> out;
    end = -1e9;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        // A right-aligned label's text begins where its width leaves it in its place.
        double place = 1e9;
        for (const auto& placed : columns_[c].labels) {
            const bool right = placed.label->textAlignment() == plat::TextAlignment::Right;
            place = std::min(place, right ? placed.place.maxX() - widths[c] : placed.place.x());
        }
        const double x = c == 0 ? place : packed ? end + columns_[c].gap : std::max(place, end + columns_[c].gap);
        out.push_back(x);
        end = x + widths[c];
    }
    return out;
}

void RowLine::fit(double right) const {
    if (columns_.empty()) return;
    std::vector<double> widths(columns_.size());
    double end = 0;
    std::vector<double> xs;
    // The places when the texts fit there; else the columns one after the other, at the
    // largest scale at which the line fits whole.
    for (std::size_t c = 0; c < columns_.size(); ++c) widths[c] = widthAt(columns_[c], 1);
    xs = starts(widths, end, false);
    const bool packed = end > right;
    double scale = 1;
    for (; packed; scale -= kScaleStep) {
        for (std::size_t c = 0; c < columns_.size(); ++c) widths[c] = widthAt(columns_[c], scale);
        xs = starts(widths, end, true);
        if (end <= right || scale <= kScaleStep) break;
    }
    // Still too long at the smallest sizes: the widest captions give up room, the figures none.
    while (end > right + 0.01) {
        std::size_t widest = columns_.size();
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            if (columns_[c].value || widths[c] <= narrowest(columns_[c], scale)) continue;
            if (widest == columns_.size() || widths[c] > widths[widest]) widest = c;
        }
        if (widest == columns_.size()) break;
        widths[widest] = std::max(narrowest(columns_[widest], scale), widths[widest] - (end - right));
        xs = starts(widths, end, packed);
    }
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        for (const auto& placed : columns_[c].labels) {
            placed.label->setFrame(plat::Rect{xs[c], placed.place.y(), widths[c] + 0.5, placed.place.height()});
        }
    }
}

}  // namespace qx
