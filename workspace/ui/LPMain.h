#pragma once
// The main window frame: the main menu and tool bars, the caption, command
// enabling, edit-command routing, the close query, help, and the start-up
// duties (first run, command line, messages from a second copy). It holds
// one page class per page; the subsystems it does not own are reached through
// the interfaces in Services(), which app/ fills.

#include <QMainWindow>
#include <map>
#include <string>
#include <vector>

#include "platform/Help.h"
#include "platform/ui/SingleInstance.h"
#include "toolkit/FastEval.h"
#include "toolkit/Reader.h"
#include "toolkit/Synbuild.h"
#include "workspace/FrameInterfaces.h"
#include "workspace/FrameRules.h"
#include "workspace/RowRules.h"
#include "workspace/RowRulesCopyFilter.h"

class QAction;
class QMenu;
class QTabWidget;
class QToolBar;
class TCalcFieldsPage;
class TDatabasePage;
class TFilterPage;
class TMailingPage;
class TTableUi;
class TWithdrawalPage;

// The edit commands, by code.
enum TEditCommand { ecCut = 0, ecCopy = 1, ecPaste = 2, ecUndo = 3, ecRedo = 4, ecSelectAll = 5 };

class TLPMain : public QMainWindow, public ICloseQueryHost, public IInstanceMessageHandler, public IRowRulesView {
  Q_OBJECT
public:
  explicit TLPMain(QWidget* parent = nullptr);
  ~TLPMain() override;

  // The subsystems around the frame. Table starts as the frame's own table
  // commands (Tables()); the others stay null until set.
  TFrameServices& Services() { return services_; }

  // The pages, by page.
  TDatabasePage& DatabasePage() const { return *databasePage_; }
  TFilterPage& FilterPage() const { return *filterPage_; }
  TCalcFieldsPage& CalcFieldsPage() const { return *calcPage_; }
  TMailingPage& MailingPage() const { return *mailingPage_; }
  TWithdrawalPage& WithdrawalPage() const { return *withdrawalPage_; }
  // The table commands of the Database page.
  TTableUi& Tables() const { return *tables_; }

  // --- frame ---
  void UpdateCaption();
  void UpdateControls();
  void FormResize();
  bool FormCloseQuery();
  void SnapshotProject() override;
  bool IsProjectModified() override;
  void ShowHelpContext(int HelpContext);
  bool Modified() const { return project_.Modified; }
  void SetModified(bool m) { project_.Modified = m; }
  // The project's snapshot texts (the HTML editor fills its HTML snapshot).
  TProjectSnapshot& ProjectSnapshot() { return project_; }
  TFrameState CurrentFrameState() const;

  // The Withdrawal page's enabling (the mailing window asks for it when its state changes).
  void UpdateWithdrawalControls();
  // "ActiveScheme" as the settings were read at start-up: the scheme to select first.
  const std::string& ActiveSchemeSetting() const { return activeScheme_; }

  void ExecEditCommand(int Command);
  void UpdateEditCommands();
  void UpdateHtmlMenus();

  // --- start-up and shut-down ---
  void FormShow();
  void FormClose();
  void OnActivateMessage() override;
  void OnOpenFilesMessage(const std::string& text) override;
  void OpenCommandLineFiles();
  // Fills ParamList from a command line (element 0 the program path).
  void SetCommandLine(const std::vector<std::string>& args);

  // --- commands of the frame ---
  void Mailing1Click();
  void SendCurrent1Click();
  void SpeedButton6Click();
  void Exit1Click();
  void About1Click();
  void Help1Click();
  void Options1Click();
  void ShowPage(QWidget* page);
  // Opens a table from the event loop (a second copy handing over files waits
  // for the message handler, and must not wait on an error box of the open).
  void OpenDBFFile(const std::string& FileName);
  void OpenAccessFile(const std::string& FileName);

  // The main window's tokenizer: merge tags and the name dialog.
  TReader Reader1;
  // The main window's evaluator: filter, highlight rules and calculated fields.
  TFastEval FastEval1;
  // The HTML grammar, compiled once at start-up; no text is run through it.
  TSyntaxBuilder SyntaxBuilder1;
  // Its answers (fields, calculated fields, error reports) and the filter and
  // highlight rules of the table query. The calculated fields come from the
  // project, which app/ connects (RowRules.SetCalcFieldSource).
  TRowRules RowRules{FastEval1};
  // IRowRulesView: what an evaluation error does to the Filter page.
  void ShowFilterPage() override;
  void PlaceFilterCaret(int place) override;
  void ShowHighlightSlot(int slot, int place) override;
  bool HighlightChecked() const override;
  // RxDBGrid1TopLeftChanged: the grid scrolled, its rows are worked out again.
  void RxDBGrid1TopLeftChanged();
  // The same filter text as the filter of a restructuring copy (handle 5).
  TRowRulesCopyFilter CopyFilter{RowRules, FastEval1, [this] { return CopyFilterText(); }};
  void FastEval1GetDateTimeFunct(const std::string& FunctName, bool& Found, TDateTime& Value);
  TMailMode MailMode = mmHtml;

  // Menu items and tool buttons by designer name ("SaveMail0", "SpeedItem47").
  QAction* Action(const std::string& name) const;

  // A child object bound to the frame's members (the evaluator, the row
  // rules, the pages): deleted first when the frame goes, while they exist.
  void AdoptBoundChild(QObject* child);

protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

  // ICloseQueryHost
  TSendState SendState() const override;
  void SaveProject() override;
  bool ProjectModifiedFlag() const override { return project_.Modified; }

private:
  void FormCreate();
  void LoadSettings();
  void RunFirstRunSetup();
  void BuildPages();
  void BuildMenus();
  void IndexPageActions();
  QAction* AddAction(QMenu* menu, const std::string& name, const QString& caption,
                     const QKeySequence& key = QKeySequence());
  QAction* AddToolAction(QToolBar* bar, const std::string& name, const QString& caption);
  void WatchEditor(QWidget* w);
  void PageControl1Change();
  void TabSheet9Show();
  std::string CopyFilterText() const;
  QWidget* FocusedEditControl() const;
  void SyncEditButtons();

  TFrameServices services_;
  QTabWidget* PageControl1 = nullptr;
  TDatabasePage* databasePage_ = nullptr;
  TFilterPage* filterPage_ = nullptr;
  TCalcFieldsPage* calcPage_ = nullptr;
  TMailingPage* mailingPage_ = nullptr;
  TWithdrawalPage* withdrawalPage_ = nullptr;
  TTableUi* tables_ = nullptr;
  std::map<std::string, QAction*> actions_;
  TProjectSnapshot project_;
  std::vector<QObject*> boundChildren_;
  QMetaObject::Connection focusWatch_;
  std::string activeScheme_;
  bool shown_ = false;
  bool closed_ = false;
};

// The one main window, and the globals its unit shares.
extern TLPMain* LPMain;
class TOptForm;
extern TOptForm* OptForm;    // the Options dialog, created at start-up
extern std::string AppDir;   // the program's data folder, with a trailing "/"
extern std::vector<std::string> ParamList;  // 0: the program path, 1..: files to open
extern bool FirstRun;
extern std::string ProjectFileName;
