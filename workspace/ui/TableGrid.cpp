#include "workspace/ui/TableGrid.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "platform/ui/QtText.h"

// --- the model --------------------------------------------------------------

TTableModel::TTableModel(TTableWorkspace& ws, QObject* parent) : QAbstractTableModel(parent), ws_(ws) {
  DefaultColor = QApplication::palette().color(QPalette::Button);
}

TTableModel::~TTableModel() { Detach(); }

void TTableModel::Attach() {
  Detach();
  TDataSet& q = ws_.ADOQuery1;
  if (!q.Active()) return;
  beginResetModel();
  view_ = std::make_unique<TDataSet>();
  view_->Clone(q);
  // The clone runs the query's filter over its own rows.
  view_->OnFilterRecord = [this](TDataSet& ds, bool& accept) {
    if (ws_.ADOQuery1.OnFilterRecord) ws_.ADOQuery1.OnFilterRecord(ds, accept);
  };
  sort_.clear();
  filtered_ = false;
  attached_ = true;
  linkId_ = q.AddDataLink([this](TDataSet&, TDataEvent e) { OnDataEvent(e); });
  cols_ = q.FieldCount();
  if (q.Filtered()) {
    view_->SetFiltered(true);
    filtered_ = true;
  }
  if (!q.Sort().empty()) {
    view_->SetSort(q.Sort());
    sort_ = q.Sort();
  }
  rows_ = view_->RecordCount() + (q.State() == dsInsert ? 1 : 0);
  currentRow_ = q.RecNo() - 1;
  emit RowsChanged();
  endResetModel();
}

void TTableModel::Detach() {
  if (!attached_) return;
  beginResetModel();
  if (linkId_) ws_.ADOQuery1.RemoveDataLink(linkId_);
  linkId_ = 0;
  view_.reset();
  attached_ = false;
  rows_ = cols_ = 0;
  currentRow_ = -1;
  endResetModel();
}

IFieldSource* TTableModel::RowSource(int row) {
  if (!attached_ || row < 0 || row >= rows_) return nullptr;
  TDataSet& q = ws_.ADOQuery1;
  const bool editing = q.State() == dsEdit || q.State() == dsInsert;
  if (editing && row == currentRow_) return &q;
  if (!view_ || row >= view_->RecordCount()) return nullptr;
  if (view_->RecNo() != row + 1) view_->SetRecNo(row + 1);
  return view_.get();
}

void TTableModel::Resync() {
  if (!attached_) return;
  emit RowsChanged();
  TDataSet& q = ws_.ADOQuery1;
  if (!q.Active()) {
    Detach();
    return;
  }
  const bool shape = q.Sort() != sort_ || q.Filtered() != filtered_ || q.FieldCount() != cols_;
  if (q.Filtered() != filtered_) {
    view_->SetFiltered(q.Filtered());
    filtered_ = q.Filtered();
  }
  if (q.Sort() != sort_) {
    try {
      view_->SetSort(q.Sort());
    } catch (const std::exception&) {
    }
    sort_ = q.Sort();
  }
  const int rows = view_->RecordCount() + (q.State() == dsInsert ? 1 : 0);
  if (shape || rows != rows_) {
    beginResetModel();
    rows_ = rows;
    cols_ = q.FieldCount();
    endResetModel();
  } else if (rows_ > 0) {
    emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
  }
  const int old = currentRow_;
  currentRow_ = q.State() == dsInsert ? rows_ - 1 : q.RecNo() - 1;
  if (old != currentRow_ && old >= 0 && old < rows_) emit headerDataChanged(Qt::Vertical, old, old);
  if (currentRow_ >= 0) emit headerDataChanged(Qt::Vertical, currentRow_, currentRow_);
}

void TTableModel::OnDataEvent(TDataEvent e) {
  TDataSet& q = ws_.ADOQuery1;
  if (e != deScroll) emit RowsChanged();
  if (e == deDataSetChange) {
    Resync();
    return;
  }
  const int rows = view_ ? view_->RecordCount() + (q.State() == dsInsert ? 1 : 0) : 0;
  if (rows != rows_) {
    Resync();
    return;
  }
  const int old = currentRow_;
  currentRow_ = q.State() == dsInsert ? rows_ - 1 : q.RecNo() - 1;
  if (old >= 0 && old < rows_ && old != currentRow_) {
    emit headerDataChanged(Qt::Vertical, old, old);
    if (e == deRecordChange) emit dataChanged(index(old, 0), index(old, cols_ - 1));
  }
  if (currentRow_ >= 0 && currentRow_ < rows_) {
    emit headerDataChanged(Qt::Vertical, currentRow_, currentRow_);
    if (e == deRecordChange) emit dataChanged(index(currentRow_, 0), index(currentRow_, cols_ - 1));
  }
}

int TTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int TTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

const TValue& TTableModel::CellValue(int row, int field) const {
  TDataSet& q = ws_.ADOQuery1;
  const bool editing = q.State() == dsEdit || q.State() == dsInsert;
  if (editing && row == currentRow_) return q.CurrentValue(field);
  static const TValue none;
  if (!view_ || row >= view_->RecordCount()) return none;
  if (view_->RecNo() != row + 1) view_->SetRecNo(row + 1);
  return view_->CurrentValue(field);
}

QString TTableModel::CellText(const TValue& v, TFieldType type) {
  if (ValueIsNull(v)) return {};
  if (type == ftMemo || type == ftFmtMemo) return QStringLiteral("(MEMO)");
  return ToQString(ValueToString(v, type));
}

QVariant TTableModel::data(const QModelIndex& index, int role) const {
  if (!attached_ || !index.isValid() || index.row() >= rows_ || index.column() >= cols_) return {};
  TDataSet& q = ws_.ADOQuery1;
  const int field = index.column();
  switch (role) {
    case Qt::DisplayRole: return CellText(CellValue(index.row(), field), q.Fields(field).DataType());
    case Qt::EditRole: {
      const TValue& v = CellValue(index.row(), field);
      return ValueIsNull(v) ? QString() : ToQString(ValueToString(v, q.Fields(field).DataType()));
    }
    case Qt::BackgroundRole: {
      QColor c = DefaultColor;
      emit CellColorWanted(field, index.row() + 1, c);
      return c;
    }
    default: return {};
  }
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || !attached_) return {};
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= cols_) return {};
    return ToQString(ws_.ADOQuery1.Fields(section).FieldName());
  }
  if (section != currentRow_) return QString();
  switch (ws_.ADOQuery1.State()) {
    case dsEdit: return QStringLiteral("I");
    case dsInsert: return QStringLiteral("*");
    default: return QStringLiteral("\u25B6");
  }
}

Qt::ItemFlags TTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const TFieldType t = ws_.ADOQuery1.Active() ? ws_.ADOQuery1.Fields(index.column()).DataType() : ftUnknown;
  if (t != ftMemo && t != ftFmtMemo && t != ftBlob && t != ftGraphic) f |= Qt::ItemIsEditable;
  return f;
}

bool TTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  rejected_ = false;
  if (role != Qt::EditRole || !attached_ || !index.isValid()) return false;
  TDataSet& q = ws_.ADOQuery1;
  const bool inserting = q.State() == dsInsert;
  if (!(inserting && index.row() == currentRow_) && q.RecNo() != index.row() + 1) {
    try {
      if (!ws_.PostRecord() || q.State() != dsBrowse) {
        rejected_ = true;
        return false;
      }
    } catch (const std::exception& e) {
      ErrorBox(e.what());
      rejected_ = true;
      return false;
    }
    if (index.row() >= q.RecordCount()) return false;
    q.SetRecNo(index.row() + 1);
  }
  const std::string text = ToStdString(value.toString());
  TField& f = q.Fields(index.column());
  if (q.State() == dsBrowse) {
    if (text == ToStdString(data(index, Qt::EditRole).toString())) return false;
    ws_.EditRecord();
  }
  try {
    // A logical cell takes its text by the table layer's one rule (T/Y true, F/N false).
    if (text.empty())
      f.Clear();
    else
      f.SetAsString(text);
  } catch (const std::exception& e) {
    ErrorBox(e.what());
    rejected_ = true;
    return false;
  }
  emit dataChanged(index, index);
  return true;
}

// --- the cell editor -------------------------------------------------------------

// Knows the cell editor that is open, so that a command can finish it first.
class TCellDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* e = QStyledItemDelegate::createEditor(parent, option, index);
    editor_ = e;
    return e;
  }
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    if (editor_ == editor) editor_ = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
  }
  QWidget* OpenEditor() const { return editor_; }

private:
  mutable QPointer<QWidget> editor_;
};

// --- the grid ------------------------------------------------------------------

TTableGrid::TTableGrid(TTableWorkspace& ws, QTableView* view, QObject* parent)
    : QObject(parent), ws_(ws), view_(view), model_(new TTableModel(ws, this)), delegate_(new TCellDelegate(this)) {
  view_->setModel(model_);
  view_->setItemDelegate(delegate_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // A double-click opens the record editor: it must not leave a cell editor behind it.
  view_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  view_->setWordWrap(false);
  view_->setShowGrid(true);
  view_->setCornerButtonEnabled(false);
  QHeaderView* v = view_->verticalHeader();
  v->setSectionResizeMode(QHeaderView::Fixed);
  v->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  v->setFixedWidth(view_->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 4);
  QHeaderView* h = view_->horizontalHeader();
  h->setSectionResizeMode(QHeaderView::Interactive);
  h->setSectionsClickable(true);
  h->setHighlightSections(false);
  connect(h, &QHeaderView::sectionClicked, this, [this](int section) { RxDBGrid1TitleBtnClick(section); });
  connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, &TTableGrid::CurrentChanged);
  connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex&) {
    if (OnDblClick) OnDblClick();
  });
  view_->installEventFilter(this);
  view_->viewport()->installEventFilter(this);
}

TTableGrid::~TTableGrid() {
  if (linkId_) ws_.ADOQuery1.RemoveDataLink(linkId_);
}

void TTableGrid::TableOpened() {
  model_->Attach();
  // The selection model is replaced with the model's reset only on setModel; keep ours connected.
  if (linkId_) ws_.ADOQuery1.RemoveDataLink(linkId_);
  linkId_ = ws_.ADOQuery1.AddDataLink([this](TDataSet&, TDataEvent) { FollowCursor(); });
  const QFontMetrics fm = view_->fontMetrics();
  for (size_t i = 0; i < ws_.FormFields.size(); ++i) {
    const int w = std::max(ws_.FormFields[i].Width, 4) * fm.horizontalAdvance(QLatin1Char('0')) + 12;
    view_->setColumnWidth(static_cast<int>(i), std::min(w, 400));
  }
  FollowCursor();
}

void TTableGrid::TableClosed() {
  if (linkId_) ws_.ADOQuery1.RemoveDataLink(linkId_);
  linkId_ = 0;
  model_->Detach();
}

void TTableGrid::FollowCursor() {
  if (!model_->Attached() || following_) return;
  TDataSet& q = ws_.ADOQuery1;
  const int row = q.State() == dsInsert ? model_->rowCount() - 1 : q.RecNo() - 1;
  if (row < 0 || row >= model_->rowCount()) return;
  const QModelIndex cur = view_->currentIndex();
  if (cur.isValid() && cur.row() == row) return;
  following_ = true;
  const int col = cur.isValid() ? cur.column() : 0;
  view_->selectionModel()->setCurrentIndex(model_->index(row, col), QItemSelectionModel::NoUpdate);
  view_->scrollTo(model_->index(row, col));
  following_ = false;
}

void TTableGrid::CurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (following_ || !current.isValid() || !model_->Attached()) return;
  if (previous.isValid() && previous.row() == current.row()) return;
  TDataSet& q = ws_.ADOQuery1;
  following_ = true;
  // Leaving an edited row posts it, as a data grid does.
  bool ok = true;
  if (q.State() == dsEdit || q.State() == dsInsert) {
    try {
      ok = ws_.PostRecord();
    } catch (const std::exception& e) {
      ok = false;
      ReportError(e.what());
    }
  }
  if (ws_.ADOQuery1.Active() && ws_.ADOQuery1.State() == dsBrowse && current.row() < q.RecordCount())
    q.SetRecNo(current.row() + 1);
  following_ = false;
  if (!ok) FollowCursor();
}

bool TTableGrid::FinishCellEdit() {
  QWidget* editor = delegate_->OpenEditor();
  if (!editor) return true;
  emit delegate_->commitData(editor);
  if (model_->EditRejected()) {
    editor->setFocus();
    return false;
  }
  emit delegate_->closeEditor(editor, QAbstractItemDelegate::NoHint);
  return true;
}

void TTableGrid::ReportError(const std::string& text) {
  if (OnError)
    OnError(text);
  else
    ErrorBox(text);
}

bool TTableGrid::eventFilter(QObject* watched, QEvent* e) {
  if (watched == view_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    TDataSet& q = ws_.ADOQuery1;
    if (k->key() == Qt::Key_Escape && q.Active() && (q.State() == dsEdit || q.State() == dsInsert)) {
      ws_.CancelRecord();
      model_->Resync();
      return true;
    }
    if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && q.Active() &&
        (q.State() == dsEdit || q.State() == dsInsert)) {
      try {
        ws_.PostRecord();
      } catch (const std::exception& ex) {
        ReportError(ex.what());
      }
      return true;
    }
  }
  return QObject::eventFilter(watched, e);
}

int TTableGrid::Col() const {
  const QModelIndex cur = view_->currentIndex();
  return cur.isValid() ? cur.column() + 1 : 1;
}

void TTableGrid::SetCol(int col) {
  if (!model_->Attached() || col < 1 || col > model_->columnCount()) return;
  const QModelIndex cur = view_->currentIndex();
  const int row = cur.isValid() ? cur.row() : std::max(0, ws_.ADOQuery1.RecNo() - 1);
  if (row >= model_->rowCount()) return;
  following_ = true;
  view_->selectionModel()->setCurrentIndex(model_->index(row, col - 1), QItemSelectionModel::NoUpdate);
  view_->scrollTo(model_->index(row, col - 1));
  following_ = false;
}

int TTableGrid::LeftCol() const {
  const int c = view_->columnAt(0);
  return c < 0 ? 1 : c + 1;
}

void TTableGrid::SetLeftCol(int col) {
  if (col < 1 || col > model_->columnCount()) return;
  view_->horizontalScrollBar()->setValue(view_->columnViewportPosition(col - 1) +
                                         view_->horizontalScrollBar()->value());
}

int TTableGrid::ColumnWidth(int field) const { return field < model_->columnCount() ? view_->columnWidth(field) : 0; }

void TTableGrid::SetColumnWidth(int field, int width) {
  if (field < model_->columnCount()) view_->setColumnWidth(field, width);
}

std::vector<int> TTableGrid::SelectedRecNos() const {
  std::vector<int> out;
  const QModelIndexList rows = view_->selectionModel()->selectedRows();
  for (const QModelIndex& i : rows) out.push_back(i.row() + 1);
  return out;
}

void TTableGrid::ClearSelection() { view_->selectionModel()->clearSelection(); }

void TTableGrid::SelectRecNos(const std::vector<int>& recNos) {
  QItemSelection sel;
  for (int r : recNos)
    if (r >= 1 && r <= model_->rowCount())
      sel.select(model_->index(r - 1, 0), model_->index(r - 1, model_->columnCount() - 1));
  view_->selectionModel()->select(sel, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TTableGrid::SetDatabaseFont(const std::string& family) {
  if (family.empty()) return;
  QFont f = view_->font();
  f.setFamily(ToQString(family));
  view_->setFont(f);
}

void TTableGrid::RxDBGrid1TitleBtnClick(int fieldIndex) {
  if (!ws_.IsOpen() || !FinishCellEdit()) return;
  if (ws_.ADOQuery1.State() == dsEdit || ws_.ADOQuery1.State() == dsInsert) {
    try {
      if (!ws_.PostRecord()) return;
    } catch (const std::exception& e) {
      ReportError(e.what());
      return;
    }
  }
  ws_.TitleClick(fieldIndex);
  model_->Resync();
}
