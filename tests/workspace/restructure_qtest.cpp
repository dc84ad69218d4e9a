// The Restructure Table window, its Edit Field and Data dialogs, and Add Table,
// driven through the main window's commands the way a user goes: a new table
// typed into, a real table restructured and copied in the grid's order, a
// filtered copy onto the table's own file, and rows added from an Access table.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>

#include "db/Connection.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "platform/TextCodec.h"
#include "support/TableFiles.h"
#include "workspace/TableSaveAs.h"
#include "workspace/ui/AddDbf.h"
#include "workspace/ui/CopyOpt.h"
#include "workspace/ui/EditField.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/Restruct.h"
#include "workspace/ui/TableUi.h"
#include "workspace/ui/edb.h"

namespace fs = std::filesystem;

namespace {

// Runs fn once dialog is the modal window on top (at most three seconds of
// waiting); a dialog fn leaves open is closed so that no test can hang.
void When(QDialog* dialog, std::function<void()> fn) {
  auto tries = std::make_shared<int>(0);
  auto step = std::make_shared<std::function<void()>>();
  *step = [dialog, fn = std::move(fn), tries, step] {
    const bool up = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
    if (!up && ++*tries < 300) {
      QTimer::singleShot(10, *step);
      return;
    }
    if (up)
      fn();
    else
      QTest::qFail(qPrintable(dialog->objectName() + " was not shown"), __FILE__, __LINE__);
    if (dialog->isVisible()) dialog->reject();
    *step = nullptr;  // breaks the cycle
  };
  QTimer::singleShot(0, *step);
}

QString GridText(QTableWidget* g, int row, int col) {
  QTableWidgetItem* item = g->item(row, col);
  return item ? item->text() : QString();
}

std::vector<QString> GridNames(QTableWidget* g) {
  std::vector<QString> names;
  for (int r = 0; r < g->rowCount(); ++r) names.push_back(GridText(g, r, 0));
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A table read on its own connection, in file order.
struct TFileTable {
  TADOConnection conn;
  TADOQuery q;
  explicit TFileTable(const std::string& file) {
    conn.ConnectionString = SavedTableConnectionString(FolderOfFile(file));
    q.SetConnection(&conn);
    q.SQL = "SELECT * FROM \"" + NameOfFile(file) + "\"";
    q.Open();
  }
};

// Notes the help the windows ask for.
struct THelpLog : IHelpService {
  std::vector<std::pair<int, int>> asked;
  void HtmlHelp(int command, int data) override { asked.emplace_back(command, data); }
};

}  // namespace

class RestructureQTest : public QObject {
  Q_OBJECT
private:
  std::string dir_;
  std::unique_ptr<TWorkspaceState> state_;
  TLPMain* w_ = nullptr;
  QTableView* grid_ = nullptr;
  TOptForm* options_ = nullptr;
  // The windows of start-up this test uses.
  QPointer<TCopyOptForm> copyOpt_;
  QPointer<TRestructForm> restruct_;
  QPointer<TEditForm> editField_;
  QPointer<TAddDbfForm> addDbf_;

  TTableUi& Tables() { return w_->Tables(); }

  void Select(int row) {
    QTableWidget* g = restruct_->StringGrid1;
    g->setCurrentCell(row, 0);
    g->selectRow(row);
  }

  // Add... (or Edit... with no row selected) with the Edit Field dialog answered.
  void AddField(const QString& name, int type, const QString& size, QPushButton* button = nullptr) {
    When(editField_, [=, this] {
      QCOMPARE(editField_->windowTitle(), QString("Add field"));
      QCOMPARE(editField_->Edit1->text(), QString());
      QCOMPARE(editField_->ComboBox1->currentText(), QString("Character"));
      QTest::keyClicks(editField_->Edit1, name);
      editField_->ComboBox1->setCurrentIndex(type);
      editField_->Edit2->setText(size);
      editField_->OKBtn->click();
      QVERIFY(!editField_->isVisible());
    });
    (button ? button : restruct_->Button1)->click();
  }

  // The selected row through Edit..., with new values.
  void EditField(int row, const QString& name, const QString& size) {
    Select(row);
    When(editField_, [=, this] {
      QCOMPARE(editField_->windowTitle(), QString("Edit field"));
      editField_->Edit1->setText(name);
      editField_->Edit2->setText(size);
      editField_->OKBtn->click();
    });
    restruct_->Button2->click();
  }

  TTableWorkspace& Ws() { return w_->State().Table; }

  void Open(const std::string& file) {
    Tables().CloseTable0Click();
    w_->OpenDBFFile(file);
    QTRY_VERIFY(Tables().TableOpen());
  }

  void SaveAsReturns(const std::string& file, std::string* caption = nullptr, std::string* filter = nullptr) {
    restruct_->GetSaveFileName = [=](const std::string& c, const std::string& f, const std::string&) {
      if (caption) *caption = c;
      if (filter) *filter = f;
      return file;
    };
  }

  void AddTableSource(const std::string& file, const std::string& table = {}) {
    Tables().GetOpenFileName = [=](const std::string& caption, const std::string&, const std::string&) {
      return caption == "Add Table" ? file : std::string();
    };
    Tables().PickTable = [=](const std::vector<std::string>& tables, std::string& chosen) {
      for (const std::string& t : tables)
        if (t == table) chosen = t;
      return !chosen.empty();
    };
  }

  void TypeRecord(const QString& name, const QString& amount, const QString& born, bool paid, const QString& notes) {
    When(Tables().EditForm(), [=, this] {
      auto type = [this](const char* field, const QString& text) {
        auto* box = Tables().EditForm()->findChild<QComboBox*>(field);
        QVERIFY2(box, field);
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), text);
      };
      type("NAME", name);
      type("AMOUNT", amount);
      type("BORN", born);
      auto* check = Tables().EditForm()->findChild<QCheckBox*>("PAID");
      QVERIFY(check);
      check->setChecked(paid);
      auto* memo = Tables().EditForm()->findChild<QPlainTextEdit*>("NOTES");
      QVERIFY(memo);
      memo->setPlainText(notes);
      Tables().EditForm()->Button2Click();
      Tables().EditForm()->Button1->click();
    });
    w_->Action("AddRec0")->trigger();
  }

private slots:
  void initTestCase() {
    dir_ = MakeTestFolder("restructui");
    qputenv("LARKPOST_HOME", QByteArray::fromStdString(dir_ + "home"));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(dir_ + "home/registry.reg"));
    state_ = std::make_unique<TWorkspaceState>(SettingsRegistry());
    w_ = new TLPMain(*state_);
    options_ = new TOptForm(state_->Settings, w_);
    options_->LoadOptions();
    w_->Services().Options = options_;
    // The windows of start-up this test uses, in their order.
    copyOpt_ = new TCopyOptForm(w_);
    restruct_ = new TRestructForm(state_->Settings, w_);
    editField_ = new TEditForm(w_);
    addDbf_ = new TAddDbfForm(w_);
    restruct_->FieldDialog = editField_;
    restruct_->CopyDialog = copyOpt_;
    w_->Tables().Dialogs.Restructure = restruct_;
    w_->Tables().Dialogs.AddTable = addDbf_;
    // The first run shows the Options: closed at once.
    auto tries = std::make_shared<int>(0);
    auto closer = std::make_shared<std::function<void()>>();
    *closer = [tries, closer] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        d->reject();
        *closer = nullptr;
      } else if (++*tries < 300) {
        QTimer::singleShot(10, *closer);
      } else {
        *closer = nullptr;
      }
    };
    QTimer::singleShot(0, *closer);
    w_->resize(900, 600);
    w_->show();
    QTRY_VERIFY(!QApplication::activeModalWidget());
    SetFormatSettings(TFormatSettings{});
    grid_ = w_->findChild<QTableView*>("RxDBGrid1");
    QVERIFY(grid_);
  }

  void cleanupTestCase() {
    delete w_;
    options_ = nullptr;
    state_.reset();
    QVERIFY(!restruct_ && !editField_ && !copyOpt_ && !addDbf_);
    fs::remove_all(dir_);
  }

  void cleanup() {
    SetFormatSettings(TFormatSettings{});
    restruct_->RowFilter = nullptr;
  }

  // Create DBF with one field of each kind, two records typed in the record
  // editor (one with a long memo), closed and opened again.
  void createTypeCloseAndReopen() {
    TScopedScriptedMessages boxes;
    Tables().CloseTable0Click();
    std::string caption, filter;
    SaveAsReturns(dir_ + "people", &caption, &filter);
    When(restruct_, [&] {
      QCOMPARE(restruct_->windowTitle(), QString("Create DBF"));
      QTableWidget* g = restruct_->StringGrid1;
      QCOMPARE(g->rowCount(), 0);
      QCOMPARE(g->horizontalHeaderItem(0)->text(), QString("Name"));
      QCOMPARE(g->horizontalHeaderItem(1)->text(), QString("Type"));
      QCOMPARE(g->horizontalHeaderItem(2)->text(), QString("Size"));
      // Saving nothing: one message, no save dialog.
      restruct_->Button3->click();
      QCOMPARE(boxes.shown.size(), size_t(1));
      QCOMPARE(boxes.shown[0].text, std::string("At least one field is required"));
      QVERIFY(caption.empty());
      AddField("notes", fkMemo, "");
      AddField("name", fkText, "30");
      AddField("amount", fkNumber, "7");  // the size box is ignored for numbers
      AddField("born", fkDateTime, "");
      AddField("paid", fkBoolean, "");
      QCOMPARE(g->rowCount(), 5);
      QCOMPARE(GridText(g, 1, 0), QString("NAME"));
      QCOMPARE(GridText(g, 1, 1), QString("C"));
      QCOMPARE(GridText(g, 1, 2), QString("30"));
      QCOMPARE(GridText(g, 2, 1), QString("N"));
      QCOMPARE(GridText(g, 2, 2), QString());
      QCOMPARE(restruct_->SelectedRow(), 4);  // the added row
      // The memo goes to the end: down from the first row, four times.
      Select(0);
      for (int i = 0; i < 5; ++i) restruct_->SpeedButton2->click();
      QCOMPARE(restruct_->SelectedRow(), 4);
      restruct_->SpeedButton1->click();
      restruct_->SpeedButton2->click();
      QCOMPARE(GridNames(g), (std::vector<QString>{"NAME", "AMOUNT", "BORN", "PAID", "NOTES"}));
      QCOMPARE(GridText(g, 4, 1), QString("M"));

      restruct_->Button3->click();
      QCOMPARE(caption, std::string("Save Database As"));
      QCOMPARE(filter, std::string("DBase files (*.dbf)"));
      QVERIFY(restruct_->isVisible());  // stays open on the saved table
      QCOMPARE(GridNames(g), (std::vector<QString>{"NAME", "AMOUNT", "BORN", "PAID", "NOTES"}));
      QVERIFY(!copyOpt_->isVisible());
      restruct_->CloseBtn->click();
    });
    w_->Action("SpeedItem23")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QVERIFY(Tables().TableOpen());
    QCOMPARE(Tables().TableName(), std::string("people.dbf"));
    QVERIFY(w_->windowTitle().contains("people"));
    QCOMPARE(state_->Settings.Values().DataBaseDir, dir_);
    QCOMPARE(Ws().ADOConnection1.ConnectionString, SavedTableConnectionString(dir_));
    QCOMPARE(grid_->model()->rowCount(), 0);
    const std::string dbf = ReadFile(dir_ + "people.dbf");
    QVERIFY(dbf.size() > 32);
    QCOMPARE(static_cast<unsigned char>(dbf[0]), 0x83u);
    QCOMPARE(ReadFile(dir_ + "people.dbt").size(), size_t(512));
    for (const auto& e : fs::directory_iterator(dir_))
      QVERIFY2(e.path().filename().string().rfind("tmp", 0) != 0, e.path().c_str());

    // Two records, typed.
    std::string longMemo;
    for (int i = 0; i < 120; ++i) longMemo += "Line " + std::to_string(i) + " of a long note.\n";
    const QString born = QString::fromStdString(DateToStr(EncodeDate(1990, 3, 5)));
    TypeRecord("Ann", "12.5", born, true, QString::fromStdString(longMemo));
    TypeRecord("Bob", "-3", "", false, "short");
    QCOMPARE(grid_->model()->rowCount(), 2);
    QVERIFY(boxes.shown.size() == 1);

    w_->Action("CloseTable1")->trigger();
    Open(dir_ + "people.dbf");
    TDataSet& q = Ws().ADOQuery1;
    QCOMPARE(q.RecordCount(), 2);
    q.First();
    QCOMPARE(q.FieldByName("NAME").AsString(), std::string("Ann"));
    QCOMPARE(q.FieldByName("AMOUNT").AsFloat(), 12.5);
    QCOMPARE(q.FieldByName("BORN").AsDateTime(), EncodeDate(1990, 3, 5));
    QVERIFY(q.FieldByName("PAID").AsBoolean());
    QCOMPARE(q.FieldByName("NOTES").AsString(), longMemo);
    q.Next();
    QCOMPARE(q.FieldByName("NAME").AsString(), std::string("Bob"));
    QCOMPARE(q.FieldByName("AMOUNT").AsFloat(), -3.0);
    QVERIFY(q.FieldByName("BORN").IsNull());
    QVERIFY(!q.FieldByName("PAID").AsBoolean());
    QCOMPARE(q.FieldByName("NOTES").AsString(), std::string("short"));
    QVERIFY(ReadFile(dir_ + "people.dbt").size() > 512 * 7);  // the long memo spans blocks
  }

  // OK on Edit Field checks in order; each failure is one error box and the
  // dialog stays open. Cancel on an added field leaves the layout as it was.
  void editFieldChecksAndCancel() {
    TScopedScriptedMessages boxes;
    Tables().CloseTable0Click();
    struct TCase {
      QString name;
      int type;
      QString size;
      std::string message;
    };
    const std::vector<TCase> cases = {
        {"", fkText, "10", "Field Name Required"},
        {"", fkNumber, "", "Field Name Required"},
        {"city", fkText, "", "Field Size Required"},
        {"city", fkText, "abc", "Invalid Size"},
        {"city", fkText, "0", "Field Size Required"},
        {"city", fkText, "-4", "Field Size Required"},
        {"city", fkText, "255", "Maximum Size of Field is 254"},
        {"name", fkText, "254", "Duplicate Field Name - \"name\""},
        {"Name", fkMemo, "", "Duplicate Field Name - \"Name\""},
    };
    When(restruct_, [&] {
      QTableWidget* g = restruct_->StringGrid1;
      AddField("name", fkText, "20");
      AddField("age", fkNumber, "");
      QCOMPARE(g->rowCount(), 2);
      When(editField_, [&] {
        for (const TCase& c : cases) {
          const size_t before = boxes.shown.size();
          editField_->Edit1->setText(c.name);
          editField_->ComboBox1->setCurrentIndex(c.type);
          editField_->Edit2->setText(c.size);
          editField_->OKBtn->click();
          QCOMPARE(boxes.shown.size(), before + 1);
          QCOMPARE(boxes.shown.back().text, c.message);
          QVERIFY(boxes.shown.back().kind == TMsgKind::Error);
          QVERIFY(boxes.shown.back().buttons == TMsgButtons::OK);
          QVERIFY(editField_->isVisible());
        }
        // The added row shows empty while the dialog is open.
        QCOMPARE(g->rowCount(), 3);
        editField_->CancelBtn->click();
      });
      restruct_->Button1->click();
      QCOMPARE(GridNames(g), (std::vector<QString>{"NAME", "AGE"}));
      QCOMPARE(restruct_->Structure().size(), size_t(2));

      // An existing field shows its row; its own name is no duplicate; the
      // size of a number is ignored, even when it is no number.
      Select(0);
      When(editField_, [&] {
        QCOMPARE(editField_->Edit1->text(), QString("NAME"));
        QCOMPARE(editField_->ComboBox1->currentIndex(), static_cast<int>(fkText));
        QCOMPARE(editField_->Edit2->text(), QString("20"));
        editField_->Edit1->setText("name");
        editField_->ComboBox1->setCurrentIndex(fkNumber);
        editField_->Edit2->setText("abc");
        editField_->OKBtn->click();
      });
      emit g->cellDoubleClicked(0, 0);
      QCOMPARE(GridText(g, 0, 0), QString("NAME"));
      QCOMPARE(GridText(g, 0, 1), QString("N"));
      QCOMPARE(restruct_->Structure()[0].Size, 15);
      QCOMPARE(restruct_->Structure()[0].SourceName, std::string());

      // Delete without asking; Edit with nothing selected adds.
      restruct_->Button4->click();
      QCOMPARE(GridNames(g), (std::vector<QString>{"AGE"}));
      g->clearSelection();
      AddField("zip", fkText, "5", restruct_->Button2);
      QCOMPARE(GridNames(g), (std::vector<QString>{"AGE", "ZIP"}));
      restruct_->CloseBtn->click();
    });
    w_->Action("NewDatabase1")->trigger();
    QCOMPARE(boxes.shown.size(), cases.size());
    // Help: F1 and the button.
    THelpLog help;
    SetHelpService(&help);
    When(restruct_, [&] {
      QCOMPARE(restruct_->StringGrid1->rowCount(), 0);  // each show starts afresh
      QTest::keyClick(restruct_, Qt::Key_F1);
      restruct_->Button5->click();
      restruct_->CloseBtn->click();
    });
    w_->Action("NewDatabase1")->trigger();
    SetHelpService(nullptr);
    QCOMPARE(help.asked, (std::vector<std::pair<int, int>>{{HH_HELP_CONTEXT, 1}, {HH_HELP_CONTEXT, 1}}));
    QVERIFY(!Tables().TableOpen());  // nothing saved
  }

  // A real table: a field renamed, one added, one deleted, a size changed;
  // saved as a new file in the grid's sort order. The record editor's marks
  // and lists come back on the new table.
  void restructureARealTableSorted() {
    const char* data = std::getenv("LARKPOST_TESTDATA");
    if (!data || !fs::exists(std::string(data) + "/dbf/dbase_83.dbf")) QSKIP("no dBase test data");
    fs::copy_file(std::string(data) + "/dbf/dbase_83.dbf", dir_ + "bakery.dbf", fs::copy_options::overwrite_existing);
    fs::copy_file(std::string(data) + "/dbf/dbase_83.dbt", dir_ + "bakery.dbt", fs::copy_options::overwrite_existing);
    TScopedScriptedMessages boxes;
    Open(dir_ + "bakery.dbf");
    QCOMPARE(Ws().ADOQuery1.RecordCount(), 67);
    const int name = Ws().ADOQuery1.FieldByName("NAME").Index();
    emit grid_->horizontalHeader()->sectionClicked(name);
    QCOMPARE(Tables().SortText(), std::string("NAME ASC"));
    Ws().FormFields[static_cast<size_t>(name)].Template = true;
    Ws().FormFields[static_cast<size_t>(name)].PickList = {"Kept", "Lists"};

    SaveAsReturns(dir_ + "bakery2.dbf");
    bool optionsSeen = false;
    When(restruct_, [&] {
      QCOMPARE(restruct_->windowTitle(), QString("Restructure/Save As DBF"));
      QTableWidget* g = restruct_->StringGrid1;
      QCOMPARE(g->rowCount(), 15);
      QCOMPARE(restruct_->SelectedRow(), 0);
      QCOMPARE(GridText(g, 5, 0), QString("CODE"));
      QCOMPARE(GridText(g, 6, 2), QString("100"));
      QCOMPARE(GridText(g, 11, 1), QString("M"));
      EditField(5, "prodcode", "20");  // renamed and shrunk
      EditField(6, "NAME", "40");      // shrunk
      Select(7);
      restruct_->Button4->click();  // THUMBNAIL
      AddField("remark", fkText, "12");
      QCOMPARE(GridText(g, 5, 0), QString("PRODCODE"));
      QCOMPARE(GridText(g, 7, 0), QString("IMAGE"));
      QCOMPARE(GridText(g, 14, 0), QString("REMARK"));

      When(copyOpt_, [&] {
        optionsSeen = true;
        QCOMPARE(copyOpt_->windowTitle(), QString("Data"));
        QVERIFY(copyOpt_->CheckBox1->isChecked());
        QVERIFY(!copyOpt_->CheckBox2->isEnabled());  // the table is not filtered
        QVERIFY(!copyOpt_->CheckBox2->isChecked());
        QVERIFY(copyOpt_->CheckBox3->isEnabled());
        // Only "Ok" closes it.
        copyOpt_->close();
        QVERIFY(copyOpt_->isVisible());
        QTest::keyClick(copyOpt_, Qt::Key_Escape);
        QVERIFY(copyOpt_->isVisible());
        copyOpt_->CheckBox1->click();  // off: the other two cannot be used
        QVERIFY(!copyOpt_->CheckBox3->isEnabled());
        copyOpt_->CheckBox1->click();
        QVERIFY(copyOpt_->CheckBox3->isEnabled());
        copyOpt_->CheckBox3->setChecked(true);
        copyOpt_->OKBtn->click();
        QVERIFY(!copyOpt_->isVisible());
      });
      restruct_->Button3->click();
      QVERIFY(restruct_->isVisible());
      // The layout of the reopened table.
      QCOMPARE(g->rowCount(), 15);
      QCOMPARE(GridText(g, 5, 0), QString("PRODCODE"));
      QCOMPARE(GridText(g, 5, 2), QString("20"));
      QCOMPARE(GridText(g, 6, 2), QString("40"));
      QCOMPARE(restruct_->Structure()[5].SourceName, std::string("PRODCODE"));
      restruct_->CloseBtn->click();
    });
    w_->Action("Restructure0")->trigger();
    QVERIFY(optionsSeen);
    QVERIFY(boxes.shown.empty());
    QVERIFY(!restruct_->isVisible());
    QVERIFY(restruct_->Structure().empty());  // released with the window

    // The new table is open, sorted as before, the marks given back.
    QCOMPARE(Tables().TableName(), std::string("bakery2.dbf"));
    QCOMPARE(Tables().SortText(), std::string("NAME ASC"));
    QCOMPARE(grid_->model()->rowCount(), 67);
    QVERIFY(Ws().FormFields[static_cast<size_t>(name)].Template);
    QCOMPARE(Ws().FormFields[static_cast<size_t>(name)].PickList, (std::vector<std::string>{"Kept", "Lists"}));
    QVERIFY(!Ws().ADOQuery1.Filtered());
    QVERIFY(fs::exists(dir_ + "bakery.dbf"));  // the source is untouched

    // In the file, the rows follow the sort; every value came through.
    TFileTable copy(dir_ + "bakery2.dbf");
    TFileTable old(dir_ + "bakery.dbf");
    old.q.SetSort("NAME ASC");
    QCOMPARE(copy.q.RecordCount(), 67);
    QCOMPARE(copy.q.FieldCount(), 15);
    QVERIFY(!copy.q.FindField("THUMBNAIL"));
    QVERIFY(!copy.q.FindField("CODE"));
    for (old.q.First(), copy.q.First(); !old.q.Eof(); old.q.Next(), copy.q.Next()) {
      const std::string at = "row " + std::to_string(copy.q.RecNo());
      auto cut = [](const std::string& s, size_t bytes) { return TrimRight(Utf8CutBytes(s, bytes)); };
      QCOMPARE(TrimRight(copy.q.FieldByName("NAME").AsString()), cut(old.q.FieldByName("NAME").AsString(), 40));
      QCOMPARE(TrimRight(copy.q.FieldByName("PRODCODE").AsString()), cut(old.q.FieldByName("CODE").AsString(), 20));
      QCOMPARE(copy.q.FieldByName("PRICE").AsFloat(), old.q.FieldByName("PRICE").AsFloat());
      QCOMPARE(copy.q.FieldByName("DESC").AsString(), old.q.FieldByName("DESC").AsString());
      QCOMPARE(copy.q.FieldByName("ACTIVE").AsBoolean(), old.q.FieldByName("ACTIVE").AsBoolean());
      QVERIFY2(copy.q.FieldByName("REMARK").IsNull(), at.c_str());
    }
  }

  // "Copy Only Filtered Records" passes the rows through the row rules with the
  // Filter page's text; saved onto the table's own file, every row is read
  // before the old file goes, and a file of the same name that is no part of
  // the table stays.
  void filteredCopyOntoItsOwnFile() {
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= 9; ++i) rows.push_back({"Name" + std::to_string(i), std::to_string(i)});
    WriteTestDbf(dir_ + "clients.dbf", {{"NAME", 'C', 12}, {"NUM", 'N', 4}}, rows);
    { std::ofstream(dir_ + "clients.txt") << "the user's notes"; }
    TScopedScriptedMessages boxes;
    QCheckBox* useFilter = w_->FilterPage().CheckBox1;
    useFilter->setChecked(true);
    // The table's own filter runs from the open on: an empty one would be an error.
    w_->FilterPage().Memo1->setPlainText("(num < 3) or (num > 7)");
    Open(dir_ + "clients.dbf");
    QVERIFY(Ws().ADOQuery1.Filtered());
    // The window's own rules answer its evaluator.
    restruct_->RowFilter = &w_->State().CopyFilter;
    SaveAsReturns(dir_ + "clients.dbf");
    When(restruct_, [&] {
      AddField("added", fkDateTime, "");
      When(copyOpt_, [&] {
        QVERIFY(copyOpt_->CheckBox2->isEnabled());
        QVERIFY(!copyOpt_->CheckBox3->isEnabled());  // not sorted
        copyOpt_->CheckBox2->setChecked(true);
        copyOpt_->OKBtn->click();
      });
      restruct_->Button3->click();
      QCOMPARE(GridNames(restruct_->StringGrid1), (std::vector<QString>{"NAME", "NUM", "ADDED"}));
      restruct_->CloseBtn->click();
    });
    w_->Action("Restructure0")->trigger();
    QVERIFY(boxes.shown.empty());
    QCOMPARE(Tables().TableName(), std::string("clients.dbf"));
    QVERIFY(!Ws().ADOQuery1.Filtered());  // the reopened table is not filtered
    QCOMPARE(grid_->model()->rowCount(), 4);
    QCOMPARE(ReadFile(dir_ + "clients.txt"), std::string("the user's notes"));
    {
      TFileTable t(dir_ + "clients.dbf");
      std::vector<int> nums;
      for (t.q.First(); !t.q.Eof(); t.q.Next()) {
        nums.push_back(t.q.FieldByName("NUM").AsInteger());
        QVERIFY(t.q.FieldByName("ADDED").IsNull());
      }
      QCOMPARE(nums, (std::vector<int>{1, 2, 8, 9}));
    }

    // Without row rules the choice copies every row.
    restruct_->RowFilter = nullptr;
    w_->Action("Reopen0")->trigger();
    QVERIFY(Ws().ADOQuery1.Filtered());
    SaveAsReturns(dir_ + "all.dbf");
    When(restruct_, [&] {
      When(copyOpt_, [&] {
        QVERIFY(copyOpt_->CheckBox2->isChecked());  // kept from the last copy
        copyOpt_->OKBtn->click();
      });
      restruct_->Button3->click();
      restruct_->CloseBtn->click();
    });
    w_->Action("Restructure0")->trigger();
    QCOMPARE(Tables().TableName(), std::string("all.dbf"));
    QCOMPARE(grid_->model()->rowCount(), 4);

    // "Copy Data" off: the structure alone.
    SaveAsReturns(dir_ + "empty.dbf");
    When(restruct_, [&] {
      When(copyOpt_, [&] {
        copyOpt_->CheckBox1->setChecked(false);
        copyOpt_->OKBtn->click();
      });
      restruct_->Button3->click();
      restruct_->CloseBtn->click();
    });
    w_->Action("Restructure0")->trigger();
    QCOMPARE(Tables().TableName(), std::string("empty.dbf"));
    QCOMPARE(grid_->model()->rowCount(), 0);
    copyOpt_->CheckBox1->setChecked(true);
    useFilter->setChecked(false);
    w_->FilterPage().Memo1->clear();
    QVERIFY(boxes.shown.empty());
  }

  // A table that cannot be written (its folder is missing): one error box, and
  // the open table and the window stay as they were.
  void aSaveThatCannotBeWrittenChangesNothing() {
    WriteTestDbf(dir_ + "kept.dbf", {{"NAME", 'C', 10}}, {{"one"}, {"two"}});
    TScopedScriptedMessages boxes;
    Open(dir_ + "kept.dbf");
    SaveAsReturns(dir_ + "no/such/folder/new.dbf");
    When(restruct_, [&] {
      When(copyOpt_, [&] { copyOpt_->OKBtn->click(); });
      restruct_->Button3->click();
      QVERIFY(restruct_->isVisible());
      QCOMPARE(GridNames(restruct_->StringGrid1), (std::vector<QString>{"NAME"}));
      restruct_->CloseBtn->click();
    });
    w_->Action("Restructure0")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QVERIFY(boxes.shown[0].kind == TMsgKind::Error);
    QVERIFY(Tables().TableOpen());
    QCOMPARE(Tables().TableName(), std::string("kept.dbf"));
    QCOMPARE(grid_->model()->rowCount(), 2);
    QCOMPARE(state_->Settings.Values().DataBaseDir, dir_);
    QVERIFY(!fs::exists(dir_ + "no"));
  }

  // Rows of an Access table added to a dBase table: the mapping preselected by
  // name, three fields mapped by hand, one left out.
  void addTableFromAccess() {
    const char* data = std::getenv("LARKPOST_TESTDATA");
    if (!data || !fs::exists(std::string(data) + "/mdb/testV1997.mdb")) QSKIP("no Access test data");
    const std::string mdb = dir_ + "shop.mdb";
    fs::copy_file(std::string(data) + "/mdb/testV1997.mdb", mdb, fs::copy_options::overwrite_existing);
    WriteTestDbf(
        dir_ + "orders.dbf",
        {{"A", 'C', 20}, {"NOTE", 'C', 20}, {"AMOUNT", 'N', 12, 3}, {"WHEN", 'D', 8}, {"I", 'L', 1}, {"SPARE", 'C', 5}},
        {{"first", "", "1", "", "", ""}});
    TScopedScriptedMessages boxes;
    Open(dir_ + "orders.dbf");
    AddTableSource(mdb, "Table1");
    bool shown = false;
    When(addDbf_, [&] {
      shown = true;
      QCOMPARE(addDbf_->windowTitle(), QString("Add Table"));
      QVERIFY(Ws().BulkUpdate);
      QCOMPARE(addDbf_->FieldArray().size(), size_t(6));
      QCOMPARE(addDbf_->ProgressBar1->value(), 0);
      auto combo = [this](const char* field) { return addDbf_->findChild<QComboBox*>(field); };
      QVERIFY(combo("A") && combo("NOTE") && combo("AMOUNT") && combo("WHEN") && combo("I") && combo("SPARE"));
      QCOMPARE(combo("A")->currentText(), QString("A"));
      QCOMPARE(combo("I")->currentText(), QString("I"));
      QCOMPARE(combo("NOTE")->currentIndex(), 0);
      QCOMPARE(combo("NOTE")->itemText(0), QString());
      QCOMPARE(combo("NOTE")->count(), 10);  // the empty item and the nine fields
      QCOMPARE(addDbf_->FieldArray()[1].NameLabel->text(), QString("NOTE"));
      QCOMPARE(addDbf_->FieldArray()[1].Source->pos(), QPoint(150, 36));
      combo("NOTE")->setCurrentIndex(combo("NOTE")->findText("B"));
      combo("AMOUNT")->setCurrentIndex(combo("AMOUNT")->findText("F"));
      combo("WHEN")->setCurrentIndex(combo("WHEN")->findText("G"));
      addDbf_->Button3->click();
      QVERIFY(!addDbf_->isVisible());
    });
    w_->Action("AddDBF1")->trigger();
    QVERIFY(shown);
    QVERIFY(boxes.shown.empty());
    QVERIFY(!Ws().BulkUpdate);
    QVERIFY(!addDbf_->Session.Source().Active());
    QVERIFY(addDbf_->FieldArray().empty());
    QCOMPARE(addDbf_->Panel1->text(), QString());
    QCOMPARE(grid_->model()->rowCount(), 3);

    w_->Action("CloseTable1")->trigger();
    TFileTable t(dir_ + "orders.dbf");
    QCOMPARE(t.q.RecordCount(), 3);
    t.q.SetRecNo(3);
    QCOMPARE(t.q.FieldByName("A").AsString(), std::string("abcdefg"));
    QCOMPARE(t.q.FieldByName("NOTE").AsString(), std::string("hijklmnop"));
    QCOMPARE(t.q.FieldByName("AMOUNT").AsFloat(), 444.555);
    QCOMPARE(t.q.FieldByName("WHEN").AsDateTime(), EncodeDate(1974, 9, 21));
    QVERIFY(t.q.FieldByName("I").AsBoolean());
    QVERIFY(t.q.FieldByName("SPARE").IsNull());
    t.q.SetRecNo(2);
    QCOMPARE(t.q.FieldByName("A").AsString(), std::string("a"));
    QVERIFY(!t.q.FieldByName("I").AsBoolean());
  }

  // Cancel appends nothing and lets the source go; an empty source is refused;
  // a file of another kind does nothing.
  void addTableCancelEmptyAndOtherFiles() {
    WriteTestDbf(dir_ + "target.dbf", {{"NAME", 'C', 10}}, {{"one"}});
    WriteTestDbf(dir_ + "more.dbf", {{"NAME", 'C', 10}}, {{"two"}, {"three"}});
    WriteTestDbf(dir_ + "nothing.dbf", {{"NAME", 'C', 10}}, {});
    { std::ofstream(dir_ + "notes.txt") << "x"; }
    const std::string before = ReadFile(dir_ + "target.dbf");
    TScopedScriptedMessages boxes;
    Open(dir_ + "target.dbf");
    AddTableSource(dir_ + "more.dbf");
    bool shown = false;
    THelpLog help;
    SetHelpService(&help);
    When(addDbf_, [&] {
      shown = true;
      QCOMPARE(addDbf_->findChild<QComboBox*>("NAME")->currentText(), QString("NAME"));
      QTest::keyClick(addDbf_, Qt::Key_F1);
      addDbf_->Button1->click();
      addDbf_->CloseBtn->click();
    });
    w_->Action("AddDBF1")->trigger();
    SetHelpService(nullptr);
    QVERIFY(shown);
    QCOMPARE(help.asked, (std::vector<std::pair<int, int>>{{HH_HELP_CONTEXT, 3}, {HH_HELP_CONTEXT, 3}}));
    QCOMPARE(grid_->model()->rowCount(), 1);
    QVERIFY(!addDbf_->Session.Source().Active());
    QVERIFY(!Ws().BulkUpdate);

    AddTableSource(dir_ + "nothing.dbf");
    w_->Action("AddDBF1")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, std::string("Table is Empty"));
    QVERIFY(boxes.shown[0].kind == TMsgKind::Error);
    QVERIFY(!addDbf_->Session.Source().Active());

    AddTableSource(dir_ + "notes.txt");
    w_->Action("AddDBF1")->trigger();
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(grid_->model()->rowCount(), 1);
    w_->Action("CloseTable1")->trigger();
    QCOMPARE(ReadFile(dir_ + "target.dbf"), before);
  }

  // A thousand rows: the bar moves in steps above 3 up to the end, and the
  // status is painted before the one batch update writes every row.
  void addTableProgressAndStatus() {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 1000; ++i) rows.push_back({"row" + std::to_string(i), std::to_string(i)});
    WriteTestDbf(dir_ + "big.dbf", {{"NAME", 'C', 10}, {"NUM", 'N', 6}}, rows);
    WriteTestDbf(dir_ + "into.dbf", {{"NUM", 'N', 6}, {"NAME", 'C', 10}}, {});
    TScopedScriptedMessages boxes;
    Open(dir_ + "into.dbf");
    AddTableSource(dir_ + "big.dbf");
    std::vector<int> positions;
    QStringList painted;
    struct TPaintWatch : QObject {
      QStringList* texts;
      explicit TPaintWatch(QStringList* t) : texts(t) {}
      bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) texts->append(static_cast<QLabel*>(o)->text());
        return false;
      }
    } watch(&painted);
    addDbf_->Panel1->installEventFilter(&watch);
    const auto link =
        connect(addDbf_->ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) { positions.push_back(v); });
    When(addDbf_, [&] {
      QVERIFY(QTest::qWaitForWindowExposed(addDbf_));
      positions.clear();
      addDbf_->Button3->click();
    });
    w_->Action("AddDBF1")->trigger();
    disconnect(link);
    addDbf_->Panel1->removeEventFilter(&watch);
    QVERIFY(boxes.shown.empty());
    QCOMPARE(grid_->model()->rowCount(), 1000);
    QVERIFY(w_->findChild<QLabel*>("StatusBar2Panel0")->text().endsWith(" of 1000"));
    QVERIFY(positions.size() > 10);
    for (size_t i = 1; i < positions.size(); ++i)
      QVERIFY2(positions[i] - positions[i - 1] > 3, qPrintable(QString::number(positions[i])));
    QVERIFY(positions.back() >= 96);
    QVERIFY2(painted.contains("Updating the table, please wait"), qPrintable(painted.join("|")));
    w_->Action("CloseTable1")->trigger();
    TFileTable t(dir_ + "into.dbf");
    QCOMPARE(t.q.RecordCount(), 1000);
    t.q.SetRecNo(1000);
    QCOMPARE(t.q.FieldByName("NAME").AsString(), std::string("row999"));
    QCOMPARE(t.q.FieldByName("NUM").AsInteger(), 999);
  }

  // A table the batch cannot write (Access is read-only here): the error is
  // shown, the table reopens as it was saved and gains no rows.
  void addTableOntoATableThatCannotBeWritten() {
    const char* data = std::getenv("LARKPOST_TESTDATA");
    if (!data || !fs::exists(std::string(data) + "/mdb/testV1997.mdb")) QSKIP("no Access test data");
    const std::string mdb = dir_ + "readonly.mdb";
    fs::copy_file(std::string(data) + "/mdb/testV1997.mdb", mdb, fs::copy_options::overwrite_existing);
    WriteTestDbf(dir_ + "letters.dbf", {{"A", 'C', 10}}, {{"x"}, {"y"}});
    TScopedScriptedMessages boxes;
    Tables().CloseTable0Click();
    Tables().PickTable = [](const std::vector<std::string>&, std::string& chosen) {
      chosen = "Table1";
      return true;
    };
    Tables().OpenAccessFile(mdb);
    QVERIFY(Tables().TableOpen());
    QCOMPARE(Ws().ADOQuery1.RecordCount(), 2);
    AddTableSource(dir_ + "letters.dbf");
    bool stayed = false;
    When(addDbf_, [&] {
      addDbf_->Button3->click();
      stayed = addDbf_->isVisible();
    });
    w_->Action("AddDBF1")->trigger();
    QVERIFY(stayed);
    QCOMPARE(boxes.shown.size(), size_t(1));
    QVERIFY(boxes.shown[0].kind == TMsgKind::Error);
    QVERIFY(Tables().TableOpen());
    QCOMPARE(Ws().ADOQuery1.RecordCount(), 2);
    QCOMPARE(grid_->model()->rowCount(), 2);
    QVERIFY(!Ws().BulkUpdate);
    Tables().CloseTable0Click();
  }
};

QTEST_MAIN(RestructureQTest)
#include "restructure_qtest.moc"
