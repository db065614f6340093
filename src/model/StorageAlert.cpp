#include "model/StorageAlert.h"

#include "model/Language.h"
#include "platform/foundation/WriteFailure.h"
#include "platform/ui/AlertView.h"

namespace qx {

std::string StorageAlert::diskFullReason() { return Language::get("the disk is full"); }

std::string StorageAlert::reasonForErrno(int code) { return plat::WriteFailure::reason(code, &Language::get); }

std::shared_ptr<plat::AlertView> StorageAlert::show(const std::string& titleKey, const std::string& messageKey,
                                                    const std::string& reason) {
    std::string message = Language::get(messageKey);
    if (const auto at = message.find("%@"); at != std::string::npos) message.replace(at, 2, reason);
    return plat::AlertView::show(Language::get(titleKey), message, Language::get("OK"), {}, {});
}

}  // namespace qx
