#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace plat::url {

// URLs travel as text; these read and build the few parts the application needs.

// The scheme in lower case ("file", "https", "fb123"); empty when the text has none.
std::string scheme(const std::string& url);
// "%41" and "+" decoded; a broken escape is kept as it stands.
std::string percentDecoded(const std::string& text, bool plusIsSpace = false);
// Every byte but letters, digits, "-._~" and those of `keep` as "%XX" (a query value; with
// keep "/" a path).
std::string percentEncoded(const std::string& text, std::string_view keep = {});
// The local path of a "file:" URL (decoded); none for any other URL, one with a remote host, or
// one whose path would hold a NUL byte.
std::optional<std::string> filePath(const std::string& url);
// "file://" and the percent-encoded absolute path.
std::string fileURL(const std::string& absolutePath);
// The pairs of a "key=value&..." text, decoded. A later key replaces an earlier one.
std::map<std::string, std::string> formValues(const std::string& text);
// The text after "#" (fragment) or between "?" and "#" (query); empty when missing.
std::string fragment(const std::string& url);
std::string query(const std::string& url);
// A reference (a redirect's Location) made absolute against the address it came from: an
// address with a scheme stands as it is; "//host/..." takes the base's scheme, "/path" its
// scheme and host, anything else replaces the base's last path segment.
std::string resolved(const std::string& base, const std::string& reference);

}  // namespace plat::url
