#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

namespace qx::app {

class Driver;

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
    // on. The prompt is written before each line when asked for (a terminal), and there a person
    // may stop waiting for a slow server (TerminalWait). Returns 0, or 1
    // when a command failed and no one was at a prompt: commands piped in from another program
    // report their failure as a script does.
    int runInteractive(std::istream& in, bool prompt);

    static constexpr const char* kPrompt = "quorix> ";

private:
    Driver& driver_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace qx::app
