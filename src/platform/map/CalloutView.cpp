#include "platform/map/CalloutView.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"

namespace plat {

namespace {
constexpr double kPadding = 8;
constexpr double kAccessorySide = 28;
constexpr double kWidth = 220, kMaxWidth = 300, kHeight = 44;
}  // namespace

CalloutView::CalloutView(const std::string& title, const std::string& subtitle, ViewPtr accessory)
    : View(Rect{0, 0, kWidth, kHeight}), accessory_(std::move(accessory)) {
    setBackgroundColor(Color::white().withAlpha(0.95));
    const Font titleFont = Font::boldSystem(14), subtitleFont = Font::system(11);
    // The bubble grows with its texts, up to a phone's width; past that they shrink to fit.
    const double accessoryRoom = accessory_ ? kAccessorySide + kPadding : 0;
    const double needed = std::max(titleFont.measure(title).width, subtitleFont.measure(subtitle).width);
    const double width = std::clamp(needed + 2 * kPadding + accessoryRoom, kWidth, kMaxWidth);
    setFrame({0, 0, width, kHeight});
    const double textWidth = width - 2 * kPadding - accessoryRoom;
    title_ = std::make_shared<Label>(Rect{kPadding, 4, textWidth, 20}, title);
    title_->setFont(titleFont);
    title_->setAdjustsFontSizeToFitWidth(true);
    subtitle_ = std::make_shared<Label>(Rect{kPadding, 24, textWidth, 16}, subtitle);
    subtitle_->setFont(subtitleFont);
    subtitle_->setAdjustsFontSizeToFitWidth(true);
    addSubview(title_);
    addSubview(subtitle_);
    if (accessory_) {
        accessory_->setFrame({width - kPadding - kAccessorySide, (kHeight - kAccessorySide) / 2, kAccessorySide,
                              kAccessorySide});
        addSubview(accessory_);
    }
}

std::string CalloutView::describeLine() const {
    std::string line = "Callout " + DescriptionWriter::quoted(title_->text());
    if (!subtitle_->text().empty()) line += " " + DescriptionWriter::quoted(subtitle_->text());
    return line;
}

void CalloutView::describeContent(DescriptionWriter& out) const {
    out.line(describeLine());
    DescriptionWriter::Nested nested(out);
    if (accessory_) accessory_->describeInto(out);
}

}  // namespace plat
