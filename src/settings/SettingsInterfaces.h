#pragma once

namespace qx {

// Registers the interface files of the settings' own screens, cells and views; safe to call
// more than once (every loader of those files calls it).
void registerSettingsInterfaces();

}  // namespace qx
