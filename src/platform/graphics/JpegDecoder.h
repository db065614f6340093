#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/graphics/PixelImage.h"

namespace plat {

// Reads JPEG pictures (baseline and progressive, grey, colour and CMYK) into pixels, with the
// orientation their EXIF block records. A damaged or truncated file, or one larger than
// kMaxPixels, is refused with a reason rather than read in part.
class JpegDecoder {
public:
    static constexpr long long kMaxPixels = PixelImage::kMaxPixels;

    // True when the bytes start as a JPEG file does.
    static bool isJpeg(std::string_view bytes);
    static std::optional<PixelImage> decode(std::string_view bytes, std::string* error = nullptr);
};

}  // namespace plat
