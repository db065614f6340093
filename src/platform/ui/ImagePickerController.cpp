#include "platform/ui/ImagePickerController.h"

namespace plat {

namespace {
bool gAvailable[3] = {true, true, true};
}  // namespace

bool ImagePickerController::isSourceTypeAvailable(ImageSource source) { return gAvailable[static_cast<int>(source)]; }

void ImagePickerController::setSourceTypeAvailable(ImageSource source, bool available) {
    gAvailable[static_cast<int>(source)] = available;
}

bool ImagePickerController::setSourceType(ImageSource source) {
    if (!isSourceTypeAvailable(source)) return false;
    source_ = source;
    return true;
}

bool ImagePickerController::pick(ImagePtr image) {
    if (finished_ || !image) return false;
    finished_ = true;
    auto keep = weak_from_this().lock();
    if (picked_) {
        auto handler = picked_;
        handler(*this, std::move(image));
    }
    return true;
}

bool ImagePickerController::cancel() {
    if (finished_) return false;
    finished_ = true;
    auto keep = weak_from_this().lock();
    if (cancelled_) {
        auto handler = cancelled_;
        handler(*this);
    }
    return true;
}

}  // namespace plat
