#pragma once

#include <memory>
#include <vector>

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace plat {

// The window: the root of what is on screen. It shows the view of the screen that covers it
// (its root screen, or the top-most screen presented from it) and, above that, alerts, sheets
// and overlays added as its subviews.
class Window : public View {
public:
    Window();
    explicit Window(const Rect& frame);
    ~Window() override;

    const std::shared_ptr<ViewController>& rootViewController() const { return root_; }
    // Replaces the root screen; on a showing window the old root disappears and the new one
    // appears.
    void setRootViewController(std::shared_ptr<ViewController> root);
    // Shows the window and makes it the key window; the root screen appears.
    void makeKeyAndVisible();
    bool isShowing() const { return showing_; }
    bool isKeyWindow() const { return keyWindow() == this; }

    // The screen at the top of the presentation chain from the root, whose view fills the
    // window.
    ViewController* coveringScreen() const;
    // The top-most visible screen: from the root, a navigation controller gives its visible
    // screen, a tab bar controller its selected screen, any other screen the screen it
    // presents, recursively, until a screen presents nothing. A container without screens
    // gives itself. Nullptr without a root.
    ViewController* visibleViewController() const;
    // Puts the covering screen's view in place (called after presentations and root changes).
    void updateContent();
    // The top-most alert or sheet shown in this window, if any: what a touch reaches first.
    View* frontmostOverlay() const;

    static Window* keyWindow();
    static const std::vector<Window*>& allWindows();

    std::string kindName() const override { return "Window"; }
    std::string describeLine() const override { return "Window"; }

private:
    std::shared_ptr<ViewController> root_;
    std::weak_ptr<View> content_;
    bool showing_ = false;
};

}  // namespace plat
