#pragma once
// The dataset: a client-side cursor over rows held in memory, with
// batch-optimistic updates. Posts and deletes are cached until UpdateBatch
// hands them to the table's store (the driver) in the order they were made.
// Clones share the rows and have their own cursor, sort and filter.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "db/ValueConvert.h"
#include "platform/FieldTypes.h"
#include "platform/SysUtils.h"
#include "toolkit/FieldSource.h"

// Every failure of the data-access layer; the message is meant for the user.
class EDatabaseError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TFieldDef {
  std::string Name;
  TFieldType DataType = ftUnknown;
  int Size = 0;       // characters for text fields, else 0 (or the source's width)
  int Precision = 0;  // decimals of numeric fields
};

// Where UpdateBatch writes. A read-only store refuses Post and Delete at once.
class TTableStore {
public:
  virtual ~TTableStore() = default;
  // Empty when the table can be written, else the user-readable reason.
  virtual std::string ReadOnlyReason() const = 0;
  // Each call either writes the whole record or leaves the table as it was (and throws).
  // original holds the values the record had when it was read: fields whose value is
  // the same in both were not edited.
  virtual void UpdateRecord(int64_t sourceRecord, const std::vector<TValue>& original,
                            const std::vector<TValue>& values) = 0;
  virtual int64_t AppendRecord(const std::vector<TValue>& values) = 0;  // new source record number
  // Empty when the file can hold the values the user changed (original: as read, empty
  // for a new record), else why not. Checked at Post, so the record stays in edit.
  virtual std::string CheckRecord(const std::vector<TValue>& /*original*/, const std::vector<TValue>& /*values*/) const {
    return {};
  }
  virtual void DeleteRecord(int64_t sourceRecord) = 0;
};

// What a driver hands to a dataset when it opens.
struct TTableData {
  std::vector<TFieldDef> Fields;
  std::vector<std::string> Rows;  // each packed by PackRow
  std::vector<int64_t> SourceRecords;  // per row; empty means 0, 1, 2...
  std::unique_ptr<TTableStore> Store;  // null: read-only
  std::string ReadOnlyReason;          // used when Store is null
  std::vector<std::string> Warnings;   // what is wrong with a table that still opened
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;

// What a bound control hears (a grid, the record editor).
enum TDataEvent { deDataSetChange, deRecordChange, deScroll };

class TDataSet;
struct TRowSet;

class TField {
public:
  TField(TDataSet* owner, int index) : owner_(owner), index_(index) {}
  const std::string& FieldName() const;
  TFieldType DataType() const;
  int Size() const;
  int Precision() const;
  int Index() const { return index_; }
  TDataSet& DataSet() const { return *owner_; }

  bool IsNull() const;
  TValue Value() const;
  // Read by the rules of db/ValueConvert.h (null reads as "", 0, false; a text that
  // does not convert throws EConvertError).
  std::string AsString() const;
  int32_t AsInteger() const;
  int64_t AsLargeInt() const;
  double AsFloat() const;
  bool AsBoolean() const;
  TDateTime AsDateTime() const;

  // Only in edit or insert state. A text that does not convert throws EConvertError
  // and leaves the value unchanged.
  void SetValue(const TValue& v);
  void SetAsString(const std::string& s);
  void SetAsInteger(int64_t v);
  void SetAsFloat(double v);
  void SetAsBoolean(bool v);
  void SetAsDateTime(TDateTime v);
  void Clear();

private:
  TDataSet* owner_;
  int index_;
};

class TDataSet : public IFieldSource {
public:
  using TNotify = std::function<void(TDataSet&)>;
  using TFilterRecord = std::function<void(TDataSet&, bool& accept)>;
  using TDataLink = std::function<void(TDataSet&, TDataEvent)>;

  TDataSet();
  ~TDataSet() override;
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // Open on rows from a driver; runs BeforeOpen, AfterOpen, AfterScroll.
  void OpenData(TTableData data);
  void Close();  // BeforeClose, AfterClose; unsent changes are dropped
  bool Active() const { return state_ != dsInactive; }
  TDataSetState State() const { return state_; }

  // Shares the source's rows (and its batch); own cursor, sort and filter: unsorted, on
  // the first row, filtered as this dataset's own Filtered and OnFilterRecord say (set
  // them before or after cloning). Runs no events of the source.
  void Clone(TDataSet& source);

  // Fields.
  int FieldCount() const override;
  TField& Fields(int index);
  TField& FieldByName(const std::string& name);  // throws "Field 'X' not found"
  TField* FindField(const std::string& name);    // case-insensitive; null when absent
  int FieldIndex(const std::string& name) const;  // -1 when absent
  const std::vector<TFieldDef>& FieldDefs() const;

  // Cursor.
  int RecNo() const;  // 1-based over visible rows; -1 inserting or empty
  void SetRecNo(int recNo);  // clamped to 1..RecordCount
  int RecordCount() const;
  bool IsEmpty() const { return RecordCount() == 0; }
  bool Eof() const;
  bool Bof() const;
  void First();
  void Last();
  void Next();
  void Prior();
  int MoveBy(int distance);  // returns the distance moved
  bool Locate(const std::string& fieldName, const TValue& value, TLocateOptions options);

  // Editing.
  void Append();
  void Insert();  // the new row joins the end of the table, like Append
  void Edit();    // on an empty dataset it appends
  // Into the batch; throws for a read-only table, or (cancelling) when a clone deleted the
  // edited record, or (staying in edit) when the file cannot hold a value.
  void Post();
  void Cancel();
  void Delete();  // into the batch; throws for a read-only table
  bool Modified() const { return modified_; }
  void UpdateBatch();  // writes every cached change; throws the store's message
  int PendingUpdates() const;
  bool ReadOnly() const;
  std::string ReadOnlyReason() const;
  // What the driver found wrong when it opened the table (one user message each).
  const std::vector<std::string>& OpenWarnings() const;

  // View.
  void SetSort(const std::string& sort);  // "" or "NAME ASC" / "NAME DESC"; throws for a bad field
  const std::string& Sort() const { return sort_; }
  void SetFiltered(bool on);
  bool Filtered() const { return filtered_; }
  TFilterRecord OnFilterRecord;

  TNotify BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TNotify BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TNotify BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TNotify BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;

  // Bound controls: told of changes unless controls are disabled; EnableControls
  // back to zero sends one deDataSetChange.
  int AddDataLink(TDataLink link);
  void RemoveDataLink(int id);
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

  // IFieldSource: the current record, read by the same rules as TField's As...
  std::string FieldName(int index) const override;
  TFieldType FieldDataType(int index) const override;
  bool FieldIsNull(int index) const override;
  int32_t FieldAsInteger(int index) const override;
  double FieldAsFloat(int index) const override;
  bool FieldAsBoolean(int index) const override;
  std::string FieldAsString(int index) const override;
  TDateTime FieldAsDateTime(int index) const override;

  // The current record's value (the edit buffer while editing).
  const TValue& CurrentValue(int index) const;
  void SetCurrentValue(int index, const TValue& v);

private:
  friend class TField;
  void CheckActive() const;
  void CheckBrowseMode();
  void SyncView() const;
  void RebuildView(int keepRow) const;
  bool RowAccepted(int row) const;
  int CurrentRow() const;
  void DoScroll(int newPos, bool fireAlways);
  void Notify(TDataEvent e);
  void Fire(const TNotify& n) { if (n) n(*this); }
  void CreateFields();
  void ResetCursor();

  std::shared_ptr<TRowSet> rows_;
  std::vector<std::unique_ptr<TField>> fields_;
  TDataSetState state_ = dsInactive;
  // The visible rows, in view order (indices into the shared rows).
  mutable std::vector<uint32_t> view_;
  mutable uint64_t viewVersion_ = 0;
  mutable int pos_ = -1;  // index into view_
  mutable bool bof_ = true, eof_ = true;
  mutable int filterRow_ = -1;  // row shown to OnFilterRecord
  mutable std::vector<TValue> cache_;  // the unpacked row last read
  mutable int cacheRow_ = -1;
  mutable uint64_t cacheVersion_ = 0;
  int insertFromPos_ = -1;
  int editRow_ = -1;  // the row being edited (a clone may move or delete rows meanwhile)
  std::vector<TValue> buffer_;  // edit/insert buffer
  bool modified_ = false;
  std::string sort_;
  int sortField_ = -1;
  bool sortDesc_ = false;
  bool filtered_ = false;
  int disableCount_ = 0;
  bool changedWhileDisabled_ = false;
  std::vector<std::pair<int, TDataLink>> links_;
  int nextLinkId_ = 1;
};

// Rows are held packed, a few bytes per value, to keep large tables small.
std::string PackRow(const std::vector<TValue>& values);
std::vector<TValue> UnpackRow(const std::string& packed, size_t fieldCount);

// The grid's order of text (a title click), which the SQL engine's text columns
// collate by as well: the locale's comparison without regard to case. TextSortKey
// folds a text once; keys compare byte for byte in that order.
std::string TextSortKey(const std::string& s);
int CompareSortText(const std::string& a, const std::string& b);

// The same kind and the same value (text byte for byte).
bool SameValue(const TValue& a, const TValue& b);
// The order of two values of a field (null first); text by the locale, with or without case.
int CompareValues(const TValue& a, const TValue& b, TFieldType type, bool caseInsensitive);
