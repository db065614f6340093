#include "store/VNPhotoManager.h"

#include <memory>

#include "model/Language.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLText.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/AlertView.h"
#include "store/PhotoLibraryPicker.h"

namespace qx {

namespace {

// A block that runs once at most, however often the copies are called.
VNPhotoManager::UrlCompletion once(VNPhotoManager::UrlCompletion completion) {
    auto slot = std::make_shared<VNPhotoManager::UrlCompletion>(std::move(completion));
    return [slot](const std::optional<std::string>& url) {
        auto block = std::move(*slot);
        *slot = nullptr;
        if (block) block(url);
    };
}

plat::ImagePtr loadPhoto(const std::string& url) {
    const auto file = VNPhotoManager::photoForUrl(url);
    if (!file) return nullptr;
    std::string error;
    auto pixels = plat::PixelImage::load(*file, &error);
    if (!pixels) {
        plat::Log::line("VNPhotoManager getImage: " + error);
        return nullptr;
    }
    return plat::Image::withPixels(std::move(*pixels), file->filename().string());
}

}  // namespace

VNPhotoManager& VNPhotoManager::sharedInstance() {
    static VNPhotoManager* manager = new VNPhotoManager();
    return *manager;
}

std::string VNPhotoManager::urlForPhoto(const std::filesystem::path& photo) {
    return plat::url::fileURL(std::filesystem::absolute(photo).string());
}

std::optional<std::filesystem::path> VNPhotoManager::photoForUrl(const std::string& url) {
    const auto path = plat::url::filePath(url);
    if (!path) return std::nullopt;
    // Only pictures of the library: a stored URL must not reach any other file.
    std::error_code ec;
    const auto file = std::filesystem::weakly_canonical(*path, ec);
    const auto library = std::filesystem::weakly_canonical(plat::DataFolder::photos(), ec);
    if (ec || file.parent_path() != library || !std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    return file;
}

void VNPhotoManager::takePhotoAlertInController(plat::ViewController* controller, UrlCompletion completion) {
    auto done = once(std::move(completion));
    plat::AlertView::show(
        Language::get("Take or select photo"), "", Language::get("Cancel"),
        {Language::get("Take photo"), Language::get("Select from Library")},
        [this, controller, done](long index) {
            if (index == 2) {
                selectFromLibrary(controller, done);
                return;
            }
            plat::Log::line("VNPhotoManager: no camera on this machine");
            done(std::nullopt);
        },
        [done] { done(std::nullopt); });
}

void VNPhotoManager::selectFromLibrary(plat::ViewController* controller, const UrlCompletion& completion) {
    const auto library = plat::DataFolder::photos();
    std::error_code ec;
    if (!controller || !std::filesystem::is_directory(library, ec)) {
        plat::Log::line("VNPhotoManager: the photo library is not available");
        completion(std::nullopt);
        return;
    }
    auto picker = PhotoLibraryPicker::make(library, [controller, completion](const auto& photo) {
        controller->dismissViewController(true);
        completion(photo ? std::optional<std::string>(urlForPhoto(*photo)) : std::nullopt);
    });
    if (!controller->presentViewController(picker, true)) completion(std::nullopt);
}

void VNPhotoManager::getImage(const std::string& url, ImageCompletion completion) {
    latest_ = std::move(completion);
    const std::uint64_t generation = ++generation_;
    auto image = std::make_shared<plat::ImagePtr>();
    plat::dispatch::backgroundThenMain([url, image] { *image = loadPhoto(url); },
                                       [this, generation, image] {
                                           if (generation != generation_) return;  // a newer request took over
                                           auto block = std::move(latest_);
                                           latest_ = nullptr;
                                           if (block) block(*image);
                                       });
}

}  // namespace qx
