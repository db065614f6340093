#include "beta/BBHostApplication.h"

#include <mutex>

namespace bb {

namespace {
std::mutex openerMutex;
BBHostApplication::URLOpener& openerSlot() {
    static BBHostApplication::URLOpener* opener = new BBHostApplication::URLOpener();
    return *opener;
}
}  // namespace

void BBHostApplication::setURLOpener(URLOpener opener) {
    std::lock_guard lock(openerMutex);
    openerSlot() = std::move(opener);
}

bool BBHostApplication::openURL(const std::string& url) {
    URLOpener opener;
    {
        std::lock_guard lock(openerMutex);
        opener = openerSlot();
    }
    return opener && opener(url);
}

}  // namespace bb
