// The window with every panel shown (`--all-panels`): the panels, buttons and
// menus the stored layout hides, arranged by layout managers to fit.
#pragma once

namespace lumidra::app {

class TForm1;

// Lays the window's own widgets out as AllPanels.ui arranges them and shows
// every one it names, and the three submenus, the first with the entry that
// opens the chart window. The widgets stay the window's
// (same objects, names and handlers); the stored layout's resize rule and
// size limits give way to the layouts'. Call once, before the window is shown.
void ShowAllPanels(TForm1& form);

}  // namespace lumidra::app
