#include "history/HistoryController.h"

namespace qx {

namespace {
HistoryController::SetDetailsFactory& detailsFactory() {
    static HistoryController::SetDetailsFactory factory;
    return factory;
}
}  // namespace

void HistoryController::setSetDetailsFactory(SetDetailsFactory factory) { detailsFactory() = std::move(factory); }

const HistoryController::SetDetailsFactory& HistoryController::setDetailsFactory() { return detailsFactory(); }

}  // namespace qx
