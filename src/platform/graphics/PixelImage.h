#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

namespace plat {

// An image with pixels: a photo, a PNG read from disk, or a rendered drawing. Pixels are 32-bit
// words, alpha in the top byte and the colour premultiplied by it, row after row.
class PixelImage {
public:
    // The most pixels a picture read from a file may have; a larger one is refused before its
    // pixels are made.
    static constexpr long long kMaxPixels = 100'000'000;

    PixelImage() = default;
    PixelImage(int width, int height);  // transparent

    static std::optional<PixelImage> loadPng(const std::filesystem::path& path,
                                             std::string* error = nullptr);
    static std::optional<PixelImage> fromPngData(std::string_view bytes,
                                                 std::string* error = nullptr);
    // A picture of any format this platform reads (PNG, JPEG), told apart by its first bytes,
    // with the orientation its EXIF block records. A damaged, cut or oversized file is refused,
    // with the reason in `error`.
    static std::optional<PixelImage> load(const std::filesystem::path& path, std::string* error = nullptr);
    static std::optional<PixelImage> fromData(std::string_view bytes, std::string* error = nullptr);
    // Whether a file's name is that of a picture this platform reads (".png", ".jpg", ".jpeg",
    // in any case).
    static bool isReadablePictureName(const std::filesystem::path& path);

    int width() const { return width_; }
    int height() const { return height_; }
    Size size() const { return {static_cast<double>(width_), static_cast<double>(height_)}; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }

    // The colour at a pixel, not premultiplied; clear outside the image.
    Color pixel(int x, int y) const;
    const std::vector<std::uint32_t>& words() const { return words_; }
    std::vector<std::uint32_t>& words() { return words_; }

    // A copy resampled to the given size (bilinear).
    PixelImage scaled(int width, int height) const;

    // The orientation the photo was taken in (EXIF 1 to 8, 1 upright), as its PNG recorded it.
    int orientation() const { return orientation_; }
    void setOrientation(int orientation) { orientation_ = orientation; }

    std::string pngData() const;
    bool writePng(const std::filesystem::path& path, std::string* error = nullptr) const;

private:
    int width_ = 0, height_ = 0;
    int orientation_ = 1;
    std::vector<std::uint32_t> words_;
};

}  // namespace plat
