// A first session in the main window, the way a newcomer goes: the example
// table of the first run, a real dBase table, an Access table and an SQL query,
// all through the window's commands and dialogs.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "support/TableFiles.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/SQL.h"
#include "workspace/ui/Seltab.h"
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/TableWiring.h"
#include "workspace/ui/edb.h"

#include "tests/support/QtModal.h"

namespace fs = std::filesystem;

namespace {

QString Cell(QTableView* g, int row, int col) { return g->model()->data(g->model()->index(row, col)).toString(); }

int Column(QTableView* g, const QString& name) {
  for (int c = 0; c < g->model()->columnCount(); ++c)
    if (g->model()->headerData(c, Qt::Horizontal).toString() == name) return c;
  return -1;
}

void Type(QWidget* form, const char* field, const QString& text) {
  auto* box = form->findChild<QComboBox*>(field);
  QVERIFY2(box, field);
  box->lineEdit()->clear();
  QTest::keyClicks(box->lineEdit(), text);
}

}  // namespace

class NewcomerQTest : public QObject {
  Q_OBJECT
private:
  std::string dir_;
  std::unique_ptr<TWorkspaceState> state_;
  TLPMain* w_ = nullptr;
  TOptForm* options_ = nullptr;
  TTableDialogs dialogs_;
  QTableView* grid_ = nullptr;

  TTableWorkspace& Ws() { return w_->State().Table; }
  std::string Example() const { return w_->AppDir() + "Database/example.dbf"; }

  void Open(const std::string& file) {
    w_->Tables().CloseTable0Click();
    w_->OpenDBFFile(file);
    QTRY_VERIFY(w_->Tables().TableOpen());
  }

private slots:
  void initTestCase() {
    dir_ = MakeTestFolder("newcomer");
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(dir_ + "home"));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(dir_ + "home/registry.reg"));
    state_ = std::make_unique<TWorkspaceState>(SettingsRegistry());
    w_ = new TLPMain(*state_);
    options_ = new TOptForm(state_->Settings, w_);
    options_->LoadOptions();
    w_->Services().Options = options_;
    // The table dialogs of start-up this test uses.
    dialogs_ = {new TDelForm(w_), new TFindForm(w_), new TSelTabForm(w_)};
    w_->Tables().Dialogs = dialogs_;
    // The first run shows the Options: the newcomer closes it.
    WhenModal([](QWidget*) {});
    w_->resize(900, 600);
    w_->show();
    QVERIFY(w_->FirstRun());
    QVERIFY(fs::exists(Example()));
    grid_ = w_->findChild<QTableView*>("RxDBGrid1");
    QVERIFY(grid_);
  }

  void cleanupTestCase() {
    delete w_;
    options_ = nullptr;
    state_.reset();
    fs::remove_all(dir_);
  }

  void exampleTableAddEditDeleteSavedAtOnce() {
    TScopedScriptedMessages boxes;
    Open(Example());
    QCOMPARE(grid_->model()->rowCount(), 2);
    const int first = Column(grid_, "F_NAME"), mail = Column(grid_, "E_MAIL");
    QVERIFY(first >= 0 && mail >= 0);

    // Add through the record editor.
    WhenModal([](QWidget* m) {
      auto* e = qobject_cast<TEditDB*>(m);
      QVERIFY(e);
      Type(e, "F_NAME", "Nadia");
      Type(e, "L_NAME", "Okafor");
      Type(e, "E_MAIL", "nadia@example.com");
      e->Button2Click();
      e->Button1->click();
    });
    w_->Action("AddRec0")->trigger();
    QCOMPARE(Ws().ADOQuery1.State(), dsBrowse);
    QCOMPARE(grid_->model()->rowCount(), 3);

    // Edit the first record in the grid, and the second in the editor.
    QVERIFY(grid_->model()->setData(grid_->model()->index(0, mail), QString("first@example.com")));
    grid_->setCurrentIndex(grid_->model()->index(1, first));
    QCOMPARE(Ws().ADOQuery1.State(), dsBrowse);
    WhenModal([](QWidget* m) {
      auto* e = qobject_cast<TEditDB*>(m);
      QVERIFY(e);
      Type(e, "F_NAME", "Edited");
      e->Button2Click();
      e->Button1->click();
    });
    w_->Action("EditRec0")->trigger();

    // Delete the second record, confirming.
    w_->Tables().Grid()->SelectRecNos({2});
    Ws().ADOQuery1.SetRecNo(2);
    if (state_->Settings.Values().ConfirmDel)
      WhenModal([this](QWidget* m) {
        QCOMPARE(m, static_cast<QWidget*>(dialogs_.Delete));
        dialogs_.Delete->YesBtn->click();
      });
    w_->Action("DeleteRec0")->trigger();
    QCOMPARE(grid_->model()->rowCount(), 2);
    QVERIFY(boxes.shown.empty());

    // Closed and reopened: the file holds it all.
    w_->Action("CloseTable1")->trigger();
    QVERIFY(!w_->Tables().TableOpen());
    Open(Example());
    QCOMPARE(grid_->model()->rowCount(), 2);
    QCOMPARE(Cell(grid_, 0, mail), QString("first@example.com"));
    QCOMPARE(Cell(grid_, 1, first), QString("Nadia"));
    QCOMPARE(Cell(grid_, 1, mail), QString("nadia@example.com"));
    for (int r = 0; r < 2; ++r) QVERIFY(Cell(grid_, r, first) != QString("Edited"));
  }

  // A value typed into a cell shows in the grid before its row is left:
  // closing, refreshing or opening something else keeps it.
  void aTypedCellSurvivesCloseAndRefresh() {
    TScopedScriptedMessages boxes;
    Open(Example());
    const int last = Column(grid_, "L_NAME");
    QVERIFY(grid_->model()->setData(grid_->model()->index(0, last), QString("Closed")));
    QCOMPARE(Ws().ADOQuery1.State(), dsEdit);
    w_->Action("CloseTable1")->trigger();
    Open(Example());
    QCOMPARE(Cell(grid_, 0, last), QString("Closed"));

    QVERIFY(grid_->model()->setData(grid_->model()->index(1, last), QString("Refreshed")));
    w_->Action("Reopen0")->trigger();
    QVERIFY(w_->Tables().TableOpen());
    QCOMPARE(Cell(grid_, 1, last), QString("Refreshed"));

    QVERIFY(grid_->model()->setData(grid_->model()->index(1, last), QString("Other")));
    Open(Example());  // opening a table over an edited one
    QCOMPARE(Cell(grid_, 1, last), QString("Other"));

    // Find moves off the edited record: the dataset posts it, and the file gets it.
    QVERIFY(grid_->model()->setData(grid_->model()->index(0, last), QString("Found")));
    const QString second = Cell(grid_, 1, Column(grid_, "F_NAME"));
    WhenModal([&](QWidget*) {
      dialogs_.Find->ComboBox1->setCurrentIndex(dialogs_.Find->ComboBox1->findText("F_NAME"));
      dialogs_.Find->Edit1->setText(second);
      dialogs_.Find->ExactlyBtn->setChecked(true);
      dialogs_.Find->OKBtn->click();
    });
    w_->Action("Find0")->trigger();
    QCOMPARE(Ws().ADOQuery1.RecNo(), 2);
    Ws().ADOQuery1.Close();  // the dataset alone: nothing may be left unwritten
    Open(Example());
    QCOMPARE(Cell(grid_, 0, last), QString("Found"));

    // A new record nothing was typed into is not written.
    Ws().AppendRecord();
    QCOMPARE(Ws().ADOQuery1.State(), dsInsert);
    w_->Action("CloseTable1")->trigger();
    Open(Example());
    QCOMPARE(grid_->model()->rowCount(), 2);
    QVERIFY(boxes.shown.empty());
  }

  // A value the file cannot hold: the box shows what was typed and why.
  void aRefusedRecordShowsItsValuesAndTheReason() {
    TScopedScriptedMessages boxes;
    const std::string path = dir_ + "small.dbf";
    WriteTestDbf(path, {{"NAME", 'C', 10}, {"NUM", 'N', 4}}, {{"Kept", "1"}});
    Open(path);
    Ws().AppendRecord();
    QVERIFY(grid_->model()->setData(grid_->model()->index(1, 0), QString("Typed")));
    QVERIFY(grid_->model()->setData(grid_->model()->index(1, 1), QString("123456")));
    Ws().PostRecord();
    QCOMPARE(boxes.shown.size(), size_t(1));
    const QString text = QString::fromStdString(boxes.shown[0].text);
    QVERIFY2(text.contains("NAME: Typed") && text.contains("NUM: 123456"), qPrintable(text));
    QVERIFY2(text.count("NUM") >= 2, qPrintable(text));  // the reason names the field
    QVERIFY(w_->Tables().TableOpen());
    QCOMPARE(grid_->model()->rowCount(), 1);
  }

  void realTablePagesSortsFindsAndShowsDuplicates() {
    const char* data = std::getenv("LARKPOST_TESTDATA");
    if (!data) QSKIP("no test data");
    const std::string table = dir_ + "dbase_83.dbf";
    fs::copy_file(std::string(data) + "/dbf/dbase_83.dbf", table, fs::copy_options::overwrite_existing);
    fs::copy_file(std::string(data) + "/dbf/dbase_83.dbt", dir_ + "dbase_83.dbt", fs::copy_options::overwrite_existing);
    TScopedScriptedMessages boxes;
    Open(table);
    const int rows = grid_->model()->rowCount();
    QCOMPARE(rows, 67);
    QCOMPARE(w_->findChild<QLabel*>("StatusBar2Panel0")->text(), QString("Record 1 of 67"));
    // Page through.
    grid_->setFocus();
    for (int i = 0; i < 5; ++i) QTest::keyClick(grid_, Qt::Key_PageDown);
    QVERIFY(Ws().ADOQuery1.RecNo() > 1);
    QTest::keyClick(grid_, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(Ws().ADOQuery1.RecNo(), 67);
    QCOMPARE(w_->findChild<QLabel*>("StatusBar2Panel0")->text(), QString("Record 67 of 67"));

    // Sort by a title click.
    const int name = Column(grid_, "NAME");
    QVERIFY(name >= 0);
    emit grid_->horizontalHeader()->sectionClicked(name);
    QCOMPARE(w_->Tables().SortText(), std::string("NAME ASC"));
    for (int r = 1; r < rows; ++r)
      QVERIFY2(Cell(grid_, r - 1, name).compare(Cell(grid_, r, name), Qt::CaseInsensitive) <= 0,
               qPrintable(Cell(grid_, r, name)));

    // Find a name that is there.
    const QString wanted = Cell(grid_, 40, name);
    Ws().ADOQuery1.First();
    WhenModal([&](QWidget*) {
      dialogs_.Find->ComboBox1->setCurrentIndex(dialogs_.Find->ComboBox1->findText("NAME"));
      dialogs_.Find->Edit1->setText(wanted);
      dialogs_.Find->ExactlyBtn->setChecked(true);
      dialogs_.Find->OKBtn->click();
    });
    w_->Action("Find0")->trigger();
    QVERIFY(boxes.shown.empty());
    QCOMPARE(Ws().ADOQuery1.FindField("NAME")->AsString(), wanted.toStdString());

    // Find Duplicates walks from the top; it lands on a repeat or says the review is complete.
    Ws().ADOQuery1.First();
    w_->Action("Unique0")->trigger();
    const int at = Ws().ADOQuery1.RecNo();
    if (boxes.shown.empty()) {
      QVERIFY(at > 1);
      QCOMPARE(Cell(grid_, at - 1, name), Cell(grid_, at - 2, name));
    } else {
      QCOMPARE(boxes.shown.back().text, std::string("Review is Completed"));
    }

    // A look at the window with rows in the grid.
    Ws().ADOQuery1.First();
    QApplication::processEvents();
    const QString shot = QDir::current().filePath("newcomer-grid.png");
    QVERIFY(w_->grab().save(shot));
    qInfo("screenshot: %s", qPrintable(shot));
  }

  void sqlSelectOverADBaseFolder() {
    TScopedScriptedMessages boxes;
    const std::string folder = w_->AppDir() + "Database/";
    WhenModal([&](QWidget* m) {
      QCOMPARE(m, static_cast<QWidget*>(w_->Tables().SqlForm()));
      TSQLForm* f = w_->Tables().SqlForm();
      f->ComboBox1->setCurrentIndex(1);
      f->Edit1->setText(QString::fromStdString(folder));
      f->Memo1->setPlainText("SELECT F_NAME, E_MAIL FROM \"example.dbf\" WHERE E_MAIL LIKE '%example.com'");
      f->Button1->click();
    });
    w_->Action("ExecSQL0")->trigger();
    QVERIFY2(boxes.shown.empty(), boxes.shown.empty() ? "" : boxes.shown[0].text.c_str());
    QVERIFY(Ws().IsOpen());
    QVERIFY(Ws().SQLQueryMode);
    QCOMPARE(grid_->model()->columnCount(), 2);
    QCOMPARE(grid_->model()->rowCount(), 2);
    // A result of a query is not a table: changing it says so.
    QVERIFY(grid_->model()->setData(grid_->model()->index(0, 0), QString("x")));
    grid_->setCurrentIndex(grid_->model()->index(1, 0));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(Ws().ADOQuery1.State(), dsBrowse);
    QCOMPARE(Cell(grid_, 0, 0) == QString("x"), false);
  }

  void accessTablePostSaysWhyAndReopens() {
    const char* data = std::getenv("LARKPOST_TESTDATA");
    if (!data) QSKIP("no test data");
    const std::string mdb = dir_ + "testV1997.mdb";
    fs::copy_file(std::string(data) + "/mdb/testV1997.mdb", mdb, fs::copy_options::overwrite_existing);
    TScopedScriptedMessages boxes;
    w_->Tables().CloseTable0Click();
    QString chosen;
    WhenModal([&](QWidget* m) {
      QCOMPARE(m, static_cast<QWidget*>(dialogs_.SelectTable));
      QVERIFY(dialogs_.SelectTable->ListBox1->count() > 0);
      dialogs_.SelectTable->ListBox1->setCurrentRow(0);
      chosen = dialogs_.SelectTable->ListBox1->item(0)->text();
      dialogs_.SelectTable->SelectBtn->click();
    });
    w_->OpenAccessFile(mdb);
    QTRY_VERIFY(w_->Tables().TableOpen());
    QCOMPARE(QString::fromStdString(Ws().TableName), chosen);
    QVERIFY(grid_->model()->rowCount() > 0);
    int text = -1;
    for (int i = 0; i < Ws().ADOQuery1.FieldCount() && text < 0; ++i)
      if (FieldKind(Ws().ADOQuery1.Fields(i).DataType()) == fkText) text = i;
    QVERIFY(text >= 0);
    const QString before = Cell(grid_, 0, text);
    QVERIFY(grid_->model()->setData(grid_->model()->index(0, text), QString("changed")));
    grid_->setCurrentIndex(grid_->model()->index(grid_->model()->rowCount() > 1 ? 1 : 0, 0));
    Ws().PostRecord();
    QVERIFY(!boxes.shown.empty());
    qInfo("the post says: %s", boxes.shown[0].text.c_str());
    QVERIFY(QString::fromStdString(boxes.shown[0].text).contains("Access"));
    QVERIFY(w_->Tables().TableOpen());
    QCOMPARE(QString::fromStdString(Ws().TableName), chosen);
    QCOMPARE(Ws().ADOQuery1.State(), dsBrowse);
    QCOMPARE(Cell(grid_, 0, text), before);

    // And an SQL SELECT over the Access file.
    const int rows = grid_->model()->rowCount();
    WhenModal([&](QWidget*) {
      TSQLForm* f = w_->Tables().SqlForm();
      f->ComboBox1->setCurrentIndex(0);
      f->Edit1->setText(QString::fromStdString(mdb));
      f->Memo1->setPlainText("SELECT * FROM \"" + chosen + "\"");
      f->Button1->click();
    });
    w_->Action("ExecSQL0")->trigger();
    QVERIFY2(boxes.shown.size() == 1, qPrintable(QString::fromStdString(boxes.shown.back().text)));
    QVERIFY(Ws().SQLQueryMode);
    QCOMPARE(grid_->model()->rowCount(), rows);
  }
};

QTEST_MAIN(NewcomerQTest)
#include "newcomer_qtest.moc"
