#pragma once
// The composition: every window once, in the designed order, and the
// interfaces each part of the program is handed. The windows live until
// DestroyWindows.

class TLPMain;

// The main window first (it owns the others), then the dialogs; the frame is
// given the subsystems that exist.
TLPMain* CreateWindows();
void DestroyWindows(TLPMain* mainWindow);
