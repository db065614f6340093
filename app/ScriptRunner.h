#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>

#include "TerminalInput.h"

namespace qx::app {

class Driver;
class TerminalWait;

// Feeds lines to a driver: a script file, or a person typing at a prompt.
class ScriptRunner {
public:
    ScriptRunner(Driver& driver, std::ostream& out, std::ostream& err) : driver_(driver), out_(out), err_(err) {}

    // Runs the lines until the end, a quit or the first failed command, which is reported with
    // its line number, the command and the screen as it was. Returns the exit status: 0, or 1
    // after a failure.
    int runScript(std::istream& in, const std::string& name);
    // As runScript; 2 when the file cannot be read.
    int runScriptFile(const std::filesystem::path& path);
    // Reads commands until the end of input or quit; a failure is reported and reading goes
    // on. The prompt is written before each line when asked for. Returns 0, or 1 when a command
    // failed and no one was at a prompt: commands piped in from another program report their
    // failure as a script does.
    int runInteractive(std::istream& in, bool prompt);
    // As runInteractive with a prompt, for a person typing at the terminal `descriptor`: Ctrl-C
    // drops the line being typed and the program stays, and during a command it stops waiting
    // for slow servers (TerminalWait). Returns 0.
    int runAtTerminal(int descriptor);

    static constexpr const char* kPrompt = "quorix> ";

private:
    using Input = TerminalInput::Read;
    int runLines(const std::function<Input(std::string&)>& next, bool prompt, TerminalWait* wait);

    Driver& driver_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace qx::app
