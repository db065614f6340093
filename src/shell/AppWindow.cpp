#include "shell/AppWindow.h"

#include "platform/ui/Window.h"
#include "shell/KestrelAppDelegate.h"

namespace qx {

plat::Window* mainWindow() {
    if (auto delegate = KestrelAppDelegate::sharedDelegate(); delegate && delegate->window()) {
        return delegate->window().get();
    }
    return plat::Window::keyWindow();
}

plat::ViewController* visibleViewController() {
    auto* window = mainWindow();
    return window ? window->visibleViewController() : nullptr;
}

}  // namespace qx
