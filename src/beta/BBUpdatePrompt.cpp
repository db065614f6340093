#include "beta/BBUpdatePrompt.h"

#include "beta/BBCompatibility.h"
#include "beta/BBSDK.h"
#include "beta/BBUpdateAlert.h"

namespace bb {

namespace {
class LoggingPrompt final : public BBUpdatePrompt {
public:
    void show(const std::shared_ptr<BBUpdateAlert>& alert) override {
        bb_log_format("Betabeam: %s\n%s", alert->title().c_str(), alert->message().c_str());
        alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex().value_or(0), false);
    }
};
}  // namespace

bool BBUpdatePrompt::interfaceIdiomIsPhone() const { return BBCompatibility::isIdiomIPhone(); }

std::shared_ptr<BBUpdatePrompt> BBUpdatePrompt::loggingPrompt() { return std::make_shared<LoggingPrompt>(); }

}  // namespace bb
