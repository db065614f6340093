#pragma once

#include <memory>

#include "shell/VNSection.h"

namespace qx {

// The networked services: ZENET, and for English RadResponder too. Each row opens the
// service's own page; going back saves the preferences.
class VNNetworkSection : public VNSection {
public:
    void initRows() override;

    VNTableViewCellPtr zenetCell();
    VNTableViewCellPtr radResponderCell();

private:
    VNTableViewCellPtr serviceCell(const char* key, VNSectionPtr (*makeSection)());
    static void openPage(const std::string& title, VNSectionPtr section);

    VNTableViewCellPtr zenetCell_, radResponderCell_;
};

}  // namespace qx
