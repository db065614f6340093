// Replay files come from the user: any bytes must parse without harm, and a usable file must
// play with offsets that keep growing.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "link/DemoReplay.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The texts of bad rows are looked up in the language table, which reads the preferences:
    // keep those away from the user's own data folder.
    plat::DataFolder::setRoot(std::filesystem::temp_directory_path() / "quorix-link-fuzz");
    plat::Log::setSink([](const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<qx::DemoReplay::BadRow> bad;
    std::string error;
    auto replay = qx::DemoReplay::parse(std::string_view(reinterpret_cast<const char*>(data), size), &bad, &error);
    if (!replay) return 0;
    double last = -1;
    for (std::size_t i = 0; i < 2 * replay->rowCount() + 1; ++i) {
        const double offset = replay->sample(i).offset;
        if (!(offset > last)) std::abort();
        last = offset;
    }
    return 0;
}
