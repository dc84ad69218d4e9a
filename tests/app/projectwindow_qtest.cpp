// The mailing project in the composed main window, the way a new user meets
// it: the first run's example project and table, a calculated field, a row
// filter and highlight rules, saved and found again after a restart.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/Composition.h"
#include "mailing/Merge.h"
#include "mailing/ProjectFile.h"
#include "mailing/ui/WebScript.h"
#include "mailing/ui/HtmlEditor.h"
#include "mailing/ui/LogForm.h"
#include "mailing/ui/ProjectUi.h"
#include "tests/mailing/support/MergeFakes.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/ui/QtText.h"
#include "workspace/AppSettings.h"
#include "workspace/FirstRun.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/CalcFieldsPage.h"
#include "workspace/ui/DatabasePage.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/TableUi.h"

#include "tests/support/QtModal.h"

namespace fs = std::filesystem;

namespace {

// Closes the next n modal dialogs, one after the other.
void CloseModals(int n) {
  if (n <= 0) return;
  WhenModal([n](QWidget*) { QTimer::singleShot(0, [n] { CloseModals(n - 1); }); });
}

std::string ReadAll(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

int32_t FormatOf(const std::string& file) {
  const std::string b = ReadAll(file);
  if (b.size() < 4) return -1;
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(b[i])) << (8 * i);
  return static_cast<int32_t>(v);
}

struct TPercentSign : ITagSignSource {
  char TagSign() const override { return '%'; }
};

QColor Background(TLPMain& w, int row, int col) {
  QAbstractItemModel* m = w.DatabasePage().RxDBGrid1->model();
  return m->data(m->index(row, col), Qt::BackgroundRole).value<QColor>();
}

QColor SlotQColor(int slot) {
  const TRgb c = SlotColor(slot);
  return QColor(c.R, c.G, c.B);
}

QString Cell(TLPMain& w, int row, int col) {
  QAbstractItemModel* m = w.DatabasePage().RxDBGrid1->model();
  return m->data(m->index(row, col)).toString();
}

QStringList Names(const QListWidget* l) {
  QStringList out;
  for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
  return out;
}

// Adds a calculated field through the page's button and the name dialog.
void AddField(TLPMain& w, const QString& name) {
  WhenModal([name](QWidget* m) {
    auto* d = qobject_cast<TAddWordForm*>(m);
    if (!d) return;
    d->Edit1->setText(name);
    d->accept();
  });
  w.CalcFieldsPage().Button8->click();
}

}  // namespace

class ProjectWindowQTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  std::string home_;

  // A main window as the program composes it; the first start answers the Options dialog.
  std::unique_ptr<TWindows> Start() {
    std::unique_ptr<TWindows> windows = CreateWindows();
    TLPMain* w = windows->Main;
    // The first start shows the Accounts and the Options dialogs.
    if (w->FirstRun()) CloseModals(2);
    w->show();
    QTest::qWait(0);
    return windows;
  }

  // The example table in a folder of its own: John Smith, Mary Jones.
  std::string ExampleTable() {
    const std::string d = dir_.path().toStdString() + "/tables/";
    fs::create_directories(d);
    std::ofstream(d + "example.dbf", std::ios::binary | std::ios::trunc) << ExampleTableBytes();
    return d + "example.dbf";
  }

  QWidget* CurrentPage(TLPMain& w) { return w.findChild<QTabWidget*>("PageControl1")->currentWidget(); }

private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    home_ = dir_.path().toStdString() + "/home";
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(home_));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(home_ + "/registry.reg"));
  }

  void newUserFromFirstRunToRestart() {
    TScopedScriptedMessages boxes;
    const std::unique_ptr<TWindows> windows = Start();
    TLPMain* w = windows->Main;
    QVERIFY(w->FirstRun());
    const std::string projects = home_ + "/Projects/";
    const std::string example = projects + "example.lkp";
    // The project writer made the example, byte for byte.
    QCOMPARE(ReadAll(example), ExampleProjectBytes());

    TProjectUi& p = ProjectOf(*windows);
    std::string openDir;
    p.OpenDialog = [&](const std::string& dir, std::string& file) {
      openDir = dir;
      file = example;
      return true;
    };
    w->Action("OpenMail0")->trigger();
    QCOMPARE(openDir, projects);
    QVERIFY(boxes.shown.empty());
    QVERIFY(!w->IsProjectModified());
    TCalcFieldsPage& calc = w->CalcFieldsPage();
    QCOMPARE(Names(calc.ListBox1), QStringList({"SALUTATION"}));
    QCOMPARE(calc.ListBox1->currentRow(), 0);
    QCOMPARE(calc.Memo2->toPlainText(), QString("'Dear ' + F_Name + ' ' + L_Name + '!'"));
    QCOMPARE(calc.ComboBox1->currentText(), QString("String"));
    QCOMPARE(w->MailingPage().Edit2->text(), QString("Test message for %F_Name %L_Name"));
    QVERIFY(w->MailingPage().RxRichEdit1->toPlainText().contains("<DIV>%Salutation</DIV>\n"));
    QVERIFY(w->windowTitle().contains("example"));

    w->Tables().OpenDBFFile(home_ + "/Database/example.dbf");
    QVERIFY(w->Tables().TableOpen());
    QCOMPARE(w->MailingPage().ComboBox2->currentText(), QString("E_MAIL"));
    // The salutation is evaluated for the current record ('strings', merge look-up).
    const TPercentSign sign;
    TBoxedMergeWarnings warnings;
    TMerger merger(w->State().Reader1, TagValues(*windows), sign, warnings);
    std::string v;
    QVERIFY(merger.GetTagValue("Salutation", v, true));
    QCOMPARE(v, std::string("Dear John Smith!"));
    QCOMPARE(merger.ExpandTags("%Salutation, %E_MAIL", true), std::string("Dear John Smith!, john.smith@example.com"));
    // The mailing window's merge and its view of the project.
    QCOMPARE(p.Merger.ExpandTags("%F_Name", true), std::string("John"));
    const TPrepareProject prepared = p.PrepareProject();
    QCOMPARE(prepared.ProjectFileName, example);
    QCOMPARE(prepared.Charset, std::string("windows-1252"));
    QCOMPARE(prepared.MailMode, mmHtml);
    QCOMPARE(prepared.Subject, std::string("Test message for %F_Name %L_Name"));
    QCOMPARE(prepared.ToAddr, std::string("E_MAIL"));
    QVERIFY(prepared.HtmlSource.find("<DIV>%Salutation</DIV>\r\n<DIV>&nbsp;</DIV>") != std::string::npos);
    QVERIFY(prepared.Attachments.empty());

    // A calculated field of her own, typed in and stored on leaving the memo.
    AddField(*w, "full");
    QCOMPARE(Names(calc.ListBox1), QStringList({"FULL", "SALUTATION"}));
    QCOMPARE(calc.ListBox1->currentItem()->text(), QString("FULL"));
    QVERIFY(calc.Memo2->isEnabled());
    calc.Memo2->setPlainText("F_Name + ' ' + L_Name \"the whole name\"");
    calc.Memo2Exit();
    TCalcFieldDef def;
    QVERIFY(p.Project.FindCalcField("FULL", def));
    QCOMPARE(def.Expression, std::string("F_Name + ' ' + L_Name \"the whole name\""));
    QVERIFY(w->IsProjectModified());

    // A row filter, not used yet, and two highlight rules.
    TFilterPage& f = w->FilterPage();
    f.Memo1->setPlainText("L_NAME = 'Smith'");
    auto setRule = [&](int slot, const QString& text) {
      f.ColorComboBox1->setCurrentIndex(slot);
      emit f.ColorComboBox1->activated(slot);
      f.CheckBox5->click();
      f.Memo5->setPlainText(text);
    };
    setRule(9, "F_NAME = 'John'");    // red
    setRule(12, "FULL <> 'nobody'");  // blue: true for every row
    if (!f.CheckBox3->isChecked()) f.CheckBox3->click();
    w->Action("Reopen0")->trigger();
    QCOMPARE(w->DatabasePage().RxDBGrid1->model()->rowCount(), 2);
    // The lower slot wins; the sorted column has the Options colour.
    QCOMPARE(Background(*w, 0, 0), SlotQColor(9));
    QCOMPARE(Background(*w, 0, 2), SlotQColor(9));
    QCOMPARE(Background(*w, 1, 1), SlotQColor(12));
    QCOMPARE(Background(*w, 1, 0), SlotQColor(12));
    f.CheckBox1->click();
    w->Action("Reopen0")->trigger();
    QCOMPARE(w->DatabasePage().RxDBGrid1->model()->rowCount(), 1);
    QCOMPARE(Cell(*w, 0, 1), QString("Smith"));
    QCOMPARE(Background(*w, 0, 1), SlotQColor(9));
    QVERIFY(boxes.shown.empty());

    // Save As writes format 1 under the name with ".lkp"; Save then writes 3.
    const std::string mine = projects + "mine";
    std::string proposed;
    p.SaveDialog = [&](const std::string&, const std::string& name, std::string& file) {
      proposed = name;
      file = mine;
      return true;
    };
    w->Action("SaveMailAs0")->trigger();
    QCOMPARE(proposed, example);
    QCOMPARE(FormatOf(mine + ".lkp"), 1);
    QCOMPARE(w->State().ProjectFileName, mine);
    QVERIFY(!w->IsProjectModified());
    QVERIFY(w->windowTitle().contains("mine"));
    w->MailingPage().Edit2->setText("Hello %FULL");
    // The report fields chosen in Report Configuration go into the project too.
    auto* log = w->findChild<TLogForm*>("LogForm");
    QVERIFY(log);
    log->SetReportEntry("F_NAME\r\nE_MAIL\r\n");
    w->Action("SaveMail0")->trigger();
    QCOMPARE(FormatOf(mine + ".lkp"), 3);
    QVERIFY(fs::exists(projects + "Backup of mine.lkp"));
    TRegistry& r = SettingsRegistry();
    QVERIFY(r.OpenKey(RegKeyPath, false));
    QCOMPARE(r.ReadString("MailDir"), projects);
    r.CloseKey();
    DestroyWindows(*windows);

    // The next start: open the project and the table, everything is back.
    const std::unique_ptr<TWindows> againWindows = Start();
    TLPMain* again = againWindows->Main;
    QVERIFY(!again->FirstRun());
    TProjectUi& q = ProjectOf(*againWindows);
    q.OpenDialog = [&](const std::string&, std::string& file) {
      file = mine + ".lkp";
      return true;
    };
    again->Action("OpenMail0")->trigger();
    TFilterPage& g = again->FilterPage();
    QCOMPARE(Names(again->CalcFieldsPage().ListBox1), QStringList({"FULL", "SALUTATION"}));
    QCOMPARE(g.Memo1->toPlainText(), QString("L_NAME = 'Smith'"));
    QVERIFY(g.CheckBox1->isChecked());
    QVERIFY(g.CheckBox3->isChecked());
    QCOMPARE(g.ColorComboBox1->currentIndex(), 12);
    QVERIFY(g.CheckBox5->isChecked());
    QCOMPARE(g.Memo5->toPlainText(), QString("FULL <> 'nobody'"));
    QCOMPARE(again->State().RowRules.HighlightSlots[9].Expression, std::string("F_NAME = 'John'"));
    QVERIFY(again->State().RowRules.HighlightSlots[9].Enabled);
    QCOMPARE(again->MailingPage().Edit2->text(), QString("Hello %FULL"));
    QCOMPARE(again->findChild<TLogForm*>("LogForm")->ReportFields(), (std::vector<std::string>{"F_NAME", "E_MAIL"}));
    QVERIFY(!again->IsProjectModified());
    again->Tables().OpenDBFFile(home_ + "/Database/example.dbf");
    QCOMPARE(again->DatabasePage().RxDBGrid1->model()->rowCount(), 1);
    QCOMPARE(Background(*again, 0, 0), SlotQColor(9));
    TMerger merger2(again->State().Reader1, TagValues(*againWindows), sign, warnings);
    QCOMPARE(merger2.ExpandTags(again->MailingPage().Edit2->text().toStdString(), true),
             std::string("Hello John Smith"));
    QVERIFY(boxes.shown.empty());
    DestroyWindows(*againWindows);
  }

  // "Save Project?" before New and Open: Yes saves first (a cancelled Save As
  // stops the command), No goes on, Cancel stops; an unmodified project asks nothing.
  void saveProjectQuestion() {
    struct TCase {
      const char* name;
      bool open;  // Open instead of New
      bool modified;
      TMsgResult answer;
      bool saveAsChosen;  // the Save As dialog gives a name
      bool carriedOut;
      bool saved;
    };
    const TCase cases[] = {
        {"new, unmodified", false, false, TMsgResult::Yes, false, true, false},
        {"new, yes, saved", false, true, TMsgResult::Yes, true, true, true},
        {"new, yes, save cancelled", false, true, TMsgResult::Yes, false, false, false},
        {"new, no", false, true, TMsgResult::No, false, true, false},
        {"new, cancel", false, true, TMsgResult::Cancel, false, false, false},
        {"open, yes, saved", true, true, TMsgResult::Yes, true, true, true},
        {"open, yes, save cancelled", true, true, TMsgResult::Yes, false, false, false},
        {"open, no", true, true, TMsgResult::No, false, true, false},
        {"open, cancel", true, true, TMsgResult::Cancel, false, false, false},
    };
    const std::string folder = dir_.path().toStdString() + "/question/";
    fs::create_directories(folder);
    const std::unique_ptr<TWindows> windows = Start();
    TLPMain* w = windows->Main;
    TProjectUi& p = ProjectOf(*windows);
    const std::string other = folder + "other.lkp";
    {
      TProject o;
      o.SetString(KeySubject, pcSubject, "from the other file");
      QVERIFY(o.SaveToFile(other, ProjectFormatSave));
    }
    for (const TCase& c : cases) {
      TScopedScriptedMessages boxes;
      w->Action("NewMail0")->trigger();  // unmodified: no box
      QVERIFY2(boxes.shown.empty(), c.name);
      w->MailingPage().Edit2->setText("draft");
      w->SnapshotProject();
      if (c.modified) w->SetModified(true);
      const std::string saved = folder + "saved.lkp";
      fs::remove(saved);
      p.SaveDialog = [&](const std::string&, const std::string&, std::string& file) {
        file = saved;
        return c.saveAsChosen;
      };
      p.OpenDialog = [&](const std::string&, std::string& file) {
        file = other;
        return true;
      };
      boxes.Answer(c.answer);
      w->Action(c.open ? "OpenMail0" : "NewMail0")->trigger();
      QCOMPARE(boxes.shown.size(), c.modified ? size_t(1) : size_t(0));
      if (c.modified) {
        QCOMPARE(boxes.shown[0].text, std::string("Save Project?"));
        QCOMPARE(boxes.shown[0].buttons, TMsgButtons::YesNoCancel);
      }
      const QString subject = w->MailingPage().Edit2->text();
      if (c.carriedOut)
        QVERIFY2(subject == (c.open ? "from the other file" : ""), c.name);
      else
        QVERIFY2(subject == "draft", c.name);
      QCOMPARE(fs::exists(saved), c.saved);
      // Carried out, the command ends with a snapshot; stopped, the edits stay modified.
      QCOMPARE(w->IsProjectModified(), !c.carriedOut);
      w->SetModified(false);
      w->State().ProjectFileName.clear();
    }
    // A cancelled Open dialog asks nothing and changes nothing.
    TScopedScriptedMessages boxes;
    w->SetModified(true);
    p.OpenDialog = [](const std::string&, std::string&) { return false; };
    w->Action("OpenMail0")->trigger();
    QVERIFY(boxes.shown.empty());
    QVERIFY(w->Modified());
    w->SetModified(false);
    DestroyWindows(*windows);
  }

  // The page's rules: names in character-code order, a shown field is no edit,
  // the type is stored at once, Delete selects the same place or the new last.
  void calculatedFieldPage() {
    TScopedScriptedMessages boxes;
    const std::unique_ptr<TWindows> windows = Start();
    TLPMain* w = windows->Main;
    TProjectUi& p = ProjectOf(*windows);
    TCalcFieldsPage& page = w->CalcFieldsPage();
    w->Action("NewMail0")->trigger();
    QCOMPARE(page.ListBox1->count(), 0);
    QVERIFY(!page.Button14->isEnabled() && !page.Memo2->isEnabled() && !page.ComboBox1->isEnabled());
    AddField(*w, "BA");
    AddField(*w, "b2");
    AddField(*w, "C");
    QCOMPARE(Names(page.ListBox1), QStringList({"B2", "BA", "C"}));
    QCOMPARE(page.ListBox1->currentItem()->text(), QString("C"));
    QCOMPARE(page.ComboBox1->currentText(), QString("String"));
    // A duplicate is refused with its message and adds nothing.
    AddField(*w, "BA");
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Field \"BA\" already exists"));
    QCOMPARE(page.ListBox1->count(), 3);

    p.Project.SetCalcExpression("B2", "1 + 1");
    p.Project.SetCalcType("B2", cftInteger);
    w->SetModified(false);
    page.ListBox1->setCurrentRow(0);
    QCOMPARE(page.Memo2->toPlainText(), QString("1 + 1"));
    QCOMPARE(page.ComboBox1->currentText(), QString("Integer"));
    QVERIFY(!w->Modified());
    page.ComboBox1->setCurrentIndex(1);
    emit page.ComboBox1->activated(1);
    TCalcFieldDef def;
    QVERIFY(p.Project.FindCalcField("B2", def));
    QCOMPARE(def.TypeIndex, int32_t(cftFloat));
    QVERIFY(!w->Modified());
    page.Memo2->setPlainText("2.5");
    QVERIFY(w->Modified());
    QVERIFY(p.Project.FindCalcField("B2", def));
    QCOMPARE(def.Expression, std::string("1 + 1"));  // stored on leaving the memo
    page.Memo2Exit();
    QVERIFY(p.Project.FindCalcField("B2", def));
    QCOMPARE(def.Expression, std::string("2.5"));

    page.ListBox1->setCurrentRow(2);
    page.Button14->click();
    QCOMPARE(Names(page.ListBox1), QStringList({"B2", "BA"}));
    QCOMPARE(page.ListBox1->currentRow(), 1);
    QCOMPARE(page.Memo2->toPlainText(), QString(""));
    page.ListBox1->setCurrentRow(0);
    page.Button14->click();
    QCOMPARE(Names(page.ListBox1), QStringList({"BA"}));
    QCOMPARE(page.ListBox1->currentRow(), 0);
    page.Button14->click();
    QCOMPARE(page.ListBox1->count(), 0);
    QVERIFY(!page.Memo2->isEnabled() && page.Memo2->toPlainText().isEmpty());
    QCOMPARE(page.ComboBox1->currentIndex(), -1);
    QVERIFY(!page.Button14->isEnabled());
    QVERIFY(!p.Project.HasCalcField("BA") && !p.Project.HasCalcField("B2"));
    w->SetModified(false);
    DestroyWindows(*windows);
  }

  // A field picked with the mouse shows its type and expression and can be
  // deleted, as one picked with the arrow keys.
  void calculatedFieldPickedWithTheMouse() {
    TScopedScriptedMessages boxes;
    const std::unique_ptr<TWindows> windows = Start();
    TLPMain* w = windows->Main;
    TProjectUi& p = ProjectOf(*windows);
    TCalcFieldsPage& page = w->CalcFieldsPage();
    w->Action("NewMail0")->trigger();
    AddField(*w, "AGE2");
    AddField(*w, "FULL");
    p.Project.SetCalcExpression("AGE2", "Age * 2");
    p.Project.SetCalcType("AGE2", cftInteger);
    p.Project.SetCalcExpression("FULL", "F_Name + L_Name");
    w->findChild<QTabWidget*>("PageControl1")->setCurrentWidget(&page);
    QListWidget* list = page.ListBox1;
    QCOMPARE(list->currentRow(), 1);  // the field added last
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QCOMPARE(page.Memo2->toPlainText(), QString("Age * 2"));
    QCOMPARE(page.ComboBox1->currentText(), QString("Integer"));
    QVERIFY(page.Button14->isEnabled() && page.Memo2->isEnabled() && page.ComboBox1->isEnabled());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QCOMPARE(page.Memo2->toPlainText(), QString("F_Name + L_Name"));
    QCOMPARE(page.ComboBox1->currentText(), QString("String"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(page.Memo2->toPlainText(), QString("Age * 2"));
    QVERIFY(page.Button14->isEnabled());
    QVERIFY(boxes.shown.empty());
    w->SetModified(false);
    DestroyWindows(*windows);
  }

  // Grid colours: the sorted column in the Options colour, the rules' colours
  // per record, the default colour without the highlight, and a sideways
  // scroll working the rows out again.
  void gridColours() {
    TScopedScriptedMessages boxes;
    const std::unique_ptr<TWindows> windows = Start();
    TLPMain* w = windows->Main;
    w->resize(320, 300);
    TProjectUi& p = ProjectOf(*windows);
    w->Action("NewMail0")->trigger();
    p.Project.AddCalcField("FULL");
    p.Project.SetCalcExpression("FULL", "F_Name + ' ' + L_Name");
    TFilterPage& f = w->FilterPage();
    f.ColorComboBox1->setCurrentIndex(3);
    emit f.ColorComboBox1->activated(3);
    f.CheckBox5->click();
    f.Memo5->setPlainText("FULL = 'John Smith'");
    w->Tables().OpenDBFFile(ExampleTable());
    QTableView* grid = w->DatabasePage().RxDBGrid1;
    const QColor plain = w->Tables().Grid()->Model()->DefaultColor;
    // Highlight unchecked: the default colour everywhere.
    QCOMPARE(Background(*w, 0, 0), plain);
    f.CheckBox3->click();
    QCOMPARE(Background(*w, 0, 2), SlotQColor(3));
    QCOMPARE(Background(*w, 1, 2), plain);

    // The sorted column always has the Options colour.
    w->State().Settings.Set(stSortColor, 6);
    emit grid->horizontalHeader()->sectionClicked(1);
    QCOMPARE(w->State().Table.ADOQuery1.Sort(), std::string("L_NAME ASC"));
    // Jones before Smith now.
    QCOMPARE(Background(*w, 0, 1), SlotQColor(6));
    QCOMPARE(Background(*w, 1, 1), SlotQColor(6));
    QCOMPARE(Background(*w, 0, 0), plain);
    QCOMPARE(Background(*w, 1, 0), SlotQColor(3));

    // A definition changed behind the grid's back shows at the next scroll.
    p.Project.SetCalcExpression("FULL", "'someone'");
    QCOMPARE(Background(*w, 1, 0), SlotQColor(3));
    w->ShowPage(&w->DatabasePage());
    for (int c = 0; c < grid->model()->columnCount(); ++c) grid->setColumnWidth(c, 400);
    QScrollBar* bar = grid->horizontalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    QCOMPARE(Background(*w, 1, 2), plain);
    QVERIFY(boxes.shown.empty());
    w->SetModified(false);
    DestroyWindows(*windows);
  }

  // An expression that fails shows one box per open, then stays silent: the
  // filter lets every record through, a failing rule is skipped.
  void failingExpressions() {
    TScopedScriptedMessages boxes;
    const std::unique_ptr<TWindows> windows = Start();
    TLPMain* w = windows->Main;
    w->Action("NewMail0")->trigger();
    TFilterPage& f = w->FilterPage();
    f.Memo1->setPlainText("L_NAME");
    f.CheckBox1->click();
    w->Tables().OpenDBFFile(ExampleTable());
    QCOMPARE(w->DatabasePage().RxDBGrid1->model()->rowCount(), 2);
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
    QCOMPARE(boxes.shown[0].text,
             std::string("Error in Filter Expression with Description:\n\"Line 1, Col 6, Comparison sign expected\""));
    QCOMPARE(boxes.shown[0].buttons, TMsgButtons::OK);
    QCOMPARE(CurrentPage(*w), static_cast<QWidget*>(&f));
    QCOMPARE(f.Memo1->textCursor().position(), 6);
    w->Action("Reopen0")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(2));
    f.Memo1->setPlainText("L_NAME = 'Jones'");
    w->Action("Reopen0")->trigger();
    QCOMPARE(w->DatabasePage().RxDBGrid1->model()->rowCount(), 1);
    QCOMPARE(boxes.shown.size(), size_t(2));
    f.CheckBox1->click();

    // Slot 0 fails, slot 5 holds: the row takes slot 5; the box comes once.
    auto setRule = [&](int slot, const QString& text) {
      f.ColorComboBox1->setCurrentIndex(slot);
      emit f.ColorComboBox1->activated(slot);
      f.CheckBox5->click();
      f.Memo5->setPlainText(text);
    };
    setRule(0, "F_NAME");
    setRule(5, "True");
    f.CheckBox3->click();
    w->Action("Reopen0")->trigger();
    QCOMPARE(w->DatabasePage().RxDBGrid1->model()->rowCount(), 2);
    // Every change on the highlight part switches the rules on again and forgets the colours.
    f.ColorComboBox1->setCurrentIndex(5);
    emit f.ColorComboBox1->activated(5);
    boxes.shown.clear();
    QCOMPARE(Background(*w, 0, 2), SlotQColor(5));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text,
             std::string(
                 "Error in Expression of Black color with Description:\n\"Line 1, Col 6, Comparison sign expected\""));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Error);
    QCOMPARE(boxes.shown[0].buttons, TMsgButtons::OK);
    QCOMPARE(f.ColorComboBox1->currentIndex(), 0);
    QCOMPARE(f.Memo5->toPlainText(), QString("F_NAME"));
    QCOMPARE(Background(*w, 0, 2), SlotQColor(5));
    // Switched off by the error: the next row is not worked out, and nothing more is shown.
    QCOMPARE(Background(*w, 1, 2), w->Tables().Grid()->Model()->DefaultColor);
    QCOMPARE(boxes.shown.size(), size_t(1));
    w->SetModified(false);
    DestroyWindows(*windows);
  }

  // What is typed into the HTML editor is the project's: on a first run whose
  // Mailing page was never shown, and after Open Project from the Database
  // page, real keys reach the document, the Source, Prepare, the question
  // before Exit and the saved file.
  void typedTextIsKept_data() {
    QTest::addColumn<bool>("firstRun");
    QTest::addColumn<QString>("opened");  // the body of a project opened from the Database page
    QTest::newRow("first run") << true << QString();
    QTest::newRow("opened from the Database page") << false << QString("project body");
  }
  void typedTextIsKept() {
    QFETCH(bool, firstRun);
    QFETCH(QString, opened);
    const std::string folder = dir_.path().toStdString() + "/typed/";
    fs::create_directories(folder);
    TScopedScriptedMessages boxes;
    if (firstRun) {
      SettingsRegistry().CloseKey();
      SettingsRegistry().DeleteKey(RegKeyPath);
    }
    const std::unique_ptr<TWindows> windows = Start();
    TLPMain* w = windows->Main;
    QCOMPARE(w->FirstRun(), firstRun);
    THtmlEditor& editor = *w->findChild<THtmlEditor*>("HtmlEditor");
    QTRY_VERIFY_WITH_TIMEOUT(!editor.Sync.EditorLoading && !editor.Timer1->isActive(), 30000);
    auto text = [&] {
      return RunScriptSync(*editor.EmbeddedWB1->page(), "document.body ? document.body.textContent : ''").toString();
    };
    // The text of the document that the Source view holds.
    auto sourceText = [&] {
      return RunScriptSync(*editor.EmbeddedWB1->page(), "new DOMParser().parseFromString(" +
                                                            JsString(w->MailingPage().RxRichEdit1->toPlainText()) +
                                                            ", 'text/html').body.textContent")
          .toString();
    };
    auto pages = w->findChild<QTabWidget*>("PageControl1");
    TProjectUi& p = ProjectOf(*windows);
    if (!opened.isEmpty()) {
      pages->setCurrentWidget(&w->DatabasePage());
      const std::string file = folder + "opened.lkp";
      TProject o;
      o.SetString(KeyDocument, pcDocument, "<html><head></head><body><p>" + ToStdString(opened) + "</p></body></html>");
      QVERIFY(o.SaveToFile(file, ProjectFormatSave));
      p.OpenDialog = [&](const std::string&, std::string& f) {
        f = file;
        return true;
      };
      w->Action("OpenMail0")->trigger();
      QVERIFY(w->MailingPage().RxRichEdit1->toPlainText().contains(opened));
    }
    QVERIFY(!w->IsProjectModified());
    TMailingPage& m = w->MailingPage();
    QCOMPARE(m.PageControl2->currentWidget(), m.TabSheet3);
    pages->setCurrentWidget(&m);
    QTRY_VERIFY_WITH_TIMEOUT(editor.EmbeddedWB1->isVisible() && editor.Sync.DocumentReady, 30000);
    // The editor shows the project's document.
    QTRY_COMPARE_WITH_TIMEOUT(text(), sourceText(), 30000);
    if (!opened.isEmpty()) QCOMPARE(text(), opened);

    w->activateWindow();
    QWidget* input = editor.EmbeddedWB1->focusProxy();
    QVERIFY(input);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(30, 12));
    QTest::keyClick(input, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(input, "typed ABC");
    QTRY_VERIFY_WITH_TIMEOUT(text().contains("typed ABC"), 30000);
    QVERIFY(text().contains(opened));
    QVERIFY(editor.Sync.HtmlEdited);
    // Exit asks, and the answer Cancel keeps everything.
    boxes.Answer(TMsgResult::Cancel);
    QVERIFY(!w->FormCloseQuery());
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Save Project?"));
    // Leaving the Edit tab and coming back.
    m.PageControl2->setCurrentWidget(m.TabSheet8);
    QVERIFY(m.RxRichEdit1->toPlainText().contains("typed ABC"));
    m.PageControl2->setCurrentWidget(m.TabSheet3);
    QTRY_VERIFY_WITH_TIMEOUT(text().contains("typed ABC"), 30000);
    QCOMPARE(text(), sourceText());
    QVERIFY(text().contains(opened));
    // More keys, then Prepare's view of the project and Save without leaving the tab.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(30, 12));
    QTest::keyClick(input, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(input, " more DEF");
    QTRY_VERIFY_WITH_TIMEOUT(text().contains("more DEF"), 30000);
    QVERIFY(p.PrepareProject().HtmlSource.find("more DEF") != std::string::npos);
    const std::string saved = folder + (firstRun ? "first" : "again");
    p.SaveDialog = [&](const std::string&, const std::string&, std::string& f) {
      f = saved;
      return true;
    };
    w->Action("SaveMail0")->trigger();  // a new project asks for its name
    QVERIFY(!w->IsProjectModified());
    QCOMPARE(w->State().ProjectFileName, opened.isEmpty() ? saved : folder + "opened.lkp");
    TProject back;
    QVERIFY(back.LoadFromFile(opened.isEmpty() ? saved + ".lkp" : w->State().ProjectFileName) == TProjectLoad::Loaded);
    std::string doc;
    QVERIFY(back.GetString(KeyDocument, doc));
    for (const char* piece : {"typed ABC", "more DEF"}) QVERIFY2(doc.find(piece) != std::string::npos, doc.c_str());
    if (!opened.isEmpty()) QVERIFY2(doc.find(ToStdString(opened)) != std::string::npos, doc.c_str());
    QCOMPARE(boxes.shown.size(), size_t(1));
    DestroyWindows(*windows);
  }

  // A project named on the command line or handed over by a second copy opens
  // without a question when nothing is modified, with its rules shown.
  void commandLineAndHandOver() {
    TScopedScriptedMessages boxes;
    const std::string folder = dir_.path().toStdString() + "/handover/";
    fs::create_directories(folder);
    const std::string file = folder + "given.lkp";
    {
      TProject o;
      TColorExpr rules;
      rules[4] = {1, "F_NAME = 'Mary'"};
      o.SetColorRules(KeyColorRules, rules);
      o.SetInt(KeyColorIndex, pcColorIndex, 4);
      o.SetString(KeySubject, pcSubject, "handed over");
      QVERIFY(o.SaveToFile(file, ProjectFormatSave));
    }
    const std::unique_ptr<TWindows> windows = CreateWindows();
    TLPMain* w = windows->Main;
    w->SetCommandLine({"larkpost", file});
    w->show();
    QTest::qWait(0);
    QCOMPARE(w->MailingPage().Edit2->text(), QString("handed over"));
    QCOMPARE(w->State().ProjectFileName, file);
    QCOMPARE(w->FilterPage().ColorComboBox1->currentIndex(), 4);
    QVERIFY(w->FilterPage().CheckBox5->isChecked());
    QCOMPARE(w->FilterPage().Memo5->toPlainText(), QString("F_NAME = 'Mary'"));
    QVERIFY(!w->IsProjectModified());

    w->Action("NewMail0")->trigger();
    QCOMPARE(w->MailingPage().Edit2->text(), QString(""));
    QVERIFY(!w->FilterPage().CheckBox5->isChecked());
    w->OnOpenFilesMessage("\"" + file + "\"");
    QCOMPARE(w->MailingPage().Edit2->text(), QString("handed over"));
    QVERIFY(boxes.shown.empty());
    QVERIFY(!w->IsProjectModified());
    DestroyWindows(*windows);
  }
};

QTEST_MAIN(ProjectWindowQTest)
#include "projectwindow_qtest.moc"
