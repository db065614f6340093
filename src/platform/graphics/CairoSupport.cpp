#include "platform/graphics/CairoSupport.h"

#include <cstring>

namespace plat::cairo {

cairo_surface_t* copyIn(const PixelImage& image) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width(), image.height());
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride,
                    image.words().data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width()),
                    static_cast<std::size_t>(image.width()) * 4);
    }
    cairo_surface_mark_dirty(s);
    return s;
}

PixelImage copyOut(cairo_surface_t* surface) {
    int w = cairo_image_surface_get_width(surface);
    int h = cairo_image_surface_get_height(surface);
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        SurfaceRef converted(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
        cairo_t* cr = cairo_create(converted.get());
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        return copyOut(converted.get());
    }
    cairo_surface_flush(surface);
    PixelImage out(w, h);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        std::memcpy(out.words().data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w),
                    data + static_cast<std::ptrdiff_t>(y) * stride, static_cast<std::size_t>(w) * 4);
    }
    return out;
}

}  // namespace plat::cairo
