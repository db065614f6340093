#include "services/ZENETReply.h"

#include "platform/foundation/XmlReader.h"

namespace qx {

namespace {

bool isFaultText(const std::string& name) {
    const auto colon = name.rfind(':');
    return (colon == std::string::npos ? name : name.substr(colon + 1)) == "faultstring";
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

ZENETReply ZENETReply::read(std::string_view body) {
    ZENETReply reply;
    plat::XmlReader::Handler handler;
    // Text is that of the innermost element: an element's start ends the text before it.
    handler.startElement = [&reply](const std::string&, const plat::XmlReader::Attributes&) { reply.lastText.clear(); };
    handler.characters = [&reply](const std::string& text) { reply.lastText = trimmed(text); };
    handler.endElement = [&reply](const std::string& name) {
        if (isFaultText(name) && !reply.lastText.empty()) reply.faults.push_back(reply.lastText);
    };
    plat::XmlReader::parse(body, handler);
    return reply;
}

}  // namespace qx
