// The table workspace in the main window as a user meets it: what is typed
// into the grid is never written into another record, Add Record edits the new
// record, and every table opens at its own first record in its own order.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "db/Dbf.h"
#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "support/TableFiles.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/edb.h"

#include "tests/support/QtModal.h"

namespace fs = std::filesystem;

namespace {

const char* const Names[] = {"Anna", "Bert", "Carl", "Dora", "Emil", "Fina", "Gert", "Hugo", "Ines", "Jan"};

// Ten people; AGE neither ascending nor descending.
void WritePeople(const std::string& path, int count = 10) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < count; ++i)
    rows.push_back({Names[i], "City" + std::to_string(i), std::to_string(20 + (i * 7) % 50)});
  WriteTestDbf(path, {{"NAME", 'C', 20}, {"CITY", 'C', 15}, {"AGE", 'N', 3}}, rows);
}

// The file as another program reads it: each row's NAME and CITY.
std::vector<std::pair<std::string, std::string>> ReadBack(const std::string& path) {
  const TTableData data = DbfReadTable(path);
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& packed : data.Rows) {
    const std::vector<TValue> v = UnpackRow(packed, data.Fields.size());
    out.emplace_back(ValueToString(v[0], ftString), ValueToString(v[1], ftString));
  }
  return out;
}

void Type(QWidget* form, const char* field, const QString& text) {
  auto* box = form->findChild<QComboBox*>(field);
  QVERIFY2(box, field);
  box->lineEdit()->setFocus();
  box->lineEdit()->selectAll();
  QTest::keyClicks(box->lineEdit(), text);
}

}  // namespace

class RecordSafetyQTest : public QObject {
  Q_OBJECT
private:
  std::string dir_;
  std::unique_ptr<TWorkspaceState> state_;
  TLPMain* w_ = nullptr;
  TOptForm* options_ = nullptr;
  QTableView* grid_ = nullptr;

  TTableWorkspace& Ws() { return w_->State().Table; }

  void Open(const std::string& file) {
    w_->Tables().CloseTable0Click();
    w_->OpenDBFFile(file);
    QTRY_VERIFY(w_->Tables().TableOpen());
  }

  QPoint CellCentre(int row, int col) { return grid_->visualRect(grid_->model()->index(row, col)).center(); }

  // The record window opens and is closed by the modal step queued before.
  void DoubleClickRow(int row) {
    QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, CellCentre(row, 0));
    QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, CellCentre(row, 0));
    // The main window is active again, as the window manager makes it; no cell
    // editor was left open behind the record window.
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    for (QLineEdit* l : grid_->viewport()->findChildren<QLineEdit*>()) QVERIFY(!l->isVisible());
  }

private slots:
  void initTestCase() {
    dir_ = MakeTestFolder("recordsafety");
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(dir_ + "home"));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(dir_ + "home/registry.reg"));
    state_ = std::make_unique<TWorkspaceState>(SettingsRegistry());
    w_ = new TLPMain(*state_);
    options_ = new TOptForm(state_->Settings, w_);
    options_->LoadOptions();
    w_->Services().Options = options_;
    WhenModal([](QWidget*) {});  // the first run's Options
    w_->resize(900, 600);
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    grid_ = w_->findChild<QTableView*>("RxDBGrid1");
    QVERIFY(grid_);
  }

  void cleanupTestCase() {
    delete w_;
    options_ = nullptr;
    state_.reset();
    fs::remove_all(dir_);
  }

  // Add Record after the grid was edited in three ways: the new record is the
  // one shown and written, no other record changes, nothing typed is lost, no
  // blank record is written and nothing asks to save what was not changed.
  void addRecordAfterGridEditing() {
    struct TCase {
      const char* what;
      std::function<void()> before;
      std::string name3, city3;  // the third record afterwards
    } cases[] = {
        {"double-click, Close",
         [&] {
           WhenModal([](QWidget* m) {
             auto* e = qobject_cast<TEditDB*>(m);
             QVERIFY(e);
             QVERIFY(QTest::qWaitForWindowActive(e));  // the focus is in the first field
             QCOMPARE(e->StatusPanel1->text(), QString("Record 3 of 10"));
             QTest::mouseClick(e->Button1, Qt::LeftButton);
           });
           DoubleClickRow(2);
         },
         "Carl", "City2"},
        {"F2 and typing in a cell",
         [&] {
           QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, CellCentre(2, 0));
           QTest::keyClick(grid_, Qt::Key_F2);
           QLineEdit* editor = nullptr;
           for (QLineEdit* l : grid_->viewport()->findChildren<QLineEdit*>())
             if (l->isVisible()) editor = l;
           QVERIFY(editor);
           editor->selectAll();
           QTest::keyClicks(editor, "Zed");
         },
         "Zed", "City2"},
        {"double-click, Apply, Close",
         [&] {
           WhenModal([](QWidget* m) {
             auto* e = qobject_cast<TEditDB*>(m);
             QVERIFY(e);
             Type(e, "CITY", "Lyon");
             QTest::mouseClick(e->Button2, Qt::LeftButton);
             QTest::mouseClick(e->Button1, Qt::LeftButton);
           });
           DoubleClickRow(2);
         },
         "Carl", "Lyon"},
    };
    for (const auto& c : cases) {
      TScopedScriptedMessages boxes;
      // Should anything ask, "No": the test goes on and the count below says so.
      for (int i = 0; i < 4; ++i) boxes.Answer(TMsgResult::No);
      const std::string path = dir_ + "people.dbf";
      w_->Tables().CloseTable0Click();
      fs::remove(dir_ + "people.cfg");
      WritePeople(path);
      Open(path);
      c.before();
      QString counter;
      WhenModal([&counter](QWidget* m) {
        auto* e = qobject_cast<TEditDB*>(m);
        QVERIFY(e);
        QVERIFY(QTest::qWaitForWindowActive(e));
        counter = e->StatusPanel1->text();
        Type(e, "NAME", "Newbie");
        QTest::mouseClick(e->Button2, Qt::LeftButton);
        QTest::mouseClick(e->Button1, Qt::LeftButton);
      });
      w_->Action("AddRec0")->trigger();
      QTest::qWait(0);
      QCOMPARE(counter, QString("Record -1 of 10"));
      QVERIFY2(boxes.shown.empty(), c.what);
      QCOMPARE(Ws().ADOQuery1.State(), dsBrowse);
      w_->Tables().CloseTable0Click();

      const auto rows = ReadBack(path);
      QVERIFY2(rows.size() == 11, c.what);
      for (int i = 0; i < 10; ++i) {
        const std::string name = i == 2 ? c.name3 : Names[i];
        const std::string city = i == 2 ? c.city3 : "City" + std::to_string(i);
        QVERIFY2(rows[static_cast<size_t>(i)] == std::make_pair(name, city),
                 qPrintable(QString("%1: row %2 reads %3")
                                .arg(c.what)
                                .arg(i)
                                .arg(QString::fromStdString(rows[static_cast<size_t>(i)].first))));
      }
      QVERIFY2(rows[10] == std::make_pair(std::string("Newbie"), std::string()), c.what);
    }
  }

  // A record window closed without a change asks nothing and leaves no record
  // in edit; a new record nothing went into is not written.
  void closingUnchangedAsksNothing() {
    TScopedScriptedMessages boxes;
    for (int i = 0; i < 4; ++i) boxes.Answer(TMsgResult::No);
    const std::string path = dir_ + "quiet.dbf";
    WritePeople(path, 3);
    Open(path);
    TEditDB* e = w_->Tables().EditForm();
    for (const char* command : {"EditRec0", "AddRec0"}) {
      WhenModal([](QWidget* m) {
        auto* form = qobject_cast<TEditDB*>(m);
        QVERIFY(form);
        // Picking the value the record already holds is no change.
        auto* city = form->findChild<QComboBox*>("CITY");
        QVERIFY(city);
        city->lineEdit()->setFocus();
        emit city->activated(city->currentIndex());
        QTest::mouseClick(form->Button1, Qt::LeftButton);
      });
      w_->Action(command)->trigger();
      QTest::qWait(0);
      QVERIFY2(boxes.shown.empty(), command);
      QVERIFY(!e->isVisible());
      QCOMPARE(Ws().ADOQuery1.State(), dsBrowse);
      QCOMPARE(w_->findChild<QLabel*>("StatusBar2Panel0")->text(), QString("Record 1 of 3"));
    }
    w_->Tables().CloseTable0Click();
    QCOMPARE(ReadBack(path).size(), size_t(3));
  }

  // After a table sorted by its view configuration, the next table, and an SQL
  // result, start at their own first record in their own order, with pick lists
  // in that order.
  void nextTableStartsAtItsOwnFirstRecord() {
    TScopedScriptedMessages boxes;
    const std::string sorted = dir_ + "sorted.dbf", plain = dir_ + "plain.dbf";
    WritePeople(sorted);
    WritePeople(plain, 5);
    // AGE DESC into the sorted table's view configuration.
    QLabel* counter = w_->findChild<QLabel*>("StatusBar2Panel0");
    QVERIFY(counter);
    Open(sorted);
    Ws().ADOQuery1.SetRecNo(3);
    const int age = Ws().ADOQuery1.FieldIndex("AGE");
    w_->Tables().RxDBGrid1TitleBtnClick(age);
    w_->Tables().Descend0Click();
    // Sorting keeps the record and counts it where the new order puts it.
    QCOMPARE(Ws().ADOQuery1.FieldByName("NAME").AsString(), std::string("Carl"));
    QCOMPARE(counter->text(), QString::fromStdString(RecordCounterText(Ws().ADOQuery1.RecNo(), 10)));
    QVERIFY(Ws().ADOQuery1.RecNo() != 3);
    w_->Tables().CloseTable0Click();

    Open(sorted);
    QCOMPARE(w_->Tables().SortText(), std::string("AGE DESC"));
    QCOMPARE(Ws().ADOQuery1.RecNo(), 1);
    QCOMPARE(Ws().ADOQuery1.FieldByName("AGE").AsInteger(), 69);  // the first of its own order
    QCOMPARE(grid_->currentIndex().row(), 0);
    Ws().ADOQuery1.SetRecNo(7);

    auto checkNatural = [&](const char* what) {
      QCOMPARE(Ws().ADOQuery1.Sort(), std::string());
      QCOMPARE(w_->Tables().SortText(), std::string());
      QCOMPARE(Ws().ADOQuery1.RecNo(), 1);
      QCOMPARE(Ws().ADOQuery1.FieldByName("NAME").AsString(), std::string("Anna"));
      QCOMPARE(grid_->currentIndex().row(), 0);
      QCOMPARE(counter->text(), QString("Record 1 of 5"));
      const std::vector<std::string> natural(Names, Names + 5);
      QVERIFY2(Ws().FormFields[0].PickList == natural, what);
      Ws().ADOQuery1.Next();
      QCOMPARE(Ws().ADOQuery1.FieldByName("NAME").AsString(), std::string("Bert"));
      QCOMPARE(counter->text(), QString("Record 2 of 5"));
    };
    w_->Tables().OpenDBFFile(plain);  // over the sorted one, as the Open Table command does
    checkNatural("a table");

    Open(sorted);
    Ws().ADOQuery1.SetRecNo(7);
    Ws().OpenSQL(1, dir_, "SELECT * FROM \"plain.dbf\"");
    QVERIFY(Ws().SQLQueryMode);
    checkNatural("an SQL result");
    QVERIFY(boxes.shown.empty());
    w_->Tables().CloseTable0Click();
  }

  void toolBarTextsKeepTheirDots() {
    auto* button = w_->findChild<QToolButton*>("SpeedItem23");
    QVERIFY(button);
    QCOMPARE(button->text(), QString("Create DBF..."));
  }
};

QTEST_MAIN(RecordSafetyQTest)
#include "recordsafety_qtest.moc"
