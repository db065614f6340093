#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Timer.h"
#include "platform/ui/View.h"

namespace plat {

enum class ProgressMode { Indeterminate, Determinate, AnnularDeterminate, CustomView, Text };

// A modal progress overlay over a view: a title, a detail line, a spinner or a progress value.
// Shown on a view it covers it and takes its touches until hidden; hiding removes it.
class ProgressOverlay : public View {
public:
    // A new overlay added to the view and shown.
    static std::shared_ptr<ProgressOverlay> showOn(View* view, bool animated);
    // The top-most overlay on the view, if any.
    static std::shared_ptr<ProgressOverlay> overlayOn(View* view);
    // Hides the top-most overlay on the view; false when there was none.
    static bool hideOn(View* view, bool animated);
    static std::size_t hideAllOn(View* view, bool animated);

    explicit ProgressOverlay(const Rect& frame) : View(frame) {}

    const std::string& title() const { return title_; }
    void setTitle(std::string t) { title_ = std::move(t); }
    const std::string& detail() const { return detail_; }
    void setDetail(std::string d) { detail_ = std::move(d); }
    ProgressMode mode() const { return mode_; }
    void setMode(ProgressMode m) { mode_ = m; }
    double progress() const { return progress_; }
    void setProgress(double p);
    const std::shared_ptr<View>& customView() const { return custom_; }
    void setCustomView(std::shared_ptr<View> v) { custom_ = std::move(v); }
    bool dimsBackground() const { return dim_; }
    void setDimsBackground(bool on) { dim_ = on; }
    // Runs once the overlay has been hidden.
    void setCompletion(std::function<void()> block) { completion_ = std::move(block); }

    bool isShowing() const { return showing_; }
    void show(bool animated);
    void hide(bool animated);
    // Hides after a delay on the main run loop (a later show cancels it).
    void hide(bool animated, TimeInterval delay);
    bool lastChangeAnimated() const { return lastAnimated_; }

    bool isModalOverlay() const override { return showing_; }
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "ProgressOverlay"; }
    std::string displayText() const override { return title_; }
    std::string describeLine() const override;

private:
    std::string title_, detail_;
    ProgressMode mode_ = ProgressMode::Indeterminate;
    double progress_ = 0;
    std::shared_ptr<View> custom_;
    bool dim_ = false;
    bool showing_ = false;
    bool lastAnimated_ = false;
    std::function<void()> completion_;
    CancelableDelay delayedHide_;
};

}  // namespace plat
