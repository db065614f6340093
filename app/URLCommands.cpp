#include "CommandGroups.h"
#include "CommandSupport.h"
#include "shell/KestrelAppDelegate.h"

namespace qx::app {

namespace {

// The address reaches the application's URL routing as if another program had opened it: a
// file is imported, the service login's redirect goes to its client.
Outcome openURL(Driver&, const std::vector<Word>& args) {
    std::string error;
    const auto url = singleText(args, error);
    if (!url) return Outcome::failure("usage: open-url URL");
    auto delegate = KestrelAppDelegate::sharedDelegate();
    if (!delegate) return Outcome::failure("the application is not running");
    if (!delegate->openURL(*url, "quorix-driver")) return Outcome::failure("nothing in the application took " + *url);
    return Outcome::success();
}

}  // namespace

void registerURLCommands(CommandRegistry& registry) {
    registry.add({"open-url", "URL", "open an address in the application, as another program would", openURL});
}

}  // namespace qx::app
