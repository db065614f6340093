#pragma once

#include <memory>
#include <string>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"

namespace qx {

// Registers the interface files of the history screens' panels. Safe to call more than once;
// every loader of those files calls it.
void registerHistoryInterfaces();

// The grey of the details panels.
constexpr plat::Color kPanelGrey = plat::Color::fromBytes(234, 234, 234);

// A label of a panel's interface file: clear, black, the given size, added to `parent`.
std::shared_ptr<plat::Label> addPanelLabel(plat::View& parent, const plat::Rect& frame, double fontSize, bool bold);
// A panel's figure in its colour: the light alarm colours are outlined to read on the panel's grey.
void colorPanelFigure(plat::Label& label, const plat::Color& color);

// Sets the titles of a page switch's buttons in a smaller size that may shrink further: the
// longer languages' words are wider than a third of the switch.
void fitSwitchTitles(plat::View& control);

// A button's title in a smaller size that may shrink further, for titles that grow long in
// some languages.
void fitButtonTitle(plat::Button& button, double size);
// Titles a button laid over a screen's bar and narrows it to the title, its right edge kept
// (at most `widest`): the bar's title then has the room the button leaves.
void titleBarButton(plat::Button& button, const std::string& title, double widest);

// A stored figure as a whole number, truncated toward zero; 0 for one that is not finite, and
// clamped to the range of long (an imported file may hold anything).
long wholeNumber(double value);

// Whole metres as whole yards, the way the panels convert altitudes: in single precision,
// truncated toward zero.
long yardsFromMetres(long metres);

// A variation as people read it: rounded to one decimal, without the decimal when it is 0, and a
// percent sign ("2.6%", "12%"). The stored number carries every digit of the instrument's
// computation, which nobody can read on a row.
std::string variationText(double percent);

}  // namespace qx
