#pragma once

namespace qx::app {

class CommandRegistry;

// The driver's command groups. A new group adds its function here and to registerAllCommands.
void registerSessionCommands(CommandRegistry& registry);     // advance, help, quit
void registerInspectionCommands(CommandRegistry& registry);  // show, expect, expect-not, render
void registerActionCommands(CommandRegistry& registry);      // tap, toggle, expect-switch, type, press, delete, scroll, back, tab
void registerControlCommands(CommandRegistry& registry);     // spin, pick-date, pick-duration, drag
// connect, lose, reconnect, reading, store, expect-store, instrument, expect-instrument,
// tracks, expect-track
void registerInstrumentCommands(CommandRegistry& registry);
void registerURLCommands(CommandRegistry& registry);  // open-url
void registerMapCommands(CommandRegistry& registry);  // pinch, pan

void registerAllCommands(CommandRegistry& registry);

}  // namespace qx::app
