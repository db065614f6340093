#pragma once

#include <memory>
#include <string>

namespace plat {
class AlertView;
}

namespace qx {

// Tells the person that something they made could not be kept (on disk, or by a service it was
// meant for), and why, in their language.
class StorageAlert {
public:
    // "the disk is full" in the current language.
    static std::string diskFullReason();
    // The reason for a failed file write in the person's words (see plat::WriteFailure).
    static std::string reasonForErrno(int code);
    // Shows an alert with an OK button. `titleKey` and `messageKey` are language keys; the
    // message's "%@" becomes `reason`.
    static std::shared_ptr<plat::AlertView> show(const std::string& titleKey, const std::string& messageKey,
                                                 const std::string& reason);
};

}  // namespace qx
