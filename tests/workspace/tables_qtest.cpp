// The table windows: grid, record counter, sort by title, delete with its
// confirmation, the record editor, find, duplicates, an Access table.

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <filesystem>

#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "support/TableFiles.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/SQL.h"
#include "workspace/AppSettings.h"
#include "workspace/HighlightSlots.h"
#include <QPlainTextEdit>
#include <fstream>
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/TableWiring.h"
#include "workspace/ui/edb.h"

namespace {

std::string Numbered(const char* prefix, int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%d", prefix, i);
  return buf;
}

// Runs fn on the next modal dialog's turn of the event loop.
void Later(std::function<void()> fn) { QTimer::singleShot(0, std::move(fn)); }

}  // namespace

class TablesQTest : public QObject {
  Q_OBJECT
private:
  std::string dir_, path_;
  QWidget* window_ = nullptr;
  QTableView* grid_ = nullptr;
  QLabel* status_ = nullptr;
  std::unique_ptr<TAppSettings> settings_;
  std::unique_ptr<TTableWorkspace> workspace_;
  TTableUi* ui_ = nullptr;
  TDelForm* delForm_ = nullptr;
  TFindForm* findForm_ = nullptr;

  void WriteTable(const std::vector<std::string>& cities) {
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < cities.size(); ++i)
      rows.push_back({Numbered("Name", static_cast<int>(i) + 1), cities[i], std::to_string(i + 1), ""});
    WriteTestDbf(path_, {{"NAME", 'C', 20}, {"CITY", 'C', 20}, {"NUM", 'N', 6}, {"PAID", 'L', 1}}, rows);
  }

private slots:
  void init() {
    SetFormatSettings(TFormatSettings{});
    dir_ = MakeTestFolder("qt");
    path_ = dir_ + "Clients.dbf";
    WriteTable({"Rome", "Berlin", "Paris", "Berlin", "Oslo"});
    window_ = new QWidget;
    grid_ = new QTableView(window_);
    grid_->setObjectName("RxDBGrid1");
    grid_->resize(600, 400);
    status_ = new QLabel(window_);
    // Each test starts from the initial options.
    settings_ = std::make_unique<TAppSettings>(SettingsRegistry());
    settings_->Set(stConfirmDel, false);
    workspace_ = std::make_unique<TTableWorkspace>();
    ui_ = new TTableUi(*workspace_, *settings_, window_, grid_, status_);
    delForm_ = new TDelForm(window_);
    findForm_ = new TFindForm(window_);
    ui_->Dialogs.Delete = delForm_;
    ui_->Dialogs.Find = findForm_;
    window_->show();
  }

  void cleanup() {
    delete ui_;
    delete window_;
    ui_ = nullptr;
    workspace_.reset();
    settings_.reset();
    std::filesystem::remove_all(dir_);
  }

  void openShowsTheGridAndTheCounter() {
    ui_->OpenDBFFile(path_);
    TTableWorkspace& w = *workspace_;
    QVERIFY(w.IsOpen());
    QCOMPARE(grid_->model()->rowCount(), 5);
    QCOMPARE(grid_->model()->columnCount(), 4);
    QCOMPARE(grid_->model()->headerData(1, Qt::Horizontal).toString(), QString("CITY"));
    QCOMPARE(grid_->model()->data(grid_->model()->index(1, 1)).toString(), QString("Berlin"));
    QCOMPARE(status_->text(), QString("Record 1 of 5"));
    w.ADOQuery1.SetRecNo(3);
    QCOMPARE(status_->text(), QString("Record 3 of 5"));
    QCOMPARE(ui_->EditForm()->StatusPanel1->text(), QString("Record 3 of 5"));
    QCOMPARE(grid_->currentIndex().row(), 2);
    // Moving in the grid moves the record.
    grid_->setCurrentIndex(grid_->model()->index(4, 0));
    QCOMPARE(w.ADOQuery1.RecNo(), 5);
    // Editing in place posts on leaving the row, straight to the file.
    QVERIFY(grid_->model()->setData(grid_->model()->index(4, 1), QString("Madrid")));
    grid_->setCurrentIndex(grid_->model()->index(0, 0));
    QCOMPARE(w.ADOQuery1.State(), dsBrowse);
    ui_->CloseTable0Click();
    QVERIFY(!w.IsOpen());
    QCOMPARE(grid_->model()->rowCount(), 0);
    QVERIFY(!ui_->EditForm()->Button4->isEnabled());
    ui_->OpenDBFFile(path_);
    QCOMPARE(grid_->model()->data(grid_->model()->index(4, 1)).toString(), QString("Madrid"));
    grid_->setColumnWidth(1, 123);
    ui_->CloseTable0Click();
    ui_->OpenDBFFile(path_);
    QCOMPARE(grid_->model()->data(grid_->model()->index(4, 1)).toString(), QString("Madrid"));
    QCOMPARE(grid_->columnWidth(1), 123);  // kept in the view configuration
    QCOMPARE(workspace_->FormFields[1].PickList.front(), std::string("Madrid"));
  }

  void autocompleteFollowsTheMark() {
    ui_->OpenDBFFile(path_);
    TEditDB* e = ui_->EditForm();
    e->show();
    auto* city = e->findChild<QComboBox*>("CITY");
    QVERIFY(city);
    city->lineEdit()->clear();
    QTest::keyClicks(city->lineEdit(), "Be");
    QCOMPARE(city->currentText(), QString("Berlin"));
    QCOMPARE(city->lineEdit()->selectedText(), QString("rlin"));
    QTest::keyClick(city->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(city->currentText(), QString("Be"));
    workspace_->FormFields[1].Autocomplete = false;
    city->lineEdit()->clear();
    QTest::keyClicks(city->lineEdit(), "Pa");
    QCOMPARE(city->currentText(), QString("Pa"));
    e->Button3Click();
    e->hide();
  }

  void titleClickSortsAndColoursTheColumn() {
    ui_->OpenDBFFile(path_);
    TTableWorkspace& w = *workspace_;
    emit grid_->horizontalHeader()->sectionClicked(1);
    QCOMPARE(w.ADOQuery1.Sort(), std::string("CITY ASC"));
    QCOMPARE(grid_->model()->data(grid_->model()->index(0, 1)).toString(), QString("Berlin"));
    QCOMPARE(grid_->model()->data(grid_->model()->index(4, 1)).toString(), QString("Rome"));
    const QColor sorted = grid_->model()->data(grid_->model()->index(0, 1), Qt::BackgroundRole).value<QColor>();
    const TRgb rgb = SlotColor(ui_->SortColorSlot());
    QCOMPARE(sorted, QColor(rgb.R, rgb.G, rgb.B));
    QVERIFY(grid_->model()->data(grid_->model()->index(0, 0), Qt::BackgroundRole).value<QColor>() != sorted);
    ui_->Descend0Click();
    QCOMPARE(w.ADOQuery1.Sort(), std::string("CITY DESC"));
    QCOMPARE(grid_->model()->data(grid_->model()->index(0, 1)).toString(), QString("Rome"));
    ui_->Unsort0Click();
    QCOMPARE(w.ADOQuery1.Sort(), std::string(""));
    QCOMPARE(ui_->SortText(), std::string(""));
    QCOMPARE(grid_->model()->data(grid_->model()->index(0, 1)).toString(), QString("Rome"));
  }

  void multiRowDeleteAsksOnce() {
    TScopedScriptedMessages boxes;
    settings_->Set(stConfirmDel, true);
    ui_->OpenDBFFile(path_);
    TTableWorkspace& w = *workspace_;
    ui_->Grid()->SelectRecNos({1, 2, 3});
    int asked = 0;
    QString question;
    Later([&] {
      ++asked;
      question = delForm_->Label1->text();
      delForm_->NoBtn->click();
    });
    ui_->DeleteRec0Click();
    QCOMPARE(w.ADOQuery1.RecordCount(), 5);  // No deletes nothing
    QCOMPARE(question, QString("Delete all selected records?"));
    QVERIFY(settings_->Values().ConfirmDel);

    ui_->Grid()->SelectRecNos({1, 2, 3});
    Later([&] {
      ++asked;
      delForm_->CheckBox1->setChecked(true);
      delForm_->YesBtn->click();
    });
    ui_->DeleteRec0Click();
    QCOMPARE(asked, 2);
    QCOMPARE(w.ADOQuery1.RecordCount(), 2);
    QVERIFY(!settings_->Values().ConfirmDel);  // ticked and Yes: no more asking
    ui_->DeleteRec0Click();                    // no dialog now
    QCOMPARE(w.ADOQuery1.RecordCount(), 1);
    QVERIFY(boxes.shown.empty());
  }

  void recordEditorAsksToSaveChanges() {
    TScopedScriptedMessages boxes;
    ui_->OpenDBFFile(path_);
    TTableWorkspace& w = *workspace_;
    TEditDB* e = ui_->EditForm();
    e->show();
    QVERIFY(e->Button4->isEnabled());
    QVERIFY(!e->Button2->isEnabled());
    auto* city = e->findChild<QComboBox*>("CITY");
    QVERIFY(city);
    QCOMPARE(city->currentText(), QString("Rome"));
    city->lineEdit()->clear();
    QTest::keyClicks(city->lineEdit(), "Lyon");
    QCOMPARE(w.ADOQuery1.State(), dsEdit);
    QVERIFY(e->Button2->isEnabled());
    boxes.Answer(TMsgResult::Cancel);
    e->close();
    QVERIFY(e->isVisible());
    QCOMPARE(boxes.shown.back().text, std::string("Save Changes?"));
    QCOMPARE(city->currentText(), QString("Lyon"));
    boxes.Answer(TMsgResult::Yes);
    e->close();
    QVERIFY(!e->isVisible());
    QCOMPARE(w.ADOQuery1.State(), dsBrowse);
    QCOMPARE(w.ADOQuery1.Fields(1).AsString(), std::string("Lyon"));
    QVERIFY(!w.ADOQuery1.Fields(3).IsNull());  // the empty boolean went in as False

    // New with a template on CITY copies the current value; an all-empty record is not posted.
    e->show();
    w.FormFields[1].Template = true;
    e->Button4Click();
    QCOMPARE(w.ADOQuery1.State(), dsInsert);
    QCOMPARE(w.ADOQuery1.Fields(1).AsString(), std::string("Lyon"));
    QCOMPARE(e->StatusPanel1->text(), QString("Record -1 of 5"));
    e->Button3Click();
    w.FormFields[1].Template = false;
    e->Button4Click();
    e->Button2Click();  // every field empty: stays in insert state
    QCOMPARE(w.ADOQuery1.State(), dsInsert);
    QVERIFY(e->Button2->isEnabled());
    e->Button3Click();
    e->hide();

    // The pop-up marks.
    e->PopupMenu1Popup(3);
    QVERIFY(!e->Autocomplete1->isEnabled());
    e->PopupMenu1Popup(1);
    QVERIFY(e->Autocomplete1->isEnabled());
    QVERIFY(e->Autocomplete1->isChecked());
    e->Autocomplete1Click();
    QVERIFY(!w.FormFields[1].Autocomplete);
  }

  void findIncludingAndExactly() {
    TScopedScriptedMessages boxes;
    WriteTable({"Smith", "Sm", "Jones"});
    ui_->OpenDBFFile(path_);
    TTableWorkspace& w = *workspace_;
    std::vector<int> offered;  // the field chosen when each dialog opens
    auto answer = [this, &offered](const QString& field, const QString& value, bool exactly) {
      Later([=, this, &offered] {
        offered.push_back(findForm_->ComboBox1->currentIndex());
        findForm_->ComboBox1->setCurrentIndex(findForm_->ComboBox1->findText(field));
        findForm_->Edit1->setText(value);
        (exactly ? findForm_->ExactlyBtn : findForm_->IncludingBtn)->setChecked(true);
        findForm_->OKBtn->click();
      });
    };
    w.ADOQuery1.SetRecNo(3);
    answer("CITY", "Sm", false);
    ui_->Find0Click();
    QCOMPARE(w.ADOQuery1.RecNo(), 1);
    QCOMPARE(ui_->Grid()->Col(), 2);
    QCOMPARE(findForm_->ComboBox1->count(), 3);  // the boolean field is not offered
    answer("CITY", "Sm", true);
    ui_->Find0Click();
    QCOMPARE(w.ADOQuery1.RecNo(), 2);
    // Nothing remembered on the first use: no field chosen; then the last choice.
    QCOMPARE(offered, (std::vector<int>{-1, findForm_->ComboBox1->findText("CITY")}));
    QVERIFY(boxes.shown.empty());
    answer("CITY", "smith", false);
    ui_->Find0Click();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Searched text not found"));
  }

  void selectAndFindDuplicates() {
    TScopedScriptedMessages boxes;
    WriteTable({"A", "A", "B", "A", "B"});
    ui_->OpenDBFFile(path_);
    TTableWorkspace& w = *workspace_;
    ui_->SelectDublicates1Click();  // no sort: nothing
    QVERIFY(boxes.shown.empty());
    ui_->RxDBGrid1TitleBtnClick(1);
    w.ADOQuery1.First();
    ui_->SelectDublicates1Click();
    std::vector<int> rows = ui_->Grid()->SelectedRecNos();
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows, (std::vector<int>{2, 3, 5}));
    QCOMPARE(w.ADOQuery1.RecNo(), 1);
    QCOMPARE(boxes.shown.back().text, std::string("Review is Completed"));
    const size_t before = boxes.shown.size();
    ui_->Unique0Click();
    QCOMPARE(w.ADOQuery1.RecNo(), 2);
    QCOMPARE(boxes.shown.size(), before);
    ui_->Unique0Click();
    QCOMPARE(w.ADOQuery1.RecNo(), 3);

    // Refresh keeps the sort, the marks and the lists.
    w.FormFields[0].Template = true;
    w.FormFields[1].PickList = {"Kept"};
    ui_->Reopen0Click();
    QVERIFY(w.IsOpen());
    QCOMPARE(w.ADOQuery1.Sort(), std::string("CITY ASC"));
    QVERIFY(w.FormFields[0].Template);
    QCOMPARE(w.FormFields[1].PickList, std::vector<std::string>{"Kept"});
  }

  void mainWindowRunsTheTableCommands() {
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(dir_ + "home"));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(dir_ + "home/registry.reg"));
    TWorkspaceState state{SettingsRegistry()};
    TLPMain w(state);
    const TTableUi& tables = w.Tables();
    QTableView* grid = w.findChild<QTableView*>("RxDBGrid1");
    QLabel* counter = w.findChild<QLabel*>("StatusBar2Panel0");
    QVERIFY(grid && counter);
    QVERIFY(!w.Action("Find0")->isEnabled() || !tables.TableOpen());
    w.OpenDBFFile(path_);
    QTRY_VERIFY(tables.TableOpen());
    QCOMPARE(tables.TableName(), std::string("Clients.dbf"));
    QVERIFY(w.windowTitle().contains("Clients"));
    QCOMPARE(grid->model()->rowCount(), 5);
    QCOMPARE(counter->text(), QString("Record 1 of 5"));
    emit grid->horizontalHeader()->sectionClicked(1);
    QVERIFY(tables.SortOn());
    QCOMPARE(tables.SortText(), std::string("CITY ASC"));
    w.Action("Descend0")->trigger();
    QCOMPARE(tables.SortText(), std::string("CITY DESC"));
    QVERIFY(w.Action("Descend0")->isChecked());
    w.Action("Unsort0")->trigger();
    QCOMPARE(tables.SortText(), std::string(""));
    w.Action("CloseTable1")->trigger();
    QVERIFY(!tables.TableOpen());
    QCOMPARE(tables.TableName(), std::string(""));
    QVERIFY(!grid->isVisibleTo(&w));
  }

  void sqlDialogLoadsSavesAndRuns() {
    TScopedScriptedMessages boxes;
    TSQLForm* f = ui_->SqlForm();
    QVERIFY(f);
    int written = 0;
    f->OnSQLFileDirChanged = [&] { ++written; };
    settings_->Set(stSQLDataBase, dir_);
    f->show();
    QCOMPARE(f->ComboBox1->currentIndex(), 1);  // a folder: "DBase Directory"
    QCOMPARE(f->Edit1->text().toStdString(), dir_);
    QVERIFY(f->ComboBox1->width() >= 170);
    f->hide();
    settings_->Set(stSQLDataBase, dir_ + "shop.mdb");
    f->show();
    QCOMPARE(f->ComboBox1->currentIndex(), 0);
    f->hide();

    f->Memo1->setPlainText("SELECT NAME FROM \"Clients\"\nWHERE NUM > 3");
    std::string asked;
    f->GetSaveFileName = [&](const std::string& caption, const std::string&, const std::string&) {
      asked = caption;
      return dir_ + "query1";
    };
    f->SaveAsClick();
    QCOMPARE(asked, std::string("Save Query As"));
    QVERIFY(std::filesystem::exists(dir_ + "query1.sql"));
    QCOMPARE(settings_->Values().SQLFileDir, dir_);
    f->Memo1->clear();
    f->GetOpenFileName = [&](const std::string&, const std::string&, const std::string&) {
      return dir_ + "query1.sql";
    };
    f->LoadClick();
    QCOMPARE(f->Memo1->toPlainText(), QString("SELECT NAME FROM \"Clients\"\nWHERE NUM > 3"));
    QCOMPARE(written, 2);

    // Browse for a dBase folder.
    f->ComboBox1->setCurrentIndex(1);
    f->SelectDirectory = [&](const std::string&) { return dir_ + "sub"; };
    f->BrowseClick();
    QCOMPARE(f->Edit1->text().toStdString(), dir_ + "sub/");

    // The statement runs over the folder as a read-only result.
    workspace_->OpenSQL(1, dir_, f->SQLText());
    QVERIFY(workspace_->IsOpen());
    QVERIFY(workspace_->SQLQueryMode);
    QCOMPARE(grid_->model()->rowCount(), 2);
    QVERIFY(boxes.shown.empty());
  }

  // The open says what is wrong as a warning, and still shows what could be read.
  void damagedTableWarnsOnOpen() {
    CutTestDbf(path_, 2);
    TScopedScriptedMessages boxes;
    ui_->OpenDBFFile(path_);
    QVERIFY(workspace_->IsOpen());
    QCOMPARE(grid_->model()->rowCount(), 2);
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, TMsgKind::Warning);
    QCOMPARE(boxes.shown[0].caption, std::string("Warning"));
    QCOMPARE(boxes.shown[0].buttons, TMsgButtons::OK);
    QVERIFY(boxes.shown[0].text.find("The table is damaged") != std::string::npos);
  }

  void accessTableIsReadOnly() {
    const char* data = std::getenv("LARKPOST_TESTDATA");
    if (!data) QSKIP("no test data");
    const std::string source = std::string(data) + "/mdb/testV1997.mdb";
    if (!std::filesystem::exists(source)) QSKIP("no Access test file");
    // A copy: closing writes the view configuration next to the file.
    const std::string mdb = dir_ + "testV1997.mdb";
    std::filesystem::copy_file(source, mdb);
    TScopedScriptedMessages boxes;
    std::vector<std::string> listed;
    ui_->PickTable = [&](const std::vector<std::string>& tables, std::string& chosen) {
      listed = tables;
      if (tables.empty()) return false;
      chosen = tables[0];
      return true;
    };
    ui_->OpenAccessFile(mdb);
    TTableWorkspace& w = *workspace_;
    QVERIFY(!listed.empty());
    QVERIFY(w.IsOpen());
    QCOMPARE(w.TableName, listed[0]);
    QVERIFY(!w.ADOQuery1.IsEmpty());
    int text = -1;
    for (int i = 0; i < w.ADOQuery1.FieldCount() && text < 0; ++i)
      if (FieldKind(w.ADOQuery1.Fields(i).DataType()) == fkText) text = i;
    QVERIFY(text >= 0);
    QVERIFY(grid_->model()->setData(grid_->model()->index(0, text), QString("changed")));
    QVERIFY(!w.PostRecord());
    QCOMPARE(boxes.shown.size(), size_t(1));
    QVERIFY(w.IsOpen());
    QCOMPARE(w.TableName, listed[0]);
    QCOMPARE(w.ADOQuery1.State(), dsBrowse);
  }
};

QTEST_MAIN(TablesQTest)
#include "tables_qtest.moc"
