#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CommandParser.h"
#include "CommandRegistry.h"

namespace qx::app {

class Driver;

// A walk over every screen the program can reach: driver commands written with English
// texts, run in any language with each text put through the language table as its step runs
// (the language is switched live by the walk itself), so that the same walk reaches the same
// screens whatever the language. "$LANG" stands for the walk's language code, "$WALK" for the
// folder of the walk's file (where the files it imports lie); a line that
// begins with "@CODE " runs only in that language; `check-layout` marks a screen reached.
class ScreenWalk {
public:
    struct Step {
        int line = 0;
        std::string text;  // the command as run, in the walk's language
        bool check = false;
    };
    // Called after each step with its outcome; returns whether the walk goes on.
    using Observer = std::function<bool(const Step& step, const Outcome& outcome)>;

    // False with the reason when the file cannot be read or a line is not a command.
    bool load(const std::filesystem::path& file, std::string& error);
    void run(Driver& driver, const std::string& language, const Observer& after) const;

private:
    struct Line {
        int number = 0;
        std::string only;  // the one language it runs in, or empty
        ParsedCommand command;
    };
    std::vector<Line> lines_;
    std::string folder_;  // of the walk's file
};

}  // namespace qx::app
