#include "platform/ui/UiFailure.h"

#include <cstdlib>
#include <mutex>

#include "platform/foundation/Log.h"

namespace plat {

namespace {

std::mutex& handlerMutex() {
    static std::mutex m;
    return m;
}

UiFailure::Handler& currentHandler() {
    static UiFailure::Handler h;
    return h;
}

}  // namespace

void UiFailure::report(const std::string& message) {
    Handler handler;
    {
        std::lock_guard lock(handlerMutex());
        handler = currentHandler();
    }
    if (handler) {
        handler(message);
        return;
    }
    Log::line("UI failure: " + message);
    std::abort();
}

UiFailure::Handler UiFailure::setHandler(Handler handler) {
    std::lock_guard lock(handlerMutex());
    Handler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

UiFailureCapture::UiFailureCapture() : messages_(std::make_shared<std::vector<std::string>>()) {
    auto messages = messages_;
    previous_ = UiFailure::setHandler([messages](const std::string& m) { messages->push_back(m); });
}

UiFailureCapture::~UiFailureCapture() { UiFailure::setHandler(std::move(previous_)); }

}  // namespace plat
