#pragma once

namespace qx {

// Registers the interface files of the shell's screens, cells and controls. Safe to call more
// than once; the application delegate calls it, and so does every loader of those files.
void registerShellInterfaces();

}  // namespace qx
