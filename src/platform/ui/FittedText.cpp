#include "platform/ui/FittedText.h"

#include "platform/ui/Label.h"

namespace plat {

void FittedText::draw(DrawingContext& ctx, const std::string& text, const Rect& box, const Font& font,
                      const Color& color, TextAlignment alignment, double minimumScale) {
    Label label(Rect{}, text);
    label.setFont(font);
    label.setTextColor(color);
    label.setTextAlignment(alignment);
    label.setAdjustsFontSizeToFitWidth(minimumScale > 0);
    label.setMinimumScaleFactor(minimumScale);
    label.drawRect(ctx, box);
}

}  // namespace plat
