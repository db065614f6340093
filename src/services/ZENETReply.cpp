#include "services/ZENETReply.h"

#include <algorithm>

#include "platform/foundation/XmlReader.h"
#include "services/ZENETEnvelope.h"

namespace qx {

namespace {

std::string localName(const std::string& name) {
    const auto colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

std::string prefixOf(const std::string& name) {
    const auto colon = name.find(':');
    return colon == std::string::npos ? std::string() : name.substr(0, colon);
}

// Whether the element's prefix is bound, on the element itself, to the SOAP 1.1 envelope
// namespace. The service writes the declaration on the envelope, as every SOAP stack does.
bool declaresEnvelopeNamespace(const std::string& name, const plat::XmlReader::Attributes& attributes) {
    const std::string prefix = prefixOf(name);
    const std::string declaration = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    return std::any_of(attributes.begin(), attributes.end(), [&](const auto& a) {
        return a.first == declaration && a.second == ZENETEnvelope::kEnvelopeNamespace;
    });
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

ZENETReply ZENETReply::read(std::string_view body) {
    ZENETReply reply;
    int depth = 0;
    std::string envelopePrefix;
    bool envelope = false, hasBody = false, fault = false;
    plat::XmlReader::Handler handler;
    // Text is that of the innermost element: an element's start ends the text before it.
    handler.startElement = [&](const std::string& name, const plat::XmlReader::Attributes& attributes) {
        reply.lastText.clear();
        if (depth == 0) {
            envelope = localName(name) == "Envelope" && declaresEnvelopeNamespace(name, attributes);
            envelopePrefix = prefixOf(name);
        } else if (depth == 1 && envelope && name == (envelopePrefix.empty() ? "Body" : envelopePrefix + ":Body")) {
            hasBody = true;
        }
        fault = fault || localName(name) == "Fault";
        ++depth;
    };
    handler.characters = [&reply](const std::string& text) { reply.lastText = trimmed(text); };
    handler.endElement = [&](const std::string& name) {
        --depth;
        if (localName(name) == "faultstring" && !reply.lastText.empty()) reply.faults.push_back(reply.lastText);
    };
    const bool wellFormed = plat::XmlReader::parse(body, handler);
    reply.soapReply = wellFormed && envelope && hasBody && !fault;
    return reply;
}

}  // namespace qx
