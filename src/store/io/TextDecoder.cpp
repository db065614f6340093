#include "store/io/TextDecoder.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucsdet.h>

#include <array>
#include <utility>

#include "platform/foundation/Utf8Text.h"

namespace qx {

namespace {

// A detected encoding is used only when the detector is this sure of it (of 100): below it, the
// guesses for a few stray bytes are no better than chance.
constexpr int kLeastConfidence = 10;
// The text the encoding is detected from, from the first byte that is not UTF-8 on.
constexpr std::size_t kDetectionSample = 8192;

// Every ASCII character a waypoint file's structure is made of: an encoding that reads them
// differently cannot be the one of a file that was read as ASCII so far.
constexpr std::string_view kAsciiProbe = "date,der;name\"\t\r\n 0123456789.-+:TZ";

// Counts what the converter could not read, then substitutes U+FFFD as ICU does by default.
void countAndSubstitute(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits, int32_t length,
                        UConverterCallbackReason reason, UErrorCode* error) {
    if (reason <= UCNV_IRREGULAR) ++*static_cast<std::size_t*>(const_cast<void*>(context));
    UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, codeUnits, length, reason, error);
}

}  // namespace

struct TextDecoder::Converter {
    UConverter* source = nullptr;
    UConverter* utf8 = nullptr;
    std::array<UChar, 1024> pivot{};
    UChar* pivotSource = pivot.data();
    UChar* pivotTarget = pivot.data();
    bool fresh = true;

    ~Converter() {
        if (source) ucnv_close(source);
        if (utf8) ucnv_close(utf8);
    }

    std::string run(std::string_view bytes, bool flush) {
        std::string out;
        const char* from = bytes.data();
        const char* end = from + bytes.size();
        std::array<char, 8192> buffer{};
        UErrorCode error = U_BUFFER_OVERFLOW_ERROR;
        while (error == U_BUFFER_OVERFLOW_ERROR) {
            error = U_ZERO_ERROR;
            char* target = buffer.data();
            ucnv_convertEx(utf8, source, &target, buffer.data() + buffer.size(), &from, end, pivot.data(),
                           &pivotSource, &pivotTarget, pivot.data() + pivot.size(), fresh, flush, &error);
            fresh = false;
            out.append(buffer.data(), static_cast<std::size_t>(target - buffer.data()));
        }
        return out;
    }
};

TextDecoder::TextDecoder() = default;
TextDecoder::~TextDecoder() = default;

bool TextDecoder::open(const char* encoding) {
    auto c = std::make_unique<Converter>();
    UErrorCode error = U_ZERO_ERROR;
    c->source = ucnv_open(encoding, &error);
    if (U_FAILURE(error)) return false;
    c->utf8 = ucnv_open("UTF-8", &error);
    if (U_FAILURE(error)) return false;
    ucnv_setToUCallBack(c->source, countAndSubstitute, &replaced_, nullptr, nullptr, &error);
    if (U_FAILURE(error)) return false;
    converter_ = std::move(c);
    return true;
}

void TextDecoder::detect(std::string_view sample) {
    UErrorCode error = U_ZERO_ERROR;
    UCharsetDetector* detector = ucsdet_open(&error);
    if (U_FAILURE(error)) return;
    ucsdet_setText(detector, sample.data(), static_cast<int32_t>(sample.size()), &error);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector, &count, &error);
    for (int32_t i = 0; U_SUCCESS(error) && i < count; ++i) {
        if (ucsdet_getConfidence(matches[i], &error) < kLeastConfidence) break;
        const char* name = ucsdet_getName(matches[i], &error);
        if (U_FAILURE(error) || std::string_view(name).starts_with("UTF-") || !open(name)) continue;
        if (convert(kAsciiProbe, false) == kAsciiProbe) {
            // A fresh converter for the file: the probe's state goes with the old one.
            open(name);
            detected_ = name;
            break;
        }
        converter_.reset();
    }
    ucsdet_close(detector);
}

std::string TextDecoder::convert(std::string_view bytes, bool flush) { return converter_->run(bytes, flush); }

std::string TextDecoder::decode(std::string_view bytes) {
    if (started_) return converter_ ? convert(bytes, false) : decodeUtf8(bytes, false);
    pending_.append(bytes);
    if (pending_.size() < 3) return {};
    started_ = true;
    const std::string start = std::exchange(pending_, {});
    const std::string_view view(start);
    if (view.starts_with("\xEF\xBB\xBF")) return decodeUtf8(view.substr(3), false);
    if (view.starts_with("\xFF\xFE") && open("UTF-16LE")) return convert(view.substr(2), false);
    if (view.starts_with("\xFE\xFF") && open("UTF-16BE")) return convert(view.substr(2), false);
    return decodeUtf8(view, false);
}

std::string TextDecoder::decodeUtf8(std::string_view bytes, bool last) {
    const std::string data = std::exchange(pending_, {}) + std::string(bytes);
    std::string out;
    out.reserve(data.size());
    for (std::size_t p = 0; p < data.size();) {
        if (const std::size_t n = plat::Utf8Text::sequenceLength(data, p)) {
            sawUtf8_ = sawUtf8_ || n > 1;
            out.append(data, p, n);
            p += n;
            continue;
        }
        if (!last && plat::Utf8Text::isCutSequence(data, p)) {
            pending_ = data.substr(p);
            break;
        }
        if (!sawUtf8_ && !replacing_) {
            // The detector needs some text to be sure: up to a few kilobytes from here on.
            if (!last && data.size() - p < kDetectionSample) {
                pending_ = data.substr(p);
                break;
            }
            detect(std::string_view(data).substr(p, kDetectionSample));
            if (converter_) return out + convert(std::string_view(data).substr(p), last);
        }
        replacing_ = true;
        out += plat::Utf8Text::kReplacement;
        ++replaced_;
        ++p;
    }
    return out;
}

std::string TextDecoder::finish() {
    started_ = true;
    std::string text;
    if (!converter_) text = decodeUtf8({}, true);
    if (converter_) text += convert({}, true);
    return text;
}

}  // namespace qx
