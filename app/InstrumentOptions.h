#pragma once

#include <string>
#include <vector>

#include "link/LinkLauncher.h"

namespace qx::app {

// Reads the instrument options among the command line's extra options into `link`:
//   --no-demo            no demo instrument
//   --demo-type=N        its device type, 1 to 9
//   --demo-replay=FILE   a recorded walk for it to play
// False (with the reason) for an option nobody knows, a value that is missing, stray or out of
// range, or a demo instrument chosen and switched off at once. Whether the replay file can be
// played is found when the link is prepared.
bool parseInstrumentOptions(const std::vector<std::string>& extra, LinkOptions& link, std::string& error);

}  // namespace qx::app
