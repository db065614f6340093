#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CommandParser.h"

namespace qx::app {

class Driver;

// What a command did: on success the text it prints (often none), on failure the reason.
struct Outcome {
    bool ok = true;
    std::string text;

    static Outcome success(std::string output = {}) { return {true, std::move(output)}; }
    static Outcome failure(std::string why) { return {false, std::move(why)}; }
};

struct Command {
    std::string name;
    std::string usage;    // the arguments, as shown by help: "TEXT [> TEXT ...]"
    std::string summary;  // one line
    std::function<Outcome(Driver& driver, const std::vector<Word>& args)> run;
};

// The driver's commands by name, in the order they were added (the order help lists them).
// Each group of commands (screens, the instrument...) adds its own.
class CommandRegistry {
public:
    // False when the name is already taken or the command has no name or no body.
    bool add(Command command);
    const Command* find(const std::string& name) const;
    const std::vector<Command>& commands() const { return commands_; }
    // Every command with its usage and summary, one a line.
    std::string helpText() const;

private:
    std::vector<Command> commands_;
};

}  // namespace qx::app
