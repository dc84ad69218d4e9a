#include "workspace/ui/Restruct.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/AppSettings.h"
#include "workspace/TableSaveAs.h"
#include "workspace/ui/CopyOpt.h"
#include "workspace/ui/EditField.h"
#include "workspace/ui/TableGrid.h"
#include "workspace/ui/TableUi.h"

namespace {

// Drops the copy's filter when the copy is over, however it ends.
struct TCopyFilterScope {
  ICopyRowFilter* filter = nullptr;
  void Release() {
    if (filter) filter->FreeCopyFilter();
    filter = nullptr;
  }
  ~TCopyFilterScope() { Release(); }
};

}  // namespace

TRestructForm::TRestructForm(TAppSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName("RestructForm");
  setWindowTitle("Restructure Table");
  StringGrid1 = new QTableWidget(0, 3, this);
  StringGrid1->setObjectName("StringGrid1");
  QStringList titles;
  for (const std::string& t : StructureGridTitles()) titles << ToQString(t);
  StringGrid1->setHorizontalHeaderLabels(titles);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setStretchLastSection(true);
  StringGrid1->setColumnWidth(0, 160);
  StringGrid1->setColumnWidth(1, 60);
  connect(StringGrid1, &QTableWidget::cellDoubleClicked, this, [this] { Button2Click(); });

  auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  Button1 = button("Button1", "Add");
  Button2 = button("Button2", "Edit");
  Button4 = button("Button4", "Delete");
  Button3 = button("Button3", "Save As...");
  Button5 = button("Button5", "Help");
  CloseBtn = button("CloseBtn", "Close");
  SpeedButton1 = new QToolButton(this);
  SpeedButton1->setObjectName("SpeedButton1");
  SpeedButton1->setArrowType(Qt::UpArrow);
  SpeedButton2 = new QToolButton(this);
  SpeedButton2->setObjectName("SpeedButton2");
  SpeedButton2->setArrowType(Qt::DownArrow);
  connect(Button1, &QPushButton::clicked, this, &TRestructForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TRestructForm::Button2Click);
  connect(Button4, &QPushButton::clicked, this, &TRestructForm::Button4Click);
  connect(Button3, &QPushButton::clicked, this, &TRestructForm::Button3Click);
  connect(Button5, &QPushButton::clicked, this, [] { ShowHelpContext(HelpContext); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(SpeedButton1, &QToolButton::clicked, this, &TRestructForm::SpeedButton1Click);
  connect(SpeedButton2, &QToolButton::clicked, this, &TRestructForm::SpeedButton2Click);

  GetSaveFileName = [this](const std::string& caption, const std::string& filter, const std::string& dir) {
    QFileDialog d(this, ToQString(caption), ToQString(dir), ToQString(filter));
    d.setAcceptMode(QFileDialog::AcceptSave);
    // The overwrite question then asks about the name the table will really get.
    d.setDefaultSuffix("dbf");
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::string();
    return ToStdString(d.selectedFiles().first());
  };

  auto* moves = new QVBoxLayout;
  moves->addStretch();
  moves->addWidget(SpeedButton1);
  moves->addWidget(SpeedButton2);
  moves->addStretch();
  auto* commands = new QVBoxLayout;
  for (QPushButton* b : {Button1, Button2, Button4}) commands->addWidget(b);
  commands->addStretch();
  for (QPushButton* b : {Button3, Button5, CloseBtn}) commands->addWidget(b);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(moves);
  layout->addWidget(StringGrid1, 1);
  layout->addLayout(commands);
  resize(460, 380);
}

TRestructForm::~TRestructForm() = default;

int TRestructForm::SelectedRow() const {
  const QModelIndexList rows = StringGrid1->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TRestructForm::SelectRow(int row) {
  if (row < 0 || row >= StringGrid1->rowCount()) {
    StringGrid1->clearSelection();
    return;
  }
  StringGrid1->setCurrentCell(row, 0);
  StringGrid1->selectRow(row);
}

void TRestructForm::RefreshGrid() {
  const int selected = SelectedRow();
  const std::vector<TStructureGridRow> rows = StructureGridRows(structure_);
  StringGrid1->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const TStructureGridRow& g = rows[static_cast<size_t>(r)];
    const std::string* cells[] = {&g.Name, &g.Type, &g.Size};
    for (int c = 0; c < 3; ++c) {
      QTableWidgetItem* item = StringGrid1->item(r, c);
      if (!item) StringGrid1->setItem(r, c, item = new QTableWidgetItem);
      item->setText(ToQString(*cells[c]));
    }
  }
  if (selected >= 0) SelectRow(std::min(selected, StringGrid1->rowCount() - 1));
}

void TRestructForm::FormShow() {
  structure_.clear();
  if (Mode == rmRestructure && Tables && Tables->Workspace().IsOpen())
    structure_ = BuildTableStructure(Tables->Workspace().ADOQuery1, Tables->Workspace().FormFields);
  StringGrid1->clearSelection();
  RefreshGrid();
  SelectRow(0);
}

void TRestructForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
  StringGrid1->setFocus();
}

void TRestructForm::hideEvent(QHideEvent* e) {
  structure_.clear();
  QDialog::hideEvent(e);
}

void TRestructForm::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    ShowHelpContext(HelpContext);
    return;
  }
  QDialog::keyPressEvent(e);
}

bool TRestructForm::EditSelected(const char* caption, bool isNew) {
  const int row = SelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= structure_.size()) return false;
  TEditForm* f = FieldDialog;
  if (!f) return false;
  f->setWindowTitle(caption);
  f->Rows = StructureGridRows(structure_);
  f->SelectedRow = row;
  f->NewField = isNew;
  if (f->exec() != QDialog::Accepted) return false;
  ApplyEditField(structure_[static_cast<size_t>(row)], f->Input());
  RefreshGrid();
  SelectRow(row);
  return true;
}

void TRestructForm::Button1Click() {
  const int before = SelectedRow();
  const int row = AddStructureEntry(structure_);
  RefreshGrid();
  SelectRow(row);
  if (EditSelected("Add field", true)) return;
  DeleteStructureEntry(structure_, row);
  RefreshGrid();
  SelectRow(before);
}

void TRestructForm::Button2Click() {
  if (SelectedRow() < 0) {
    Button1Click();
    return;
  }
  EditSelected("Edit field", false);
}

void TRestructForm::Button4Click() {
  const int row = SelectedRow();
  if (row < 0) return;
  DeleteStructureEntry(structure_, row);
  RefreshGrid();
  SelectRow(std::min(row, static_cast<int>(structure_.size()) - 1));
}

void TRestructForm::SpeedButton1Click() {
  const int row = MoveStructureEntryUp(structure_, SelectedRow());
  RefreshGrid();
  SelectRow(row);
}

void TRestructForm::SpeedButton2Click() {
  const int row = MoveStructureEntryDown(structure_, SelectedRow());
  RefreshGrid();
  SelectRow(row);
}

void TRestructForm::Button3Click() {
  const std::string problem = CheckStructureForSave(structure_);
  if (!problem.empty()) {
    ErrorBox(problem);
    return;
  }
  if (!Tables) return;
  const std::string chosen = GetSaveFileName("Save Database As", "DBase files (*.dbf)", settings_.Values().DataBaseDir);
  if (chosen.empty()) return;
  TTableWorkspace& ws = Tables->Workspace();
  const bool restructure = Mode == rmRestructure && ws.IsOpen();
  // A record being typed belongs to the rows being copied.
  if (ws.IsOpen() && !ws.PostPending()) return;

  TSaveAsRequest rq;
  rq.Target = SaveAsTargetName(chosen);
  rq.Source = restructure ? &ws.ADOQuery1 : nullptr;
  rq.Copy.Restructure = restructure;
  TCopyFilterScope filterScope;
  rq.Copy.AskOptions = [&] {
    // Without the dialog, the choices it starts with.
    const TCopyOptions o = CopyDialog ? CopyDialog->Execute(ws.ADOQuery1.Filtered(), ws.Sort.SortOn) : TCopyOptions{};
    if (o.CopyData && RowFilter) {
      RowFilter->CompileCopyFilter();
      filterScope.filter = RowFilter;
    }
    return o;
  };
  if (ICopyRowFilter* filter = RowFilter)
    rq.Copy.Accept = [filter](TDataSet& row) { return filter->AcceptCopyRow(row); };
  rq.Copy.Busy = [this](bool on) { on ? Tables->BeginBusy() : Tables->EndBusy(); };
  const std::string oldTable = ws.TableName;
  std::string sortField;
  bool descending = false, closed = false;
  rq.CloseTables = [&] {
    sortField = ws.Sort.SortField;
    descending = ws.Sort.Descending;
    closed = ws.IsOpen();
    ws.ADOQuery1.Close();
  };

  TSaveAsResult r;
  try {
    r = SaveStructureAs(structure_, rq);
  } catch (const std::exception& e) {
    r.Error = e.what();
  }
  filterScope.Release();
  if (!r.Saved) {
    ErrorBox(r.Error);
    if (closed && !ws.IsOpen()) {
      // The renames stopped part-way: show what the old name holds now.
      try {
        ws.TableName = oldTable;
        ws.OpenTableQuery();
      } catch (const std::exception& e) {
        ErrorBox(e.what());
      }
    }
    return;
  }

  ws.DataBaseDir = r.Folder;
  Tables->SaveDataBaseDir(r.Folder);
  try {
    ws.ADOConnection1.Close();
    ws.ADOConnection1.ConnectionString = SavedTableConnectionString(r.Folder);
    ws.ADOConnection1.Open();
    ws.TableName = r.TableName;
    ws.ADOQuery1.SetFiltered(false);
    ws.OpenTableQuery();
  } catch (const std::exception& e) {
    ErrorBox(e.what());
  }
  if (ws.IsOpen()) {
    if (restructure) {
      ws.Sort.SortField = sortField;
      ws.Sort.SortOn = !sortField.empty();
      ws.Sort.Descending = descending;
      if (GiveBackEditorSettings(structure_, ws.FormFields)) {
        Tables->RelayoutEditors();
        Tables->PickListsChanged();
      }
      ws.ApplyColumnWidths();
      Tables->Grid()->Model()->Resync();
    }
    structure_ = BuildTableStructure(ws.ADOQuery1, ws.FormFields);
    RefreshGrid();
  }
  StringGrid1->setFocus();
}
