#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "shell/VNSection.h"

namespace qx {

// The check list of the history filter's instruments: "All Detectors", then every serial
// number found in the stored readings, each once, in the interface language's case-blind
// order. Several serials may be ticked; an empty choice means every instrument. "All Detectors"
// empties the choice when ticked and keeps its mark while serials are ticked after it.
class VNDetectorsSection : public VNSection {
public:
    // Rebuilds the rows from the store and the chosen serials.
    void initRows() override;
    void updateCellsTitles() override;

    const std::set<std::string>& detectors() const { return detectors_; }
    void setDetectors(std::set<std::string> serials) { detectors_ = std::move(serials); }
    std::shared_ptr<VNTableViewCell> allSerialsCell() const { return allSerialsCell_; }

    // The distinct non-empty serials of the stored readings, sorted for display.
    static std::vector<std::string> storedSerials();
    // Whether any stored reading carries a serial.
    static bool hasStoredSerials();

private:
    void choose(VNTableViewCell& cell);

    std::set<std::string> detectors_;
    std::shared_ptr<VNTableViewCell> allSerialsCell_;
};

}  // namespace qx
