#include "platform/graphics/Image.h"

#include <map>
#include <mutex>

#include "platform/foundation/Bundle.h"
#include "platform/graphics/ImageCatalog.h"
#include "platform/graphics/PhotoOrientation.h"

namespace plat {

namespace {

std::shared_ptr<const PixelImage> resourcePixels(const std::string& name) {
    // Named images are looked up once; most names have no file and stay names only.
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const PixelImage>> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    std::shared_ptr<const PixelImage> pixels;
    bool hasType = name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
    if (auto path = Bundle::main().pathForResource(name, hasType ? "" : "png")) {
        if (auto img = PixelImage::loadPng(*path)) pixels = std::make_shared<PixelImage>(std::move(*img));
    }
    cache.emplace(name, pixels);
    return pixels;
}

}  // namespace

ImagePtr Image::named(const std::string& name) {
    if (name.empty()) return nullptr;
    auto pixels = resourcePixels(name);
    if (!pixels) pixels = ImageCatalog::pixels(name);
    return std::make_shared<Image>(name, std::move(pixels));
}

ImagePtr Image::withPixels(PixelImage pixels, std::string name) {
    return std::make_shared<Image>(std::move(name), std::make_shared<PixelImage>(std::move(pixels)));
}

ImagePtr Image::fixOrientation() const {
    if (!pixels_ || pixels_->orientation() == 1) return std::make_shared<Image>(name_, pixels_);
    auto upright = uprightPixels(*pixels_, pixels_->orientation());
    upright.setOrientation(1);
    return withPixels(std::move(upright), name_);
}

ImagePtr Image::scaledTo(Size size) const {
    if (!pixels_) return std::make_shared<Image>(name_, nullptr);
    return withPixels(pixels_->scaled(static_cast<int>(size.width), static_cast<int>(size.height)), name_);
}

bool sameImage(const ImagePtr& a, const ImagePtr& b) {
    if (a == b) return true;
    if (!a || !b) return false;
    return a->name() == b->name() && a->pixels() == b->pixels();
}

}  // namespace plat
