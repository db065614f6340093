#pragma once

#include <memory>
#include <string>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/View.h"

namespace plat {

class SearchBar;

class SearchBarDelegate {
public:
    virtual ~SearchBarDelegate() = default;
    virtual bool searchBarShouldBeginEditing(SearchBar&) { return true; }
    virtual void searchBarTextDidBeginEditing(SearchBar&) {}
    virtual void searchBarTextDidEndEditing(SearchBar&) {}
    virtual void searchBarTextDidChange(SearchBar&, const std::string& text) { (void)text; }
    virtual void searchBarSearchButtonClicked(SearchBar&) {}
    virtual void searchBarCancelButtonClicked(SearchBar&) {}
};

// A search field with an optional cancel button. Typing tells the delegate the new text.
class SearchBar : public View {
public:
    static constexpr double kHeight = 44;
    using View::View;

    const std::string& text() const { return text_; }
    // From code: no delegate call.
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string p) { placeholder_ = std::move(p); }
    bool showsCancelButton() const { return showsCancel_; }
    void setShowsCancelButton(bool on, bool animated = false) {
        showsCancel_ = on;
        (void)animated;
    }
    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle s) { barStyle_ = s; }
    void setDelegate(std::weak_ptr<SearchBarDelegate> d) { delegate_ = std::move(d); }

    bool canBecomeFirstResponder() const override { return !isHidden(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // The person types at the end of the text / deletes the last character / replaces it all.
    bool typeText(const std::string& typed);
    bool deleteBackward();
    bool replaceAllText(const std::string& text);
    // The keyboard's search key and the cancel button.
    bool pressSearch();
    bool pressCancel();

    bool performTap() override { return acceptsTouches() && becomeFirstResponder(); }
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "SearchBar"; }
    std::string displayText() const override { return text_.empty() ? placeholder_ : text_; }
    std::string describeLine() const override;

private:
    bool changeText(std::string text);

    std::string text_, placeholder_;
    bool showsCancel_ = false;
    BarStyle barStyle_ = BarStyle::Default;
    std::weak_ptr<SearchBarDelegate> delegate_;
};

}  // namespace plat
