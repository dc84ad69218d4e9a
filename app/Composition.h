#pragma once
// The composition: every window once, in the designed order, and the
// interfaces each part of the program is handed. The windows live until
// DestroyWindows.

class ITagValueSource;
class TLPMain;
class TProjectUi;

// The main window first (it owns the others), then the dialogs; the frame is
// given the subsystems that exist.
TLPMain* CreateWindows();
void DestroyWindows(TLPMain* mainWindow);

// The project of a main window made by CreateWindows: its file commands, its
// dictionary and the controls it shows.
TProjectUi& ProjectOf(TLPMain& mainWindow);
// The merge values of that window's open table, for its current record: a
// calculated field of the project first, then a table field. Valid until
// DestroyWindows; hand it to whatever merges (TMerger).
ITagValueSource& TagValues(TLPMain& mainWindow);
