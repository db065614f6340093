#include "store/CurrentReadingSource.h"

namespace qx {

namespace {
CurrentReadingSource::Provider& provider() {
    static CurrentReadingSource::Provider p;
    return p;
}
}  // namespace

void CurrentReadingSource::setProvider(Provider p) { provider() = std::move(p); }

CurrentReading CurrentReadingSource::current() {
    auto& p = provider();
    return p ? p() : CurrentReading{};
}

}  // namespace qx
