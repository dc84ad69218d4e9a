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
#include "workspace/FrameInterfaces.h"
#include "workspace/FrameRules.h"
#include "workspace/WorkspaceState.h"

class QAction;
class QDialog;
class QMenu;
class QTabWidget;
class QToolBar;
class TCalcFieldsPage;
class TDatabasePage;
class TFilterPage;
class TMailingPage;
class TTableUi;
class TWithdrawalPage;

class TLPMain : public QMainWindow, public ICloseQueryHost, public IInstanceMessageHandler, public IRowRulesView {
  Q_OBJECT
  // First: the members below are bound to it.
  TWorkspaceState& state_;

public:
  // state: what the frame shows and its subsystems share; it outlives the frame.
  explicit TLPMain(TWorkspaceState& state, QWidget* parent = nullptr);
  ~TLPMain() override;

  // The subsystems around the frame. Table starts as the frame's own table
  // commands (Tables()); the others stay null until set.
  TFrameServices& Services() { return services_; }
  TWorkspaceState& State() const { return state_; }

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
  // The mail mode, shown by the mode commands and the Edit tab.
  void SetMailMode(TMailMode mode);
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

  void ExecEditCommand(TEditCommand Command);
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
  // 0: the program path, 1..: files to open.
  const std::vector<std::string>& ParamList() const { return paramList_; }
  // The program's data folder, with a trailing "/".
  const std::string& AppDir() const { return appDir_; }
  // Start-up found no settings key.
  bool FirstRun() const { return firstRun_; }
  // The dialog of "About"; none: the command does nothing.
  void SetAboutDialog(QDialog* dialog) { aboutDialog_ = dialog; }

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

  // IRowRulesView: what an evaluation error does to the Filter page.
  void ShowFilterPage() override;
  void PlaceFilterCaret(int place) override;
  void ShowHighlightSlot(int slot, int place) override;
  void ShowError(const std::string& text) override;
  // RxDBGrid1TopLeftChanged: the grid scrolled, its rows are worked out again.
  void RxDBGrid1TopLeftChanged();

  // Menu items and tool buttons by designer name ("SaveMail0", "SpeedItem47").
  QAction* Action(const std::string& name) const;

  // A child object bound to the frame's members (the evaluator, the row
  // rules, the pages): deleted first when the frame goes, while they exist.
  void AdoptBoundChild(QObject* child);

signals:
  // The frame is being destroyed: its pages go next.
  void PagesClosing();

protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

  // ICloseQueryHost
  void RefuseClose(const std::string& why) override;
  TSaveChoice AskSaveProject(const std::string& question) override;
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
  std::string appDir_;
  std::vector<std::string> paramList_;
  bool firstRun_ = false;
  QDialog* aboutDialog_ = nullptr;
  bool shown_ = false;
  bool closed_ = false;
};
