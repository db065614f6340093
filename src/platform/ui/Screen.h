#pragma once

#include "platform/graphics/Geometry.h"

namespace plat {

// The device screen: its size in points (the driver may choose another) and its pixel scale.
class Screen {
public:
    static Rect bounds();
    static void setBounds(const Rect& bounds);
    static double scale();
    static void setScale(double scale);
};

}  // namespace plat
