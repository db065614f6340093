#include "platform/ui/Readability.h"

#include "platform/ui/DrawnPaints.h"
#include "platform/ui/Label.h"

namespace plat {

std::optional<Color> Readability::outlineFor(const Color& text, const Color& background) {
    const Color beneath = DrawnPaints::over(background, Color::white());
    if (DrawnPaints::contrastRatio(DrawnPaints::over(text, beneath), beneath) >= kMinimumContrast) return std::nullopt;
    return kOutline;
}

void Readability::colorText(Label& label, const Color& text, const Color& background, std::optional<Color> shadow) {
    label.setTextColor(text);
    const auto outline = outlineFor(text, background);
    label.setShadowColor(outline ? outline : shadow);
}

}  // namespace plat
