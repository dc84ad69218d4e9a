#pragma once
// The data grid of the "Database" page: a table model over the open query and
// the behaviour of RxDBGrid1 (title-button sort, record indicator, in-place
// editing posted on leaving the row, multi-row selection, cell colours).
//
// The model reads cells through a clone of the query that follows its sort and
// filter, so painting moves no cursor of the query and touches only the rows
// the view asks for.

#include <QAbstractTableModel>
#include <QColor>
#include <QObject>
#include <functional>
#include <memory>

#include "workspace/TableWorkspace.h"

class QTableView;

class TTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit TTableModel(TTableWorkspace& ws, QObject* parent = nullptr);
  ~TTableModel() override;

  // Follows the query from its open to its close.
  void Attach();
  void Detach();
  bool Attached() const { return attached_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  QColor DefaultColor;

  // The record shown in row (0-based) as the evaluator reads fields: the
  // query's edit buffer for the row being edited, else the model's own cursor
  // moved there. Null for a row that is not there.
  IFieldSource* RowSource(int row);

  // The text a cell shows for a value.
  static QString CellText(const TValue& v, TFieldType type);

  // Tells the view that the query changed (rows, order, values).
  void Resync();

  // The last value handed in by the grid's cell editor was refused (the user was told).
  bool EditRejected() const { return rejected_; }

signals:
  // A cell's colour: field index, the row's record number; a listener may set
  // the background, later listeners over earlier ones.
  void CellColorWanted(int field, int recNo, QColor& background) const;
  // The rows' values, order or filter changed: colours worked out per row are stale.
  void RowsChanged();

private:
  const TValue& CellValue(int row, int field) const;
  void OnDataEvent(TDataEvent e);

  TTableWorkspace& ws_;
  std::unique_ptr<TDataSet> view_;  // the clone the cells are read from
  bool attached_ = false;
  int linkId_ = 0;
  int rows_ = 0, cols_ = 0;
  std::string sort_;
  bool filtered_ = false;
  int currentRow_ = -1;
  bool rejected_ = false;
};

class TCellDelegate;

class TTableGrid : public QObject {
  Q_OBJECT
public:
  TTableGrid(TTableWorkspace& ws, QTableView* view, QObject* parent = nullptr);
  ~TTableGrid() override;

  QTableView* View() const { return view_; }
  TTableModel* Model() const { return model_; }

  // Open and close of the query.
  void TableOpened();
  void TableClosed();

  // Column numbers as the program counts them: 0 is the record indicator, field i is i + 1.
  int Col() const;
  void SetCol(int col);
  int LeftCol() const;
  void SetLeftCol(int col);
  int ColumnWidth(int field) const;
  void SetColumnWidth(int field, int width);
  std::vector<int> SelectedRecNos() const;
  void ClearSelection();
  void SelectRecNos(const std::vector<int>& recNos);
  void SetDatabaseFont(const std::string& family);

  // A cell editor that is open hands its text to the record and closes. False when
  // the value was refused: the editor stays open with what was typed.
  bool FinishCellEdit();

  // RxDBGrid1TitleBtnClick, and the double-click of the grid (which opens the
  // record editor, not a cell editor).
  void RxDBGrid1TitleBtnClick(int fieldIndex);
  std::function<void()> OnDblClick;
  // Tell about a failure of a post started by the grid (the error box by default).
  std::function<void(const std::string&)> OnError;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void CurrentChanged(const QModelIndex& current, const QModelIndex& previous);
  void FollowCursor();
  void ReportError(const std::string& text);

  TTableWorkspace& ws_;
  QTableView* view_;
  TTableModel* model_;
  TCellDelegate* delegate_;
  int linkId_ = 0;
  bool following_ = false;
};
