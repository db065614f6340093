#include "LaunchWiring.h"

#include "link/LinkLauncher.h"
#include "model/Language.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/UiText.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/OpenURLHandlers.h"
#include "store/ImportManager.h"
#include "store/Store.h"

namespace qx::app {

namespace {

void setUpStore() {
    const Store& store = Store::defaultStore();
    if (store.isOpen()) return;  // a failure is in the log already
    // The window is not there yet while the store is set up; the alert goes up when the launch
    // is over.
    plat::RunLoop::main().post([] {
        plat::AlertView::show(Language::get("Database Error"),
                              Language::get("The stored readings cannot be opened, and new readings cannot be "
                                            "stored."),
                              Language::get("OK"), {}, {});
    });
}

}  // namespace

void registerStoreLaunch() {
    LaunchHooks::add(LaunchStep::setUpStore, "store", [](KestrelAppDelegate&) { setUpStore(); });
    // The import tells the person how it went, an unreadable file included.
    OpenURLHandlers::setFileImporter([](const std::string& path) {
        ImportManager::sharedImportManager().importFile(path);
        return true;
    });
}

void registerLinkLaunch() {
    LaunchHooks::add(LaunchStep::startBluetoothScan, "link scan",
                     [](KestrelAppDelegate&) { LinkLauncher::startBluetoothScan(); });
    LaunchHooks::add(LaunchStep::linkDeviceManager, "device manager",
                     [](KestrelAppDelegate&) { LinkLauncher::linkDeviceManager(); });
}

void registerToolkitWords() {
    LaunchHooks::add(LaunchStep::applyLanguage, "toolkit words",
                     [](KestrelAppDelegate&) { plat::setUiTextTranslator(&Language::get); });
}

}  // namespace qx::app
