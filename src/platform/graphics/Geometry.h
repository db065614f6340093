#pragma once

#include <algorithm>

namespace plat {

// Points are screen points; y grows downwards, as on the phone and in cairo.
struct Point {
    double x = 0, y = 0;
    constexpr bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0, height = 0;
    constexpr bool operator==(const Size&) const = default;
};

struct EdgeInsets {
    double top = 0, left = 0, bottom = 0, right = 0;
    constexpr bool operator==(const EdgeInsets&) const = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}
    constexpr Rect(double x, double y, double width, double height)
        : origin{x, y}, size{width, height} {}

    constexpr double x() const { return origin.x; }
    constexpr double y() const { return origin.y; }
    constexpr double width() const { return size.width; }
    constexpr double height() const { return size.height; }
    constexpr double minX() const { return std::min(origin.x, origin.x + size.width); }
    constexpr double minY() const { return std::min(origin.y, origin.y + size.height); }
    constexpr double maxX() const { return std::max(origin.x, origin.x + size.width); }
    constexpr double maxY() const { return std::max(origin.y, origin.y + size.height); }
    constexpr double midX() const { return origin.x + size.width / 2; }
    constexpr double midY() const { return origin.y + size.height / 2; }
    constexpr Point center() const { return {midX(), midY()}; }
    constexpr bool isEmpty() const { return size.width <= 0 || size.height <= 0; }

    constexpr bool contains(Point p) const {
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    constexpr bool intersects(const Rect& o) const {
        return !isEmpty() && !o.isEmpty() && minX() < o.maxX() && o.minX() < maxX() &&
               minY() < o.maxY() && o.minY() < maxY();
    }
    constexpr Rect offsetBy(double dx, double dy) const {
        return {origin.x + dx, origin.y + dy, size.width, size.height};
    }
    constexpr Rect insetBy(double dx, double dy) const {
        return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy};
    }
    constexpr Rect inset(const EdgeInsets& in) const {
        return {origin.x + in.left, origin.y + in.top, size.width - in.left - in.right,
                size.height - in.top - in.bottom};
    }
    // The empty rectangle at the origin when the two do not overlap.
    constexpr Rect intersection(const Rect& o) const {
        if (!intersects(o)) return {};
        double x0 = std::max(minX(), o.minX()), y0 = std::max(minY(), o.minY());
        double x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
        return {x0, y0, x1 - x0, y1 - y0};
    }

    constexpr bool operator==(const Rect&) const = default;
};

}  // namespace plat
