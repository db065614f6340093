#include "platform/foundation/XmlEncoding.h"

#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include <cctype>
#include <cstring>
#include <memory>

namespace plat {

namespace {

using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

Converter openConverter(const char* name) {
    UErrorCode error = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &error), &ucnv_close);
    if (U_FAILURE(error)) converter.reset();
    return converter;
}

// The name ICU knows the encoding by ("UTF-8" for "utf8"); empty for one it does not know.
std::string canonicalName(const std::string& name) {
    const Converter converter = openConverter(name.c_str());
    if (!converter) return {};
    UErrorCode error = U_ZERO_ERROR;
    const char* canonical = ucnv_getName(converter.get(), &error);
    return U_SUCCESS(error) && canonical ? canonical : "";
}

bool isUtf8Name(const std::string& name) { return name == "utf-8" || canonicalName(name) == "UTF-8"; }

int XMLCALL onUnknownEncoding(void* named, const XML_Char* name, XML_Encoding* info) {
    *static_cast<std::string*>(named) = name;
    const Converter converter = openConverter(name);
    if (!converter || ucnv_getMaxCharSize(converter.get()) != 1) return XML_STATUS_ERROR;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    for (int byte = 0; byte < 256; ++byte) {
        const char in = static_cast<char>(byte);
        UChar out[2] = {};
        error = U_ZERO_ERROR;
        ucnv_reset(converter.get());
        const int32_t n = ucnv_toUChars(converter.get(), out, 2, &in, 1, &error);
        info->map[byte] = U_SUCCESS(error) && n == 1 && !U16_IS_SURROGATE(out[0]) ? out[0] : -1;
        if (byte < 0x80 && info->map[byte] != byte) return XML_STATUS_ERROR;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

}  // namespace

std::string XmlEncoding::declared(std::string_view head) {
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    if (!head.starts_with("<?xml")) return {};
    const std::string_view declaration = head.substr(0, head.find("?>"));
    const auto key = declaration.find("encoding");
    if (key == std::string_view::npos) return {};
    const auto open = declaration.find_first_of("\"'", key);
    if (open == std::string_view::npos) return {};
    const auto close = declaration.find(declaration[open], open + 1);
    std::string name(declaration.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool XmlEncoding::isUtf8(std::string_view head) {
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return false;
    if (head.size() > 1 && (head[0] == '\0' || head[1] == '\0')) return false;
    const std::string name = declared(head);
    return name.empty() || isUtf8Name(name);
}

void XmlEncoding::prepare(XML_Parser parser, std::string_view head, std::string* named) {
    // Expat would look up another name of UTF-8 as an unknown encoding and refuse it: UTF-8 is
    // no encoding of one byte per character. Told the encoding, it reads the document as UTF-8.
    const std::string name = declared(head);
    if (!name.empty() && name != "utf-8" && isUtf8Name(name)) XML_SetEncoding(parser, "UTF-8");
    XML_SetUnknownEncodingHandler(parser, onUnknownEncoding, named);
}

}  // namespace plat
