#include "platform/foundation/XmlReader.h"

#include <expat.h>

#include <cctype>
#include <limits>

#include "platform/foundation/Utf8Text.h"

namespace plat {

namespace {

struct State {
    const XmlReader::Handler* handler;
    std::string text;

    void flushText() {
        if (text.empty()) return;
        if (handler->characters) handler->characters(text);
        text.clear();
    }
};

void XMLCALL onStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    auto* s = static_cast<State*>(user);
    s->flushText();
    if (!s->handler->startElement) return;
    XmlReader::Attributes list;
    for (const XML_Char** a = attributes; a && *a; a += 2) list.emplace_back(a[0], a[1]);
    s->handler->startElement(name, list);
}

void XMLCALL onEnd(void* user, const XML_Char* name) {
    auto* s = static_cast<State*>(user);
    s->flushText();
    if (s->handler->endElement) s->handler->endElement(name);
}

void XMLCALL onText(void* user, const XML_Char* text, int length) {
    static_cast<State*>(user)->text.append(text, static_cast<std::size_t>(length));
}

// The encoding the document's declaration names, in lower case; empty when it names none.
std::string declaredEncoding(std::string_view document) {
    if (!document.starts_with("<?xml")) return {};
    const std::string_view declaration = document.substr(0, document.find("?>"));
    const auto key = declaration.find("encoding");
    if (key == std::string_view::npos) return {};
    const auto open = declaration.find_first_of("\"'", key);
    if (open == std::string_view::npos) return {};
    const auto close = declaration.find(declaration[open], open + 1);
    std::string name(declaration.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// Whether the document is in UTF-8: it has neither a UTF-16 mark, nor UTF-16's zero bytes
// around its first "<", nor a declaration of another encoding.
bool isUtf8(std::string_view document) {
    if (document.starts_with("\xFF\xFE") || document.starts_with("\xFE\xFF")) return false;
    if (document.size() > 1 && (document[0] == '\0' || document[1] == '\0')) return false;
    const std::string declared = declaredEncoding(document);
    return declared.empty() || declared == "utf-8";
}

}  // namespace

bool XmlReader::parse(std::string_view document, const Handler& handler, std::string* error) {
    if (document.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        if (error) *error = "the document is too large";
        return false;
    }
    // The document's own encoding counts, as XML has it. A UTF-8 one with stray bytes (text of
    // another encoding pasted in by a server) has them replaced rather than being refused whole.
    std::string repaired;
    if (isUtf8(document) && !Utf8Text::isValid(document)) {
        repaired = Utf8Text::valid(document);
        document = repaired;
    }
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) {
        if (error) *error = "no XML parser";
        return false;
    }
    State state{&handler, {}};
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(parser, &onStart, &onEnd);
    XML_SetCharacterDataHandler(parser, &onText);
    const bool ok =
        XML_Parse(parser, document.data(), static_cast<int>(document.size()), XML_TRUE) == XML_STATUS_OK;
    if (!ok && error) {
        *error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                 std::to_string(XML_GetCurrentLineNumber(parser));
    }
    XML_ParserFree(parser);
    return ok;
}

}  // namespace plat
