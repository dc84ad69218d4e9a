#pragma once
// Add Table: appending the rows of another table (a dBase file or a table of an
// Access database) to the open table, each field of the open table mapped to a
// source field or to nothing, values converted by the kinds of both fields, all
// rows written by one batch update at the end. The window binds its combos and
// progress bar to TAddTableSession.

#include <functional>
#include <string>
#include <vector>

#include "db/Connection.h"
#include "db/FieldKind.h"

enum class TAddSourceKind { None, DBase, Access };

// By the file's extension, compared in lower case: ".dbf", ".mdb", else None.
TAddSourceKind AddSourceKindOf(const std::string& file);

// Where the mapping's controls of field i go.
struct TAddTableRowLayout {
  int NameLeft = 15, NameTop = 0;
  int EqualLeft = 120, EqualTop = 0;
  int ComboLeft = 150, ComboTop = 0;
};
TAddTableRowLayout AddTableRowLayout(int fieldIndex);

// The combo's items: an empty first item, then every source field in source order.
std::vector<std::string> AddTableComboItems(TDataSet& source);
// Per field of the target, the preselected item: the source field of the same name
// (without regard to case), else 0 (the empty item).
std::vector<int> AddTablePreselection(TDataSet& target, TDataSet& source);

// Assigns a source value to a field of the open table, converted by the field's
// kind and the source field's type. False when the value is null or does not
// convert (the field stays as it was).
bool AssignConverted(TField& target, TFieldType sourceType, const TValue& value);

// What the window shows while rows are added; every member may be unset.
struct TAddTableProgress {
  int Maximum = 100;
  std::function<void(int position)> SetPosition;
  std::function<void(const std::string& text)> SetStatus;
  std::function<void()> Repaint;
  std::function<void(bool busy)> Busy;
};

struct TAddTableResult {
  int Added = 0;
  int Skipped = 0;  // rows in which no field received a value
};

// The append loop: per source row a new row of target with the mapped fields
// (mappedSource[i]: the source field name for target field i, "" for none); a
// row left all null is cancelled. The progress moves only in steps above 3. One
// UpdateBatch writes every row; it throws the store's message when that fails.
TAddTableResult AppendMappedRows(TDataSet& target, TDataSet& source, const std::vector<std::string>& mappedSource,
                                 const TAddTableProgress& progress);

// The window's source and mapping, from the command to the window's hiding.
class TAddTableSession {
public:
  TAddTableSession();
  ~TAddTableSession();

  // Connects to the source file; None for another extension (nothing done).
  // Throws EDatabaseError when the file cannot be opened.
  TAddSourceKind Connect(const std::string& file);
  // The Access database's user tables, for the table-choice window.
  std::vector<std::string> TableNames();
  // Opens "SELECT * FROM "table"" (for a dBase file the table is the file's name).
  // Throws EDatabaseError.
  void OpenSource(const std::string& table);
  // The dBase file's table name after Connect.
  const std::string& DefaultTable() const { return defaultTable_; }
  bool SourceEmpty() { return !source_.Active() || source_.IsEmpty(); }
  TADOQuery& Source() { return source_; }

  // FormShow: the items and the preselection for the target's fields.
  void BuildMapping(TDataSet& target);
  const std::vector<std::string>& ComboItems() const { return items_; }
  // Per target field, the chosen item (the window keeps it in step with its combos).
  std::vector<int>& Selection() { return selection_; }

  // "Add": the append loop with the chosen mapping.
  TAddTableResult Add(TDataSet& target, const TAddTableProgress& progress);
  // FormHide, "Cancel", or the command stopping: the source is closed and disconnected.
  void Disconnect();

private:
  TADOConnection connection_;
  TADOQuery source_;
  std::string defaultTable_;
  std::vector<std::string> items_;
  std::vector<int> selection_;
};
