#pragma once
// Binds the table commands to the main window: its menu items and tool buttons,
// its grid and status bar, its command states and caption.

class TLPMain;
class TTableUi;

// The main window's table commands; null until WireTableWorkspace ran.
extern TTableUi* MainTables;

void WireTableWorkspace(TLPMain& w);
