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

// The photo of a URL, or none with why in `error`.
plat::ImagePtr loadPhoto(const std::string& url, std::string& error) {
    const auto file = VNPhotoManager::photoForUrl(url);
    if (!file) {
        error = "not a photo of the library";
        return nullptr;
    }
    auto pixels = plat::PixelImage::load(*file, &error);
    if (!pixels) {
        plat::Log::line("VNPhotoManager getImage: " + plat::Log::quoted(file->filename().string()) + ": " + error);
        return nullptr;
    }
    return plat::Image::withPixels(std::move(*pixels), file->filename().string());
}

// A regular file directly in the library, links resolved; none for anything else.
std::optional<std::filesystem::path> inLibrary(const std::filesystem::path& path) {
    std::error_code ec;
    const auto file = std::filesystem::weakly_canonical(path, ec);
    if (ec) return std::nullopt;
    const auto library = std::filesystem::weakly_canonical(plat::DataFolder::photos(), ec);
    if (ec || file.parent_path() != library || !std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    return file;
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
    if (auto file = inLibrary(*path)) return file;
    // A URL stored before the data folder was moved or copied names the library of then: the
    // photo is the one of the same name in today's.
    const auto name = std::filesystem::path(*path).filename();
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    return inLibrary(plat::DataFolder::photos() / name);
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
    struct Loaded {
        plat::ImagePtr image;
        std::string error;
    };
    auto loaded = std::make_shared<Loaded>();
    plat::dispatch::backgroundThenMain([url, loaded] { loaded->image = loadPhoto(url, loaded->error); },
                                       [this, generation, loaded] {
                                           if (generation != generation_) return;  // a newer request took over
                                           auto block = std::move(latest_);
                                           latest_ = nullptr;
                                           if (block) block(loaded->image, loaded->image ? std::string() : loaded->error);
                                       });
}

}  // namespace qx
