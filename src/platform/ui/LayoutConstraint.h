#pragma once

#include <memory>
#include <string>

namespace plat {

class View;

enum class LayoutAttribute { None, Left, Right, Top, Bottom, Leading, Trailing, Width, Height, CenterX, CenterY, Baseline };
enum class LayoutRelation { LessThanOrEqual, Equal, GreaterThanOrEqual };

// A layout constraint as the interface files and screens set it: kept as data (screens change
// its constant to move a label); there is no solver.
struct LayoutConstraint {
    std::weak_ptr<View> firstItem;
    LayoutAttribute firstAttribute = LayoutAttribute::None;
    LayoutRelation relation = LayoutRelation::Equal;
    std::weak_ptr<View> secondItem;
    LayoutAttribute secondAttribute = LayoutAttribute::None;
    double multiplier = 1;
    double constant = 0;
    double priority = 1000;
    bool active = true;
    std::string identifier;

    static std::shared_ptr<LayoutConstraint> make(const std::shared_ptr<View>& first, LayoutAttribute a1,
                                                  LayoutRelation relation, const std::shared_ptr<View>& second,
                                                  LayoutAttribute a2, double multiplier, double constant) {
        auto c = std::make_shared<LayoutConstraint>();
        c->firstItem = first;
        c->firstAttribute = a1;
        c->relation = relation;
        c->secondItem = second;
        c->secondAttribute = a2;
        c->multiplier = multiplier;
        c->constant = constant;
        return c;
    }
};

}  // namespace plat
