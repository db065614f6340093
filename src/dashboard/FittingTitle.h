#pragma once

#include <string>

#include "platform/ui/Button.h"

namespace qx {

// Titles a button in a font that shrinks from `size` until the title fits the button's width,
// down to a size still easily read: some translations are much longer than the English.
void setFittingTitle(plat::Button& button, const std::string& title, double size = 17);

}  // namespace qx
