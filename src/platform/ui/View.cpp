#include "platform/ui/View.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace plat {

View::View() = default;

View::View(const Rect& frame) : frame_(frame), bounds_(Point{}, frame.size) {}

View::~View() {
    for (auto& s : subviews_) s->superview_ = nullptr;
}

void View::setFrame(const Rect& frame) {
    const Size old = frame_.size;
    frame_ = frame;
    bounds_.size = frame.size;
    if (frame.size == old) return;
    needsLayout_ = true;
    const double wider = frame.width() - old.width, taller = frame.height() - old.height;
    for (const auto& sub : std::vector<std::shared_ptr<View>>(subviews_)) {
        if (!sub->stretches_) continue;
        const Rect f = sub->frame();
        sub->setFrame(Rect{f.x(), f.y(), std::max(0.0, f.width() + wider), std::max(0.0, f.height() + taller)});
    }
}

void View::setBounds(const Rect& bounds) {
    if (bounds.size != bounds_.size) needsLayout_ = true;
    Point c = center();
    bounds_ = bounds;
    frame_ = Rect{c.x - bounds.width() / 2, c.y - bounds.height() / 2, bounds.width(), bounds.height()};
}

void View::setCenter(Point c) {
    frame_.origin = {c.x - frame_.width() / 2, c.y - frame_.height() / 2};
}

Point View::convertPoint(Point p, const View* to) const {
    // Up to the root in window coordinates, then down into the target.
    Point abs = p;
    for (const View* v = this; v; v = v->superview_) {
        abs.x += v->frame_.x() - v->bounds_.x();
        abs.y += v->frame_.y() - v->bounds_.y();
    }
    if (!to) return abs;
    for (const View* v = to; v; v = v->superview_) {
        abs.x -= v->frame_.x() - v->bounds_.x();
        abs.y -= v->frame_.y() - v->bounds_.y();
    }
    return abs;
}

Rect View::convertRect(const Rect& r, const View* to) const { return Rect{convertPoint(r.origin, to), r.size}; }

Window* View::window() const {
    const View* v = this;
    while (v->superview_) v = v->superview_;
    return dynamic_cast<Window*>(const_cast<View*>(v));
}

void View::detach() {
    if (!superview_) return;
    auto& list = superview_->subviews_;
    auto it = std::find_if(list.begin(), list.end(), [this](const ViewPtr& v) { return v.get() == this; });
    superview_ = nullptr;
    if (it != list.end()) list.erase(it);  // may release the last owner of this view: do it last
}

void View::notifyWindowChange(Window* before) {
    if (window() == before) return;
    didMoveToWindow();
    for (auto& s : std::vector<ViewPtr>(subviews_)) s->notifyWindowChange(before);
}

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) {
    if (!view || view.get() == this || isDescendantOf(view.get())) return;  // no cycles
    ViewPtr keep = view;
    Window* before = view->window();
    if (view->superview_ != this) view->willMoveToSuperview(this);
    view->detach();
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superview_ = this;
    needsLayout_ = true;
    view->didMoveToSuperview();
    view->notifyWindowChange(before);
}

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, subviews_.size() + 1); }

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const ViewPtr& v) { return v.get() == sibling; });
    if (it == subviews_.end()) {
        addSubview(view);
        return;
    }
    std::size_t index = static_cast<std::size_t>(it - subviews_.begin()) + 1;
    if (view && view->superview_ == this) {
        auto own = std::find(subviews_.begin(), subviews_.end(), view);
        if (own - subviews_.begin() < it - subviews_.begin()) --index;  // removing it shifts the sibling
    }
    insertSubview(view, index);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const ViewPtr& v) { return v.get() == sibling; });
    if (it == subviews_.end()) {
        addSubview(view);
        return;
    }
    std::size_t index = static_cast<std::size_t>(it - subviews_.begin());
    if (view && view->superview_ == this) {
        auto own = std::find(subviews_.begin(), subviews_.end(), view);
        if (own - subviews_.begin() < it - subviews_.begin()) --index;
    }
    insertSubview(view, index);
}

void View::removeFromSuperview() {
    if (!superview_) return;
    ViewPtr keep = shared_from_this();
    Window* before = window();
    willMoveToSuperview(nullptr);
    detach();
    didMoveToSuperview();
    notifyWindowChange(before);
}

void View::removeSubviews(const std::vector<ViewPtr>& views) {
    std::vector<ViewPtr> leaving;  // held until they are told
    leaving.reserve(views.size());
    Window* before = window();
    for (const auto& v : views) {
        if (!v || v->superview_ != this) continue;
        v->willMoveToSuperview(nullptr);
        v->superview_ = nullptr;
        leaving.push_back(v);
    }
    if (leaving.empty()) return;
    std::erase_if(subviews_, [](const ViewPtr& v) { return v->superview_ == nullptr; });
    for (auto& v : leaving) {
        v->didMoveToSuperview();
        v->notifyWindowChange(before);
    }
}

void View::removeAllSubviews() {
    for (auto& s : std::vector<ViewPtr>(subviews_)) s->removeFromSuperview();
}

bool View::restackSubviews(const std::function<bool(const View&, const View&)>& below) {
    const auto order = [&](const std::shared_ptr<View>& a, const std::shared_ptr<View>& b) { return below(*a, *b); };
    if (std::is_sorted(subviews_.begin(), subviews_.end(), order)) return false;
    std::stable_sort(subviews_.begin(), subviews_.end(), order);
    setNeedsDisplay();
    return true;
}

bool View::restackSubviewsByKey(const std::function<double(const View&)>& key) {
    std::vector<std::pair<double, ViewPtr>> keyed;
    keyed.reserve(subviews_.size());
    for (auto& v : subviews_) keyed.emplace_back(key(*v), std::move(v));
    const auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
    const bool sorted = std::is_sorted(keyed.begin(), keyed.end(), byKey);
    if (!sorted) std::stable_sort(keyed.begin(), keyed.end(), byKey);
    for (std::size_t i = 0; i < keyed.size(); ++i) subviews_[i] = std::move(keyed[i].second);
    if (sorted) return false;
    setNeedsDisplay();
    return true;
}

void View::bringSubviewToFront(const View* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const ViewPtr& v) { return v.get() == view; });
    if (it == subviews_.end()) return;
    std::rotate(it, it + 1, subviews_.end());
}

void View::sendSubviewToBack(const View* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const ViewPtr& v) { return v.get() == view; });
    if (it == subviews_.end()) return;
    std::rotate(subviews_.begin(), it, it + 1);
}

bool View::isDescendantOf(const View* ancestor) const {
    for (const View* v = this; v; v = v->superview_) {
        if (v == ancestor) return true;
    }
    return false;
}

View* View::viewWithTag(long tag) {
    if (tag_ == tag) return this;
    for (auto& s : subviews_) {
        if (View* found = s->viewWithTag(tag)) return found;
    }
    return nullptr;
}

void View::setHidden(bool hidden) { hidden_ = hidden; }

void View::setAlpha(double alpha) { alpha_ = std::clamp(alpha, 0.0, 1.0); }

void View::setBackgroundColor(std::optional<Color> color) {
    backgroundColor_ = color;
    setNeedsDisplay();
}

void View::setBackgroundImage(ImagePtr image) {
    backgroundImage_ = std::move(image);
    setNeedsDisplay();
}

bool View::isEffectivelyVisible() const {
    for (const View* v = this; v; v = v->superview_) {
        if (v->hidden_ || v->alpha_ <= 0.01) return false;
    }
    return true;
}

bool View::acceptsTouches() const {
    for (const View* v = this; v; v = v->superview_) {
        if (v->hidden_ || v->alpha_ <= 0.01 || !v->userInteraction_) return false;
    }
    return true;
}

void View::addConstraint(std::shared_ptr<LayoutConstraint> constraint) {
    if (constraint) constraints_.push_back(std::move(constraint));
}

void View::removeConstraint(const LayoutConstraint* constraint) {
    std::erase_if(constraints_, [&](const auto& c) { return c.get() == constraint; });
}

void View::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    for (auto& s : std::vector<ViewPtr>(subviews_)) s->layoutIfNeeded();
}

Size View::sizeThatFits(Size) const { return bounds_.size; }

void View::sizeToFit() {
    Size s = sizeThatFits(bounds_.size);
    setFrame(Rect{frame_.origin, s});
}

void View::setNeedsDisplay() {
    needsDisplay_ = true;
    ++displayRequests_;
}

void View::drawRect(DrawingContext&, const Rect&) {}

void View::drawHierarchy(DrawingContext& ctx) {
    if (hidden_ || alpha_ <= 0.01) return;
    ctx.saveState();
    ctx.translate(frame_.x() - bounds_.x(), frame_.y() - bounds_.y());
    bool layer = alpha_ < 1;
    if (layer) ctx.beginTransparencyLayer(alpha_);
    if (clipsToBounds_) ctx.clipToRect(bounds_);
    if (backgroundColor_ && backgroundColor_->a > 0) {
        ctx.setFillColor(*backgroundColor_);
        ctx.fillRect(bounds_);
    }
    if (backgroundImage_) ctx.drawImage(backgroundImage_, bounds_);
    drawRect(ctx, bounds_);
    needsDisplay_ = false;
    for (auto& s : subviews_) s->drawHierarchy(ctx);
    if (layer) ctx.endTransparencyLayer();
    ctx.restoreState();
}

PixelImage View::renderImage(double scale) {
    layoutIfNeeded();
    DrawingContext ctx;
    // Drawn at the origin whatever the view's place in its superview.
    ctx.translate(-frame_.x(), -frame_.y());
    drawHierarchy(ctx);
    return ctx.render(frame_.size, scale);
}

bool View::renderToPng(const std::filesystem::path& path, double scale, std::string* error) {
    PixelImage img = renderImage(scale);
    if (img.isEmpty()) {
        if (error) *error = "the view has no area";
        return false;
    }
    return img.writePng(path, error);
}

namespace {

std::weak_ptr<View>& firstResponderSlot() {
    static std::weak_ptr<View> slot;
    return slot;
}

}  // namespace

View* View::currentFirstResponder() { return firstResponderSlot().lock().get(); }

void View::setCurrentFirstResponder(View* view) {
    firstResponderSlot() = view ? view->weak_from_this() : std::weak_ptr<View>{};
}

bool View::claimFirstResponder() {
    View* current = currentFirstResponder();
    if (current == this) return true;
    if (current && !current->resignFirstResponder()) return false;
    setCurrentFirstResponder(this);
    return true;
}

bool View::isFirstResponder() const { return currentFirstResponder() == this; }

bool View::endEditing(bool force) {
    View* current = currentFirstResponder();
    if (!current || !current->isDescendantOf(this)) return true;
    if (current->resignFirstResponder()) return true;
    if (force) setCurrentFirstResponder(nullptr);
    return force;
}

std::string View::describeLine() const { return {}; }

void View::describeSubviews(DescriptionWriter& out) const {
    for (const auto& s : subviews_) s->describeInto(out);
}

void View::describeInto(DescriptionWriter& out) const {
    if (hidden_ || alpha_ <= 0.01) return;
    const_cast<View*>(this)->updateForInspection();
    if (controller_) {
        out.line(controller_->kindName() + " " + DescriptionWriter::quoted(controller_->title()));
        out.indent();
    }
    describeContent(out);
    if (controller_) out.outdent();
}

void View::describeContent(DescriptionWriter& out) const {
    std::string line = describeLine();
    if (line.empty()) {
        describeSubviews(out);
        return;
    }
    out.line(line);
    DescriptionWriter::Nested nested(out);
    describeSubviews(out);
}

std::string View::describe() const {
    DescriptionWriter out;
    describeInto(out);
    return out.text();
}

}  // namespace plat
