#pragma once
// The table commands of the main window: binds the table workspace to the
// grid, the status bar, the record editor and the table dialogs, and holds the
// handlers the menus and tool buttons call (OpenDB0Click, ExecSQL0Click,
// Find0Click...). The main window creates one and forwards to it.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workspace/AppSettings.h"
#include "workspace/FrameInterfaces.h"
#include "workspace/TableWorkspace.h"
#include "workspace/sqlset.h"

class QLabel;
class QTableView;
class QWidget;
class TAddDbfForm;
class TDelForm;
class TEditDB;
class TFindForm;
class TRestructForm;
class TSQLForm;
class TSelTabForm;
class TTableGrid;

// The table commands' dialogs, made by app/; a command whose dialog is not
// given does nothing.
struct TTableDialogs {
  TDelForm* Delete = nullptr;
  TFindForm* Find = nullptr;
  TSelTabForm* SelectTable = nullptr;  // an Access file's table
  TRestructForm* Restructure = nullptr;
  TAddDbfForm* AddTable = nullptr;
};

class TTableUi : public QObject, public ITableHost, public ITableAccess {
  Q_OBJECT
public:
  // workspace: the table shown, and settings: its options; both outlive this object.
  TTableUi(TTableWorkspace& workspace, TAppSettings& settings, QWidget* window, QTableView* grid, QLabel* statusPanel,
           QObject* parent = nullptr);
  ~TTableUi() override;

  // The table shown, for the table dialogs.
  TTableWorkspace& Workspace() const { return ws_; }
  TSQLSet SQLSet1;
  TTableGrid* Grid() const { return grid_; }
  TEditDB* EditForm() const;
  TSQLForm* SqlForm() const;

  // Menu and tool-button handlers.
  void OpenDB0Click();
  void OpenDBFFile(const std::string& FileName) override;
  void OpenAccessFile(const std::string& FileName) override;
  void ExecSQL0Click();
  void CloseTable0Click();
  void AddRec0Click();
  void EditRec0Click();
  void DeleteRec0Click();
  void RxDBGrid1DblClick();
  void RxDBGrid1TitleBtnClick(int field);
  void Descend0Click();
  void Unsort0Click();
  void Find0Click();
  void Unique0Click();
  void SelectDublicates1Click();
  void Reopen0Click();
  // "Create DBF...", "Restructure/Save As DBF..." and "Add Table...".
  void NewDatabase1Click();
  void Restructure0Click();
  void AddDBF1Click();
  void SaveTableConfig() override { ws_.SaveTableConfig(); }
  bool PostPending() override { return ws_.PostPending(); }

  // What command enabling and the caption read.
  bool TableOpen() const override { return ws_.IsOpen(); }
  bool TableEmpty() const override { return !ws_.IsOpen() || ws_.ADOQuery1.IsEmpty(); }
  bool SortOn() const override { return ws_.Sort.SortOn; }
  std::string SortText() const override { return ::SortText(ws_.Sort.SortOn, ws_.Sort.SortField, ws_.Sort.Descending); }
  std::string TableName() const override { return ws_.TableName; }
  bool SQLQueryMode() const override { return ws_.SQLQueryMode; }

  TTableDialogs Dialogs;
  // The sorted column's colour: an index of the sixteen highlight colours.
  int SortColorSlot() const;

  // The file choosers (dialogs by default; tests replace them). "" when cancelled.
  std::function<std::string(const std::string& caption, const std::string& filter, const std::string& dir)>
      GetOpenFileName;
  std::function<bool(const std::vector<std::string>& tables, std::string& chosen)> PickTable;

  // ITableHost
  void UpdateControls() override;
  void UpdateRecordActions() override;
  void ShowRecordCounter(const std::string& text) override;
  void BeginBusy() override;
  void EndBusy() override;
  void TableOpened() override;
  void TableClosed() override;
  void BuildEditors(TFormFieldsArray& fields) override;
  void FreeEditors(TFormFieldsArray& fields) override;
  void RelayoutEditors() override;
  void PickListsChanged() override;
  int GridCol() const override;
  void SetGridCol(int col) override;
  int GridLeftCol() const override;
  void SetGridLeftCol(int col) override;
  int GridColumnWidth(int field) const override;
  void SetGridColumnWidth(int field, int width) override;
  std::vector<int> SelectedRows() const override;
  void ClearSelection() override;
  void SelectRows(const std::vector<int>& recNos) override;
  void ProcessOneMessage() override;
  bool FinishCellEdit() override;
  void ShowDatabasePage() override;
  bool ConfirmDelete(const std::string& question, bool& dontAsk) override;
  bool ConfirmDeleteOption() const override;
  void SwitchOffDeleteConfirmation() override;
  void SaveDataBaseDir(const std::string& dir) override;
  void SaveSQLDataBase(const std::string& path) override;
  void ShowError(const std::string& text) override;
  void ShowWarning(const std::string& text) override;

signals:
  // The main window's command states follow the table.
  void CommandsChanged();
  // After the grid showed a newly opened table, and after it hid a closed one:
  // the caption, the recipient list, the withdrawal lists follow.
  void Opened();
  void Closed();
  // A command wants the Database page in front.
  void DatabasePageWanted();

private:
  void Report(const std::exception& e);

  TTableWorkspace& ws_;
  // The options the table reads: confirmation, sort colour, font.
  TAppSettings& settings_;
  TAppSettings::TSubscription sortColorChanged_;
  QWidget* window_;
  QTableView* view_;
  QLabel* status_;
  TTableGrid* grid_;
  QPointer<TEditDB> edit_;
  QPointer<TSQLForm> sql_;
  int busy_ = 0;
};
