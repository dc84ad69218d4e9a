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
#include "workspace/AppSettings.h"
#include "workspace/ui/About.h"
#include "workspace/ui/AddDbf.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/CalcFieldsPage.h"
#include "workspace/ui/CharsetForm.h"
#include "workspace/ui/CopyOpt.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/EditField.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/Restruct.h"
#include "workspace/ui/SQL.h"
#include "workspace/ui/Seldir.h"
#include "workspace/ui/Seltab.h"
#include "workspace/ui/TableUi.h"

std::unique_ptr<TWindows> CreateWindows() {
  auto windows = std::make_unique<TWindows>();
  TWindows& w = *windows;
  // The settings live in the state: they are made before the windows and go after them.
  TWorkspaceState& state = *(w.State = new TWorkspaceState(SettingsRegistry()));
  TAppSettings& settings = state.Settings;
  auto* mainWindow = w.Main = new TLPMain(state);
  // The withdrawal set-up belongs to the main window's creation.
  auto* withdrawal = w.Withdrawal = new TWithdrawalUi(*mainWindow, state, mainWindow->Tables());
  auto* addWord = w.AddWord = new TAddWordForm(mainWindow);
  auto* options = w.Options = new TOptForm(settings, mainWindow);
  // The accounts fill the Options account list before the options choose from it.
  auto* proForm = w.Accounts =
      new TProForm(mainWindow->AppDir(), settings, options, &mainWindow->WithdrawalPage(), state.Reader1, mainWindow);
  // The withdrawal account list shows the selected scheme's account.
  proForm->SchemeAccount = [withdrawal] { return withdrawal->SelectedSchemeAccount(); };
  proForm->RefreshAccountLists();
  w.GetList = new TGetListBinding(*withdrawal, *mainWindow, [proForm](int index) -> const TProfile* {
    const TProfiles& accounts = proForm->Profiles();
    return index >= 0 && static_cast<size_t>(index) < accounts.size() ? &accounts[static_cast<size_t>(index)] : nullptr;
  });
  options->LoadOptions();
  auto* logForm = w.Log = new TLogForm([&state]() -> const TDataSet* { return &state.Table.ADOQuery1; }, mainWindow);
  // The Mailing page's editor (with its insert-table window) and preview.
  auto* editor = w.Editor = new THtmlEditor(*mainWindow, state);
  auto* preview = w.Preview = new TMailPreview(*mainWindow, state, *editor);
  w.Delete = new TDelForm(mainWindow);
  w.Find = new TFindForm(mainWindow);
  w.CopyOptions = new TCopyOptForm(mainWindow);
  w.About = new TAboutBox(mainWindow);
  w.SelectTable = new TSelTabForm(mainWindow);
  w.Charset = new TCharSetForm(mainWindow);
  w.Restructure = new TRestructForm(settings, mainWindow);
  w.SelectFolder = new TSeldirForm(mainWindow);
  w.EditField = new TEditForm(mainWindow);
  w.Response = new TRespForm(mainWindow);
  // The project and its merge are given once the project exists (below); the run is its own.
  auto* sendForm = w.Mailing = new TSendForm(mainWindow->AppDir(), mainWindow, settings, mainWindow);
  sendForm->Accounts = &proForm->Profiles();
  options->SetHost(sendForm);
  sendForm->ReportFields = logForm;
  // Get List and the page's other commands follow the mailing window's state.
  sendForm->OnUpdateWithdrawalControls = [mainWindow] { mainWindow->UpdateWithdrawalControls(); };
  auto* repForm = w.Report = new TRepForm(settings, mainWindow);
  sendForm->ReportForm = repForm;
  // The last window of start-up.
  w.AddTable = new TAddDbfForm(mainWindow);

  // Each window's users get it.
  TTableUi& tables = mainWindow->Tables();
  tables.Dialogs = {w.Delete, w.Find, w.SelectTable, w.Restructure, w.AddTable};
  tables.SqlForm()->SetFolderDialog(*w.SelectFolder);
  w.Restructure->FieldDialog = w.EditField;
  w.Restructure->CopyDialog = w.CopyOptions;
  w.Restructure->RowFilter = &state.CopyFilter;
  mainWindow->SetAboutDialog(w.About);
  editor->CharsetDialog = w.Charset;
  mainWindow->CalcFieldsPage().NameDialog = addWord;
  proForm->NameDialog = addWord;
  withdrawal->SetNameDialog(addWord);
  withdrawal->SetRespForm(w.Response);

  TFrameServices& services = mainWindow->Services();
  services.Options = options;
  services.Accounts = proForm;
  services.Mailing = sendForm;
  services.Reports = w.Reports = new TReports(*logForm, *repForm, mainWindow);
  services.Editor = editor;
  services.Preview = preview;
  // The project and its file; its calculated fields answer the row rules and the merge.
  auto* project = w.Project = new TProjectUi(*mainWindow, state);
  services.Project = project;
  services.Highlight = &mainWindow->FilterPage();
  services.WriteExampleProject = [](const std::string& path) { return WriteExampleProject(path); };
  sendForm->Project = project;
  sendForm->Merge = &project->Merger;
  project->Editor = editor;
  project->Preview = preview;
  project->ReportFields = logForm;
  preview->TagValues = &project->TagValues;
  return windows;
}

TProjectUi& ProjectOf(const TWindows& windows) { return *windows.Project; }

ITagValueSource& TagValues(const TWindows& windows) { return ProjectOf(windows).TagValues; }

namespace {

template <class T>
void Destroy(T*& window) {
  delete window;
  window = nullptr;
}

}  // namespace

void DestroyWindows(TWindows& w) {
  if (!w.Main) return;
  // The frame stops reaching the subsystems before they go; its table commands are its own.
  TFrameServices& services = w.Main->Services();
  ITableAccess* table = services.Table;
  services = TFrameServices{};
  services.Table = table;
  Destroy(w.Project);
  Destroy(w.Reports);
  Destroy(w.AddTable);
  Destroy(w.Report);
  Destroy(w.Mailing);
  Destroy(w.Response);
  Destroy(w.EditField);
  Destroy(w.SelectFolder);
  Destroy(w.Restructure);
  Destroy(w.Charset);
  Destroy(w.SelectTable);
  Destroy(w.About);
  Destroy(w.CopyOptions);
  Destroy(w.Find);
  Destroy(w.Delete);
  Destroy(w.Preview);
  Destroy(w.Editor);
  Destroy(w.Log);
  Destroy(w.GetList);
  Destroy(w.Accounts);
  Destroy(w.Options);
  Destroy(w.AddWord);
  Destroy(w.Withdrawal);
  Destroy(w.Main);
  Destroy(w.State);
}

TWindows::~TWindows() { DestroyWindows(*this); }
