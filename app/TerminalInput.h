#pragma once

#include <string>

namespace qx::app {

// The lines a person types at a terminal while Ctrl-C is caught (InterruptCatcher). Ctrl-C
// drops the line being typed, as interactive shells do: the terminal discards what it holds,
// and so is what was read and not yet handed out.
class TerminalInput {
public:
    enum class Read { line, interrupted, end };

    explicit TerminalInput(int descriptor) : descriptor_(descriptor) {}

    // The next line without its line break; `interrupted` after a Ctrl-C; `end` at the end of
    // input (Ctrl-D on an empty line, a closed terminal).
    Read next(std::string& line);

private:
    bool takeLine(std::string& line);
    void readMore();

    int descriptor_;
    std::string pending_;
    bool ended_ = false;
};

}  // namespace qx::app
