#pragma once

// Private to the graphics layer's sources: cairo helpers. Never include from a header that
// other layers see.

#include <cairo.h>

#include "platform/graphics/PixelImage.h"

namespace plat::cairo {

// Owns one surface reference.
class SurfaceRef {
public:
    explicit SurfaceRef(cairo_surface_t* s) : s_(s) {}
    ~SurfaceRef() {
        if (s_) cairo_surface_destroy(s_);
    }
    SurfaceRef(const SurfaceRef&) = delete;
    SurfaceRef& operator=(const SurfaceRef&) = delete;
    cairo_surface_t* get() const { return s_; }

private:
    cairo_surface_t* s_;
};

// An image surface holding a copy of the pixels.
cairo_surface_t* copyIn(const PixelImage& image);
// The pixels of an image surface (converted to ARGB32 when needed).
PixelImage copyOut(cairo_surface_t* surface);

}  // namespace plat::cairo
