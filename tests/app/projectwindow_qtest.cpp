// The mailing project in the composed main window, the way a new user meets
// it: the first run's example project and table, a calculated field, a row
// filter and highlight rules, saved and found again after a restart.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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
#include "mailing/ui/ProjectUi.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "workspace/AppSettings.h"
#include "workspace/FirstRun.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/CalcFieldsPage.h"
#include "workspace/ui/DatabasePage.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/TableUi.h"

namespace fs = std::filesystem;

namespace {

// Runs fn once the next modal dialog is up, then closes whatever is left open.
void WhenModal(std::function<void(QWidget*)> fn) {
  auto tries = std::make_shared<int>(0);
  auto step = std::make_shared<std::function<void()>>();
  *step = [fn = std::move(fn), tries, step] {
    QWidget* m = QApplication::activeModalWidget();
    if (!m && ++*tries < 200) {
      QTimer::singleShot(10, *step);
      return;
    }
    if (m) fn(m);
    if (QWidget* still = QApplication::activeModalWidget())
      if (auto* d = qobject_cast<QDialog*>(still); d && still == m) d->reject();
    *step = nullptr;
  };
  QTimer::singleShot(0, *step);
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
  TLPMain* Start() {
    ParamList.clear();
    TLPMain* w = CreateWindows();
    WhenModal([](QWidget*) {});
    w->show();
    QTest::qWait(0);
    return w;
  }

private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    home_ = dir_.path().toStdString() + "/home";
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(home_));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(home_ + "/registry.reg"));
  }

  void newUserFromFirstRunToRestart() {
    TScopedScriptedMessages boxes;
    TLPMain* w = Start();
    QVERIFY(FirstRun);
    const std::string projects = home_ + "/Projects/";
    const std::string example = projects + "example.lkp";
    // The project writer made the example, byte for byte.
    QCOMPARE(ReadAll(example), ExampleProjectBytes());

    TProjectUi& p = ProjectOf(*w);
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
    TMerger merger(w->Reader1, TagValues(*w), sign);
    std::string v;
    QVERIFY(merger.GetTagValue("Salutation", v, true));
    QCOMPARE(v, std::string("Dear John Smith!"));
    QCOMPARE(merger.ExpandTags("%Salutation, %E_MAIL", true), std::string("Dear John Smith!, john.smith@example.com"));

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
    setRule(9, "F_NAME = 'John'");         // red
    setRule(12, "FULL <> 'nobody'");       // blue: true for every row
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
    QCOMPARE(ProjectFileName, mine);
    QVERIFY(!w->IsProjectModified());
    QVERIFY(w->windowTitle().contains("mine"));
    w->MailingPage().Edit2->setText("Hello %FULL");
    w->Action("SaveMail0")->trigger();
    QCOMPARE(FormatOf(mine + ".lkp"), 3);
    QVERIFY(fs::exists(projects + "Backup of mine.lkp"));
    TRegistry& r = SettingsRegistry();
    QVERIFY(r.OpenKey(RegKeyPath, false));
    QCOMPARE(r.ReadString("MailDir"), projects);
    r.CloseKey();
    DestroyWindows(w);

    // The next start: open the project and the table, everything is back.
    TLPMain* again = Start();
    QVERIFY(!FirstRun);
    TProjectUi& q = ProjectOf(*again);
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
    QCOMPARE(again->RowRules.HighlightSlots[9].Expression, std::string("F_NAME = 'John'"));
    QVERIFY(again->RowRules.HighlightSlots[9].Enabled);
    QCOMPARE(again->MailingPage().Edit2->text(), QString("Hello %FULL"));
    QVERIFY(!again->IsProjectModified());
    again->Tables().OpenDBFFile(home_ + "/Database/example.dbf");
    QCOMPARE(again->DatabasePage().RxDBGrid1->model()->rowCount(), 1);
    QCOMPARE(Background(*again, 0, 0), SlotQColor(9));
    TMerger merger2(again->Reader1, TagValues(*again), sign);
    QCOMPARE(merger2.ExpandTags(again->MailingPage().Edit2->text().toStdString(), true),
             std::string("Hello John Smith"));
    QVERIFY(boxes.shown.empty());
    DestroyWindows(again);
  }
};

QTEST_MAIN(ProjectWindowQTest)
#include "projectwindow_qtest.moc"
