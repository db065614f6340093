#pragma once

namespace qx::app {

// What the layers below the program add to the application's launch through the launch hooks,
// each called once before the launch (AppHost's registerApplicationLayers does it):
//  - the store: the application's store opens in the data folder when the store is set up; a
//    store that cannot be opened is reported to the person in an alert once the window shows,
//    and the application goes on showing readings without storing them; a file the
//    application is opened with is imported into it;
//  - the instrument link: the Bluetooth LE scan and the device manager as the Bluetooth LE
//    manager's delegates, in their steps (the link is prepared before the launch);
//  - the screen toolkit's own words ("Back", "Cancel"...) come from the language table once the
//    interface language is applied.
void registerStoreLaunch();
// The part of registerStoreLaunch that tells of a wait for another program holding the store:
// named as waited for at a terminal when a counted save waits, else told on standard error.
void registerStoreWaits();
void registerLinkLaunch();
void registerToolkitWords();

}  // namespace qx::app
