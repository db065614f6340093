#include "CommandRegistry.h"

#include <algorithm>

namespace qx::app {

bool CommandRegistry::add(Command command) {
    if (command.name.empty() || !command.run || find(command.name)) return false;
    commands_.push_back(std::move(command));
    return true;
}

const Command* CommandRegistry::find(const std::string& name) const {
    auto it = std::find_if(commands_.begin(), commands_.end(), [&](const Command& c) { return c.name == name; });
    return it == commands_.end() ? nullptr : &*it;
}

std::string CommandRegistry::helpText() const {
    std::size_t width = 0;
    for (const Command& c : commands_) width = std::max(width, c.name.size() + 1 + c.usage.size());
    std::string s;
    for (const Command& c : commands_) {
        std::string head = c.usage.empty() ? c.name : c.name + " " + c.usage;
        s += "  " + head + std::string(width - head.size() + 2, ' ') + c.summary + "\n";
    }
    return s;
}

}  // namespace qx::app
