#include "platform/ui/MailAttachmentRow.h"

#include <cmath>
#include <cstdio>

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>

#include "platform/ui/Label.h"
#include "platform/ui/UiText.h"

namespace plat {

namespace {

constexpr double kInset = 12, kSizeWidth = 64;

std::string withNumber(const std::string& format, const std::string& number) {
    std::string text = uiText(format);
    if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, number);
    return text;
}

// The decimal separator of the interface language ("," in German and French).
std::string decimalSeparator() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::DecimalFormatSymbols symbols(icu::Locale(uiLocale().c_str()), status);
    if (U_FAILURE(status)) return ".";
    std::string out;
    symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol).toUTF8String(out);
    return out.empty() ? "." : out;
}

}  // namespace

MailAttachmentRow::MailAttachmentRow(const Rect& frame, const std::string& fileName, std::size_t bytes)
    : View(frame), name_(std::make_shared<Label>()), size_(std::make_shared<Label>()) {
    setBackgroundColor(Color::rgba(0.95, 0.95, 0.96));
    auto rule = std::make_shared<View>(Rect{0, 0, frame.width(), 1});
    rule->setBackgroundColor(Color::rgba(0.78, 0.78, 0.8));
    addSubview(rule);
    // The middle of a long name goes, so that its date and extension still show.
    name_->setFrame(Rect{kInset, 0, std::max(0.0, frame.width() - 3 * kInset - kSizeWidth), frame.height()});
    name_->setText(fileName);
    name_->setFont(Font::system(15));
    name_->setLineBreakMode(LineBreakMode::TruncateMiddle);
    name_->setAdjustsFontSizeToFitWidth(true);
    name_->setMinimumScaleFactor(0.75);
    addSubview(name_);
    size_->setFrame(Rect{frame.width() - kInset - kSizeWidth, 0, kSizeWidth, frame.height()});
    size_->setText(sizeText(bytes));
    size_->setFont(Font::system(13));
    size_->setTextColor(Color::rgba(0.4, 0.4, 0.42));
    size_->setTextAlignment(TextAlignment::Right);
    addSubview(size_);
}

std::string MailAttachmentRow::sizeText(std::size_t bytes) {
    constexpr std::size_t kKilo = 1024, kMega = kKilo * kKilo;
    if (bytes < kKilo) return withNumber(bytes == 1 ? "%@ byte" : "%@ bytes", std::to_string(bytes));
    if (bytes < kMega) return withNumber("%@ KB", std::to_string((bytes + kKilo - 1) / kKilo));
    char number[32];
    std::snprintf(number, sizeof number, "%.1f", std::round(static_cast<double>(bytes) / kMega * 10) / 10);
    std::string text = number;
    if (const auto dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, decimalSeparator());
    return withNumber("%@ MB", text);
}

std::string MailAttachmentRow::displayText() const { return name_->text() + " " + size_->text(); }

}  // namespace plat
