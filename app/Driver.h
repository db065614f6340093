#pragma once

#include <functional>
#include <string>

#include "CommandRegistry.h"

namespace plat {
class Window;
}

namespace qx::app {

// Runs driver commands against the screens of one window: a person's taps and typing, the
// passing of time on the virtual clock, and checks of what is shown. After every command the
// main queue is drained, so whatever the command set off has happened before the next one.
class Driver {
public:
    using WindowSource = std::function<plat::Window*()>;

    // Registers every command group. The window is the key window unless a source is given.
    explicit Driver(WindowSource source = {});

    CommandRegistry& registry() { return registry_; }
    const CommandRegistry& registry() const { return registry_; }
    // The window the commands act on; nullptr while none is shown.
    plat::Window* window() const;
    // The shown screen as indented text.
    std::string screenText() const;

    // Parses and runs one line; blank lines and comments succeed doing nothing.
    Outcome execute(const std::string& line);

    bool quitRequested() const { return quit_; }
    void requestQuit() { quit_ = true; }

private:
    WindowSource source_;
    CommandRegistry registry_;
    bool quit_ = false;
};

}  // namespace qx::app
