#pragma once

#include <map>
#include <optional>
#include <string>

namespace qx::url {

// URLs travel as text; these read the few parts the shell routes on.

// The scheme in lower case ("file", "https", "fb123"); empty when the text has none.
std::string scheme(const std::string& url);
// "%41" and "+" decoded; a broken escape is kept as it stands.
std::string percentDecoded(const std::string& text, bool plusIsSpace = false);
// Every byte but letters, digits and "-._~" as "%XX", for a query value.
std::string percentEncoded(const std::string& text);
// The local path of a "file:" URL (decoded), none for any other URL or one with a remote host.
std::optional<std::string> filePath(const std::string& url);
// The pairs of a "key=value&..." text, decoded. A later key replaces an earlier one.
std::map<std::string, std::string> formValues(const std::string& text);
// The text after "#" (fragment) or between "?" and "#" (query); empty when missing.
std::string fragment(const std::string& url);
std::string query(const std::string& url);

}  // namespace qx::url
