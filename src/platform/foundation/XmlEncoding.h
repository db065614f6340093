#pragma once

#include <expat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// What an expat parser needs to read a document in an encoding of its own choosing, as XML has
// it (a byte-order mark or the declaration, else UTF-8). Expat itself knows UTF-8, UTF-16,
// ISO-8859-1 and US-ASCII under those names only; ICU supplies the rest: the other names of
// UTF-8 ("utf8"), and any encoding of one byte per character that reads ASCII as ASCII
// (windows-1252, ISO-8859-15, KOI8-R...).
class XmlEncoding {
public:
    // How much of a document's start `prepare` needs to see its declaration.
    static constexpr std::size_t kHeadBytes = 512;

    // The encoding the declaration at the document's start names, in lower case; empty when it
    // names none.
    static std::string declared(std::string_view head);
    // Whether the document is in UTF-8: it has neither a UTF-16 mark, nor UTF-16's zero bytes
    // around its first "<", nor a declaration of another encoding (another name of UTF-8 is UTF-8).
    static bool isUtf8(std::string_view head);

    // Readies `parser`, before it is given its first byte, for the encoding `head` (the document's
    // first kHeadBytes, or all of a shorter one) declares. `named`, which must outlive the parser,
    // gets the name of an encoding the parser had to look up, so that a refusal can say which.
    // A byte the encoding leaves undefined makes the document not well-formed.
    static void prepare(XML_Parser parser, std::string_view head, std::string* named);
};

}  // namespace plat
