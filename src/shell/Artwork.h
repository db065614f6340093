#pragma once

namespace qx {

// The application's pictures: every image name the screens use (check boxes, threshold icons,
// tab icons, mode and map buttons, map pins, badges), drawn by code into the image catalog so
// that no screen shows an empty square.
class Artwork {
public:
    // Adds every picture to the image catalog; repeating it changes nothing.
    static void registerAll();
};

}  // namespace qx
