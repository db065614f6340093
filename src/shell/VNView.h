#pragma once

#include <memory>

#include "platform/ui/Interface.h"
#include "platform/ui/View.h"
#include "shell/ShellInterfaces.h"

namespace qx {

// The base of the application's own views that come from an interface file named after their
// class (T::kNibName): loadFromNib<T>() gives the file's first top-level view.
class VNView : public plat::View {
public:
    using plat::View::View;

    template <class T>
    static std::shared_ptr<T> loadFromNib() {
        registerShellInterfaces();
        return plat::Interface::loadAs<T>(T::kNibName);
    }
};

}  // namespace qx
