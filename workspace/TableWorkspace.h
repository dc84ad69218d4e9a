#pragma once
// The open table of the main window: one connection and one query, the
// per-field record-editor state, the sort, the view configuration, the
// snapshot that survives a failed batch update, and the find and duplicate
// scans. Plain C++: the window binds its controls through ITableHost.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/Connection.h"
#include "db/FieldKind.h"

// --- connection strings ---------------------------------------------------

extern const char* const DBaseDriverName;   // "{Microsoft DBase Driver (*.dbf)}"
extern const char* const AccessDriverName;  // "{Microsoft Access Driver (*.mdb)}"

struct TConnectionTarget {
  std::string DBQ, DefaultDir, Driver;
  std::string Table;  // empty: chosen later (Access) or none (SQL)
  std::string ConnectionString() const;
};

// Provider=MSDataShape;Extended Properties="DBQ=..;DefaultDir=..;Driver=.."
std::string BuildConnectionString(const std::string& dbq, const std::string& defaultDir, const std::string& driver);
// The folder of a path with a trailing "/" ("" for a bare name).
std::string FolderOfFile(const std::string& fileName);
std::string NameOfFile(const std::string& fileName);
TConnectionTarget DBaseFileTarget(const std::string& fileName);
TConnectionTarget AccessFileTarget(const std::string& fileName);
// typeIndex 0: the path is an Access file; anything else: a dBase folder.
TConnectionTarget SqlTarget(int typeIndex, const std::string& path);

// --- per-field state --------------------------------------------------------

struct TFormFieldsGroup {
  TFieldKind Kind = fkText;
  int32_t Width = 0;        // display width in characters
  int32_t ColumnWidth = 0;  // grid column width in pixels, 0 until known
  bool Template = false;
  bool Autocomplete = false;
  bool SkipTemplate = false;
  std::string TemplateValue;
  std::vector<std::string> PickList;  // the editor's drop-down list (kinds 0-2)
};
using TFormFieldsArray = std::vector<TFormFieldsGroup>;

constexpr int PickListLimit = 50;

// The text a value contributes to the pick list: kind 0 the field text, kind 1
// the float in general form, kind 2 the short date (and the time unless midnight).
std::string PickListText(TField& field, TFieldKind kind);
// Fresh per-field state for the open dataset, and the pick lists and widths from
// its first 50 records (the cursor ends after the records read). Null numbers and
// dates are left out, like empty texts.
void BuildFormFields(TDataSet& ds, TFormFieldsArray& fields);
void ScanPickLists(TDataSet& ds, TFormFieldsArray& fields);
// A posted value: put at the top unless empty or already listed; at most 50 kept.
void AddRecentValue(std::vector<std::string>& list, const std::string& text);

// "Record 3 of 120".
std::string RecordCounterText(int recNo, int recordCount);

// The current record (the edit buffer while editing) holds no value at all.
bool AllFieldsNull(TDataSet& ds);

struct TRecordActions {
  bool Apply = false, Restore = false, New = false, Delete = false;
  bool operator==(const TRecordActions&) const = default;
};
// The record editor's buttons for a dataset (null or closed: all off).
TRecordActions RecordActionsFor(const TDataSet* ds);

// The record editor's layout: label and editor places for a scroll box width.
struct TEditorPlace {
  int LabelX = 0, LabelY = 0;
  int EditorX = 0, EditorY = 0, EditorWidth = 0;
};
std::vector<TEditorPlace> LayoutRecordEditors(const TFormFieldsArray& fields, int scrollBoxWidth);

// --- sort and view configuration -----------------------------------------

std::string SortText(bool sortOn, const std::string& sortField, bool descending);

struct TSortState {
  std::string SortField;
  bool SortOn = false;
  bool Descending = false;
};

// DataBaseDir + the table name with its last extension replaced by ".cfg".
std::string TableConfigPath(const std::string& dataBaseDir, const std::string& tableName);
// False when the file cannot be created. Clears SortField first when the sort is off.
bool WriteTableConfig(const std::string& path, TSortState& sort, const std::vector<std::string>& fieldNames,
                      const TFormFieldsArray& fields);
// Silently does nothing for a missing file. Reading stops at a damaged spot, a
// pick list longer than 50, or the first stored name that is not the field's.
void ReadTableConfig(const std::string& path, TSortState& sort, const std::vector<std::string>& fieldNames,
                     TFormFieldsArray& fields);

// --- find and duplicates ----------------------------------------------------

// The fields offered by Find: every kind but boolean and memo.
std::vector<int> FindableFields(TDataSet& ds);
// Converts the value by the field's kind (throws EConvertError) and locates the first
// match, partial when including. True when found (the record becomes current).
bool FindRecord(TDataSet& ds, int fieldIndex, const std::string& value, bool including);

// Walks from the current record in view order. stopAtFirst: stops on the first
// record whose field repeats the one before it (true; it stays current). Otherwise
// every such record number goes into found and the walk runs to the end (false).
// onStep runs before each record is looked at.
bool DuplicateScan(TDataSet& ds, int fieldIndex, bool stopAtFirst, std::vector<int>* found,
                   const std::function<void()>& onStep = {});

// --- the workspace ----------------------------------------------------------

// What the window does for the table. Every method has a quiet default.
class ITableHost {
public:
  virtual ~ITableHost() = default;
  virtual void UpdateControls() {}       // command states of the main window
  virtual void UpdateRecordActions() {}  // the record editor's buttons
  virtual void ShowRecordCounter(const std::string& /*text*/) {}
  virtual void BeginBusy() {}  // hourglass
  virtual void EndBusy() {}
  virtual void TableOpened() {}  // grid shown, caption, font, focus...
  virtual void TableClosed() {}
  virtual void BuildEditors(TFormFieldsArray& /*fields*/) {}
  virtual void FreeEditors(TFormFieldsArray& /*fields*/) {}
  virtual void RelayoutEditors() {}
  virtual void PickListsChanged() {}
  // The grid.
  virtual int GridCol() const { return 0; }
  virtual void SetGridCol(int /*col*/) {}
  virtual int GridLeftCol() const { return 0; }
  virtual void SetGridLeftCol(int /*col*/) {}
  virtual int GridColumnWidth(int /*field*/) const { return 0; }
  virtual void SetGridColumnWidth(int /*field*/, int /*width*/) {}
  virtual std::vector<int> SelectedRows() const { return {}; }  // record numbers, in selection order
  virtual void ClearSelection() {}
  virtual void SelectRows(const std::vector<int>& /*recNos*/) {}
  virtual void ProcessOneMessage() {}
  // A value typed into a grid cell and not yet handed to the record goes in now,
  // before anything moves or adds a record. False when it was refused (the user
  // was told; what was typed stays to be mended).
  virtual bool FinishCellEdit() { return true; }
  virtual void ShowDatabasePage() { UpdateControls(); }
  // The delete confirmation: true for Yes; dontAsk gets the check box.
  virtual bool ConfirmDelete(const std::string& /*question*/, bool& dontAsk) {
    dontAsk = false;
    return true;
  }
  virtual bool ConfirmDeleteOption() const { return false; }
  virtual void SwitchOffDeleteConfirmation() {}
  virtual void SaveDataBaseDir(const std::string& /*dir*/) {}
  virtual void SaveSQLDataBase(const std::string& /*path*/) {}
  // What went wrong in a command on the table (one OK button).
  virtual void ShowError(const std::string& /*text*/) {}
  // What is wrong with the table just opened, which still opened (one OK button).
  virtual void ShowWarning(const std::string& /*text*/) {}
};

struct TFieldSnapshot {
  TValue Value;  // empty when null
  TFieldKind Kind = fkText;
  bool IsNull = true;
  bool Template = false, Autocomplete = false;
  std::vector<std::string> PickList;
};

struct TTableSnapshot {
  std::string TableName;
  std::string SortField;
  int32_t RecordCount = 0;
  int32_t RecNo = 0;
  int32_t GridCol = 0;
  int32_t GridLeftCol = 0;
  bool Filtered = false;
  bool Descending = false;
  std::vector<TFieldSnapshot> Fields;
};

// The rules the table's rows pass: the row filter and the highlight rules.
// Every method has a quiet default.
class ITableRowRules {
public:
  virtual ~ITableRowRules() = default;
  virtual bool UseFilter() const { return false; }
  virtual void CompileRowExpressions() {}  // before every open
};

class TTableWorkspace {
public:
  explicit TTableWorkspace(ITableHost* host = nullptr);
  ~TTableWorkspace();
  TTableWorkspace(const TTableWorkspace&) = delete;
  TTableWorkspace& operator=(const TTableWorkspace&) = delete;

  void SetHost(ITableHost* host) { host_ = host ? host : &quiet_; }
  void SetRowRules(ITableRowRules* rules) { rowRules_ = rules ? rules : &quietRules_; }

  TADOConnection ADOConnection1;
  TADOQuery ADOQuery1;
  TFormFieldsArray FormFields;
  TSortState Sort;
  std::string TableName;
  std::string DataBaseDir;
  std::string SQLDataBase;
  bool SQLQueryMode = false;
  bool DeleteStopped = false;
  // Set by the Add Table window while it updates in bulk: posts are not batched one by one.
  bool BulkUpdate = false;

  bool IsOpen() const { return ADOQuery1.Active(); }

  // The statement of the "Main" template for a table name.
  std::function<std::string(const std::string& tableName)> BuildTableSQL;

  // Throw EDatabaseError (and the like) to the caller, the table closed then.
  void OpenDBFFile(const std::string& fileName);
  // pickTable gets the user tables and returns the chosen one, or false for none.
  void OpenAccessFile(const std::string& fileName,
                      const std::function<bool(const std::vector<std::string>&, std::string&)>& pickTable);
  void OpenTableQuery();
  void ApplyTableSQL();
  // typeIndex 0 Access file, else dBase folder.
  void OpenSQL(int typeIndex, const std::string& path, const std::string& sql);
  void CloseTable();  // "Close Table"
  void CloseConnection();

  // Record operations of the grid and the record editor; errors of a read-only table
  // or of a failed batch update are handled here (false then). A new record whose
  // fields are all null is not posted: it is dropped.
  bool PostRecord();
  // Before the table closes or reopens: posts a changed record, cancels an
  // unchanged one. False when the post failed (the user was told).
  bool PostPending();
  void CancelRecord();
  // Posts or drops the pending record first; stays put when that fails.
  void AppendRecord();
  void EditRecord();
  void DeleteRecords();
  void DeleteCurrent();

  // Sorting.
  void TitleClick(int fieldIndex);
  void Descend();
  void Unsort();
  void ApplySortOrder();
  void ApplyColumnWidths();

  void SaveTableConfig();
  void LoadTableConfig();

  void SaveTableState();
  void RestoreTableState();
  void FreeTableState();

  // Find and duplicates. Find returns false when not found (the caller shows the box).
  bool Find(int fieldIndex, const std::string& value, bool including);
  // Both: nothing happens (false) without a sort on a present field. FindDuplicates
  // returns true when one was found; otherwise the walk is complete.
  bool SortFieldIndex(int& index);
  bool FindDuplicates(bool& found);
  bool SelectDuplicates();
  // Reopen keeping marks, pick lists, sort and column; applies a changed filter.
  void Reopen();

private:
  void HookEvents();
  void AfterOpen();
  void BeforeClose();
  void AfterClose();
  void AfterPost();
  void AfterDelete();
  void OpenQuery();
  void GoToFirstRecord();
  void ReportUnsaved(const std::vector<TValue>& values);
  std::string CurrentConfigPath() const;
  // Where the open table's view configuration was read from, and goes back to.
  std::string configPath_;
  std::vector<std::string> FieldNames();

  ITableHost quiet_;
  ITableHost* host_;
  ITableRowRules quietRules_;
  ITableRowRules* rowRules_ = &quietRules_;
  TTableSnapshot snapshot_;
  int rememberedRecNo_ = 0;
  int reappendDepth_ = 0;
  std::string batchError_;  // what the last failed batch update said
};
