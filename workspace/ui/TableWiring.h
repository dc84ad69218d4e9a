#pragma once
// Binds the table commands to the main window: its menu items and tool buttons,
// the Database page's grid and status bar, its command states and caption.

class TLPMain;
class TTableUi;

// The table commands of the window, owned by it.
TTableUi* WireTableWorkspace(TLPMain& w);
