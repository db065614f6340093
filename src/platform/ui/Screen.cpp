#include "platform/ui/Screen.h"

namespace plat {

namespace {
Rect gBounds{0, 0, 320, 568};
double gScale = 2;
}  // namespace

Rect Screen::bounds() { return gBounds; }
void Screen::setBounds(const Rect& bounds) { gBounds = bounds; }
double Screen::scale() { return gScale; }
void Screen::setScale(double scale) { gScale = scale > 0 ? scale : 1; }

}  // namespace plat
