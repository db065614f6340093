#pragma once

#include <memory>
#include <string>

#include "platform/graphics/Font.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"

namespace plat {

class TextField;

enum class KeyboardType { Default, ASCIICapable, NumbersAndPunctuation, URL, NumberPad, PhonePad, NamePhonePad,
                          EmailAddress, DecimalPad };
enum class ReturnKeyType { Default, Go, Next, Done, Search, Send };
enum class AutocapitalizationType { None, Words, Sentences, AllCharacters };
enum class TextBorderStyle { None, Line, Bezel, RoundedRect };
enum class ClearButtonMode { Never, WhileEditing, UnlessEditing, Always };

// A range of bytes of a text: where typed text replaces what.
struct TextRange {
    std::size_t location = 0, length = 0;
    bool operator==(const TextRange&) const = default;
};

class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField&) { return true; }
    virtual void textFieldDidBeginEditing(TextField&) {}
    virtual bool textFieldShouldEndEditing(TextField&) { return true; }
    virtual void textFieldDidEndEditing(TextField&) {}
    virtual bool textFieldShouldChangeCharacters(TextField&, TextRange range, const std::string& replacement) {
        (void)range;
        (void)replacement;
        return true;
    }
    virtual bool textFieldShouldClear(TextField&) { return true; }
    virtual bool textFieldShouldReturn(TextField&) { return true; }
};

// A one-line editable text. Setting the text from code sends nothing; typing (typeText,
// deleteBackward) asks the delegate and sends editing-changed. Becoming first responder starts
// editing (editing-began), resigning ends it (editing-ended).
class TextField : public Control {
public:
    using Control::Control;

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string p) { placeholder_ = std::move(p); }
    const Font& font() const { return font_; }
    void setFont(Font f) { font_ = std::move(f); }
    // Like a label's: a text wider than the field is drawn smaller, down to the minimum size.
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool on) { adjustsFontSize_ = on; }
    double minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(double size) { minimumFontSize_ = size; }
    void setSizeGroup(std::shared_ptr<TextSizeGroup> group) { sizeGroup_ = std::move(group); }
    double fittedTextSize() const override;
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& c) { textColor_ = c; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool on) { secure_ = on; }
    KeyboardType keyboardType() const { return keyboard_; }
    void setKeyboardType(KeyboardType k) { keyboard_ = k; }
    ReturnKeyType returnKeyType() const { return returnKey_; }
    void setReturnKeyType(ReturnKeyType r) { returnKey_ = r; }
    AutocapitalizationType autocapitalizationType() const { return autocap_; }
    void setAutocapitalizationType(AutocapitalizationType a) { autocap_ = a; }
    bool autocorrection() const { return autocorrect_; }
    void setAutocorrection(bool on) { autocorrect_ = on; }
    TextBorderStyle borderStyle() const { return border_; }
    void setBorderStyle(TextBorderStyle b) { border_ = b; }
    ClearButtonMode clearButtonMode() const { return clearMode_; }
    void setClearButtonMode(ClearButtonMode m) { clearMode_ = m; }
    bool clearsOnBeginEditing() const { return clearsOnBegin_; }
    void setClearsOnBeginEditing(bool on) { clearsOnBegin_ = on; }
    // Shown above the keyboard while editing (a toolbar with Done, typically).
    const std::shared_ptr<View>& inputAccessoryView() const { return accessory_; }
    void setInputAccessoryView(std::shared_ptr<View> v) { accessory_ = std::move(v); }
    // Shown instead of the keyboard (a picker).
    const std::shared_ptr<View>& inputView() const { return inputView_; }
    void setInputView(std::shared_ptr<View> v) { inputView_ = std::move(v); }
    void setDelegate(std::weak_ptr<TextFieldDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }

    bool isEditing() const { return isFirstResponder(); }
    bool canBecomeFirstResponder() const override { return isEnabled() && !isHidden(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // Typing at the end of the text (editing starts first when needed). False when editing
    // could not start or the delegate refused the change.
    bool typeText(const std::string& typed);
    // Replaces a range as the keyboard would (autocorrection, paste).
    bool replaceText(TextRange range, const std::string& replacement);
    // Deletes the last character.
    bool deleteBackward();
    // The clear button: empties the text when the delegate agrees.
    bool clearText();
    // The return key: asks the delegate; when it agrees, sends editing-ended-on-exit, and a
    // field with actions for that event then resigns. Returns the delegate's answer.
    bool pressReturn();

    bool performTap() override;
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "TextField"; }
    // The shown text: masked for secure entry, the placeholder when empty.
    std::string displayText() const override;
    std::string describeLine() const override;

private:
    std::string text_, placeholder_;
    bool adjustsFontSize_ = false;
    double minimumFontSize_ = 0;
    std::shared_ptr<TextSizeGroup> sizeGroup_;
    // Gives a label the field's text and look, as the field draws it.
    void describeShown(Label& shown) const;
    Font font_ = Font::system(17);
    Color textColor_ = Color::black();
    TextAlignment alignment_ = TextAlignment::Left;
    bool secure_ = false;
    KeyboardType keyboard_ = KeyboardType::Default;
    ReturnKeyType returnKey_ = ReturnKeyType::Default;
    AutocapitalizationType autocap_ = AutocapitalizationType::Sentences;
    bool autocorrect_ = true;
    TextBorderStyle border_ = TextBorderStyle::None;
    ClearButtonMode clearMode_ = ClearButtonMode::Never;
    bool clearsOnBegin_ = false;
    std::shared_ptr<View> accessory_, inputView_;
    std::weak_ptr<TextFieldDelegate> delegate_;
};

// Text with every character replaced by a bullet (how secure entry shows).
std::string maskedText(const std::string& text);
// The byte length of the last UTF-8 character of text (0 for an empty text).
std::size_t lastCharacterLength(const std::string& text);

}  // namespace plat
