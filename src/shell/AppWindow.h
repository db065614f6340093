#pragma once

namespace plat {
class ViewController;
class Window;
}  // namespace plat

namespace qx {

// The application's window: the launched delegate's, else the key window; none before launch.
plat::Window* mainWindow();
// The top-most visible screen of the application's window, on which secondary screens are
// presented; none without a window.
plat::ViewController* visibleViewController();

}  // namespace qx
