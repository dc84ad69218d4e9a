#pragma once
// The main window: five pages, the main menu and tool bars, the caption,
// command enabling, edit-command routing, the close query, help, and the
// start-up duties (first run, command line, messages from a second copy).
//
// Parts of the window that later subsystems own (table access, project
// file, editor, mailing window, withdrawal page) are reached through the
// virtual methods marked "filled by" below; until then they do nothing.

#include <QMainWindow>
#include <map>
#include <string>
#include <vector>

#include "platform/Help.h"
#include "platform/ui/SingleInstance.h"
#include "toolkit/FastEval.h"
#include "toolkit/Reader.h"
#include "workspace/FrameRules.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QTableView;
class QToolBar;
class QToolButton;
class QTreeWidget;

// The mailing window as the frame sees it (TSendForm implements it).
class IMailingWindow {
public:
  virtual ~IMailingWindow() = default;
  virtual int SendState() const = 0;  // 0 idle, 1 preparing or loading, 2 sending
  virtual void ShowMailing() = 0;     // modal
};

// The edit commands, by code.
enum TEditCommand { ecCut = 0, ecCopy = 1, ecPaste = 2, ecUndo = 3, ecRedo = 4, ecSelectAll = 5 };

// The background of the empty table area: the picture tiled from the top-left corner.
class TPaintBox : public QWidget {
  Q_OBJECT
public:
  explicit TPaintBox(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* e) override;
};

class TLPMain : public QMainWindow, public ICloseQueryHost, public IInstanceMessageHandler {
  Q_OBJECT
public:
  explicit TLPMain(QWidget* parent = nullptr);
  ~TLPMain() override;

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
  TFrameState CurrentFrameState() const;

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
  void Exit1Click();
  void About1Click();
  void Help1Click();
  void ShowPage(QWidget* page);

  // --- filled by later subsystems; these do nothing yet ---
  virtual void OpenMailFile(const std::string& FileName);   // project file
  virtual void OpenDBFFile(const std::string& FileName);    // table access
  virtual void OpenAccessFile(const std::string& FileName);
  virtual void SaveMail0Click();                             // "Save Project"
  virtual void ListToProject();
  virtual void ColorComboBox1Click();                        // highlight slot display
  virtual void SaveTableConfig();
  virtual void ShowAccounts();                               // the Accounts dialog
  virtual void Options1Click();                              // the Options command
  virtual void ReportConfiguration1Click();
  virtual std::string PreviewFileName() const { return {}; }
  virtual std::string ReportViewerFileName() const { return {}; }

  // States the command enabling reads, held here until the table workspace
  // and the mailing window take them over.
  struct TTableStandIn {
    bool open = false;
    bool empty = true;
    bool sortOn = false;
    std::string sortText;
  } TableStandIn;
  IMailingWindow* MailingWindow = nullptr;  // none until the mailing window exists

  // The main window's tokenizer: merge tags and the name dialog.
  TReader Reader1;
  // The main window's evaluator: filter, highlight rules and calculated fields.
  TFastEval FastEval1;
  void FastEval1GetDateTimeFunct(const std::string& FunctName, bool& Found, TDateTime& Value);
  int MailMode = 1;  // 1 HTML mail, 0 plain text

  // --- controls, by designer name ---
  QTabWidget* PageControl1;
  QWidget* TabSheet1;   // "Database"
  QWidget* TabSheet9;   // "Filter"
  QWidget* TabSheet7;   // "Calculated Fields"
  QWidget* TabSheet2;   // "Mailing"
  QWidget* TabSheet4;   // "Withdrawal"

  // Database page
  QToolBar* SpeedBar1;
  QTableView* RxDBGrid1;
  TPaintBox* PaintBox1;
  QToolButton* SpeedButton5;  // close table
  QStatusBar* StatusBar2;
  QLabel* StatusPanel2;

  // Filter page
  QPlainTextEdit* Memo1;
  QCheckBox* CheckBox1;
  QComboBox* ColorComboBox1;
  QCheckBox* CheckBox5;
  QPlainTextEdit* Memo5;
  QCheckBox* CheckBox3;

  // Calculated Fields page
  QListWidget* ListBox1;
  QComboBox* ComboBox1;
  QPlainTextEdit* Memo2;
  QPushButton* Button8;
  QPushButton* Button14;

  // Mailing page
  QComboBox* ComboBox2;  // "To"
  QLineEdit* Edit2;      // "Subject"
  QToolButton* SpeedButton6;  // "Send Current"
  QTabWidget* PageControl2;
  QWidget* TabSheet3;  // "Edit"
  QWidget* TabSheet8;  // "Source"
  QWidget* TabSheet5;  // "Preview"
  QWidget* TabSheet6;  // "Attachments"
  QToolBar* FormatBar;
  QStackedWidget* EditorStack;
  QWidget* EmbeddedWB1;           // the HTML editor's place
  QPlainTextEdit* RxRichEdit1;    // Source
  QPlainTextEdit* RxRichEdit2;    // plain text
  QWidget* PreviewPanel;
  QLabel* PreviewTo;
  QLabel* PreviewSubject;
  QWidget* DBNavigator1;
  QStatusBar* StatusBar1;
  QWidget* WebBrowser1;           // the preview's place
  QListWidget* ListBox3;
  QPushButton* Button19;
  QPushButton* Button24;

  // Withdrawal page
  QToolBar* SpeedBar2;
  QComboBox* ComboBox3;
  QTreeWidget* ListView1;
  QStatusBar* StatusBar3;
  QLabel* StatusPanel3a;
  QLabel* StatusPanel3b;
  QTabWidget* PageControl3;
  QPlainTextEdit* Memo3;
  QCheckBox* CheckBox4;
  QPushButton* Button7;
  QPlainTextEdit* Memo6;
  QComboBox* ComboBox12;
  QPushButton* Button9;
  QListWidget* TextListBox1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button5;
  QListWidget* ListBox4;
  QComboBox* ComboBox6;
  QComboBox* ComboBox7;
  QComboBox* ComboBox11;
  QPushButton* Button3;
  QPushButton* Button4;
  QComboBox* ComboBox13;
  QComboBox* ComboBox14;
  QComboBox* ComboBox15;
  QComboBox* ComboBox16;
  QComboBox* ComboBox10;
  QComboBox* ComboBox4;
  QToolButton* SpeedButton1;
  QToolButton* SpeedButton2;
  QToolButton* SpeedButton3;
  QToolButton* SpeedButton4;
  QLabel* Label13;
  QPlainTextEdit* Memo4;

  // Menu items and tool buttons by designer name ("SaveMail0", "SpeedItem47").
  QAction* Action(const std::string& name) const;

protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

  // ICloseQueryHost
  int SendState() const override;
  void SaveProject() override { SaveMail0Click(); }
  bool ProjectModifiedFlag() const override { return project_.Modified; }

private:
  void FormCreate();
  void FormDestroy();
  void LoadSettings();
  void RunFirstRunSetup();
  void BuildMenus();
  void BuildDatabasePage();
  void BuildFilterPage();
  void BuildCalcPage();
  void BuildMailingPage();
  void BuildWithdrawalPage();
  QAction* AddAction(QMenu* menu, const std::string& name, const QString& caption,
                     const QKeySequence& key = QKeySequence());
  QAction* AddToolAction(QToolBar* bar, const std::string& name, const QString& caption);
  void WatchEditor(QWidget* w);
  void PageControl1Change();
  void TabSheet9Show();
  QWidget* FocusedEditControl() const;
  void SyncEditButtons();

  std::map<std::string, QAction*> actions_;
  TProjectSnapshot project_;
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
extern std::string TableName;
extern bool SQLQueryMode;
