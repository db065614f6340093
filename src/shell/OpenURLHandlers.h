#pragma once

#include <functional>
#include <string>

namespace qx {

// Who takes the URLs the application is opened with, registered by the layers that own them:
// the import of a file (store) and the RadResponder login redirect (services). The social
// network's answers go to the shell's own session object.
class OpenURLHandlers {
public:
    // Takes a local file path; true when the file was taken for import.
    using FileImporter = std::function<bool(const std::string& path)>;
    // Takes the whole redirect URL; true when it was handled.
    using RedirectHandler = std::function<bool(const std::string& url)>;

    static void setFileImporter(FileImporter importer);
    static const FileImporter& fileImporter();
    static void setRadResponderRedirect(RedirectHandler handler);
    static const RedirectHandler& radResponderRedirect();
    static void clear();
};

}  // namespace qx
