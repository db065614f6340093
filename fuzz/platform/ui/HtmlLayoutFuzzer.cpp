// Lays out arbitrary bytes as a web page at a phone's width, describes it and draws it. Nothing
// may crash or run out of stack, and the page must come out of a size that can be drawn: every
// frame finite and not negative, the page at least as wide as the view.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/foundation/HtmlDocument.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/HtmlLayout.h"

namespace {

constexpr double kWidth = 320;

void checkRect(const plat::Rect& r) {
    if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width()) || !std::isfinite(r.height())) {
        std::abort();
    }
    if (r.width() < 0 || r.height() < 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const plat::HtmlNode document = plat::HtmlDocument::parse(std::string(reinterpret_cast<const char*>(data), size));
    const plat::HtmlLayout page(document, kWidth);
    const plat::Size pageSize = page.size();
    if (!std::isfinite(pageSize.width) || !std::isfinite(pageSize.height) || pageSize.width < kWidth) std::abort();
    for (const auto& t : page.texts()) checkRect(t.frame);
    for (const auto& f : page.fills()) checkRect(f.rect);
    plat::DescriptionWriter out;
    plat::HtmlLayout::describe(document, out);
    plat::DrawingContext context;
    page.draw(context, plat::Rect{0, 0, kWidth, 480});
    return 0;
}
