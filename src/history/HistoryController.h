#pragma once

#include <functional>
#include <memory>

#include "shell/VNTableViewController.h"

namespace qx {

class Set;

// The History tab: the stored days, filtered and sorted by the history settings.
class HistoryController : public VNTableViewController {
public:
    // Makes the screen that shows one day's details. The set details screen sits in a layer that
    // registers it at launch; without a maker the rows show no disclosure and open nothing.
    using SetDetailsFactory = std::function<std::shared_ptr<VNBaseViewController>(const std::shared_ptr<Set>&)>;
    static void setSetDetailsFactory(SetDetailsFactory factory);  // empty: rows open nothing
    static const SetDetailsFactory& setDetailsFactory();
};

}  // namespace qx
