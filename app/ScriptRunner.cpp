#include "ScriptRunner.h"

#include <fstream>
#include <istream>
#include <optional>
#include <ostream>

#include "Driver.h"
#include "TerminalWait.h"

namespace qx::app {

namespace {

void print(std::ostream& out, const std::string& text) {
    if (text.empty()) return;
    out << text;
    if (text.back() != '\n') out << '\n';
}

std::string trimmed(const std::string& line) {
    auto first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    auto last = line.find_last_not_of(" \t\r\n");
    return line.substr(first, last - first + 1);
}

}  // namespace

int ScriptRunner::runScript(std::istream& in, const std::string& name) {
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        Outcome outcome = driver_.execute(line);
        if (!outcome.ok) {
            err_ << name << ":" << number << ": " << trimmed(line) << "\n";
            print(err_, "  " + outcome.text);
            err_ << "screen:\n" << driver_.screenText();
            err_.flush();
            return 1;
        }
        print(out_, outcome.text);
        if (driver_.quitRequested()) break;
    }
    out_.flush();
    return 0;
}

int ScriptRunner::runScriptFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) {
        err_ << "quorix: cannot read the script " << path.string() << "\n";
        return 2;
    }
    return runScript(in, path.filename().string());
}

int ScriptRunner::runInteractive(std::istream& in, bool prompt) {
    std::string line;
    bool failed = false;
    // Piped commands wait for every reply in order, so that a run is repeatable.
    std::optional<TerminalWait> wait;
    if (prompt) wait.emplace(out_);
    while (!driver_.quitRequested()) {
        if (prompt) out_ << kPrompt << std::flush;
        if (!std::getline(in, line)) break;
        if (wait) wait->beginCommand();
        Outcome outcome = driver_.execute(line);
        if (wait) wait->endCommand();
        failed = failed || !outcome.ok;
        print(outcome.ok ? out_ : err_, outcome.ok ? outcome.text : "error: " + outcome.text);
        out_.flush();
        err_.flush();
    }
    if (prompt && !driver_.quitRequested()) out_ << "\n";
    return failed && !prompt ? 1 : 0;
}

}  // namespace qx::app
