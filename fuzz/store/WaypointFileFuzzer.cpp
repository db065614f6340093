// Reads arbitrary bytes as a waypoint file: the readers must neither crash nor hand back a
// record with a position outside the globe.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/io/CsvWaypointReader.h"
#include "store/io/GpxWaypointReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
#ifdef QX_FUZZ_GPX
    const auto result = qx::GpxWaypointReader::read(bytes);
#else
    const auto result = qx::CsvWaypointReader::read(bytes);
#endif
    if (!result.readable && !result.records.empty()) std::abort();
    for (const auto& r : result.records) {
        if (r.hasPosition() && (std::abs(*r.latitude) > 90 || std::abs(*r.longitude) > 180)) std::abort();
    }
    return 0;
}
