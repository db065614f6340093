#include "platform/graphics/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/graphics/PhotoOrientation.h"

namespace plat {

namespace {

// The library reports a fatal error by calling error_exit, which must not return: it jumps
// back to the decoding function with the library's message.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool cutShort;  // the data ended before the picture did (the library fills the rest grey)
};

void failDecoding(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings about odd but readable data pass; data that ends early does not.
void noteWarning(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) errors->cutShort = true;
}

// Premultiplied ARGB of one decoded row, opaque. Adobe files store CMYK inverted.
void putRow(const JSAMPLE* row, int width, int components, bool cmyk, std::uint32_t* out) {
    for (int x = 0; x < width; ++x) {
        const JSAMPLE* p = row + static_cast<std::ptrdiff_t>(x) * components;
        std::uint32_t r = p[0], g = p[0], b = p[0];
        if (cmyk) {
            r = p[0] * p[3] / 255u;
            g = p[1] * p[3] / 255u;
            b = p[2] * p[3] / 255u;
        } else if (components == 3) {
            g = p[1];
            b = p[2];
        }
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

// Decodes into `words` (sized here); false with `message` filled on failure. The library's
// errors jump back into this frame, so it holds plain data only, and the row buffer belongs to
// the library's own memory.
bool decodeInto(const unsigned char* data, unsigned long size, std::vector<std::uint32_t>& words, int& width,
                int& height, char* message) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = failDecoding;
    errors.base.emit_message = noteWarning;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_calc_output_dimensions(&info);
    if (static_cast<long long>(info.output_width) * info.output_height > JpegDecoder::kMaxPixels) {
        std::snprintf(message, JMSG_LENGTH_MAX, "the picture is too large (%ux%u)", info.output_width,
                      info.output_height);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    const int components = info.output_components;
    words.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * static_cast<JDIMENSION>(components), 1);
    while (info.output_scanline < info.output_height && !errors.cutShort) {
        const auto y = static_cast<std::size_t>(info.output_scanline);
        if (jpeg_read_scanlines(&info, row, 1) != 1) break;
        putRow(row[0], width, components, cmyk, words.data() + y * static_cast<std::size_t>(width));
    }
    // A file that ends early is refused, not shown with a grey rest.
    const bool whole = info.output_scanline == info.output_height && !errors.cutShort;
    if (whole) jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (!whole) std::snprintf(message, JMSG_LENGTH_MAX, "the picture is cut short");
    return whole;
}

}  // namespace

bool JpegDecoder::isJpeg(std::string_view bytes) { return bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF"; }

std::optional<PixelImage> JpegDecoder::decode(std::string_view bytes, std::string* error) {
    if (!isJpeg(bytes)) {
        if (error) *error = "not a JPEG picture";
        return std::nullopt;
    }
    std::vector<std::uint32_t> words;
    int width = 0, height = 0;
    char message[JMSG_LENGTH_MAX] = {};
    if (!decodeInto(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()),
                    words, width, height, message)) {
        if (error) *error = message;
        return std::nullopt;
    }
    PixelImage image(width, height);
    image.words() = std::move(words);
    image.setOrientation(jpegOrientation(bytes));
    return image;
}

}  // namespace plat
