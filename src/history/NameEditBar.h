#pragma once

#include <functional>
#include <memory>

#include "platform/ui/Toolbar.h"

namespace qx {

// The bar above the keyboard while a row's name is edited; its "Done" ends the edit. This
// machine draws no keyboard, so the bar shows at the bottom of the screen while an edit is open.
class NameEditBar {
public:
    using DoneAction = std::function<void()>;

    explicit NameEditBar(DoneAction done);
    ~NameEditBar();
    NameEditBar(const NameEditBar&) = delete;
    NameEditBar& operator=(const NameEditBar&) = delete;

    // The name field's input accessory.
    const std::shared_ptr<plat::Toolbar>& toolbar() const { return toolbar_; }
    // Puts the bar at the bottom of `screen`, above everything else.
    void show(plat::View& screen);
    void hide();
    // Re-reads the button's text.
    void initTitles();

private:
    std::shared_ptr<plat::Toolbar> toolbar_;
    std::shared_ptr<plat::BarButtonItem> doneItem_;
};

}  // namespace qx
