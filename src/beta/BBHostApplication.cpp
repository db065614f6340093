#include "beta/BBHostApplication.h"

#include <mutex>

namespace bb {

namespace {
std::mutex openerMutex;
BBHostApplication::URLOpener& openerSlot() {
    static BBHostApplication::URLOpener* opener = new BBHostApplication::URLOpener();
    return *opener;
}

std::mutex activeMutex;
BBHostApplication::ActiveStateSource& activeSlot() {
    static BBHostApplication::ActiveStateSource* source = new BBHostApplication::ActiveStateSource();
    return *source;
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

void BBHostApplication::setActiveStateSource(ActiveStateSource source) {
    std::lock_guard lock(activeMutex);
    activeSlot() = std::move(source);
}

bool BBHostApplication::isActive() {
    ActiveStateSource source;
    {
        std::lock_guard lock(activeMutex);
        source = activeSlot();
    }
    return source && source();
}

}  // namespace bb
