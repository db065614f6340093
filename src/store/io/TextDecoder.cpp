#include "store/io/TextDecoder.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "platform/foundation/Utf8Text.h"

namespace qx {

namespace {

// A detected encoding is used only when the detector is surer of it than this (of 100): it gives
// 10 to a guess it has no evidence for, such as a multi-byte encoding for a few stray bytes.
constexpr int kNoEvidence = 10;
// The text the encoding is detected from: the start of the file, and as much from the first byte
// that is not UTF-8 on. The words before that byte weigh in too: without them a single accented
// letter looks like a Chinese or Japanese character as much as a Latin one.
constexpr std::size_t kDetectionSample = 8192;
// A few stray bytes, each alone among ASCII text (a name with an accent, "µSv/h", "°C"), tell
// the detector too little to tell Western text from Central European: its guesses for them
// change with the words around. They are read as Western text, which such files most often are.
constexpr std::size_t kFewStrayBytes = 8;
constexpr const char* kStrayByteEncoding = "windows-1252";

bool isWestern(std::string_view encoding) { return encoding == "ISO-8859-1" || encoding == "windows-1252"; }

// Every ASCII character a waypoint file's structure is made of: an encoding that reads them
// differently cannot be the one of a file that was read as ASCII so far.
constexpr std::string_view kAsciiProbe = "date,der;name\"\t\r\n 0123456789.-+:TZ";

// Counts what the converter could not read, then substitutes U+FFFD as ICU does by default.
void countAndSubstitute(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits, int32_t length,
                        UConverterCallbackReason reason, UErrorCode* error) {
    if (reason <= UCNV_IRREGULAR) ++*static_cast<std::size_t*>(const_cast<void*>(context));
    UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, codeUnits, length, reason, error);
}

// How many bytes beyond ASCII the text has, when each stands alone between ASCII characters;
// none when some stand together.
std::optional<std::size_t> loneStrayBytes(std::string_view text) {
    std::size_t count = 0;
    bool afterStray = false;
    for (const char c : text) {
        const bool stray = static_cast<unsigned char>(c) >= 0x80;
        if (stray && afterStray) return std::nullopt;
        count += stray ? 1 : 0;
        afterStray = stray;
    }
    return count;
}

// The text of `bytes` in the encoding, as UTF-8; empty when it cannot be converted.
std::string textIn(const char* encoding, std::string_view bytes) {
    std::string out(bytes.size() * 4 + 4, '\0');
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = ucnv_convert("UTF-8", encoding, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                   static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error)) return {};
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// Encodings of seven bits, whose text is all ASCII bytes: other scripts are switched to by escape
// sequences, which no plain text has. What the sequence at `p` says the text is; `more` when the
// piece ends before it can tell, none when it is no such sequence.
struct SevenBit {
    const char* encoding = nullptr;
    bool more = false;
};
SevenBit sevenBitEncodingAt(std::string_view data, std::size_t p, bool last) {
    const std::string_view at = data.substr(p);
    if (at[0] == '\x1B') {
        // Japanese (JIS X 0208 and 0212, JIS X 0201 Roman) and Korean (its header, ESC $ ) C).
        static constexpr std::pair<std::string_view, const char*> kSequences[] = {
            {"\x1B$@", "ISO-2022-JP"}, {"\x1B$B", "ISO-2022-JP"}, {"\x1B$(D", "ISO-2022-JP"},
            {"\x1B(J", "ISO-2022-JP"}, {"\x1B$)C", "ISO-2022-KR"}};
        for (const auto& [sequence, encoding] : kSequences)
            if (at.starts_with(sequence)) return {encoding, false};
        return {nullptr, !last && at.size() < 4};
    }
    if (!at.starts_with("~{")) return {nullptr, !last && at == "~"};
    // HZ: "~{" opens pairs of bytes from '!' to '~' up to "~}". Text that merely has a "~{" is
    // taken as HZ only when Chinese characters and their close follow.
    const auto close = at.find("~}", 2);
    if (close == std::string_view::npos) return {nullptr, !last && at.size() < kDetectionSample};
    const std::string_view pairs = at.substr(2, close - 2);
    const bool gb = !pairs.empty() && pairs.size() % 2 == 0 &&
                    std::all_of(pairs.begin(), pairs.end(), [](char c) { return c >= '!' && c <= '~'; });
    const std::string text = gb ? textIn("HZ", at.substr(0, close + 2)) : std::string();
    return {!text.empty() && text.find(plat::Utf8Text::kReplacement) == std::string::npos ? "HZ" : nullptr, false};
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
        // ICU takes no null source, and the end of the file (nothing more to read, the held-back
        // start of a cut character to report) is one.
        static constexpr char kNothing = '\0';
        const char* from = bytes.empty() ? &kNothing : bytes.data();
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

bool TextDecoder::use(const char* encoding) {
    if (!open(encoding) || convert(kAsciiProbe, false) != kAsciiProbe) {
        converter_.reset();
        return false;
    }
    // A fresh converter for the file: the probe's state goes with the old one.
    open(encoding);
    detected_ = encoding;
    return true;
}

void TextDecoder::detect(std::string_view start, std::string_view rest) {
    const std::string sample = std::string(start) + std::string(rest);
    UErrorCode error = U_ZERO_ERROR;
    UCharsetDetector* detector = ucsdet_open(&error);
    if (U_FAILURE(error)) return;
    ucsdet_setText(detector, sample.data(), static_cast<int32_t>(sample.size()), &error);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector, &count, &error);
    std::vector<std::string> candidates;
    for (int32_t i = 0; U_SUCCESS(error) && i < count; ++i) {
        if (ucsdet_getConfidence(matches[i], &error) <= kNoEvidence) break;
        const char* name = ucsdet_getName(matches[i], &error);
        if (U_SUCCESS(error) && !std::string_view(name).starts_with("UTF-")) candidates.emplace_back(name);
    }
    ucsdet_close(detector);

    const auto lone = loneStrayBytes(rest);
    const bool few = lone && *lone <= kFewStrayBytes;
    const auto western = std::find_if(candidates.begin(), candidates.end(), [](const auto& c) { return isWestern(c); });
    for (const std::string& name : candidates) {
        if (few && !isWestern(name)) continue;
        // Where a Western encoding reads the text the same, the file is named by it.
        if (western != candidates.end() && !isWestern(name)) {
            const std::string text = textIn(western->c_str(), rest);
            if (!text.empty() && text == textIn(name.c_str(), rest) && use(western->c_str())) return;
        }
        if (use(name.c_str())) return;
    }
    if (lone) use(kStrayByteEncoding);
}

std::string TextDecoder::convert(std::string_view bytes, bool flush) { return converter_->run(bytes, flush); }

std::string TextDecoder::decode(std::string_view bytes) {
    if (started_) return converter_ ? convert(bytes, false) : decodeUtf8(bytes, false);
    pending_.append(bytes);
    if (pending_.size() < 3) return {};
    started_ = true;
    const std::string start = std::exchange(pending_, {});
    const std::string_view view(start);
    if (view.starts_with("\xEF\xBB\xBF")) {
        // The mark says UTF-8: a stray byte further on is a fault of the file, not a sign of
        // another encoding.
        sawUtf8_ = true;
        return decodeUtf8(view.substr(3), false);
    }
    if (view.starts_with("\xFF\xFE") && open("UTF-16LE")) return convert(view.substr(2), false);
    if (view.starts_with("\xFE\xFF") && open("UTF-16BE")) return convert(view.substr(2), false);
    return decodeUtf8(view, false);
}

std::string TextDecoder::decodeUtf8(std::string_view bytes, bool last) {
    const std::string data = std::exchange(pending_, {}) + std::string(bytes);
    std::string out;
    out.reserve(data.size());
    std::size_t p = 0;
    while (p < data.size()) {
        if (const std::size_t n = plat::Utf8Text::sequenceLength(data, p)) {
            if (!sawUtf8_ && !replacing_ && (data[p] == '\x1B' || data[p] == '~')) {
                const SevenBit sevenBit = sevenBitEncodingAt(data, p, last);
                if (sevenBit.more) {
                    pending_ = data.substr(p);
                    break;
                }
                // The ASCII before reads the same in it: the rest is converted from here.
                if (sevenBit.encoding && use(sevenBit.encoding))
                    return out + convert(std::string_view(data).substr(p), last);
            }
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
            keepStart(std::string_view(data).substr(0, p));
            const std::string_view rest = std::string_view(data).substr(p);
            detect(start_, rest.substr(0, kDetectionSample));
            start_ = std::string();
            if (converter_) return out + convert(rest, last);
        }
        replacing_ = true;
        out += plat::Utf8Text::kReplacement;
        ++replaced_;
        ++p;
    }
    if (!sawUtf8_ && !replacing_) keepStart(std::string_view(data).substr(0, p));
    return out;
}

void TextDecoder::keepStart(std::string_view ascii) {
    if (start_.size() < kDetectionSample) start_.append(ascii.substr(0, kDetectionSample - start_.size()));
}

std::string TextDecoder::finish() {
    started_ = true;
    std::string text;
    if (!converter_) text = decodeUtf8({}, true);
    if (converter_) text += convert({}, true);
    return text;
}

}  // namespace qx
