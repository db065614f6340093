#pragma once

#include <memory>

namespace bb {

class BBUpdateAlert;

// How the host shows the update alert. It keeps the alert while it is up and answers with
// BBUpdateAlert::clickButtonAtIndex(), then lets it go. Called on the main thread.
class BBUpdatePrompt {
public:
    virtual ~BBUpdatePrompt() = default;

    virtual void show(const std::shared_ptr<BBUpdateAlert>& alert) = 0;
    // The interface the alert is shown in: whether it is a phone's, and its status-bar orientation
    // (1 portrait, 2 upside down, 3 and 4 landscape).
    virtual bool interfaceIdiomIsPhone() const;
    virtual int statusBarOrientation() const { return 1; }

    // Without a screen of its own the library logs the offer and closes the alert unanswered.
    static std::shared_ptr<BBUpdatePrompt> loggingPrompt();
};

}  // namespace bb
