#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat::mime {

// Base64 (RFC 2045): lines of at most 76 characters joined by CRLF when `wrap` is set.
std::string base64Encode(std::string_view bytes, bool wrap = true);
// Skips line breaks and blanks; nothing on any other character outside the alphabet.
std::optional<std::string> base64Decode(std::string_view text);

// Quoted-printable (RFC 2045) of a UTF-8 text: line breaks become CRLF, lines stay within
// 76 characters with soft breaks, and '=', control and non-ASCII bytes are escaped.
std::string quotedPrintableEncode(std::string_view text);
std::string quotedPrintableDecode(std::string_view text);

// A header value: plain when it is printable ASCII, else RFC 2047 encoded words
// ("=?UTF-8?B?...?=") of at most 75 characters, never splitting a UTF-8 character.
// Line breaks inside the value become blanks, so a value can never start a new header.
std::string encodeHeaderText(std::string_view text);
// Decodes the encoded words of a header value (B and Q encodings of UTF-8).
std::string decodeHeaderText(std::string_view text);

// One mailbox of an address header. "Name <addr>" keeps the address as it is and writes the
// display name as a quoted string when it is ASCII, else as encoded words, so that mail
// readers still find the address; a bare address stays as it is.
std::string encodeMailbox(std::string_view mailbox);

// "Field: value" folded at blanks so that no line exceeds 78 characters where a blank allows
// (RFC 5322); the value is taken as it is, already encoded. Ends without a line break.
std::string foldHeader(std::string_view field, std::string_view value);

// A header value with CR and LF turned into blanks.
std::string headerSafe(std::string_view text);

}  // namespace plat::mime
