#include "platform/map/CalloutView.h"

#include "platform/ui/DescriptionWriter.h"

namespace plat {

namespace {
constexpr double kPadding = 8;
constexpr double kAccessorySide = 28;
constexpr double kWidth = 220, kHeight = 44;
}  // namespace

CalloutView::CalloutView(const std::string& title, const std::string& subtitle, ViewPtr accessory)
    : View(Rect{0, 0, kWidth, kHeight}), accessory_(std::move(accessory)) {
    setBackgroundColor(Color::white().withAlpha(0.95));
    const double textWidth = kWidth - 2 * kPadding - (accessory_ ? kAccessorySide + kPadding : 0);
    title_ = std::make_shared<Label>(Rect{kPadding, 4, textWidth, 20}, title);
    title_->setFont(Font::boldSystem(14));
    subtitle_ = std::make_shared<Label>(Rect{kPadding, 24, textWidth, 16}, subtitle);
    subtitle_->setFont(Font::system(11));
    addSubview(title_);
    addSubview(subtitle_);
    if (accessory_) {
        accessory_->setFrame({kWidth - kPadding - kAccessorySide, (kHeight - kAccessorySide) / 2, kAccessorySide,
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
