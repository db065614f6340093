#include "platform/graphics/PhotoOrientation.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace plat {

namespace {

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

// Reads big- or little-endian numbers inside a bounded buffer; out of range reads give none.
class Reader {
public:
    Reader(std::string_view bytes, bool bigEndian) : bytes_(bytes), big_(bigEndian) {}
    std::optional<std::uint32_t> read(std::size_t at, int size) const {
        if (at > bytes_.size() || bytes_.size() - at < static_cast<std::size_t>(size)) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) {
            const auto byte =
                static_cast<unsigned char>(bytes_[at + static_cast<std::size_t>(big_ ? i : size - 1 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }

private:
    std::string_view bytes_;
    bool big_;
};

int orientationInTiff(std::string_view tiff) {
    if (tiff.size() < 8) return 1;
    const bool big = tiff.substr(0, 2) == "MM";
    if (!big && tiff.substr(0, 2) != "II") return 1;
    const Reader r(tiff, big);
    const auto ifd = r.read(4, 4);
    const auto count = ifd ? r.read(*ifd, 2) : std::nullopt;
    if (!count) return 1;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::size_t entry = *ifd + 2 + 12 * static_cast<std::size_t>(i);
        const auto tag = r.read(entry, 2);
        if (!tag) return 1;
        if (*tag != kOrientationTag) continue;
        const auto type = r.read(entry + 2, 2);
        const auto value = r.read(entry + 8, 2);
        if (!type || *type != kShortType || !value || *value < 1 || *value > 8) return 1;
        return static_cast<int>(*value);
    }
    return 1;
}

}  // namespace

int pngOrientation(std::string_view png) {
    if (png.substr(0, kPngSignature.size()) != kPngSignature) return 1;
    const Reader r(png, true);
    std::size_t at = kPngSignature.size();
    while (true) {
        const auto length = r.read(at, 4);
        if (!length || png.size() - at < 12 || png.size() - at - 12 < *length) return 1;
        const std::string_view type = png.substr(at + 4, 4);
        if (type == "eXIf") return orientationInTiff(png.substr(at + 8, *length));
        if (type == "IDAT" || type == "IEND") return 1;  // the chunk comes before the pixels
        at += 12 + static_cast<std::size_t>(*length);
    }
}

int jpegOrientation(std::string_view jpeg) {
    if (jpeg.substr(0, 2) != std::string_view("\xFF\xD8", 2)) return 1;
    const Reader r(jpeg, true);
    std::size_t at = 2;
    // Segments follow the start marker, each a marker and a length that counts itself; the EXIF
    // block is an APP1 segment that starts "Exif" and two zero bytes, before the picture data.
    while (true) {
        const auto marker = r.read(at, 2);
        if (!marker || (*marker >> 8) != 0xFF) return 1;
        if (*marker == 0xFFFF) {
            ++at;  // a fill byte before a marker
            continue;
        }
        if (*marker == 0xFFD8 || (*marker >= 0xFFD0 && *marker <= 0xFFD7) || *marker == 0xFF01) {
            at += 2;  // markers without a length
            continue;
        }
        if (*marker == 0xFFDA || *marker == 0xFFD9) return 1;  // the picture data or its end
        const auto length = r.read(at + 2, 2);
        if (!length || *length < 2 || jpeg.size() - at - 2 < *length) return 1;
        const std::string_view segment = jpeg.substr(at + 4, *length - 2);
        if (*marker == 0xFFE1 && segment.substr(0, 6) == std::string_view("Exif\0\0", 6)) {
            return orientationInTiff(segment.substr(6));
        }
        at += 2 + *length;
    }
}

PixelImage uprightPixels(const PixelImage& image, int orientation) {
    if (orientation <= 1 || orientation > 8 || image.isEmpty()) return image;
    const int w = image.width(), h = image.height();
    const bool turned = orientation >= 5;  // the sides swap
    PixelImage out(turned ? h : w, turned ? w : h);
    const auto& in = image.words();
    auto& to = out.words();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int nx = x, ny = y;
            switch (orientation) {
                case 2:
                    nx = w - 1 - x;
                    break;
                case 3:
                    nx = w - 1 - x;
                    ny = h - 1 - y;
                    break;
                case 4:
                    ny = h - 1 - y;
                    break;
                case 5:
                    nx = y;
                    ny = x;
                    break;
                case 6:
                    nx = h - 1 - y;
                    ny = x;
                    break;
                case 7:
                    nx = h - 1 - y;
                    ny = w - 1 - x;
                    break;
                case 8:
                    nx = y;
                    ny = w - 1 - x;
                    break;
                default:
                    break;
            }
            to[static_cast<std::size_t>(ny) * static_cast<std::size_t>(out.width()) + static_cast<std::size_t>(nx)] =
                in[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
        }
    }
    return out;
}

}  // namespace plat
