#include "platform/graphics/PixelImage.h"

#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/CairoSupport.h"
#include "platform/graphics/JpegDecoder.h"
#include "platform/graphics/PhotoOrientation.h"

namespace plat {

PixelImage::PixelImage(int width, int height)
    : width_(std::max(0, width)), height_(std::max(0, height)),
      words_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0u) {}

namespace {

struct ReadState {
    std::string_view bytes;
    std::size_t pos = 0;
};

cairo_status_t readChunk(void* closure, unsigned char* data, unsigned int length) {
    auto* st = static_cast<ReadState*>(closure);
    if (st->bytes.size() - st->pos < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, st->bytes.data() + st->pos, length);
    st->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t writeChunk(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::optional<PixelImage> fromSurface(cairo_surface_t* surface, std::string* error) {
    cairo::SurfaceRef ref(surface);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        if (error) *error = cairo_status_to_string(cairo_surface_status(surface));
        return std::nullopt;
    }
    return cairo::copyOut(surface);
}

std::optional<std::string> readPicture(const std::filesystem::path& path, std::string* error) {
    auto bytes = file::read(path);
    if (!bytes && error) *error = "cannot read " + path.string();
    return bytes;
}

// Why libpng refuses a PNG file, or empty when it reads it whole. Cairo reports every refusal
// of its PNG reader as running out of memory; this names the fault in the file. A picture too
// large to be made is refused on its header alone.
std::string pngFault(std::string_view bytes, bool decode) {
    if (bytes.empty()) return "the file is empty";
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) {
        return "Not a PNG file";
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return image.message;
    const long long pixels = static_cast<long long>(image.width) * static_cast<long long>(image.height);
    if (pixels > PixelImage::kMaxPixels || !decode) {
        png_image_free(&image);
        if (pixels <= PixelImage::kMaxPixels) return {};
        return "the picture is too large (" + std::to_string(image.width) + "x" + std::to_string(image.height) + ")";
    }
    image.format = PNG_FORMAT_GRAY;  // the smallest buffer: only the reading matters
    std::vector<png_byte> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) return image.message;
    return {};
}

}  // namespace

std::optional<PixelImage> PixelImage::loadPng(const std::filesystem::path& path, std::string* error) {
    auto bytes = readPicture(path, error);
    return bytes ? fromPngData(*bytes, error) : std::nullopt;
}

std::optional<PixelImage> PixelImage::fromPngData(std::string_view bytes, std::string* error) {
    if (auto fault = pngFault(bytes, false); !fault.empty()) {
        if (error) *error = fault;
        return std::nullopt;
    }
    ReadState st{bytes, 0};
    std::string cairoError;
    auto image = fromSurface(cairo_image_surface_create_from_png_stream(readChunk, &st), &cairoError);
    if (!image) {
        const std::string fault = pngFault(bytes, true);
        if (error) *error = fault.empty() ? cairoError : fault;
        return std::nullopt;
    }
    image->setOrientation(pngOrientation(bytes));
    return image;
}

std::optional<PixelImage> PixelImage::load(const std::filesystem::path& path, std::string* error) {
    auto bytes = readPicture(path, error);
    return bytes ? fromData(*bytes, error) : std::nullopt;
}

std::optional<PixelImage> PixelImage::fromData(std::string_view bytes, std::string* error) {
    if (JpegDecoder::isJpeg(bytes)) return JpegDecoder::decode(bytes, error);
    return fromPngData(bytes, error);
}

bool PixelImage::isReadablePictureName(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png" || ext == ".jpg" || ext == ".jpeg";
}

Color PixelImage::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return Color::clear();
    std::uint32_t w = words_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
    double a = ((w >> 24) & 0xFF) / 255.0;
    if (a == 0) return Color::clear();
    auto chan = [&](int shift) { return ((w >> shift) & 0xFF) / 255.0 / a; };
    return {chan(16), chan(8), chan(0), a};
}

PixelImage PixelImage::scaled(int width, int height) const {
    PixelImage out(width, height);
    if (out.isEmpty() || isEmpty()) return out;
    cairo::SurfaceRef src(cairo::copyIn(*this));
    cairo::SurfaceRef dst(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_t* cr = cairo_create(dst.get());
    cairo_scale(cr, static_cast<double>(width) / width_, static_cast<double>(height) / height_);
    cairo_set_source_surface(cr, src.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_destroy(cr);
    return cairo::copyOut(dst.get());
}

std::string PixelImage::pngData() const {
    std::string out;
    if (isEmpty()) return out;
    cairo::SurfaceRef surface(cairo::copyIn(*this));
    if (cairo_surface_write_to_png_stream(surface.get(), writeChunk, &out) != CAIRO_STATUS_SUCCESS) out.clear();
    return out;
}

bool PixelImage::writePng(const std::filesystem::path& path, std::string* error) const {
    std::string bytes = pngData();
    if (bytes.empty()) {
        if (error) *error = "empty image";
        return false;
    }
    return file::writeAtomically(path, bytes, error);
}

}  // namespace plat
