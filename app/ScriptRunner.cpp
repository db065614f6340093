#include "ScriptRunner.h"

#include <fstream>
#include <istream>
#include <optional>
#include <ostream>

#include "Driver.h"
#include "TerminalText.h"
#include "TerminalWait.h"

namespace qx::app {

namespace {

void print(std::ostream& out, const std::string& text) {
    if (text.empty()) return;
    out << TerminalText::printable(text);
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
            print(err_, name + ":" + std::to_string(number) + ": " + trimmed(line));
            print(err_, "  " + outcome.text);
            print(err_, "screen:\n" + driver_.screenText());
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
    // Piped commands wait for every reply in order, so that a run is repeatable.
    std::optional<TerminalWait> wait;
    if (prompt) wait.emplace(out_);
    return runLines([&in](std::string& line) { return std::getline(in, line) ? Input::line : Input::end; }, prompt,
                    wait ? &*wait : nullptr);
}

int ScriptRunner::runAtTerminal(int descriptor) {
    TerminalWait wait(out_);
    TerminalInput input(descriptor);
    return runLines([&input](std::string& line) { return input.next(line); }, true, &wait);
}

int ScriptRunner::runLines(const std::function<Input(std::string&)>& next, bool prompt, TerminalWait* wait) {
    std::string line;
    bool failed = false;
    while (!driver_.quitRequested()) {
        if (prompt) out_ << kPrompt << std::flush;
        const Input got = next(line);
        if (got == Input::end) break;
        // The line being typed is gone (the terminal echoed "^C"); a fresh prompt follows.
        if (got == Input::interrupted) {
            out_ << "\n";
            continue;
        }
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
