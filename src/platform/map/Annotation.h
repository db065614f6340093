#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/map/Coordinate.h"
#include "platform/map/Location.h"

namespace plat {

// Something shown at one place on a map: a pin's model.
class Annotation {
public:
    virtual ~Annotation() = default;
    virtual Coordinate2D coordinate() const = 0;
    virtual std::string title() const { return {}; }
    virtual std::string subtitle() const { return {}; }
};

using AnnotationPtr = std::shared_ptr<Annotation>;

// A plain annotation whose fields are set directly.
class PointAnnotation : public Annotation {
public:
    PointAnnotation() = default;
    PointAnnotation(Coordinate2D coordinate, std::string title, std::string subtitle = {})
        : coordinate_(coordinate), title_(std::move(title)), subtitle_(std::move(subtitle)) {}
    Coordinate2D coordinate() const override { return coordinate_; }
    void setCoordinate(Coordinate2D c) { coordinate_ = c; }
    std::string title() const override { return title_; }
    void setTitle(std::string t) { title_ = std::move(t); }
    std::string subtitle() const override { return subtitle_; }
    void setSubtitle(std::string s) { subtitle_ = std::move(s); }

private:
    Coordinate2D coordinate_;
    std::string title_, subtitle_;
};

// The user's own position on a map; one per map view. Without a fix its coordinate is (0, 0)
// and location() is empty.
class UserLocation : public Annotation {
public:
    Coordinate2D coordinate() const override { return location_ ? location_->coordinate() : Coordinate2D{}; }
    std::string title() const override { return title_; }
    void setTitle(std::string t) { title_ = std::move(t); }
    const std::optional<Location>& location() const { return location_; }
    void setLocation(std::optional<Location> location) { location_ = std::move(location); }
    bool isUpdating() const { return updating_; }
    void setUpdating(bool on) { updating_ = on; }

private:
    std::optional<Location> location_;
    std::string title_ = "Current Location";
    bool updating_ = false;
};

}  // namespace plat
