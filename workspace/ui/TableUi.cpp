#include "workspace/ui/TableUi.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <algorithm>
#include <filesystem>

#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "platform/ui/QtText.h"
#include "workspace/AppSettings.h"
#include "workspace/HighlightSlots.h"
#include "workspace/ui/AddDbf.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/Restruct.h"
#include "workspace/ui/SQL.h"
#include "workspace/ui/Seltab.h"
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/edb.h"

TTableUi::TTableUi(TTableWorkspace& workspace, TAppSettings& settings, QWidget* window, QTableView* grid,
                   QLabel* statusPanel, QObject* parent)
    : QObject(parent), ws_(workspace), settings_(settings), window_(window), view_(grid), status_(statusPanel) {
  ws_.SetHost(this);
  InitMainSQLSet(SQLSet1);
  ws_.BuildTableSQL = [this](const std::string& name) {
    SQLSet1.AddVariable("TabName", name);
    return SQLSet1.BuildSQL("Main");
  };
  grid_ = new TTableGrid(ws_, grid, this);
  grid_->OnDblClick = [this] { RxDBGrid1DblClick(); };
  // The sorted column's colour; the main window's wiring adds the row rules' colours.
  connect(grid_->Model(), &TTableModel::CellColorWanted, this, [this](int field, int, QColor& background) {
    const TSortState& s = ws_.Sort;
    if (s.SortOn && field < ws_.ADOQuery1.FieldCount() && ws_.ADOQuery1.Fields(field).FieldName() == s.SortField) {
      const TRgb c = SlotColor(SortColorSlot());
      background = QColor(c.R, c.G, c.B);
    }
  });
  sortColorChanged_ = settings_.Subscribe(stSortColor, [this] { view_->viewport()->update(); });
  edit_ = new TEditDB(ws_, window);
  edit_->OnDeleteRecords = [this] { ws_.DeleteRecords(); };
  sql_ = new TSQLForm(settings_, window);
  GetOpenFileName = [this](const std::string& caption, const std::string& filter, const std::string& dir) {
    return ToStdString(QFileDialog::getOpenFileName(window_, ToQString(caption), ToQString(dir), ToQString(filter)));
  };
  PickTable = [this](const std::vector<std::string>& tables, std::string& chosen) {
    TSelTabForm* f = Dialogs.SelectTable;
    if (!f) return false;
    f->ListBox1->clear();
    for (const std::string& t : tables) f->ListBox1->addItem(ToQString(t));
    f->ListBox1->setCurrentRow(-1);
    if (f->exec() != QDialog::Accepted) return false;
    chosen = ToStdString(f->SelectedTable());
    return !chosen.empty();
  };
  UpdateRecordActions();
}

TTableUi::~TTableUi() {
  ws_.SetHost(nullptr);
  ws_.BuildTableSQL = nullptr;
  ws_.ADOQuery1.Close();
  // Both hold links to the workspace; they go before our other children.
  delete grid_;
  delete edit_.data();
  delete sql_.data();
}

int TTableUi::SortColorSlot() const {
  const int slot = settings_.Values().SortColor;
  // Without a choice the sorted column is aqua, as the settings' default.
  return slot >= 0 && slot < HighlightSlotCount ? slot : TSettingValues{}.SortColor;
}

TSQLForm* TTableUi::SqlForm() const { return sql_.data(); }
TEditDB* TTableUi::EditForm() const { return edit_.data(); }

void TTableUi::Report(const std::exception& e) { ErrorBox(e.what()); }

// --- commands ---------------------------------------------------------------------

void TTableUi::OpenDB0Click() {
  const std::string file = GetOpenFileName("Open Table", "Microsoft Access or DBase files (*.mdb *.dbf *.MDB *.DBF)",
                                           settings_.Values().DataBaseDir);
  if (file.empty()) return;
  const std::string ext = LowerCase(std::filesystem::path(file).extension().string());
  if (ext == ".mdb")
    OpenAccessFile(file);
  else if (ext == ".dbf")
    OpenDBFFile(file);
}

void TTableUi::OpenDBFFile(const std::string& FileName) {
  try {
    ws_.OpenDBFFile(FileName);
  } catch (const std::exception& e) {
    Report(e);
  }
}

void TTableUi::OpenAccessFile(const std::string& FileName) {
  try {
    ws_.OpenAccessFile(FileName, PickTable);
  } catch (const std::exception& e) {
    Report(e);
  }
}

void TTableUi::ExecSQL0Click() {
  if (sql_->exec() != QDialog::Accepted) return;
  try {
    ws_.OpenSQL(sql_->DatabaseType(), sql_->DatabasePath(), sql_->SQLText());
  } catch (const std::exception& e) {
    Report(e);
  }
}

void TTableUi::CloseTable0Click() { ws_.CloseTable(); }

void TTableUi::AddRec0Click() {
  if (!ws_.IsOpen()) return;
  try {
    ws_.AppendRecord();
  } catch (const std::exception& e) {
    Report(e);
    return;
  }
  edit_->exec();
}

void TTableUi::EditRec0Click() {
  // What was typed into a cell shows in the record editor.
  if (!ws_.IsOpen() || !grid_->FinishCellEdit()) return;
  UpdateRecordActions();
  edit_->exec();
}

void TTableUi::DeleteRec0Click() { ws_.DeleteRecords(); }

void TTableUi::RxDBGrid1DblClick() {
  if (!ws_.IsOpen()) return;
  if (ws_.ADOQuery1.IsEmpty())
    AddRec0Click();
  else
    EditRec0Click();
}

void TTableUi::RxDBGrid1TitleBtnClick(int field) { grid_->RxDBGrid1TitleBtnClick(field); }

void TTableUi::Descend0Click() {
  if (!grid_->FinishCellEdit()) return;
  ws_.Descend();
  grid_->Model()->Resync();
}

void TTableUi::Unsort0Click() {
  if (!grid_->FinishCellEdit()) return;
  ws_.Unsort();
  grid_->Model()->Resync();
}

void TTableUi::Find0Click() {
  if (!grid_->FinishCellEdit()) return;
  TFindForm* f = Dialogs.Find;
  if (!ws_.IsOpen() || !f) return;
  TDataSet& q = ws_.ADOQuery1;
  const QString remembered = f->ComboBox1->currentText();
  f->ComboBox1->clear();
  for (int i : FindableFields(q)) f->ComboBox1->addItem(ToQString(q.Fields(i).FieldName()));
  // Filling the list picks its first field; with nothing remembered, none is chosen.
  f->ComboBox1->setCurrentIndex(remembered.isEmpty() ? -1 : f->ComboBox1->findText(remembered));
  if (f->ComboBox1->currentIndex() < 0) f->Edit1->clear();
  if (f->ComboBox1->count() == 0) return;
  if (f->exec() != QDialog::Accepted) return;
  const std::string fieldName = ToStdString(f->ComboBox1->currentText());
  const std::string value = ToStdString(f->Edit1->text());
  TField* field = q.FindField(fieldName);
  if (!field || value.empty()) return;
  try {
    if (!ws_.Find(field->Index(), value, f->Including())) InfoBox("Searched text not found");
  } catch (const std::exception& e) {
    Report(e);
  }
}

void TTableUi::Unique0Click() {
  if (!grid_->FinishCellEdit()) return;
  bool found = false;
  if (!ws_.FindDuplicates(found)) return;
  ShowDatabasePage();
  if (view_->isVisible()) view_->setFocus();
  if (!found) InfoBox("Review is Completed");
}

void TTableUi::SelectDublicates1Click() {
  if (!grid_->FinishCellEdit()) return;
  if (!ws_.SelectDuplicates()) return;
  ShowDatabasePage();
  if (view_->isVisible()) view_->setFocus();
  InfoBox("Review is Completed");
}

void TTableUi::Reopen0Click() {
  if (!ws_.IsOpen()) return;
  try {
    ws_.Reopen();
  } catch (const std::exception& e) {
    Report(e);
  }
}

void TTableUi::NewDatabase1Click() {
  TRestructForm* f = Dialogs.Restructure;
  if (!f) return;
  f->Tables = this;
  f->setWindowTitle("Create DBF");
  f->Mode = rmCreate;
  f->exec();
}

void TTableUi::Restructure0Click() {
  TRestructForm* f = Dialogs.Restructure;
  if (!ws_.IsOpen() || !f) return;
  f->Tables = this;
  f->setWindowTitle("Restructure/Save As DBF");
  f->Mode = rmRestructure;
  f->exec();
}

void TTableUi::AddDBF1Click() {
  TAddDbfForm* f = Dialogs.AddTable;
  if (!ws_.IsOpen() || !f) return;
  const std::string file = GetOpenFileName("Add Table", "Microsoft Access or DBase files (*.mdb *.dbf *.MDB *.DBF)",
                                           settings_.Values().DataBaseDir);
  if (file.empty()) return;
  // The new rows follow the record being typed.
  if (!ws_.PostPending()) return;
  f->Tables = this;
  TAddTableSession& source = f->Session;
  try {
    const TAddSourceKind kind = source.Connect(file);
    if (kind == TAddSourceKind::None) return;
    std::string table = source.DefaultTable();
    if (kind == TAddSourceKind::Access && (!PickTable || !PickTable(source.TableNames(), table) || table.empty())) {
      source.Disconnect();
      return;
    }
    source.OpenSource(table);
  } catch (const std::exception& e) {
    source.Disconnect();
    Report(e);
    return;
  }
  if (source.SourceEmpty()) {
    source.Disconnect();
    ErrorBox("Table is Empty");
    return;
  }
  f->exec();
  // Shown or not, the source goes with the window.
  source.Disconnect();
}

// --- host duties ---------------------------------------------------------------------

void TTableUi::UpdateControls() { emit CommandsChanged(); }

void TTableUi::UpdateRecordActions() { edit_->UpdateRecordActions(); }

void TTableUi::ShowRecordCounter(const std::string& text) {
  if (status_) status_->setText(ToQString(text));
  edit_->ShowRecordCounter(text);
}

void TTableUi::BeginBusy() {
  if (busy_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TTableUi::EndBusy() {
  if (busy_ > 0 && --busy_ == 0) QApplication::restoreOverrideCursor();
}

void TTableUi::TableOpened() {
  grid_->TableOpened();
  grid_->SetDatabaseFont(settings_.Values().DBFont);
  view_->show();
  if (view_->isVisible()) view_->setFocus();
  emit Opened();
}

void TTableUi::TableClosed() {
  grid_->TableClosed();
  view_->hide();
  emit Closed();
}

void TTableUi::BuildEditors(TFormFieldsArray& fields) { edit_->BuildEditors(fields); }
void TTableUi::FreeEditors(TFormFieldsArray& fields) { edit_->FreeEditors(fields); }
void TTableUi::RelayoutEditors() { edit_->FormResize(); }
void TTableUi::PickListsChanged() { edit_->RefreshPickLists(); }
int TTableUi::GridCol() const { return grid_->Col(); }
void TTableUi::SetGridCol(int col) { grid_->SetCol(col); }
int TTableUi::GridLeftCol() const { return grid_->LeftCol(); }
void TTableUi::SetGridLeftCol(int col) { grid_->SetLeftCol(col); }
int TTableUi::GridColumnWidth(int field) const { return grid_->ColumnWidth(field); }
void TTableUi::SetGridColumnWidth(int field, int width) { grid_->SetColumnWidth(field, width); }
std::vector<int> TTableUi::SelectedRows() const { return grid_->SelectedRecNos(); }
void TTableUi::ClearSelection() { grid_->ClearSelection(); }
void TTableUi::SelectRows(const std::vector<int>& recNos) { grid_->SelectRecNos(recNos); }
void TTableUi::ProcessOneMessage() { QCoreApplication::processEvents(); }
bool TTableUi::FinishCellEdit() { return grid_->FinishCellEdit(); }

void TTableUi::ShowDatabasePage() { emit DatabasePageWanted(); }

bool TTableUi::ConfirmDelete(const std::string& question, bool& dontAsk) {
  TDelForm* f = Dialogs.Delete;
  if (!f) return false;
  f->Label1->setText(ToQString(question));
  f->CheckBox1->setChecked(false);
  const int r = f->exec();
  dontAsk = f->CheckBox1->isChecked();
  return r == QDialog::Accepted;
}

bool TTableUi::ConfirmDeleteOption() const { return settings_.Values().ConfirmDel; }

void TTableUi::SwitchOffDeleteConfirmation() { settings_.SaveConfirmDel(false); }

void TTableUi::SaveDataBaseDir(const std::string& dir) { settings_.SetAndSave(stDataBaseDir, dir); }

void TTableUi::SaveSQLDataBase(const std::string& path) { settings_.SetAndSave(stSQLDataBase, path); }

void TTableUi::ShowError(const std::string& text) { ErrorBox(text); }

void TTableUi::ShowWarning(const std::string& text) {
  MessageService().Show(TMsgKind::Warning, text, "Warning", TMsgButtons::OK);
}
