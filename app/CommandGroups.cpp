#include "CommandGroups.h"

namespace qx::app {

void registerAllCommands(CommandRegistry& registry) {
    registerInspectionCommands(registry);
    registerActionCommands(registry);
    registerControlCommands(registry);
    registerInstrumentCommands(registry);
    registerURLCommands(registry);
    registerSessionCommands(registry);
}

}  // namespace qx::app
