#pragma once

#include <memory>
#include <utility>

#include "shell/VNSection.h"

namespace qx {

// A block for a cell of `section` that runs `action(section, arguments...)` while the section
// lives. The section owns its cells and the cells own their blocks, so the block must not own
// the section.
template <class Section, class Action>
auto whileSectionLives(Section& section, Action action) {
    std::weak_ptr<VNSection> weak = section.weak_from_this();
    return [weak, action](auto&&... args) {
        if (auto self = std::static_pointer_cast<Section>(weak.lock())) {
            action(*self, std::forward<decltype(args)>(args)...);
        }
    };
}

}  // namespace qx
