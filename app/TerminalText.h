#pragma once

#include <string>
#include <string_view>

namespace qx::app {

// Text bound for the terminal. Names come from files and servers, and a terminal takes control
// characters in them as orders (clear the screen, set the window title): they are written as
// escapes a person can read, ESC as \e, other C0 and DEL as \xNN, C1 as \uNNNN. Line breaks and
// tabs lay the text out and stay.
class TerminalText {
public:
    static std::string printable(std::string_view text);
};

}  // namespace qx::app
