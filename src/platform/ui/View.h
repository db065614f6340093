#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/LayoutConstraint.h"

namespace plat {

class ViewController;
class Window;
class DescriptionWriter;

enum class ContentMode { ScaleToFill, ScaleAspectFit, ScaleAspectFill, Redraw, Center, Top, Bottom, Left, Right };

// A rectangle on screen with its subviews. Everything a view shows is kept as data (frame,
// colours, hidden, alpha...) so that tests and the driver can read it; drawing goes through a
// recording DrawingContext.
//
// Ownership: a view owns its subviews; its superview is a plain pointer, valid while the view
// is in the superview's list (a view removed from it, or whose superview dies, has none).
class View : public std::enable_shared_from_this<View> {
public:
    View();
    explicit View(const Rect& frame);
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Geometry: frame in the superview's coordinates, bounds in the view's own (the origin of
    // the bounds is the scroll position).
    const Rect& frame() const { return frame_; }
    virtual void setFrame(const Rect& frame);
    // Grows and shrinks with its superview, keeping its distances to the superview's edges (a
    // screen's table when the tab bar or navigation controller sizes the screen's view).
    bool stretchesWithSuperview() const { return stretches_; }
    void setStretchesWithSuperview(bool on) { stretches_ = on; }
    const Rect& bounds() const { return bounds_; }
    virtual void setBounds(const Rect& bounds);
    Point center() const { return frame_.center(); }
    void setCenter(Point c);
    Point convertPoint(Point p, const View* to) const;  // to == nullptr: to the window (root)
    Rect convertRect(const Rect& r, const View* to) const;

    // The tree.
    View* superview() const { return superview_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    // Adds on top; a view already inside another superview leaves it first.
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
    void insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling);
    void insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    void removeAllSubviews();
    // Takes these subviews out in one pass over the list, as removeFromSuperview does one by
    // one: a map drops thousands of pins at once. Views that are not subviews are left alone.
    void removeSubviews(const std::vector<std::shared_ptr<View>>& views);
    bool isDescendantOf(const View* ancestor) const;  // true for the view itself
    Window* window() const;
    // The view itself or the first descendant (depth first, back to front) with the tag.
    View* viewWithTag(long tag);

    // State.
    bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    double alpha() const { return alpha_; }
    void setAlpha(double alpha);
    const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<Color> color);
    // A picture filling the view behind its content (a pattern colour on the phone).
    const ImagePtr& backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(ImagePtr image);
    bool isUserInteractionEnabled() const { return userInteraction_; }
    void setUserInteractionEnabled(bool on) { userInteraction_ = on; }
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool on) { clipsToBounds_ = on; }
    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode) { contentMode_ = mode; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(std::string id) { accessibilityIdentifier_ = std::move(id); }
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }
    // Not hidden, not fully transparent, and the same for every superview.
    bool isEffectivelyVisible() const;
    // Can take a touch: visible and interaction enabled up the tree.
    bool acceptsTouches() const;

    // Layout constraints are kept as data; nothing solves them.
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }
    void addConstraint(std::shared_ptr<LayoutConstraint> constraint);
    void removeConstraint(const LayoutConstraint* constraint);

    // Layout: layoutSubviews runs from layoutIfNeeded after setNeedsLayout or a size change.
    void setNeedsLayout() { needsLayout_ = true; }
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    virtual Size sizeThatFits(Size size) const;
    void sizeToFit();

    // Redraw requests: counted, cleared when the view is drawn.
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    unsigned displayRequestCount() const { return displayRequests_; }

    // Draws the view's own content in its bounds' coordinates.
    virtual void drawRect(DrawingContext& context, const Rect& rect);
    // Draws this view and its subviews (background, content, subviews in order).
    void drawHierarchy(DrawingContext& context);
    PixelImage renderImage(double scale = 1);
    bool renderToPng(const std::filesystem::path& path, double scale = 1, std::string* error = nullptr);

    // The screen whose main view this is (set by the screen; plain pointer cleared by it).
    ViewController* viewController() const { return controller_; }
    void setViewController(ViewController* controller) { controller_ = controller; }

    // A tap by the person using the screen: what the view does when touched (a control sends
    // its actions, a row selects itself). False when the view does nothing or cannot be
    // touched (hidden, disabled, interaction off).
    virtual bool performTap() { return false; }
    // Views that show items that are not subviews (bar buttons, rows) bring their subviews up
    // to date here before they are searched or described.
    virtual void updateForInspection() {}
    // Modal overlays (alerts, sheets) take every touch while shown.
    virtual bool isModalOverlay() const { return false; }
    // A bubble shown for the person's touch (a pin's callout): it is there to be read, so no
    // other view may be drawn over it.
    virtual bool isPopUp() const { return false; }

    // Handles a person drags along a track (a slider's thumb, the handles of a scale): what
    // each is called, where it is and how far it can go, in the view's own terms.
    struct DragHandle {
        std::string name;
        double value = 0, lowest = 0, highest = 0;
    };
    virtual std::vector<DragHandle> dragHandles() const { return {}; }
    // The person drags a handle to a value as far as the track lets it go. False for no such
    // handle or a view that cannot be touched.
    virtual bool dragHandleTo(std::size_t handle, double value) {
        (void)handle;
        (void)value;
        return false;
    }

    // Keyboard focus: one view at a time (a text field, text view or search bar) is the first
    // responder and receives typed text.
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return false; }
    // True when the view is no longer the first responder afterwards.
    virtual bool resignFirstResponder() { return true; }
    bool isFirstResponder() const;
    static View* currentFirstResponder();
    // Ends editing in this view's tree: asks the first responder inside it to resign (always
    // succeeds when forced). True when no view of the tree is first responder afterwards.
    bool endEditing(bool force);

    // Inspection: a short kind name and the text the view shows (a label's text, a button's
    // title...), used to find elements and describe screens.
    virtual std::string kindName() const { return "View"; }
    virtual std::string displayText() const { return {}; }
    // The size the view's own text is drawn at in its bounds, left to itself; 0 without text.
    virtual double fittedTextSize() const { return 0; }
    // The indented text of this view and its visible subviews.
    std::string describe() const;
    // One line for this view, or empty to describe only its subviews.
    virtual std::string describeLine() const;
    // Writes this view when it is visible, under the title of its screen when it is a
    // screen's main view.
    virtual void describeInto(DescriptionWriter& out) const;
    // Writes the view's line and its subviews; overridden by views with rows or other
    // content that is not plain subviews.
    virtual void describeContent(DescriptionWriter& out) const;

    template <class T>
    std::shared_ptr<T> sharedAs() {
        return std::dynamic_pointer_cast<T>(shared_from_this());
    }

protected:
    // For implementers of becomeFirstResponder / resignFirstResponder.
    static void setCurrentFirstResponder(View* view);
    // Makes this view the first responder after the current one resigned; false when it refused.
    bool claimFirstResponder();
    virtual void willMoveToSuperview(View* newSuperview) { (void)newSuperview; }
    virtual void didMoveToSuperview() {}
    virtual void didMoveToWindow() {}
    void describeSubviews(DescriptionWriter& out) const;
    // Restacks the subviews in the order `below` gives, keeping equal ones as they were; false
    // when they were in that order already.
    bool restackSubviews(const std::function<bool(const View&, const View&)>& below);
    // The same by ascending keys, each view's asked for once: a map restacks thousands of pins.
    bool restackSubviewsByKey(const std::function<double(const View&)>& key);

private:
    void detach();
    void notifyWindowChange(Window* before);

    Rect frame_, bounds_;
    View* superview_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    bool hidden_ = false;
    double alpha_ = 1;
    std::optional<Color> backgroundColor_;
    ImagePtr backgroundImage_;
    bool userInteraction_ = true;
    bool clipsToBounds_ = false;
    bool stretches_ = false;
    ContentMode contentMode_ = ContentMode::ScaleToFill;
    long tag_ = 0;
    std::string accessibilityIdentifier_, accessibilityLabel_;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    unsigned displayRequests_ = 0;
    ViewController* controller_ = nullptr;
};

using ViewPtr = std::shared_ptr<View>;

}  // namespace plat
