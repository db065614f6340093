#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Button.h"

namespace qx {

// Titles a button in a font that shrinks from `size` until the title fits the button's width,
// down to a size still easily read: some translations are much longer than the English.
void setFittingTitle(plat::Button& button, const std::string& title, double size = 17);
// The same for buttons that stand side by side: all get the one size at which every title fits,
// so that no neighbour looks smaller than the others. Null buttons are left out.
void setFittingTitles(const std::vector<std::pair<plat::Button*, std::string>>& titled, double size = 17);

}  // namespace qx
