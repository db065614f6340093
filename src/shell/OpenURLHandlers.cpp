#include "shell/OpenURLHandlers.h"

namespace qx {

namespace {

struct Handlers {
    OpenURLHandlers::FileImporter importer;
    OpenURLHandlers::RedirectHandler redirect;
};

Handlers& handlers() {
    static Handlers h;
    return h;
}

}  // namespace

void OpenURLHandlers::setFileImporter(FileImporter importer) { handlers().importer = std::move(importer); }
const OpenURLHandlers::FileImporter& OpenURLHandlers::fileImporter() { return handlers().importer; }
void OpenURLHandlers::setRadResponderRedirect(RedirectHandler handler) { handlers().redirect = std::move(handler); }
const OpenURLHandlers::RedirectHandler& OpenURLHandlers::radResponderRedirect() { return handlers().redirect; }
void OpenURLHandlers::clear() { handlers() = Handlers{}; }

}  // namespace qx
