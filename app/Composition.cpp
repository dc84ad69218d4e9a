#include "app/Composition.h"

#include "mailing/ExampleProject.h"
#include "mailing/ui/HtmlEditor.h"
#include "mailing/ui/LogForm.h"
#include "mailing/ui/MailPreview.h"
#include "mailing/ui/ProForm.h"
#include "mailing/ui/ProjectUi.h"
#include "mailing/ui/RepForm.h"
#include "mailing/ui/Reports.h"
#include "mailing/ui/SendForm.h"
#include "withdrawal/ui/GetListBinding.h"
#include "withdrawal/ui/RespForm.h"
#include "withdrawal/ui/WithdrawalUi.h"
#include "workspace/ui/About.h"
#include "workspace/ui/AddDbf.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/CharsetForm.h"
#include "workspace/ui/CopyOpt.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/EditField.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/Restruct.h"
#include "workspace/ui/Seldir.h"
#include "workspace/ui/Seltab.h"
#include "workspace/ui/TableUi.h"

TLPMain* CreateWindows() {
  // What the windows share; it goes after them (DestroyWindows).
  TWorkspaceState& state = *new TWorkspaceState;
  auto* mainWindow = new TLPMain(state);
  // The withdrawal set-up belongs to the main window's creation.
  auto* withdrawal = new TWithdrawalUi(*mainWindow, state, mainWindow->Tables());
  AddWordForm = new TAddWordForm(mainWindow);
  OptForm = new TOptForm(mainWindow);
  // The accounts fill the Options account list before the options choose from it.
  auto* proForm = new TProForm(AppDir, OptForm, &mainWindow->WithdrawalPage(), state.Reader1, mainWindow);
  // The withdrawal account list shows the selected scheme's account.
  proForm->SchemeAccount = [withdrawal] { return withdrawal->SelectedSchemeAccount(); };
  proForm->RefreshAccountLists();
  new TGetListBinding(*withdrawal, *mainWindow, [proForm](int index) -> const TProfile* {
    const TProfiles& accounts = proForm->Profiles();
    return index >= 0 && static_cast<size_t>(index) < accounts.size() ? &accounts[static_cast<size_t>(index)] : nullptr;
  });
  OptForm->LoadOptions();
  auto* logForm = new TLogForm(
      [&state]() -> const TDataSet* { return &state.Table.ADOQuery1; }, mainWindow);
  // The Mailing page's editor (with its insert-table window) and preview.
  auto* editor = new THtmlEditor(*mainWindow, state);
  auto* preview = new TMailPreview(*mainWindow, state, *editor);
  DelForm = new TDelForm(mainWindow);
  FindForm = new TFindForm(mainWindow);
  CopyOptForm = new TCopyOptForm(mainWindow);
  AboutBox = new TAboutBox(mainWindow);
  SelTabForm = new TSelTabForm(mainWindow);
  new TCharSetForm(mainWindow);
  RestructForm = new TRestructForm(mainWindow);
  SeldirForm = new TSeldirForm(mainWindow);
  EditForm = new TEditForm(mainWindow);
  RespForm = new TRespForm(mainWindow);
  // The project and its merge are given once the project exists (below); the run is its own.
  auto* sendForm = new TSendForm(AppDir, mainWindow, OptForm, mainWindow);
  sendForm->Accounts = &proForm->Profiles();
  OptForm->SetHost(sendForm);
  sendForm->ReportFields = logForm;
  // Get List and the page's other commands follow the mailing window's state.
  sendForm->OnUpdateWithdrawalControls = [mainWindow] { mainWindow->UpdateWithdrawalControls(); };
  auto* repForm = new TRepForm(mainWindow);
  sendForm->ReportForm = repForm;
  // The last window of start-up.
  AddDbfForm = new TAddDbfForm(mainWindow);

  TFrameServices& services = mainWindow->Services();
  services.Options = OptForm;
  services.Accounts = proForm;
  services.Mailing = sendForm;
  services.Reports = new TReports(*logForm, *repForm, mainWindow);
  services.Editor = editor;
  services.Preview = preview;
  // The project and its file; its calculated fields answer the row rules and the merge.
  auto* project = new TProjectUi(*mainWindow, state);
  services.Project = project;
  services.Highlight = &mainWindow->FilterPage();
  services.WriteExampleProject = [](const std::string& path) { return WriteExampleProject(path); };
  RestructForm->RowFilter = &state.CopyFilter;
  sendForm->Project = project;
  sendForm->Merge = &project->Merger;
  project->Editor = editor;
  project->Preview = preview;
  project->ReportFields = logForm;
  preview->TagValues = &project->TagValues;
  return mainWindow;
}

TProjectUi& ProjectOf(TLPMain& mainWindow) {
  return *mainWindow.findChild<TProjectUi*>("ProjectUi", Qt::FindDirectChildrenOnly);
}

ITagValueSource& TagValues(TLPMain& mainWindow) { return ProjectOf(mainWindow).TagValues; }

void DestroyWindows(TLPMain* mainWindow) {
  // The page's window code goes first: it is bound to the main window's controls.
  delete dynamic_cast<TWithdrawalUi*>(mainWindow->Services().Withdrawal);
  TWorkspaceState* state = &mainWindow->State();
  delete mainWindow;
  delete state;
  RespForm = nullptr;
  OptForm = nullptr;
}
