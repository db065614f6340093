#include "platform/graphics/ImageCatalog.h"

#include <map>
#include <mutex>

#include "platform/graphics/DrawingContext.h"

namespace plat {

namespace {

struct Entry {
    Size size;
    ImageCatalog::Drawing drawing;
    std::shared_ptr<const PixelImage> pixels;  // drawn on first use
};

struct Catalog {
    std::mutex mutex;
    std::map<std::string, Entry> entries;
};

Catalog& catalog() {
    static Catalog c;
    return c;
}

// "icon-checked.png" and "icon-checked" name the same picture.
std::string bareName(const std::string& name) {
    for (const char* type : {".png", ".jpg"}) {
        const std::string suffix = type;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return name.substr(0, name.size() - suffix.size());
        }
    }
    return name;
}

}  // namespace

void ImageCatalog::add(const std::string& name, Size size, Drawing drawing) {
    auto& c = catalog();
    std::lock_guard lock(c.mutex);
    c.entries[bareName(name)] = Entry{size, std::move(drawing), nullptr};
}

std::shared_ptr<const PixelImage> ImageCatalog::pixels(const std::string& name) {
    auto& c = catalog();
    const std::string key = bareName(name);
    Size size;
    Drawing drawing;
    {
        std::lock_guard lock(c.mutex);
        auto it = c.entries.find(key);
        if (it == c.entries.end()) return nullptr;
        if (it->second.pixels || !it->second.drawing) return it->second.pixels;
        size = it->second.size;
        drawing = it->second.drawing;
    }
    // Drawn without the lock: a drawing may itself ask for another picture.
    DrawingContext context;
    drawing(context, size);
    PixelImage drawn = context.render(size);
    if (drawn.isEmpty()) return nullptr;
    auto made = std::make_shared<const PixelImage>(std::move(drawn));
    std::lock_guard lock(c.mutex);
    auto it = c.entries.find(key);
    if (it == c.entries.end()) return made;
    if (!it->second.pixels) it->second.pixels = made;
    return it->second.pixels;
}

bool ImageCatalog::has(const std::string& name) {
    auto& c = catalog();
    std::lock_guard lock(c.mutex);
    return c.entries.count(bareName(name)) > 0;
}

void ImageCatalog::clear() {
    auto& c = catalog();
    std::lock_guard lock(c.mutex);
    c.entries.clear();
}

}  // namespace plat
