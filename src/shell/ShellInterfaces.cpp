#include "shell/ShellInterfaces.h"

#include <mutex>

#include "platform/ui/Interface.h"

namespace qx {

void registerShellInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {});
}

}  // namespace qx
