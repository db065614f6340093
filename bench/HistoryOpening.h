#pragma once
// The History tab's screen as the benchmarks show it: the common peer of what they measure.
#include <chrono>
#include <cstddef>
#include <memory>

#include "history/HistoryController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"

namespace qxbench {

// Puts the History tab's screen on `window` and lays it out, as the tab shows it.
inline std::shared_ptr<qx::HistoryController> showHistory(plat::Window& window) {
    auto screen = qx::HistoryController::make();
    window.setRootViewController(screen);
    window.makeKeyAndVisible();
    window.layoutIfNeeded();
    return screen;
}

struct HistoryOpening {
    double ms = 0;
    std::size_t rows = 0;  // the rows of its first screen
};

// The History tab opened on a window of its own, timed until its first screen of rows is configured.
inline HistoryOpening openHistoryTab() {
    plat::Window window;
    const auto t = std::chrono::steady_clock::now();
    auto screen = showHistory(window);
    const std::size_t rows = screen->tableView()->visibleCells().size();
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count(), rows};
}

}  // namespace qxbench
