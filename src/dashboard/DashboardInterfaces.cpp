#include "dashboard/DashboardInterfaces.h"

#include <mutex>

#include "dashboard/VNSegmentedControlView.h"
#include "platform/ui/Interface.h"

namespace qx {

void registerDashboardInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(VNSegmentedControlView::kNibName, [](plat::Outlets& outlets) {
            auto view = std::make_shared<VNSegmentedControlView>();
            outlets.set("leftButton", view->leftButton().sharedAs<plat::View>());
            outlets.set("centerButton", view->centerButton().sharedAs<plat::View>());
            outlets.set("rightButton", view->rightButton().sharedAs<plat::View>());
            return std::static_pointer_cast<plat::View>(view);
        });
    });
}

}  // namespace qx
