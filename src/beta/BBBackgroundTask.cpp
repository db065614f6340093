#include "beta/BBBackgroundTask.h"

#include <mutex>
#include <set>

namespace bb {

namespace {
struct State {
    std::mutex mutex;
    BBBackgroundTask::Hooks hooks;
    BBBackgroundTask::Identifier next = 1;
    std::set<BBBackgroundTask::Identifier> outstanding;
};

State& state() {
    static State* instance = new State();
    return *instance;
}
}  // namespace

void BBBackgroundTask::setHooks(Hooks hooks) {
    std::lock_guard lock(state().mutex);
    state().hooks = std::move(hooks);
}

BBBackgroundTask::Identifier BBBackgroundTask::begin(std::function<void()> expiry) {
    decltype(Hooks::begin) hook;
    {
        std::lock_guard lock(state().mutex);
        hook = state().hooks.begin;
    }
    Identifier identifier = kInvalid;
    if (hook) {
        identifier = hook(std::move(expiry));
    } else {
        std::lock_guard lock(state().mutex);
        identifier = state().next++;
    }
    if (identifier != kInvalid) {
        std::lock_guard lock(state().mutex);
        state().outstanding.insert(identifier);
    }
    return identifier;
}

void BBBackgroundTask::end(Identifier identifier) {
    if (identifier == kInvalid) return;
    decltype(Hooks::end) hook;
    {
        std::lock_guard lock(state().mutex);
        if (state().outstanding.erase(identifier) == 0) return;
        hook = state().hooks.end;
    }
    if (hook) hook(identifier);
}

std::size_t BBBackgroundTask::outstandingCount() {
    std::lock_guard lock(state().mutex);
    return state().outstanding.size();
}

}  // namespace bb
