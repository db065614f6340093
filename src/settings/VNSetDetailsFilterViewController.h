#pragma once

#include <memory>

#include "settings/VNSetDetailsFilterSection.h"
#include "settings/VNSetFilterViewController.h"

namespace qx {

// The filter screen of one day's details: the History tab's filter without the day range,
// which it never changes. It opens with alarms only off, whatever is stored. Both screens
// write the same preferences, so what is applied here filters the History tab too.
class VNSetDetailsFilterViewController : public VNSetFilterViewController {
public:
    static std::shared_ptr<VNSetDetailsFilterViewController> make() {
        return std::make_shared<VNSetDetailsFilterViewController>();
    }

    std::shared_ptr<VNSetDetailsFilterSection> detailsFilterSection() const {
        return std::static_pointer_cast<VNSetDetailsFilterSection>(filterSection());
    }

protected:
    std::shared_ptr<VNSetFilterSection> makeFilterSection() override;
};

}  // namespace qx
