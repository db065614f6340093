// Reads arbitrary bytes as a photo of the library: the readers must neither crash nor hand back
// a picture whose pixels do not fill its size, and a refusal always says why.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/graphics/JpegDecoder.h"
#include "platform/graphics/PixelImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
#ifdef QX_FUZZ_JPEG
    const auto image = plat::JpegDecoder::decode(bytes, &error);
#else
    const auto image = plat::PixelImage::fromPngData(bytes, &error);
#endif
    if (!image) {
        if (error.empty()) std::abort();
        return 0;
    }
    const auto pixels = static_cast<long long>(image->width()) * image->height();
    if (image->isEmpty() || pixels > plat::PixelImage::kMaxPixels ||
        image->words().size() != static_cast<std::size_t>(pixels) || image->orientation() < 1 ||
        image->orientation() > 8) {
        std::abort();
    }
    return 0;
}
