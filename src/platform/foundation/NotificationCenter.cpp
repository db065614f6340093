#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"

namespace plat {

struct ObserverToken::Entry {
    std::string name;
    const void* sender;
    NotificationCenter::Handler handler;
    bool alive = true;  // main thread only: cleared when the token goes
};

std::string Notification::text() const {
    if (const auto* s = std::any_cast<std::string>(&object)) return *s;
    if (const auto* c = std::any_cast<const char*>(&object)) return *c ? *c : "";
    return {};
}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept {
    if (this != &other) {
        reset();
        center_ = other.center_;
        entry_ = std::move(other.entry_);
        other.center_ = nullptr;
    }
    return *this;
}

void ObserverToken::reset() {
    if (entry_ && center_) {
        entry_->alive = false;
        center_->remove(entry_.get());
    }
    entry_.reset();
    center_ = nullptr;
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

ObserverToken NotificationCenter::addObserver(std::string name, Handler handler,
                                              const void* sender) {
    auto entry = std::make_shared<ObserverToken::Entry>(
        ObserverToken::Entry{std::move(name), sender, std::move(handler)});
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
    return ObserverToken(this, entry);
}

void NotificationCenter::remove(const ObserverToken::Entry* entry) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [entry](const auto& e) { return e.get() == entry; });
}

void NotificationCenter::post(const std::string& name, std::any object, const void* sender) {
    post(Notification{name, sender, std::move(object)});
}

void NotificationCenter::post(Notification notification) {
    RunLoop& loop = RunLoop::main();
    if (loop.isLoopThread()) {
        deliver(notification);
    } else {
        loop.post([this, n = std::move(notification)] { deliver(n); });
    }
}

void NotificationCenter::deliver(const Notification& notification) {
    std::vector<std::shared_ptr<ObserverToken::Entry>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (e->name == notification.name && (!e->sender || e->sender == notification.sender)) {
                targets.push_back(e);
            }
        }
    }
    // An observer may remove others (or itself) while we deliver: check each before calling.
    for (const auto& e : targets) {
        if (e->alive) e->handler(notification);
    }
}

std::size_t NotificationCenter::observerCount(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e->name == name; }));
}

}  // namespace plat
