#include "platform/foundation/XmlReader.h"

#include <expat.h>

#include <limits>

#include "platform/foundation/Utf8Text.h"
#include "platform/foundation/XmlEncoding.h"

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

}  // namespace

bool XmlReader::parse(std::string_view document, const Handler& handler, std::string* error) {
    if (document.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        if (error) *error = "the document is too large";
        return false;
    }
    // The document's own encoding counts, as XML has it. A UTF-8 one with stray bytes (text of
    // another encoding pasted in by a server) has them replaced rather than being refused whole.
    std::string repaired;
    if (XmlEncoding::isUtf8(document.substr(0, XmlEncoding::kHeadBytes)) && !Utf8Text::isValid(document)) {
        repaired = Utf8Text::valid(document);
        document = repaired;
    }
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) {
        if (error) *error = "no XML parser";
        return false;
    }
    State state{&handler, {}};
    std::string encoding;
    XmlEncoding::prepare(parser, document.substr(0, XmlEncoding::kHeadBytes), &encoding);
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
