#include "LaunchWiring.h"

#include <iostream>

#include "link/LinkLauncher.h"
#include "model/Language.h"
#include "model/StorageAlert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/UiText.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/OpenURLHandlers.h"
#include "store/Connection.h"
#include "store/ImportManager.h"
#include "store/Store.h"
#include "store/Track.h"

namespace qx::app {

namespace {

constexpr const char* kOthersHoldTheStore =
    "Another program is using the stored readings; quorix waits until it is done with them.";

// Another program holds the stored readings (it writes to them, or holds them while it looks at
// them): quorix waits for it, and the person learns why nothing happens. A save the loop counts
// is named where a person waits at a terminal (TerminalWait), and may be let go there; anything
// else (the opening at the launch, a save the main thread waits for, a save waited for by a
// script or at the end of the run) is told at once.
void onOthersWait(bool waiting) {
    plat::Log::line(waiting ? "Store: waiting for another program that holds the database"
                            : "Store: the other program let go of the database");
    auto& loop = plat::RunLoop::main();
    const auto work = plat::RunLoop::currentWork();
    if (work) loop.describeBackgroundWork(work, waiting ? Language::get("another program using the stored readings") : "");
    if (waiting && (!work || !loop.hasWaitWatch())) std::cerr << Language::get(kOthersHoldTheStore) << std::endl;
}

void setUpStore() {
    Store& store = Store::defaultStore();
    if (store.isOpen()) {
        // This program owns the data folder: a track still recording in the store was left
        // by a program that ended without stopping it.
        StoreError error;
        std::size_t closed = 0;
        if (!store.saveWithBlockAndWait([&closed](Context& c) { closed = Track::closeTracksLeftOpen(c); }, &error))
            plat::Log::line("Launch: the tracks left open could not be closed: " + error.message);
        else if (closed)
            plat::Log::line("Launch: closed " + std::to_string(closed) + " tracks left open by an ended run");
        return;
    }
    // The window is not there yet while the store is set up; the alert goes up when the launch
    // is over.
    const StoreError cause = store.openError();
    plat::RunLoop::main().post([cause] {
        const char* message = "The stored readings cannot be opened: %@. New readings cannot be stored.";
        if (cause.code == StoreError::Code::diskFull)
            message = "The stored readings cannot be opened while the disk is full. Nothing is lost: they are back "
                      "once there is room. Until then new readings cannot be stored.";
        else if (cause.code == StoreError::Code::readOnly)
            message = "The database file is read-only: the stored readings can be viewed, but new readings cannot be "
                      "stored.";
        StorageAlert::show("Database Error", message, Store::failureReason(cause));
    });
}

}  // namespace

void registerStoreWaits() { Connection::setOthersWaitObserver(&onOthersWait); }

void registerStoreLaunch() {
    registerStoreWaits();
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
                     [](KestrelAppDelegate&) {
                         plat::setUiTextTranslator(&Language::get);
                         plat::setUiLocaleSource([] { return Language::localeName(Language::currentLanguage()); });
                     });
}

}  // namespace qx::app
