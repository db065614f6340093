#pragma once

#include "platform/graphics/Geometry.h"

namespace qx {

// The application's pictures: every image name the screens use (check boxes, threshold icons,
// tab icons, mode and map buttons, map pins, badges), drawn by code into the image catalog so
// that no screen shows an empty square.
class Artwork {
public:
    // Adds every picture to the image catalog; repeating it changes nothing.
    static void registerAll();
    // Where a badge button of that size puts its title so that the count sits inside the alarm
    // triangle's lower part, clear of its point.
    static plat::EdgeInsets alarmCountInsets(const plat::Size& badge);
};

}  // namespace qx
