#pragma once

#include <string_view>

#include "platform/graphics/PixelImage.h"

namespace plat {

// The orientation a camera records with a photo (the EXIF values 1 to 8: 1 upright, 3 turned
// half round, 6 and 8 turned a quarter, 2, 4, 5 and 7 mirrored), read from the eXIf chunk of a
// PNG. 1 when the data has none or a malformed one.
int pngOrientation(std::string_view png);
// The same, read from the EXIF block (an APP1 segment) of a JPEG file.
int jpegOrientation(std::string_view jpeg);

// The pixels turned and mirrored so that a photo of that orientation shows upright.
PixelImage uprightPixels(const PixelImage& image, int orientation);

}  // namespace plat
