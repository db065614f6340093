#include "Driver.h"

#include "CommandGroups.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Window.h"

namespace qx::app {

Driver::Driver(WindowSource source) : source_(std::move(source)) { registerAllCommands(registry_); }

plat::Window* Driver::window() const {
    plat::Window* w = source_ ? source_() : plat::Window::keyWindow();
    return w && w->isShowing() ? w : nullptr;
}

std::string Driver::screenText() const {
    plat::Window* w = window();
    return w ? w->describe() : "(no window is shown)\n";
}

Outcome Driver::execute(const std::string& line) {
    ParsedCommand parsed;
    std::string error;
    if (!parseCommand(line, parsed, error)) return Outcome::failure(error);
    if (parsed.empty()) return Outcome::success();
    const Command* command = registry_.find(parsed.name);
    if (!command) return Outcome::failure("unknown command " + parsed.name + " (help lists the commands)");
    Outcome outcome = command->run(*this, parsed.args);
    plat::RunLoop::main().drain();
    return outcome;
}

}  // namespace qx::app
