#pragma once

#include <memory>
#include <string>

#include "platform/graphics/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"

namespace plat {

class TextView;

class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(TextView&) { return true; }
    virtual void textViewDidBeginEditing(TextView&) {}
    virtual bool textViewShouldEndEditing(TextView&) { return true; }
    virtual void textViewDidEndEditing(TextView&) {}
    virtual bool textViewShouldChangeText(TextView&, TextRange range, const std::string& replacement) {
        (void)range;
        (void)replacement;
        return true;
    }
    virtual void textViewDidChange(TextView&) {}
};

// A scrolling, many-line text, editable unless told otherwise.
class TextView : public ScrollView {
public:
    using ScrollView::ScrollView;

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const Font& font() const { return font_; }
    void setFont(Font f);
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& c) { textColor_ = c; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    // The grey text shown while the view is empty; it also names the view to the driver.
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string text) {
        placeholder_ = std::move(text);
        fitContentSize();
    }
    void setFrame(const Rect& frame) override;
    bool isEditable() const { return editable_; }
    void setEditable(bool on) { editable_ = on; }
    KeyboardType keyboardType() const { return keyboard_; }
    void setKeyboardType(KeyboardType k) { keyboard_ = k; }
    const std::shared_ptr<View>& inputAccessoryView() const { return accessory_; }
    void setInputAccessoryView(std::shared_ptr<View> v) { accessory_ = std::move(v); }
    void setDelegate(std::weak_ptr<TextViewDelegate> d) { delegate_ = std::move(d); }

    bool canBecomeFirstResponder() const override { return editable_ && !isHidden(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool typeText(const std::string& typed);
    bool deleteBackward();

    bool performTap() override { return acceptsTouches() && becomeFirstResponder(); }
    void drawRect(DrawingContext& context, const Rect& rect) override;
    void updateForInspection() override { fitContentSize(); }
    std::string kindName() const override { return "TextView"; }
    std::string displayText() const override { return text_; }
    std::string describeLine() const override;

private:
    bool replaceText(TextRange range, const std::string& replacement);
    // The text (or placeholder) as the lines drawn, wrapped at the view's width.
    void describeLines(Label& lines) const;
    // The content is as tall as the wrapped text, so that a finger reaches its last line.
    void fitContentSize();

    std::string text_, placeholder_;
    Font font_ = Font::system(17);
    Color textColor_ = Color::black();
    TextAlignment alignment_ = TextAlignment::Left;
    bool editable_ = true;
    KeyboardType keyboard_ = KeyboardType::Default;
    std::shared_ptr<View> accessory_;
    std::weak_ptr<TextViewDelegate> delegate_;
};

}  // namespace plat
