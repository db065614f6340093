#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Image.h"
#include "platform/ui/ViewController.h"

namespace plat {

enum class ImageSource { PhotoLibrary, Camera, SavedPhotosAlbum };

// The screen that takes a photo or picks one from the library. Which sources this device has
// is a setting. The person picks a picture (the driver hands one in) or cancels; the delegate
// block hears which, and usually dismisses the picker.
class ImagePickerController : public ViewController {
public:
    using PickedHandler = std::function<void(ImagePickerController&, ImagePtr image)>;
    using CancelHandler = std::function<void(ImagePickerController&)>;

    static bool isSourceTypeAvailable(ImageSource source);
    static void setSourceTypeAvailable(ImageSource source, bool available);

    ImageSource sourceType() const { return source_; }
    // An unavailable source is refused (false), as the phone's picker refuses it.
    bool setSourceType(ImageSource source);
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool on) { allowsEditing_ = on; }
    void setPickedHandler(PickedHandler h) { picked_ = std::move(h); }
    void setCancelHandler(CancelHandler h) { cancelled_ = std::move(h); }

    // What the person does; each finishes the picker once.
    bool pick(ImagePtr image);
    bool cancel();
    bool isFinished() const { return finished_; }

    std::string kindName() const override { return "ImagePicker"; }

private:
    ImageSource source_ = ImageSource::PhotoLibrary;
    bool allowsEditing_ = false;
    PickedHandler picked_;
    CancelHandler cancelled_;
    bool finished_ = false;
};

}  // namespace plat
