#pragma once

#include <string>
#include <vector>

namespace qx::app {

// One word of a driver command. Texts with blanks are written in double quotes; inside them
// \" and \\ stand for a quote and a backslash. An unquoted ">" separates the steps of an
// element path, and an unquoted "#N" at the end of a word picks the N-th of equal texts.
struct Word {
    std::string text;
    bool quoted = false;     // some part of it was in quotes
    bool separator = false;  // an unquoted ">"
    int index = 0;           // N of a trailing "#N" (counted from 1), 0 without one
};

struct ParsedCommand {
    std::string name;  // empty for a blank line or a comment
    std::vector<Word> args;
    bool empty() const { return name.empty(); }
};

// Splits a line into its command name and arguments. Blank lines and lines whose first
// non-blank character is '#' give an empty command. False (with the reason) for an unclosed
// quote or a name that is not a plain word.
bool parseCommand(const std::string& line, ParsedCommand& out, std::string& error);

// One step of an element path: a visible text, and which of several equal ones.
struct PathStep {
    std::string text;
    int index = 0;
};
using ElementPath = std::vector<PathStep>;

// Builds a path from words such as  "Settings" > "Language"#2 : one word per step, steps
// separated by ">". False (with the reason) for an empty step or two words in one step.
bool parsePath(const std::vector<Word>& words, ElementPath& out, std::string& error);

// The path written back as the user would type it (for messages).
std::string pathText(const ElementPath& path);

}  // namespace qx::app
