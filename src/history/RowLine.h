#pragma once

#include <memory>
#include <vector>

#include "platform/ui/Label.h"

namespace qx {

// One line of figures in a history row: columns side by side, each a caption and its value
// beside or above each other. The row gives every label its frame; a line keeps those places
// while the texts fit and otherwise moves a column right of the one before it with a gap,
// shrinks the whole line alike (never below the labels' smallest size) and at last cuts the
// captions, so that a value and the next caption never touch and a number keeps its unit.
class RowLine {
public:
    struct Column {
        std::vector<std::shared_ptr<plat::Label>> labels;
        bool value = false;  // a figure: kept whole
        double gap = 6;      // the least room before it
        // The last label is a figure under the caption(s): the captions may be cut, the column
        // never gets narrower than its figure.
        bool figureBelow = false;
    };

    // Takes the labels' current frames as their places.
    explicit RowLine(std::vector<Column> columns);

    // Places the labels for their current texts between the first place and `right`.
    void fit(double right) const;

private:
    struct Placed {
        std::shared_ptr<plat::Label> label;
        plat::Rect place;
    };
    struct Entry {
        std::vector<Placed> labels;
        bool value = false;
        double gap = 0;
        bool figureBelow = false;
    };
    std::vector<Entry> columns_;

    // The width a column needs with its labels at `scale` of their sizes (each no smaller than
    // it may shrink to).
    static double widthAt(const Entry& column, double scale);
    // The least width the column may be cut to at `scale`.
    static double narrowest(const Entry& column, double scale);
    // Where each column of these widths starts: at its place or, `packed`, right after the
    // one before it; the line's end in `end`.
    std::vector<double> starts(const std::vector<double>& widths, double& end, bool packed) const;
};

}  // namespace qx
