#include <charconv>
#include <cmath>

#include "CommandGroups.h"
#include "CommandSupport.h"
#include "Driver.h"
#include "platform/foundation/RunLoop.h"

namespace qx::app {

namespace {

Outcome advance(Driver&, const std::vector<Word>& args) {
    std::string error;
    auto text = singleText(args, error);
    if (!text) return Outcome::failure("usage: advance SECONDS");
    double seconds = 0;
    const char* end = text->data() + text->size();
    auto [stop, ec] = std::from_chars(text->data(), end, seconds);
    if (ec != std::errc() || stop != end || !std::isfinite(seconds) || seconds < 0) {
        return Outcome::failure("advance needs a number of seconds, 0 or more: " + *text);
    }
    if (!plat::RunLoop::main().advanceVirtualTime(seconds)) return Outcome::failure("the clock is not virtual");
    return Outcome::success();
}

Outcome help(Driver& driver, const std::vector<Word>&) {
    return Outcome::success(
        "commands:\n" + driver.registry().helpText() +
        "Texts with blanks go in double quotes. \"A\" > \"B\" names B inside A; TEXT#N the N-th of\n"
        "equal texts. Lines starting with # are comments.\n");
}

Outcome quit(Driver& driver, const std::vector<Word>&) {
    driver.requestQuit();
    return Outcome::success();
}

}  // namespace

void registerSessionCommands(CommandRegistry& registry) {
    registry.add({"advance", "SECONDS", "move the clock on, firing the timers due", advance});
    registry.add({"help", "", "list the commands", help});
    registry.add({"quit", "", "leave the program (or end the script)", quit});
}

}  // namespace qx::app
