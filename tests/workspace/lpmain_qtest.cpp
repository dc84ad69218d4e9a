#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"
#include "workspace/AppSettings.h"
#include "workspace/FirstRun.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/TableUi.h"
#include "support/TableFiles.h"

namespace fs = std::filesystem;

namespace {

struct TFakeMailing : IMailingWindow {
  TSendState state = ssIdle;
  int shown = 0, sendCurrent = 0;
  TSendState SendState() const override { return state; }
  void ShowMailing() override { ++shown; }
  void SendCurrent1Click() override { ++sendCurrent; }
};

// The table as the frame reads it.
struct TFakeTable : ITableAccess {
  bool open = false, empty = true, sortOn = false;
  std::string sortText, tableName;
  bool sqlQueryMode = false;
  std::vector<std::string>* calls = nullptr;
  void Record(const std::string& c) {
    if (calls) calls->push_back(c);
  }
  bool TableOpen() const override { return open; }
  bool TableEmpty() const override { return empty; }
  bool SortOn() const override { return sortOn; }
  std::string SortText() const override { return sortText; }
  std::string TableName() const override { return tableName; }
  bool SQLQueryMode() const override { return sqlQueryMode; }
  void OpenDBFFile(const std::string& f) override { Record("dbf " + f); }
  void OpenAccessFile(const std::string& f) override { Record("mdb " + f); }
  bool PostPending() override { return true; }
  void SaveTableConfig() override { Record("saveconfig"); }
};

// Records what the subsystems around the frame are asked to do.
struct TRecorder : IProjectFile, IAccounts, IOptionsDialog, IHighlightSlots, IReports, IMailPreview {
  TLPMain* frame = nullptr;
  std::vector<std::string> calls;
  bool saveClears = true;
  TFakeTable table;
  std::string preview, viewer;
  void OpenMailFile(const std::string& f) override { calls.push_back("project " + f); }
  void SaveMail0Click() override {
    calls.push_back("save");
    if (saveClears) frame->SnapshotProject();
  }
  void ListToProject() override {}
  void ShowAccounts() override { calls.push_back("accounts"); }
  void ShowOptions() override { calls.push_back("options"); }
  void ColorComboBox1Click() override { calls.push_back("colors"); }
  void ReportConfiguration1Click() override {}
  std::string ReportViewerFileName() const override { return viewer; }
  std::string PreviewFileName() const override { return preview; }
};

// A main window given the recorder for every subsystem.
struct TRecordingMain : TRecorder {
  TWorkspaceState state{SettingsRegistry()};
  TLPMain w{state};
  TRecordingMain() {
    frame = &w;
    table.calls = &calls;
    TFrameServices& s = w.Services();
    s.Project = this;
    s.Table = &table;
    s.Accounts = this;
    s.Options = this;
    s.Highlight = this;
    s.Reports = this;
    s.Preview = this;
    // The project writer is mailing's; here the bytes it must write stand in for it.
    s.WriteExampleProject = [](const std::string& path) {
      std::ofstream(path, std::ios::binary) << ExampleProjectBytes();
      return true;
    };
  }
};

template <class T>
T* Ctl(const QWidget& w, const char* name) {
  T* c = w.findChild<T*>(name);
  if (!c) qFatal("no control %s", name);
  return c;
}

std::string ReadAll(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace

class LPMainTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::string home_;

  void PrepareSettings(bool existing) {
    fs::remove_all(home_);
    fs::create_directories(home_);
    if (existing) {
      TRegistry& r = SettingsRegistry();
      QVERIFY(r.OpenKey(RegKeyPath, true));
      r.WriteString("DataBaseDir", "");
      r.CloseKey();
    }
  }

private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    home_ = dir_.path().toStdString() + "/home";
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(home_));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(home_ + "/registry.reg"));
  }

  void init() { PrepareSettings(true); }

  void pagesAndControls() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    auto* pages = w.findChild<QTabWidget*>("PageControl1");
    QVERIFY(pages);
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i) captions << pages->tabText(i);
    QCOMPARE(captions, QStringList({"Database", "Filter", "Calculated Fields", "Mailing", "Withdrawal"}));
    auto* mail = w.findChild<QTabWidget*>("PageControl2");
    QStringList tabs;
    for (int i = 0; i < mail->count(); ++i) tabs << mail->tabText(i);
    QCOMPARE(tabs, QStringList({"Edit", "Source", "Preview", "Attachments"}));
    auto* wd = w.findChild<QTabWidget*>("PageControl3");
    QCOMPARE(wd->count(), 5);
    QCOMPARE(wd->tabText(wd->currentIndex()), QString("Custom Text"));
    QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet1"));
    for (const char* n :
         {"RxDBGrid1",   "SpeedButton5", "StatusBar2",   "Memo1",        "CheckBox1",    "ColorComboBox1",
          "CheckBox5",   "Memo5",        "CheckBox3",    "ListBox1",     "ComboBox1",    "Memo2",
          "Button8",     "Button14",     "ComboBox2",    "Edit2",        "SpeedButton6", "RxRichEdit1",
          "RxRichEdit2", "EmbeddedWB1",  "WebBrowser1",  "DBNavigator1", "ListBox3",     "Button19",
          "Button24",    "ComboBox3",    "ListView1",    "StatusBar3",   "Memo3",        "CheckBox4",
          "Button7",     "Memo6",        "ComboBox12",   "Button9",      "TextListBox1", "Button1",
          "Button2",     "Button5",      "ListBox4",     "ComboBox6",    "ComboBox7",    "ComboBox11",
          "Button3",     "Button4",      "ComboBox13",   "ComboBox14",   "ComboBox15",   "ComboBox16",
          "ComboBox10",  "ComboBox4",    "SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4",
          "Label13",     "Memo4"})
      QVERIFY2(w.findChild<QWidget*>(n), n);
    QVERIFY(w.findChild<QAction*>("SpeedItem23"));
    QVERIFY(w.findChild<QAction*>("SpeedItem45")->isVisible());  // Response is reachable
    QCOMPARE(w.findChild<QComboBox*>("ColorComboBox1")->count(), 16);
    QVERIFY(Ctl<QTableView>(w, "RxDBGrid1")->isHidden());
    QVERIFY(Ctl<QToolButton>(w, "SpeedButton5")->isHidden());
  }

  void menusInOrder() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    QStringList menus;
    for (QAction* a : w.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"File", "Table", "Edit", "View", "Insert", "Format", "Withdrawal", "Help"}));
    auto items = [&](int i) {
      QStringList out;
      for (QAction* a : w.menuBar()->actions()[i]->menu()->actions())
        if (!a->isSeparator()) out << a->text();
      return out;
    };
    QCOMPARE(items(0),
             QStringList({"Create DBF...", "Open Table...", "Execute SQL...", "Restructure/Save As DBF...",
                          "Add Table...", "New Project", "Open Project...", "Save Project", "Save Project As...",
                          "Accounts...", "Mailing...", "Send Current Mail", "Close Table", "Exit"}));
    QCOMPARE(items(1), QStringList({"Add Record...", "Edit Record...", "Delete Record", "Find...", "Find Duplicates",
                                    "Select Duplicates", "Reopen", "Descended", "Unsort"}));
    QCOMPARE(items(2), QStringList({"Undo", "Redo", "Cut", "Copy", "Paste", "Select All", "Report Configuration...",
                                    "Options..."}));
    QCOMPARE(items(6), QStringList({"Add Scheme...", "Delete Scheme...", "Get Mail List", "Delete Mail", "Extract",
                                    "Response..."}));
    QCOMPARE(items(7), QStringList({"Help", "About..."}));
    struct {
      const char* name;
      const char* key;
    } keys[] = {{"NewMail0", "Ctrl+N"}, {"OpenMail0", "Ctrl+O"}, {"SaveMail0", "Ctrl+S"},  {"CloseTable1", "Ctrl+F4"},
                {"Find0", "Ctrl+F"},    {"Unique0", "Ctrl+D"},   {"Undo1", "Ctrl+U"},      {"Cut1", "Ctrl+X"},
                {"Copy1", "Ctrl+C"},    {"Paste1", "Ctrl+V"},    {"SelectAll1", "Ctrl+A"}, {"Hyperlink1", "Ctrl+K"},
                {"Help1", "F1"}};
    for (auto& k : keys) QCOMPARE(w.Action(k.name)->shortcut(), QKeySequence(k.key));
  }

  void captionExamples() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    TFakeTable table;
    QCOMPARE(w.windowTitle(), QString("Larkpost - (NONAME) Using (NONAME)"));
    w.Services().Table = &table;
    state.ProjectFileName = "/P/news.lkp";
    table.tableName = "Clients.dbf";
    w.UpdateCaption();
    QCOMPARE(w.windowTitle(), QString("Larkpost - \"news\" Using \"Clients\""));
    state.ProjectFileName.clear();
    table.tableName.clear();
    table.sqlQueryMode = true;
    w.UpdateCaption();
    QCOMPARE(w.windowTitle(), QString("Larkpost - (NONAME) Using (SQL QUERY)"));
  }

  void enablingTable() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    TFakeMailing mailing;
    TFakeTable table;
    auto* sendCurrent = Ctl<QToolButton>(w, "SpeedButton6");
    w.Services().Table = &table;
    w.UpdateControls();
    QVERIFY(!w.Action("AddRec0")->isEnabled());
    QVERIFY(!w.Action("Accounts1")->isEnabled());  // no mailing window yet
    QVERIFY(w.Action("SendCurrent1")->isEnabled());

    w.Services().Mailing = &mailing;
    table.open = true;
    table.empty = false;
    table.sortOn = true;
    table.sortText = "CITY ASC";
    w.UpdateControls();
    for (const char* n : {"Restructure0", "AddDBF1",     "AddRec0",   "AddRec5",           "CloseTable1", "Reopen0",
                          "SpeedItem22",  "SpeedItem24", "EditRec0",  "EditRec5",          "DeleteRec0",  "DeleteRec5",
                          "Find0",        "FindRec5",    "Unique0",   "SelectDublicates1", "Unsort0",     "SpeedItem48",
                          "Descend0",     "SpeedItem47", "Accounts1", "SendCurrent1"})
      QVERIFY2(w.Action(n)->isEnabled(), n);
    QVERIFY(sendCurrent->isEnabled());
    // The menu item and the page's button both reach the mailing window, only while it is idle.
    w.Action("SendCurrent1")->trigger();
    sendCurrent->click();
    QCOMPARE(mailing.sendCurrent, 2);
    for (TSendState busy : {ssPreparing, ssSending}) {
      mailing.state = busy;
      w.SendCurrent1Click();
      w.SpeedButton6Click();
    }
    mailing.state = ssIdle;
    QCOMPARE(mailing.sendCurrent, 2);
    QCOMPARE(w.Action("SpeedItem47")->text(), QString("Descended"));

    w.Action("Descend0")->trigger();
    QCOMPARE(w.Action("SpeedItem47")->text(), QString("Ascended"));
    QCOMPARE(w.Action("SpeedItem47")->data().toInt(), 53);

    mailing.state = ssSending;
    table.empty = true;
    table.sortOn = false;
    table.sortText.clear();
    w.UpdateControls();
    QVERIFY(!w.Action("EditRec0")->isEnabled());
    QVERIFY(!w.Action("Find0")->isEnabled());
    QVERIFY(w.Action("AddRec0")->isEnabled());
    QVERIFY(!w.Action("Unique0")->isEnabled());
    QVERIFY(!w.Action("Descend0")->isEnabled());
    QVERIFY(!w.Action("SendCurrent1")->isEnabled());
    QVERIFY(!sendCurrent->isEnabled());
    QVERIFY(!w.Action("Accounts1")->isEnabled());
    mailing.state = ssPreparing;
    w.UpdateControls();
    QVERIFY(w.Action("Accounts1")->isEnabled());
    QVERIFY(!w.Action("SendCurrent1")->isEnabled());
    w.Services().Mailing = nullptr;
  }

  void plainTextModeSwitchesEditor() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    QVERIFY(!w.Modified());
    w.Action("PlainText1")->trigger();
    QCOMPARE(w.State().MailMode, mmPlainText);
    QVERIFY(w.Modified());
    QVERIFY(w.Action("PlainMode5")->isChecked());
    QVERIFY(!w.Action("HTML1")->isChecked());
    QVERIFY(!w.Action("Bold5")->isEnabled());
    w.Action("HTML1")->trigger();
    QCOMPARE(w.State().MailMode, mmHtml);
    QVERIFY(w.Action("Bold5")->isEnabled());
  }

  void closeQuery() {
    TFakeMailing mailing;
    {
      TScopedScriptedMessages msgs;
      TRecordingMain m;
      TLPMain& w = m.w;
      w.Services().Mailing = &mailing;
      mailing.state = ssSending;
      w.show();
      QVERIFY(!w.close());
      QCOMPARE(msgs.shown.size(), size_t(1));
      QCOMPARE(msgs.shown[0].text, std::string("Mailing in Progress"));
      QCOMPARE(msgs.shown[0].kind, TMsgKind::Confirmation);
      QCOMPARE(msgs.shown[0].buttons, TMsgButtons::OK);
      mailing.state = ssIdle;
      w.Services().Mailing = nullptr;
      QVERIFY(w.close());  // nothing changed: closes without asking
      QCOMPARE(msgs.shown.size(), size_t(1));
    }
    struct {
      TMsgResult answer;
      bool saveClears;
      bool closes;
      bool saved;
    } cases[] = {{TMsgResult::Cancel, true, false, false},
                 {TMsgResult::No, true, true, false},
                 {TMsgResult::Yes, true, true, true},
                 {TMsgResult::Yes, false, false, true}};
    for (auto& c : cases) {
      TScopedScriptedMessages msgs;
      msgs.Answer(c.answer);
      TRecordingMain m;
      TLPMain& w = m.w;
      m.saveClears = c.saveClears;
      w.show();
      // Typing and deleting again still counts as a change.
      auto* subject = Ctl<QLineEdit>(w, "Edit2");
      QTest::keyClicks(subject, "x");
      QTest::keyClick(subject, Qt::Key_Backspace);
      QCOMPARE(subject->text(), QString());
      QCOMPARE(w.close(), c.closes);
      QCOMPARE(msgs.shown.size(), size_t(1));
      QCOMPARE(msgs.shown[0].text, std::string("Save Project?"));
      QCOMPARE(msgs.shown[0].buttons, TMsgButtons::YesNoCancel);
      QCOMPARE(std::count(m.calls.begin(), m.calls.end(), "save") == 1, c.saved);
      if (!c.closes) QVERIFY(w.Modified());
    }
  }

  void editorTextChangeIsModification() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    QVERIFY(!w.IsProjectModified());
    Ctl<QPlainTextEdit>(w, "RxRichEdit1")->setPlainText("<HTML>");
    QVERIFY(w.IsProjectModified());
    w.SnapshotProject();
    QVERIFY(!w.IsProjectModified());
    Ctl<QPlainTextEdit>(w, "RxRichEdit2")->setPlainText("plain");
    QVERIFY(w.IsProjectModified());
  }

  void firstRun() {
    PrepareSettings(false);
    TRecordingMain m;
    QVERIFY(m.w.FirstRun());
    const std::string app = m.w.AppDir();
    QCOMPARE(app, home_ + "/");
    m.w.show();
    QCOMPARE(m.calls.size() >= 2, true);
    QCOMPARE(m.calls[0], std::string("accounts"));
    QCOMPARE(m.calls[1], std::string("options"));
    QVERIFY(fs::is_directory(app + "Database"));
    QVERIFY(fs::is_directory(app + "Projects"));
    QCOMPARE(ReadAll(app + "Projects/example.lkp"), ExampleProjectBytes());
    QVERIFY(fs::file_size(app + "Database/example.dbf") > 0);
    QCOMPARE(m.state.Settings.Values().DataBaseDir, app + "Database/");
    QCOMPARE(m.state.Settings.Values().MailDir, app + "Projects/");
    TRegistry& r = SettingsRegistry();
    QVERIFY(r.OpenKey(RegKeyPath, false));
    QCOMPARE(r.ReadString("DataBaseDir"), app + "Database/");
    QCOMPARE(r.ReadString("MailDir"), app + "Projects/");
    r.CloseKey();

    // The next start is no first run.
    TRecordingMain again;
    QVERIFY(!again.w.FirstRun());
    again.w.show();
    QCOMPARE(std::count(again.calls.begin(), again.calls.end(), "options"), 0);
    QCOMPARE(again.state.Settings.Values().DataBaseDir, app + "Database/");
  }

  void commandLineAtShow() {
    TRecordingMain m;
    m.w.SetCommandLine({"/bin/larkpost", "notes.txt", "y.dbf", "x.MDB", "p.LKP", "q.lkp"});
    m.w.show();
    // The table opens from the event loop.
    QTRY_COMPARE(m.calls, std::vector<std::string>({"project p.LKP", "colors", "mdb x.MDB"}));
  }

  // A table handed over by a second copy, in another folder: the first
  // table's view configuration is written beside the first table.
  void handedOverTableKeepsTheFirstConfiguration() {
    TScopedScriptedMessages msgs;
    const std::string a = MakeTestFolder("handover-a"), b = MakeTestFolder("handover-b");
    WriteTestDbf(a + "first.dbf", {{"NAME", 'C', 10}}, {{"y"}, {"x"}});
    WriteTestDbf(b + "second.dbf", {{"CITY", 'C', 10}}, {{"z"}});
    {
      TWorkspaceState state{SettingsRegistry()};
      TLPMain w(state);
      w.SetCommandLine({"/bin/larkpost"});
      w.show();
      TTableWorkspace& ws = w.State().Table;
      w.OnOpenFilesMessage(a + "first.dbf");
      QTRY_VERIFY(ws.IsOpen());
      ws.TitleClick(0);
      w.OnOpenFilesMessage(b + "second.dbf");
      QTRY_COMPARE(ws.TableName, std::string("second.dbf"));
      QVERIFY(fs::exists(a + "first.cfg"));
      QVERIFY(!fs::exists(b + "first.cfg"));
      w.OnOpenFilesMessage(a + "first.dbf");
      QTRY_COMPARE(ws.TableName, std::string("first.dbf"));
      QCOMPARE(ws.ADOQuery1.Sort(), std::string("NAME ASC"));
    }
    fs::remove_all(a);
    fs::remove_all(b);
  }

  void openFilesMessages() {
    TScopedScriptedMessages msgs;
    TRecordingMain m;
    TLPMain& w = m.w;
    std::vector<std::string>& calls = m.calls;
    w.SetCommandLine({"/bin/larkpost"});
    w.show();
    calls.clear();

    w.OnOpenFilesMessage("/home/me/My Projects/a.lkp");
    QCOMPARE(calls, std::vector<std::string>({"project /home/me/My Projects/a.lkp", "colors"}));
    QCOMPARE(w.ParamList().size(), size_t(2));
    QCOMPARE(w.ParamList()[0], std::string("/bin/larkpost"));
    calls.clear();
    w.OnOpenFilesMessage("b.dbf");
    QTRY_COMPARE(calls, std::vector<std::string>({"dbf b.dbf"}));
    w.OnOpenFilesMessage("");
    QCOMPARE(calls.size(), size_t(1));
    QVERIFY(msgs.shown.empty());

    // With unsaved changes: Cancel drops this one request, the next is handled.
    calls.clear();
    w.SetModified(true);
    msgs.Answer(TMsgResult::Cancel);
    w.OnOpenFilesMessage("c.lkp");
    QVERIFY(calls.empty());
    QCOMPARE(msgs.shown.back().text, std::string("Save Project?"));
    msgs.Answer(TMsgResult::No);
    w.OnOpenFilesMessage("c.lkp");
    QCOMPARE(calls, std::vector<std::string>({"project c.lkp", "colors"}));
    // Yes saves first; a save that leaves the project modified opens nothing.
    calls.clear();
    w.SetModified(true);
    m.saveClears = false;
    msgs.Answer(TMsgResult::Yes);
    w.OnOpenFilesMessage("d.lkp");
    QCOMPARE(calls, std::vector<std::string>({"save"}));
    m.saveClears = true;
    msgs.Answer(TMsgResult::Yes);
    calls.clear();
    w.OnOpenFilesMessage("d.lkp");
    QCOMPARE(calls, std::vector<std::string>({"save", "project d.lkp", "colors"}));
  }

  void editCommandsRouteToFocusedControl() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    TMailingPage& mail = w.MailingPage();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.ShowPage(&mail);
    w.activateWindow();
    mail.Edit2->setFocus();
    QTest::keyClicks(mail.Edit2, "hello");
    w.UpdateEditCommands();
    QVERIFY(!w.Action("Cut1")->isEnabled());
    QVERIFY(w.Action("Undo1")->isEnabled());
    QVERIFY(!w.Action("Redo1")->isEnabled());  // redo only in the two rich editors
    w.ExecEditCommand(ecSelectAll);
    QVERIFY(w.Action("Cut1")->isEnabled());
    w.ExecEditCommand(ecCopy);
    QCOMPARE(QApplication::clipboard()->text(), QString("hello"));
    w.ExecEditCommand(ecCut);
    QCOMPARE(mail.Edit2->text(), QString());
    w.ExecEditCommand(ecPaste);
    QCOMPARE(mail.Edit2->text(), QString("hello"));

    mail.PageControl2->setCurrentWidget(mail.TabSheet8);
    mail.RxRichEdit1->setFocus();
    QTest::keyClicks(mail.RxRichEdit1, "ab");
    w.ExecEditCommand(ecUndo);
    QVERIFY(mail.RxRichEdit1->toPlainText() != QString("ab"));
    w.UpdateEditCommands();
    QVERIFY(w.Action("Redo1")->isEnabled());
    w.ExecEditCommand(ecRedo);
    QCOMPARE(mail.RxRichEdit1->toPlainText(), QString("ab"));

    // Leaving the editors disables the edit commands.
    w.UpdateHtmlMenus();
    QVERIFY(!w.Action("Paste1")->isEnabled());
  }

  void mailingNeedsAccount() {
    TScopedScriptedMessages msgs;
    TFakeMailing mailing;
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    w.Services().Mailing = &mailing;
    w.Action("Mailing1")->trigger();
    QCOMPARE(msgs.shown.size(), size_t(1));
    QCOMPARE(msgs.shown[0].text, std::string("Account is not selected"));
    QCOMPARE(msgs.shown[0].kind, TMsgKind::Error);
    QCOMPARE(mailing.shown, 0);
    w.Services().Mailing = nullptr;
  }

  void helpCommands() {
    TScopedRecordingHelp help;
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    w.Action("Help1")->trigger();
    Ctl<QPushButton>(w, "Button9")->click();
    QCOMPARE(help.calls.size(), size_t(2));
    QCOMPARE(help.calls[0].command, HH_DISPLAY_TOC);
    QCOMPARE(help.calls[0].data, 0);
    QCOMPARE(help.calls[1].command, HH_HELP_CONTEXT);
    QCOMPARE(help.calls[1].data, 11);
  }

  void viewCommandsAndResize() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    auto* pages = Ctl<QTabWidget>(w, "PageControl1");
    auto* mailTabs = Ctl<QTabWidget>(w, "PageControl2");
    auto* wdTabs = Ctl<QTabWidget>(w, "PageControl3");
    auto* closeTable = Ctl<QToolButton>(w, "SpeedButton5");
    auto* subject = Ctl<QLineEdit>(w, "Edit2");
    auto sheet = [&](const char* name) { return Ctl<QWidget>(w, name); };
    w.show();
    w.Action("Preview1")->trigger();
    QCOMPARE(pages->currentWidget(), sheet("TabSheet2"));
    QCOMPARE(mailTabs->currentWidget(), sheet("TabSheet5"));
    w.Action("Parser1")->trigger();
    QCOMPARE(pages->currentWidget(), sheet("TabSheet4"));
    QCOMPARE(wdTabs->tabText(wdTabs->currentIndex()), QString("Parser"));
    w.Action("Filter0")->trigger();
    QCOMPARE(pages->currentWidget(), sheet("TabSheet9"));
    w.Action("Table1")->trigger();
    QCOMPARE(pages->currentWidget(), sheet("TabSheet1"));

    w.resize(1000, 600);
    QCoreApplication::processEvents();
    QCOMPARE(closeTable->x(), 1000 - 36);
    w.ShowPage(sheet("TabSheet2"));
    QCoreApplication::processEvents();
    QWidget* panel = subject->parentWidget();
    QCOMPARE(subject->width(), SubjectEditWidth(panel->width(), subject->x()));
    w.setMinimumSize(0, 0);
    w.resize(200, 400);
    QCoreApplication::processEvents();
    QCOMPARE(closeTable->x(), std::max(250, w.width() - 36));
  }

  void nowFunctionAndActivation() {
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    TDateTime before = Now();
    TDateTime v = 0;
    QVERIFY(w.State().FastEval1.EvaluateDateTime("NOW", v, 1));
    QVERIFY(v >= before - 1e-6 && v <= Now() + 1e-6);
    w.showMinimized();
    w.OnActivateMessage();
    QVERIFY(!w.isMinimized());
    QVERIFY(w.isVisible());
  }

  void closeWritesTableConfigAndDeletesTempFiles() {
    TRecordingMain m;
    m.table.open = true;
    m.preview = dir_.path().toStdString() + "/$lpprev_.html";
    m.viewer = dir_.path().toStdString() + "/$repv_0.html";
    std::ofstream(m.preview) << "p";
    std::ofstream(m.viewer) << "v";
    m.w.show();
    QVERIFY(m.w.close());
    QCOMPARE(std::count(m.calls.begin(), m.calls.end(), "saveconfig"), 1);
    QVERIFY(!fs::exists(m.preview));
    QVERIFY(!fs::exists(m.viewer));
  }
};

QTEST_MAIN(LPMainTest)
#include "lpmain_qtest.moc"
