#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// Misuse of the screen toolkit that the phone treats as fatal (a table update whose row counts
// do not add up, an index outside a list). The default handler logs the message and aborts;
// tests install a handler to observe the failure instead, and the toolkit then recovers as
// well as it can (a table reloads from its data source).
class UiFailure {
public:
    using Handler = std::function<void(const std::string& message)>;
    static void report(const std::string& message);
    // Installs a handler and returns the previous one; an empty handler restores the default.
    static Handler setHandler(Handler handler);
};

// Installs a failure handler for its lifetime and collects the messages.
class UiFailureCapture {
public:
    UiFailureCapture();
    ~UiFailureCapture();
    UiFailureCapture(const UiFailureCapture&) = delete;
    UiFailureCapture& operator=(const UiFailureCapture&) = delete;
    const std::vector<std::string>& messages() const { return *messages_; }
    bool empty() const { return messages_->empty(); }

private:
    std::shared_ptr<std::vector<std::string>> messages_;
    UiFailure::Handler previous_;
};

}  // namespace plat
