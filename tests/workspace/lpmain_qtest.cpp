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

namespace fs = std::filesystem;

namespace {

struct TFakeMailing : IMailingWindow {
  int state = 0;
  int shown = 0;
  int SendState() const override { return state; }
  void ShowMailing() override { ++shown; }
};

// Records what the later subsystems would be asked to do.
class TRecordingMain : public TLPMain {
public:
  std::vector<std::string> calls;
  bool saveClears = true;
  void OpenMailFile(const std::string& f) override { calls.push_back("project " + f); }
  void OpenDBFFile(const std::string& f) override { calls.push_back("dbf " + f); }
  void OpenAccessFile(const std::string& f) override { calls.push_back("mdb " + f); }
  void SaveMail0Click() override {
    calls.push_back("save");
    if (saveClears) SnapshotProject();
  }
  void ShowAccounts() override { calls.push_back("accounts"); }
  void Options1Click() override { calls.push_back("options"); }
  void ColorComboBox1Click() override { calls.push_back("colors"); }
  void SaveTableConfig() override { calls.push_back("saveconfig"); }
  std::string preview, viewer;
  std::string PreviewFileName() const override { return preview; }
  std::string ReportViewerFileName() const override { return viewer; }
};

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

  void init() {
    PrepareSettings(true);
    ProjectFileName.clear();
    TableName.clear();
    SQLQueryMode = false;
    ParamList.clear();
  }

  void pagesAndControls() {
    TLPMain w;
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
    QCOMPARE(wd->tabText(wd->currentIndex()), QString("Body"));
    QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet1"));
    for (const char* n : {"RxDBGrid1", "SpeedButton5", "StatusBar2", "Memo1", "CheckBox1", "ColorComboBox1",
                          "CheckBox5", "Memo5", "CheckBox3", "ListBox1", "ComboBox1", "Memo2", "Button8",
                          "Button14", "ComboBox2", "Edit2", "SpeedButton6", "RxRichEdit1", "RxRichEdit2",
                          "EmbeddedWB1", "WebBrowser1", "DBNavigator1", "ListBox3", "Button19", "Button24",
                          "ComboBox3", "ListView1", "StatusBar3", "Memo3", "CheckBox4", "Button7", "Memo6",
                          "ComboBox12", "Button9", "TextListBox1", "Button1", "Button2", "Button5", "ListBox4",
                          "ComboBox6", "ComboBox7", "ComboBox11", "Button3", "Button4", "ComboBox13",
                          "ComboBox14", "ComboBox15", "ComboBox16", "ComboBox10", "ComboBox4", "SpeedButton1",
                          "SpeedButton2", "SpeedButton3", "SpeedButton4", "Label13", "Memo4"})
      QVERIFY2(w.findChild<QWidget*>(n), n);
    QVERIFY(w.findChild<QAction*>("SpeedItem23"));
    QVERIFY(!w.findChild<QAction*>("SpeedItem45")->isVisible());
    QCOMPARE(w.findChild<QComboBox*>("ColorComboBox1")->count(), 16);
    QVERIFY(w.RxDBGrid1->isHidden());
    QVERIFY(w.SpeedButton5->isHidden());
  }

  void menusInOrder() {
    TLPMain w;
    QStringList menus;
    for (QAction* a : w.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"File", "Table", "Edit", "View", "Insert", "Format", "Withdrawal", "Help"}));
    auto items = [&](int i) {
      QStringList out;
      for (QAction* a : w.menuBar()->actions()[i]->menu()->actions())
        if (!a->isSeparator()) out << a->text();
      return out;
    };
    QCOMPARE(items(0), QStringList({"Create DBF...", "Open Table...", "Execute SQL...",
                                    "Restructure/Save As DBF...", "Add Table...", "New Project",
                                    "Open Project...", "Save Project", "Save Project As...", "Accounts...",
                                    "Mailing...", "Send Current Mail", "Close Table", "Exit"}));
    QCOMPARE(items(1), QStringList({"Add Record...", "Edit Record...", "Delete Record", "Find...",
                                    "Find Duplicates", "Select Duplicates", "Reopen", "Descended", "Unsort"}));
    QCOMPARE(items(2), QStringList({"Undo", "Redo", "Cut", "Copy", "Paste", "Select All",
                                    "Report Configuration...", "Options..."}));
    QCOMPARE(items(6), QStringList({"Add Scheme...", "Delete Scheme...", "Get Mail List", "Delete Mail",
                                    "Extract"}));
    QCOMPARE(items(7), QStringList({"Help", "About..."}));
    struct {
      const char* name;
      const char* key;
    } keys[] = {{"NewMail0", "Ctrl+N"}, {"OpenMail0", "Ctrl+O"}, {"SaveMail0", "Ctrl+S"},
                {"CloseTable1", "Ctrl+F4"}, {"Find0", "Ctrl+F"}, {"Unique0", "Ctrl+D"},
                {"Undo1", "Ctrl+U"}, {"Cut1", "Ctrl+X"}, {"Copy1", "Ctrl+C"}, {"Paste1", "Ctrl+V"},
                {"SelectAll1", "Ctrl+A"}, {"Hyperlink1", "Ctrl+K"}, {"Help1", "F1"}};
    for (auto& k : keys) QCOMPARE(w.Action(k.name)->shortcut(), QKeySequence(k.key));
  }

  void captionExamples() {
    TLPMain w;
    QCOMPARE(w.windowTitle(), QString("Larkpost - (NONAME) Using (NONAME)"));
    ProjectFileName = "/P/news.lkp";
    TableName = "Clients.dbf";
    w.UpdateCaption();
    QCOMPARE(w.windowTitle(), QString("Larkpost - \"news\" Using \"Clients\""));
    ProjectFileName.clear();
    TableName.clear();
    SQLQueryMode = true;
    w.UpdateCaption();
    QCOMPARE(w.windowTitle(), QString("Larkpost - (NONAME) Using (SQL QUERY)"));
  }

  void enablingTable() {
    TLPMain w;
    TFakeMailing mailing;
    w.UpdateControls();
    QVERIFY(!w.Action("AddRec0")->isEnabled());
    QVERIFY(!w.Action("Accounts1")->isEnabled());  // no mailing window yet
    QVERIFY(w.Action("SendCurrent1")->isEnabled());

    w.MailingWindow = &mailing;
    w.TableStandIn = {true, false, true, "CITY ASC"};
    w.UpdateControls();
    for (const char* n : {"Restructure0", "AddDBF1", "AddRec0", "AddRec5", "CloseTable1", "Reopen0",
                          "SpeedItem22", "SpeedItem24", "EditRec0", "EditRec5", "DeleteRec0", "DeleteRec5",
                          "Find0", "FindRec5", "Unique0", "SelectDublicates1", "Unsort0", "SpeedItem48",
                          "Descend0", "SpeedItem47", "Accounts1", "SendCurrent1"})
      QVERIFY2(w.Action(n)->isEnabled(), n);
    QVERIFY(w.SpeedButton6->isEnabled());
    QCOMPARE(w.Action("SpeedItem47")->text(), QString("Descended"));

    w.Action("Descend0")->trigger();
    QCOMPARE(w.Action("SpeedItem47")->text(), QString("Ascended"));
    QCOMPARE(w.Action("SpeedItem47")->data().toInt(), 53);

    mailing.state = 2;
    w.TableStandIn = {true, true, false, ""};
    w.UpdateControls();
    QVERIFY(!w.Action("EditRec0")->isEnabled());
    QVERIFY(!w.Action("Find0")->isEnabled());
    QVERIFY(w.Action("AddRec0")->isEnabled());
    QVERIFY(!w.Action("Unique0")->isEnabled());
    QVERIFY(!w.Action("Descend0")->isEnabled());
    QVERIFY(!w.Action("SendCurrent1")->isEnabled());
    QVERIFY(!w.SpeedButton6->isEnabled());
    QVERIFY(!w.Action("Accounts1")->isEnabled());
    mailing.state = 1;
    w.UpdateControls();
    QVERIFY(w.Action("Accounts1")->isEnabled());
    QVERIFY(!w.Action("SendCurrent1")->isEnabled());
    w.MailingWindow = nullptr;
  }

  void plainTextModeSwitchesEditor() {
    TLPMain w;
    QVERIFY(!w.Modified());
    w.Action("PlainText1")->trigger();
    QCOMPARE(w.MailMode, 0);
    QVERIFY(w.Modified());
    QVERIFY(w.Action("PlainMode5")->isChecked());
    QVERIFY(!w.Action("HTML1")->isChecked());
    QVERIFY(!w.Action("Bold5")->isEnabled());
    w.Action("HTML1")->trigger();
    QCOMPARE(w.MailMode, 1);
    QVERIFY(w.Action("Bold5")->isEnabled());
  }

  void closeQuery() {
    TFakeMailing mailing;
    {
      TScopedScriptedMessages msgs;
      TRecordingMain w;
      w.MailingWindow = &mailing;
      mailing.state = 2;
      w.show();
      QVERIFY(!w.close());
      QCOMPARE(msgs.shown.size(), size_t(1));
      QCOMPARE(msgs.shown[0].text, std::string("Mailing in Progress"));
      mailing.state = 0;
      w.MailingWindow = nullptr;
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
      TRecordingMain w;
      w.saveClears = c.saveClears;
      w.show();
      // Typing and deleting again still counts as a change.
      QTest::keyClicks(w.Edit2, "x");
      QTest::keyClick(w.Edit2, Qt::Key_Backspace);
      QCOMPARE(w.Edit2->text(), QString());
      QCOMPARE(w.close(), c.closes);
      QCOMPARE(msgs.shown.size(), size_t(1));
      QCOMPARE(msgs.shown[0].text, std::string("Save Project?"));
      QCOMPARE(msgs.shown[0].buttons, TMsgButtons::YesNoCancel);
      QCOMPARE(std::count(w.calls.begin(), w.calls.end(), "save") == 1, c.saved);
      if (!c.closes) QVERIFY(w.Modified());
    }
  }

  void editorTextChangeIsModification() {
    TLPMain w;
    QVERIFY(!w.IsProjectModified());
    w.RxRichEdit1->setPlainText("<HTML>");
    QVERIFY(w.IsProjectModified());
    w.SnapshotProject();
    QVERIFY(!w.IsProjectModified());
    w.RxRichEdit2->setPlainText("plain");
    QVERIFY(w.IsProjectModified());
  }

  void firstRun() {
    PrepareSettings(false);
    TRecordingMain w;
    QVERIFY(FirstRun);
    const std::string app = AppDir;
    QCOMPARE(app, home_ + "/");
    w.show();
    QCOMPARE(w.calls.size() >= 2, true);
    QCOMPARE(w.calls[0], std::string("accounts"));
    QCOMPARE(w.calls[1], std::string("options"));
    QVERIFY(fs::is_directory(app + "Database"));
    QVERIFY(fs::is_directory(app + "Projects"));
    QCOMPARE(ReadAll(app + "Projects/example.lkp"), ExampleProjectBytes());
    QVERIFY(fs::file_size(app + "Database/example.dbf") > 0);
    QCOMPARE(DataBaseDir, app + "Database/");
    QCOMPARE(MailDir, app + "Projects/");
    TRegistry& r = SettingsRegistry();
    QVERIFY(r.OpenKey(RegKeyPath, false));
    QCOMPARE(r.ReadString("DataBaseDir"), app + "Database/");
    QCOMPARE(r.ReadString("MailDir"), app + "Projects/");
    r.CloseKey();

    // The next start is no first run.
    TRecordingMain again;
    QVERIFY(!FirstRun);
    again.show();
    QCOMPARE(std::count(again.calls.begin(), again.calls.end(), "options"), 0);
    QCOMPARE(DataBaseDir, app + "Database/");
  }

  void commandLineAtShow() {
    TRecordingMain w;
    w.SetCommandLine({"/bin/larkpost", "notes.txt", "y.dbf", "x.MDB", "p.LKP", "q.lkp"});
    w.show();
    QCOMPARE(w.calls, std::vector<std::string>({"project p.LKP", "colors", "mdb x.MDB"}));
  }

  void openFilesMessages() {
    TScopedScriptedMessages msgs;
    TRecordingMain w;
    w.SetCommandLine({"/bin/larkpost"});
    w.show();
    w.calls.clear();

    w.OnOpenFilesMessage("/home/me/My Projects/a.lkp");
    QCOMPARE(w.calls, std::vector<std::string>({"project /home/me/My Projects/a.lkp", "colors"}));
    QCOMPARE(ParamList.size(), size_t(2));
    QCOMPARE(ParamList[0], std::string("/bin/larkpost"));
    w.calls.clear();
    w.OnOpenFilesMessage("b.dbf");
    QCOMPARE(w.calls, std::vector<std::string>({"dbf b.dbf"}));
    w.OnOpenFilesMessage("");
    QCOMPARE(w.calls.size(), size_t(1));
    QVERIFY(msgs.shown.empty());

    // With unsaved changes: Cancel drops this one request, the next is handled.
    w.calls.clear();
    w.SetModified(true);
    msgs.Answer(TMsgResult::Cancel);
    w.OnOpenFilesMessage("c.lkp");
    QVERIFY(w.calls.empty());
    QCOMPARE(msgs.shown.back().text, std::string("Save Project?"));
    msgs.Answer(TMsgResult::No);
    w.OnOpenFilesMessage("c.lkp");
    QCOMPARE(w.calls, std::vector<std::string>({"project c.lkp", "colors"}));
    // Yes saves first; a save that leaves the project modified opens nothing.
    w.calls.clear();
    w.SetModified(true);
    w.saveClears = false;
    msgs.Answer(TMsgResult::Yes);
    w.OnOpenFilesMessage("d.lkp");
    QCOMPARE(w.calls, std::vector<std::string>({"save"}));
    w.saveClears = true;
    msgs.Answer(TMsgResult::Yes);
    w.calls.clear();
    w.OnOpenFilesMessage("d.lkp");
    QCOMPARE(w.calls, std::vector<std::string>({"save", "project d.lkp", "colors"}));
  }

  void editCommandsRouteToFocusedControl() {
    TLPMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.ShowPage(w.TabSheet2);
    w.activateWindow();
    w.Edit2->setFocus();
    QTest::keyClicks(w.Edit2, "hello");
    w.UpdateEditCommands();
    QVERIFY(!w.Action("Cut1")->isEnabled());
    QVERIFY(w.Action("Undo1")->isEnabled());
    QVERIFY(!w.Action("Redo1")->isEnabled());  // redo only in the two rich editors
    w.ExecEditCommand(ecSelectAll);
    QVERIFY(w.Action("Cut1")->isEnabled());
    w.ExecEditCommand(ecCopy);
    QCOMPARE(QApplication::clipboard()->text(), QString("hello"));
    w.ExecEditCommand(ecCut);
    QCOMPARE(w.Edit2->text(), QString());
    w.ExecEditCommand(ecPaste);
    QCOMPARE(w.Edit2->text(), QString("hello"));

    w.PageControl2->setCurrentWidget(w.TabSheet8);
    w.RxRichEdit1->setFocus();
    QTest::keyClicks(w.RxRichEdit1, "ab");
    w.ExecEditCommand(ecUndo);
    QVERIFY(w.RxRichEdit1->toPlainText() != QString("ab"));
    w.UpdateEditCommands();
    QVERIFY(w.Action("Redo1")->isEnabled());
    w.ExecEditCommand(ecRedo);
    QCOMPARE(w.RxRichEdit1->toPlainText(), QString("ab"));

    // Leaving the editors disables the edit commands.
    w.UpdateHtmlMenus();
    QVERIFY(!w.Action("Paste1")->isEnabled());
  }

  void mailingNeedsAccount() {
    TScopedScriptedMessages msgs;
    TFakeMailing mailing;
    TLPMain w;
    w.MailingWindow = &mailing;
    w.Action("Mailing1")->trigger();
    QCOMPARE(msgs.shown.size(), size_t(1));
    QCOMPARE(msgs.shown[0].text, std::string("Account is not selected"));
    QCOMPARE(msgs.shown[0].kind, TMsgKind::Error);
    QCOMPARE(mailing.shown, 0);
    w.MailingWindow = nullptr;
  }

  void helpCommands() {
    TScopedRecordingHelp help;
    TLPMain w;
    w.Action("Help1")->trigger();
    w.Button9->click();
    QCOMPARE(help.calls.size(), size_t(2));
    QCOMPARE(help.calls[0].command, HH_DISPLAY_TOC);
    QCOMPARE(help.calls[0].data, 0);
    QCOMPARE(help.calls[1].command, HH_HELP_CONTEXT);
    QCOMPARE(help.calls[1].data, 11);
  }

  void viewCommandsAndResize() {
    TLPMain w;
    w.show();
    w.Action("Preview1")->trigger();
    QCOMPARE(w.PageControl1->currentWidget(), w.TabSheet2);
    QCOMPARE(w.PageControl2->currentWidget(), w.TabSheet5);
    w.Action("Parser1")->trigger();
    QCOMPARE(w.PageControl1->currentWidget(), w.TabSheet4);
    QCOMPARE(w.PageControl3->tabText(w.PageControl3->currentIndex()), QString("Parser"));
    w.Action("Filter0")->trigger();
    QCOMPARE(w.PageControl1->currentWidget(), w.TabSheet9);
    w.Action("Table1")->trigger();
    QCOMPARE(w.PageControl1->currentWidget(), w.TabSheet1);

    w.resize(1000, 600);
    QCoreApplication::processEvents();
    QCOMPARE(w.SpeedButton5->x(), 1000 - 36);
    w.ShowPage(w.TabSheet2);
    QCoreApplication::processEvents();
    QWidget* panel = w.Edit2->parentWidget();
    QCOMPARE(w.Edit2->width(), SubjectEditWidth(panel->width(), w.Edit2->x()));
    w.setMinimumSize(0, 0);
    w.resize(200, 400);
    QCoreApplication::processEvents();
    QCOMPARE(w.SpeedButton5->x(), std::max(250, w.width() - 36));
  }

  void nowFunctionAndActivation() {
    TLPMain w;
    TDateTime before = Now();
    TDateTime v = 0;
    QVERIFY(w.FastEval1.EvaluateDateTime("NOW", v, 1));
    QVERIFY(v >= before - 1e-6 && v <= Now() + 1e-6);
    w.showMinimized();
    w.OnActivateMessage();
    QVERIFY(!w.isMinimized());
    QVERIFY(w.isVisible());
  }

  void closeWritesTableConfigAndDeletesTempFiles() {
    TRecordingMain w;
    w.TableStandIn.open = true;
    w.preview = dir_.path().toStdString() + "/$lpprev_.html";
    w.viewer = dir_.path().toStdString() + "/$repv_0.html";
    std::ofstream(w.preview) << "p";
    std::ofstream(w.viewer) << "v";
    w.show();
    QVERIFY(w.close());
    QCOMPARE(std::count(w.calls.begin(), w.calls.end(), "saveconfig"), 1);
    QVERIFY(!fs::exists(w.preview));
    QVERIFY(!fs::exists(w.viewer));
  }
};

QTEST_MAIN(LPMainTest)
#include "lpmain_qtest.moc"
