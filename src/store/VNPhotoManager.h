#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/graphics/Image.h"

namespace plat {
class ViewController;
}

namespace qx {

// Takes, picks and loads waypoint photos. Photos/ of the data folder stands for the photo
// library, and a photo's asset URL is its file URL there. This machine has no camera.
class VNPhotoManager {
public:
    using UrlCompletion = std::function<void(const std::optional<std::string>& url)>;
    // The picture, or none with why it could not be read (for the log).
    using ImageCompletion = std::function<void(const plat::ImagePtr& image, const std::string& why)>;

    static VNPhotoManager& sharedInstance();

    // Asks "Take photo" or "Select from Library"; the library's picker is presented on
    // `controller`. The block runs once, on the main thread: with the chosen photo's URL, or
    // with none when the person cancels or the source is not available.
    void takePhotoAlertInController(plat::ViewController* controller, UrlCompletion completion);

    // Loads the photo of an asset URL on a worker and hands it to the block on the main thread
    // (none when it cannot be loaded). Only the latest request is answered: a newer one
    // replaces both the block and the load, so a block never receives another URL's picture.
    void getImage(const std::string& url, ImageCompletion completion);

    static std::string urlForPhoto(const std::filesystem::path& photo);
    // The file of a URL inside the photo library; for a URL naming another folder (one the data
    // folder was moved from), the library's file of the same name; none for any other URL.
    static std::optional<std::filesystem::path> photoForUrl(const std::string& url);

private:
    VNPhotoManager() = default;
    void selectFromLibrary(plat::ViewController* controller, const UrlCompletion& completion);

    ImageCompletion latest_;
    std::uint64_t generation_ = 0;
};

}  // namespace qx
