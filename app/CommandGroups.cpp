#include "CommandGroups.h"

namespace qx::app {

void registerAllCommands(CommandRegistry& registry) {
    registerInspectionCommands(registry);
    registerActionCommands(registry);
    registerControlCommands(registry);
    registerInstrumentCommands(registry);
    registerURLCommands(registry);
    registerMapCommands(registry);
    registerSessionCommands(registry);
}

}  // namespace qx::app
