#pragma once

#include <string>
#include <vector>

#include "CommandRegistry.h"

namespace plat {
class View;
}

namespace qx::app {

// True for the views that take typed text: text fields, text views, search bars.
bool takesText(const plat::View& view);

// Types `text` into the view as a person would: starts editing, clears what is there, types
// one character after the other (so that the screen's checks see each keystroke), then ends
// editing. Characters the screen refuses are left out and said in the outcome's text.
Outcome typeInto(plat::View& view, const std::string& text, const std::string& name);

// The characters of a UTF-8 text, one string each.
std::vector<std::string> utf8Characters(const std::string& text);

}  // namespace qx::app
