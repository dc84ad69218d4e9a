#pragma once
// The composition: every window once, in the designed order, and the
// interfaces and windows each part of the program is handed. The windows live
// until DestroyWindows.

#include <memory>

class ITagValueSource;
class TAboutBox;
class TAddDbfForm;
class TAddWordForm;
class TCharSetForm;
class TCopyOptForm;
class TDelForm;
class TEditForm;
class TFindForm;
class TGetListBinding;
class THtmlEditor;
class TLPMain;
class TLogForm;
class TMailPreview;
class TOptForm;
class TProForm;
class TProjectUi;
class TRepForm;
class TReports;
class TRespForm;
class TRestructForm;
class TSeldirForm;
class TSelTabForm;
class TSendForm;
class TWithdrawalUi;
class TWorkspaceState;

// The windows and the window code bound to them, in the order of creation.
// The main window is the parent of the others; the state they share is made
// before them and goes after them.
struct TWindows {
  TWorkspaceState* State = nullptr;
  TLPMain* Main = nullptr;
  TWithdrawalUi* Withdrawal = nullptr;
  TAddWordForm* AddWord = nullptr;
  TOptForm* Options = nullptr;
  TProForm* Accounts = nullptr;
  TGetListBinding* GetList = nullptr;
  TLogForm* Log = nullptr;
  THtmlEditor* Editor = nullptr;
  TMailPreview* Preview = nullptr;
  TDelForm* Delete = nullptr;
  TFindForm* Find = nullptr;
  TCopyOptForm* CopyOptions = nullptr;
  TAboutBox* About = nullptr;
  TSelTabForm* SelectTable = nullptr;
  TCharSetForm* Charset = nullptr;
  TRestructForm* Restructure = nullptr;
  TSeldirForm* SelectFolder = nullptr;
  TEditForm* EditField = nullptr;
  TRespForm* Response = nullptr;
  TSendForm* Mailing = nullptr;
  TRepForm* Report = nullptr;
  TAddDbfForm* AddTable = nullptr;
  TReports* Reports = nullptr;
  TProjectUi* Project = nullptr;

  TWindows() = default;
  TWindows(const TWindows&) = delete;
  TWindows& operator=(const TWindows&) = delete;
  ~TWindows();
};

// The main window first, then the dialogs; each user is given the windows
// and the subsystems it works with.
std::unique_ptr<TWindows> CreateWindows();
// Newest first, the main window last; every member is null afterwards. The
// destructor does the same for windows not destroyed yet.
void DestroyWindows(TWindows& windows);

// The project's file commands, its dictionary and the controls it shows.
TProjectUi& ProjectOf(const TWindows& windows);
// The merge values of the open table, for its current record: a calculated
// field of the project first, then a table field. Valid until DestroyWindows;
// hand it to whatever merges (TMerger).
ITagValueSource& TagValues(const TWindows& windows);
