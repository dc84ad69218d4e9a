#include "workspace/TableWorkspace.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/SysUtils.h"

const char* const DBaseDriverName = "{Microsoft DBase Driver (*.dbf)}";
const char* const AccessDriverName = "{Microsoft Access Driver (*.mdb)}";

// --- connection strings ---------------------------------------------------

std::string BuildConnectionString(const std::string& dbq, const std::string& defaultDir, const std::string& driver) {
  return "Provider=MSDataShape;Extended Properties=\"DBQ=" + dbq + ";DefaultDir=" + defaultDir + ";Driver=" + driver +
         "\"";
}

std::string TConnectionTarget::ConnectionString() const { return BuildConnectionString(DBQ, DefaultDir, Driver); }

std::string FolderOfFile(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string NameOfFile(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

TConnectionTarget DBaseFileTarget(const std::string& fileName) {
  TConnectionTarget t;
  t.DBQ = t.DefaultDir = FolderOfFile(fileName);
  t.Driver = DBaseDriverName;
  t.Table = NameOfFile(fileName);
  return t;
}

TConnectionTarget AccessFileTarget(const std::string& fileName) {
  TConnectionTarget t;
  t.DBQ = NameOfFile(fileName);
  t.DefaultDir = FolderOfFile(fileName);
  t.Driver = AccessDriverName;
  return t;
}

TConnectionTarget SqlTarget(int typeIndex, const std::string& path) {
  if (typeIndex == 0) return AccessFileTarget(path);
  TConnectionTarget t;
  t.DBQ = t.DefaultDir = path;
  t.Driver = DBaseDriverName;
  return t;
}

// --- per-field state --------------------------------------------------------

std::string PickListText(TField& field, TFieldKind kind) {
  return kind <= fkDateTime ? FieldValueText(field.DataSet(), field.Index()) : std::string();
}

void BuildFormFields(TDataSet& ds, TFormFieldsArray& fields) {
  fields.clear();
  fields.resize(static_cast<size_t>(ds.FieldCount()));
  for (int i = 0; i < ds.FieldCount(); ++i) {
    TField& fld = ds.Fields(i);
    TFormFieldsGroup& g = fields[static_cast<size_t>(i)];
    g.Kind = FieldKind(fld.DataType());
    g.Autocomplete = g.Kind <= fkDateTime;
    g.Template = false;
    g.Width = FieldDisplayWidth(g.Kind, fld);
    g.ColumnWidth = 0;
    g.TemplateValue.clear();
  }
}

void ScanPickLists(TDataSet& ds, TFormFieldsArray& fields) {
  ds.First();
  for (int n = 0; n < PickListLimit && !ds.Eof(); ++n) {
    for (int i = 0; i < ds.FieldCount() && i < static_cast<int>(fields.size()); ++i) {
      TFormFieldsGroup& g = fields[static_cast<size_t>(i)];
      if (g.Kind > fkDateTime) continue;
      TField& fld = ds.Fields(i);
      if (g.Kind != fkText && fld.IsNull()) continue;
      const std::string text = PickListText(fld, g.Kind);
      const int len = Utf8Length(text);
      if (len > g.Width) g.Width = len;
      if (g.Kind == fkText && text.empty()) continue;
      if (static_cast<int>(g.PickList.size()) < PickListLimit &&
          std::find(g.PickList.begin(), g.PickList.end(), text) == g.PickList.end())
        g.PickList.push_back(text);
    }
    ds.Next();
  }
}

void AddRecentValue(std::vector<std::string>& list, const std::string& text) {
  if (text.empty() || std::find(list.begin(), list.end(), text) != list.end()) return;
  list.insert(list.begin(), text);
  while (static_cast<int>(list.size()) > PickListLimit) list.pop_back();
}

bool AllFieldsNull(TDataSet& ds) {
  for (int i = 0; i < ds.FieldCount(); ++i)
    if (!ds.Fields(i).IsNull()) return false;
  return true;
}

std::string RecordCounterText(int recNo, int recordCount) {
  return "Record " + std::to_string(recNo) + " of " + std::to_string(recordCount);
}

TRecordActions RecordActionsFor(const TDataSet* ds) {
  TRecordActions a;
  if (!ds || !ds->Active()) return a;
  const bool editing = ds->State() == dsEdit || ds->State() == dsInsert;
  a.Apply = a.Restore = editing;
  a.New = !editing;
  a.Delete = !ds->IsEmpty();
  return a;
}

std::vector<TEditorPlace> LayoutRecordEditors(const TFormFieldsArray& fields, int scrollBoxWidth) {
  std::vector<TEditorPlace> places(fields.size());
  int x = 10, y = 10, rowHeight = 40;
  auto stretch = [&](size_t i) { places[i].EditorWidth = scrollBoxWidth - places[i].EditorX - 25; };
  for (size_t i = 0; i < fields.size(); ++i) {
    const int w = fields[i].Width * 8 + 10;
    if (i > 0 && x + w + 30 > scrollBoxWidth) {
      stretch(i - 1);
      x = 10;
      y += rowHeight;
      rowHeight = 40;
    }
    places[i] = {x, y, x, y + 12, w};
    if (fields[i].Kind == fkMemo) rowHeight = 109;
    x += w + 10;
  }
  if (!places.empty()) stretch(places.size() - 1);
  return places;
}

std::string SortText(bool sortOn, const std::string& sortField, bool descending) {
  if (!sortOn || sortField.empty()) return {};
  return sortField + (descending ? " DESC" : " ASC");
}

// --- find and duplicates ----------------------------------------------------

std::vector<int> FindableFields(TDataSet& ds) {
  std::vector<int> out;
  for (int i = 0; i < ds.FieldCount(); ++i) {
    const TFieldKind k = FieldKind(ds.Fields(i).DataType());
    if (k != fkBoolean && k != fkMemo) out.push_back(i);
  }
  return out;
}

bool FindRecord(TDataSet& ds, int fieldIndex, const std::string& value, bool including) {
  TField& fld = ds.Fields(fieldIndex);
  TValue key;
  switch (FieldKind(fld.DataType())) {
    case fkNumber: key = static_cast<double>(StrToFloat(value)); break;
    case fkDateTime: key = static_cast<double>(StrToDateTime(value)); break;
    default: key = value; break;
  }
  return ds.Locate(AnsiUpperCase(fld.FieldName()), key, including ? TLocateOptions{loPartialKey} : TLocateOptions{0});
}

namespace {

struct TRemembered {
  std::string Text;
  double Number = 0;
  bool Flag = false;
};

bool IsDuplicate(TField& f, TFieldKind kind, const TRemembered& r) {
  switch (kind) {
    case fkText: {
      const std::string t = f.AsString();
      return !t.empty() && AnsiLowerCase(t) == AnsiLowerCase(r.Text);
    }
    case fkNumber: return !f.IsNull() && f.AsFloat() == r.Number;
    case fkDateTime: return !f.IsNull() && f.AsDateTime() == r.Number;
    case fkBoolean: return !f.IsNull() && f.AsBoolean() == r.Flag;
    case fkMemo: return !f.IsNull() && f.AsString() == r.Text;
  }
  return false;
}

void Remember(TField& f, TFieldKind kind, TRemembered& r) {
  switch (kind) {
    case fkText:
    case fkMemo: r.Text = f.AsString(); break;
    case fkNumber: r.Number = f.AsFloat(); break;
    case fkDateTime: r.Number = f.AsDateTime(); break;
    case fkBoolean: r.Flag = f.AsBoolean(); break;
  }
}

}  // namespace

bool DuplicateScan(TDataSet& ds, int fieldIndex, bool stopAtFirst, std::vector<int>* found,
                   const std::function<void()>& onStep) {
  TField& f = ds.Fields(fieldIndex);
  const TFieldKind kind = FieldKind(f.DataType());
  TRemembered r;
  int last = 0;
  bool first = true;
  while (last < ds.RecNo() && !ds.Eof()) {
    if (onStep) onStep();
    if (!first && IsDuplicate(f, kind, r)) {
      if (stopAtFirst) return true;
      if (found) found->push_back(ds.RecNo());
    }
    Remember(f, kind, r);
    last = ds.RecNo();
    first = false;
    ds.Next();
  }
  return false;
}

// --- the workspace ----------------------------------------------------------

namespace {

// Suspends the bound controls and shows the hourglass for one scope.
class TBusy {
public:
  TBusy(TDataSet& ds, ITableHost& host) : ds_(ds), host_(host) {
    ds_.DisableControls();
    host_.BeginBusy();
  }
  ~TBusy() {
    ds_.EnableControls();
    host_.EndBusy();
  }

private:
  TDataSet& ds_;
  ITableHost& host_;
};

// What the user is told when a change cannot reach the table.
std::string ReadOnlyText(const std::string& reason) {
  return reason.empty() ? std::string("The table is read-only") : reason;
}

}  // namespace

TTableWorkspace::TTableWorkspace(ITableHost* host) : host_(host ? host : &quiet_) {
  ADOQuery1.SetConnection(&ADOConnection1);
  BuildTableSQL = [](const std::string& name) { return "SELECT * FROM \"" + name + "\""; };
  HookEvents();
}

TTableWorkspace::~TTableWorkspace() {
  // The window is going away: no host duties any more.
  host_ = &quiet_;
  ADOQuery1.BeforeClose = nullptr;
  ADOQuery1.AfterClose = nullptr;
  ADOQuery1.AfterPost = nullptr;
  ADOQuery1.AfterScroll = nullptr;
  ADOQuery1.AfterCancel = nullptr;
  ADOQuery1.Close();
}

void TTableWorkspace::HookEvents() {
  ADOQuery1.BeforeOpen = [this](TDataSet&) { rowRules_->CompileRowExpressions(); };
  ADOQuery1.AfterOpen = [this](TDataSet&) { AfterOpen(); };
  ADOQuery1.BeforeClose = [this](TDataSet&) { BeforeClose(); };
  ADOQuery1.AfterClose = [this](TDataSet&) { AfterClose(); };
  ADOQuery1.BeforeInsert = [this](TDataSet& ds) { rememberedRecNo_ = ds.RecNo(); };
  ADOQuery1.BeforeEdit = [this](TDataSet& ds) { rememberedRecNo_ = ds.RecNo(); };
  ADOQuery1.AfterInsert = [this](TDataSet&) {
    host_->UpdateControls();
    host_->UpdateRecordActions();
  };
  ADOQuery1.AfterEdit = ADOQuery1.AfterInsert;
  ADOQuery1.BeforePost = [](TDataSet& ds) {
    for (int i = 0; i < ds.FieldCount(); ++i) {
      TField& f = ds.Fields(i);
      if (FieldKind(f.DataType()) == fkBoolean && f.IsNull()) f.SetAsBoolean(false);
    }
  };
  // Also for the posts the dataset makes itself when it moves off an edited
  // record (Locate, sort, scrolling): each one reaches the file at once.
  ADOQuery1.AfterPost = [this](TDataSet&) { AfterPost(); };
  ADOQuery1.AfterScroll = [this](TDataSet& ds) {
    host_->ShowRecordCounter(RecordCounterText(ds.RecNo(), ds.RecordCount()));
  };
  // A new record given up: the counter shows the record the cursor is back on.
  ADOQuery1.AfterCancel = ADOQuery1.AfterScroll;
}

std::vector<std::string> TTableWorkspace::FieldNames() {
  std::vector<std::string> names;
  for (int i = 0; i < ADOQuery1.FieldCount(); ++i) names.push_back(ADOQuery1.Fields(i).FieldName());
  return names;
}

std::string TTableWorkspace::CurrentConfigPath() const { return TableConfigPath(DataBaseDir, TableName); }

void TTableWorkspace::AfterOpen() {
  ADOQuery1.DisableControls();
  struct TFinal {
    TTableWorkspace& w;
    ~TFinal() {
      w.LoadTableConfig();
      // The grid takes its first column widths from the field widths just read.
      w.host_->TableOpened();
      w.ADOQuery1.First();
      w.ADOQuery1.EnableControls();
      w.host_->UpdateRecordActions();
      w.host_->ShowRecordCounter(RecordCounterText(w.ADOQuery1.RecNo(), w.ADOQuery1.RecordCount()));
    }
  } final{*this};
  BuildFormFields(ADOQuery1, FormFields);
  host_->BuildEditors(FormFields);
  ScanPickLists(ADOQuery1, FormFields);
}

void TTableWorkspace::BeforeClose() { SaveTableConfig(); }

void TTableWorkspace::AfterClose() {
  configPath_.clear();
  SQLQueryMode = false;
  TableName.clear();
  Sort = TSortState{};
  // The next table opens in its own order, not this one's.
  ADOQuery1.SetSort({});
  ADOQuery1.SetFiltered(false);
  host_->ShowRecordCounter({});
  host_->FreeEditors(FormFields);
  FormFields.clear();
  host_->TableClosed();
  host_->UpdateControls();
  host_->UpdateRecordActions();
}

void TTableWorkspace::CloseConnection() {
  PostPending();
  ADOQuery1.Close();
  ADOConnection1.Close();
}

void TTableWorkspace::CloseTable() { CloseConnection(); }

void TTableWorkspace::OpenQuery() {
  TBusy busy(ADOQuery1, *host_);
  ADOQuery1.Open();
}

void TTableWorkspace::OpenDBFFile(const std::string& fileName) {
  const TConnectionTarget t = DBaseFileTarget(fileName);
  DataBaseDir = t.DefaultDir;
  host_->SaveDataBaseDir(DataBaseDir);
  CloseConnection();
  ADOConnection1.ConnectionString = t.ConnectionString();
  ADOConnection1.Open();
  TableName = t.Table;
  ADOQuery1.SetFiltered(rowRules_->UseFilter());
  OpenTableQuery();
}

void TTableWorkspace::OpenAccessFile(
    const std::string& fileName, const std::function<bool(const std::vector<std::string>&, std::string&)>& pickTable) {
  const TConnectionTarget t = AccessFileTarget(fileName);
  DataBaseDir = t.DefaultDir;
  host_->SaveDataBaseDir(DataBaseDir);
  CloseConnection();
  ADOConnection1.ConnectionString = t.ConnectionString();
  ADOConnection1.Open();
  std::vector<std::string> tables;
  ADOConnection1.GetTableNames(tables, false);
  std::string chosen;
  if (!pickTable || !pickTable(tables, chosen) || chosen.empty()) {
    ADOConnection1.Close();
    return;
  }
  TableName = chosen;
  ADOQuery1.SetFiltered(rowRules_->UseFilter());
  OpenTableQuery();
}

void TTableWorkspace::ApplyTableSQL() { ADOQuery1.SQL = BuildTableSQL(TableName); }

void TTableWorkspace::OpenTableQuery() {
  // The close duties clear the name: keep it across them.
  const std::string name = TableName;
  const bool filtered = ADOQuery1.Filtered();
  ADOQuery1.Close();
  TableName = name;
  ADOQuery1.SetFiltered(filtered);
  ApplyTableSQL();
  SQLQueryMode = false;
  OpenQuery();
  // A damaged table opens what is sound and says once what is wrong.
  std::string damage;
  for (const std::string& w : ADOQuery1.OpenWarnings()) damage += (damage.empty() ? "" : "\n") + w;
  if (!damage.empty()) host_->ShowWarning(damage);
  host_->UpdateControls();
  ApplyColumnWidths();
  GoToFirstRecord();
}

void TTableWorkspace::GoToFirstRecord() {
  // The stored sort is applied after the open: start at the first record of that order.
  if (IsOpen() && ADOQuery1.State() == dsBrowse) ADOQuery1.First();
}

void TTableWorkspace::OpenSQL(int typeIndex, const std::string& path, const std::string& sql) {
  SQLDataBase = path;
  host_->SaveSQLDataBase(path);
  PostPending();
  ADOQuery1.Close();
  host_->ShowDatabasePage();
  ADOConnection1.Close();
  ADOConnection1.ConnectionString = SqlTarget(typeIndex, path).ConnectionString();
  ADOConnection1.Open();
  ADOQuery1.SQL = sql;
  ADOQuery1.SetFiltered(rowRules_->UseFilter());
  SQLQueryMode = true;
  try {
    OpenQuery();
  } catch (...) {
    if (!ADOQuery1.Active()) SQLQueryMode = false;
    ApplyColumnWidths();
    throw;
  }
  ApplyColumnWidths();
  GoToFirstRecord();
  host_->UpdateControls();
}

// --- records ------------------------------------------------------------------

bool TTableWorkspace::PostPending() {
  if (!IsOpen()) return true;
  const bool typed = host_->FinishCellEdit();
  if (ADOQuery1.State() != dsEdit && ADOQuery1.State() != dsInsert) return typed;
  // A cell typed into the grid is shown as changed: closing must not drop it
  // silently. An untouched new or edited record is simply left.
  if (!ADOQuery1.Modified()) {
    ADOQuery1.Cancel();
    return typed;
  }
  try {
    return PostRecord() && typed;
  } catch (const std::exception& e) {
    host_->ShowError(e.what());
    return false;
  }
}

bool TTableWorkspace::PostRecord() {
  if (!IsOpen() || (ADOQuery1.State() != dsEdit && ADOQuery1.State() != dsInsert)) return true;
  if (ADOQuery1.ReadOnly()) {
    // Nothing can reach the file: say so, and reopen as after a failed update.
    const std::string why = ADOQuery1.ReadOnlyReason();
    ADOQuery1.Cancel();
    host_->ShowError(ReadOnlyText(why));
    SaveTableState();
    const int keepDepth = reappendDepth_;
    reappendDepth_ = 1000;  // no re-append: it would fail the same way
    RestoreTableState();
    reappendDepth_ = keepDepth;
    FreeTableState();
    return false;
  }
  if (ADOQuery1.State() == dsInsert && AllFieldsNull(ADOQuery1)) {
    // Nothing to write: a blank record never reaches the file.
    CancelRecord();
    return true;
  }
  ADOQuery1.Post();  // the AfterPost event writes the batch
  return true;
}

void TTableWorkspace::CancelRecord() {
  if (!IsOpen() || (ADOQuery1.State() != dsEdit && ADOQuery1.State() != dsInsert)) return;
  ADOQuery1.Cancel();
  if (rememberedRecNo_ > 0) ADOQuery1.SetRecNo(rememberedRecNo_);
  host_->UpdateControls();
  host_->UpdateRecordActions();
}

void TTableWorkspace::AppendRecord() {
  if (!IsOpen() || !host_->FinishCellEdit()) return;
  if (ADOQuery1.State() != dsBrowse && !PostRecord()) return;
  if (ADOQuery1.State() != dsBrowse) return;  // the post was refused: the record stays
  ADOQuery1.Append();
}

void TTableWorkspace::EditRecord() {
  if (!IsOpen()) return;
  if (ADOQuery1.State() == dsBrowse) ADOQuery1.Edit();
}

void TTableWorkspace::AfterPost() {
  if (BulkUpdate) return;
  SaveTableState();
  bool restored = false;
  try {
    ADOQuery1.UpdateBatch();
  } catch (const std::exception& e) {
    batchError_ = e.what();
    RestoreTableState();
    restored = true;
  } catch (...) {
    batchError_.clear();
    RestoreTableState();
    restored = true;
  }
  FreeTableState();
  if (!IsOpen()) return;
  bool relayout = false;
  for (int i = 0; i < ADOQuery1.FieldCount() && i < static_cast<int>(FormFields.size()); ++i) {
    TFormFieldsGroup& g = FormFields[static_cast<size_t>(i)];
    TField& f = ADOQuery1.Fields(i);
    if (g.Kind == fkText) {
      const int len = Utf8Length(f.AsString());
      if (len > g.Width) {
        g.Width = len;
        relayout = true;
      }
    }
    if (g.Kind <= fkDateTime && !f.IsNull() && !restored) AddRecentValue(g.PickList, PickListText(f, g.Kind));
  }
  if (relayout) host_->RelayoutEditors();
  host_->PickListsChanged();
  host_->UpdateControls();
  host_->UpdateRecordActions();
}

void TTableWorkspace::AfterDelete() {
  SaveTableState();
  try {
    ADOQuery1.UpdateBatch();
  } catch (...) {
    DeleteStopped = true;
    RestoreTableState();
    FreeTableState();
    throw;
  }
  FreeTableState();
}

void TTableWorkspace::DeleteCurrent() {
  if (!IsOpen() || ADOQuery1.IsEmpty()) return;
  if (ADOQuery1.State() == dsInsert) {
    CancelRecord();
    return;
  }
  if (ADOQuery1.ReadOnly()) {
    host_->ShowError(ReadOnlyText(ADOQuery1.ReadOnlyReason()));
    DeleteStopped = true;
    return;
  }
  if (ADOQuery1.State() == dsEdit) ADOQuery1.Cancel();
  ADOQuery1.Delete();
  AfterDelete();
}

void TTableWorkspace::DeleteRecords() {
  if (!IsOpen() || !host_->FinishCellEdit()) return;
  std::vector<int> rows = host_->SelectedRows();
  const bool multi = rows.size() > 1;
  if (host_->ConfirmDeleteOption()) {
    bool dontAsk = false;
    if (!host_->ConfirmDelete(multi ? "Delete all selected records?" : "Delete Record?", dontAsk)) return;
    if (dontAsk) host_->SwitchOffDeleteConfirmation();
  }
  {
    TBusy busy(ADOQuery1, *host_);
    try {
      if (!rows.empty()) {
        DeleteStopped = false;
        // Deleting shifts the record numbers after it: go from the back.
        std::vector<int> order = rows;
        std::sort(order.begin(), order.end(), std::greater<int>());
        order.erase(std::unique(order.begin(), order.end()), order.end());
        for (int recNo : order) {
          if (!IsOpen() || recNo > ADOQuery1.RecordCount()) continue;
          ADOQuery1.SetRecNo(recNo);
          DeleteCurrent();
          if (DeleteStopped) break;
        }
        host_->ClearSelection();
      } else {
        DeleteCurrent();
      }
    } catch (const std::exception& e) {
      host_->ShowError(e.what());
    }
  }
  host_->ShowDatabasePage();
  host_->UpdateRecordActions();
}

// --- sort -------------------------------------------------------------------------

void TTableWorkspace::TitleClick(int fieldIndex) {
  if (!IsOpen() || fieldIndex < 0 || fieldIndex >= ADOQuery1.FieldCount()) return;
  TField& f = ADOQuery1.Fields(fieldIndex);
  if (f.DataType() == ftMemo) return;
  Sort.SortField = f.FieldName();
  Sort.SortOn = true;
  ApplySortOrder();
  host_->ShowDatabasePage();
}

void TTableWorkspace::Descend() {
  Sort.Descending = !Sort.Descending;
  ApplySortOrder();
}

void TTableWorkspace::Unsort() {
  Sort.SortField.clear();
  Sort.SortOn = false;
  ApplySortOrder();
  host_->ShowDatabasePage();
}

void TTableWorkspace::ApplySortOrder() {
  if (IsOpen()) {
    const std::string text = SortText(Sort.SortOn, Sort.SortField, Sort.Descending);
    try {
      ADOQuery1.SetSort(text);
    } catch (const EDatabaseError&) {
      // A stored sort field the table no longer has: natural order.
      Sort = TSortState{};
      ADOQuery1.SetSort({});
    }
    // The record stays; its number in the new order does not.
    host_->ShowRecordCounter(RecordCounterText(ADOQuery1.RecNo(), ADOQuery1.RecordCount()));
  }
  host_->UpdateControls();
}

void TTableWorkspace::ApplyColumnWidths() {
  host_->ProcessOneMessage();
  if (!IsOpen()) return;
  if (!SQLQueryMode)
    for (size_t i = 0; i < FormFields.size(); ++i)
      if (FormFields[i].ColumnWidth > 0) host_->SetGridColumnWidth(static_cast<int>(i), FormFields[i].ColumnWidth);
  ApplySortOrder();
}

void TTableWorkspace::SaveTableConfig() {
  if (SQLQueryMode || TableName.empty() || !IsOpen()) return;
  for (size_t i = 0; i < FormFields.size(); ++i) {
    const int w = host_->GridColumnWidth(static_cast<int>(i));
    if (w > 0) FormFields[i].ColumnWidth = w;
  }
  // The folder setting may already name the next table's folder.
  WriteTableConfig(configPath_.empty() ? CurrentConfigPath() : configPath_, Sort, FieldNames(), FormFields);
}

void TTableWorkspace::LoadTableConfig() {
  configPath_.clear();
  if (SQLQueryMode || TableName.empty()) return;
  configPath_ = CurrentConfigPath();
  ReadTableConfig(configPath_, Sort, FieldNames(), FormFields);
}

// --- the snapshot -------------------------------------------------------------------

void TTableWorkspace::SaveTableState() {
  snapshot_ = TTableSnapshot{};
  snapshot_.TableName = TableName;
  for (int i = 0; i < ADOQuery1.FieldCount(); ++i) {
    TField& f = ADOQuery1.Fields(i);
    TFieldSnapshot s;
    if (i < static_cast<int>(FormFields.size())) {
      const TFormFieldsGroup& g = FormFields[static_cast<size_t>(i)];
      s.Template = g.Template;
      s.Autocomplete = g.Autocomplete;
      if (g.Kind <= fkDateTime) s.PickList = g.PickList;
    }
    s.Kind = FieldKind(f.DataType());
    s.IsNull = f.IsNull();
    if (!s.IsNull) {
      switch (s.Kind) {
        case fkText:
        case fkMemo: s.Value = f.AsString(); break;
        case fkNumber: s.Value = f.Value(); break;  // wide integers stay exact
        case fkDateTime: s.Value = static_cast<double>(f.AsDateTime()); break;
        case fkBoolean: s.Value = f.AsBoolean(); break;
      }
    }
    snapshot_.Fields.push_back(std::move(s));
  }
  snapshot_.Filtered = ADOQuery1.Filtered();
  snapshot_.RecordCount = ADOQuery1.RecordCount();
  snapshot_.RecNo = ADOQuery1.RecNo();
  snapshot_.SortField = Sort.SortField;
  snapshot_.GridCol = host_->GridCol();
  snapshot_.GridLeftCol = host_->GridLeftCol();
  snapshot_.Descending = Sort.Descending;
}

void TTableWorkspace::ReportUnsaved(const std::vector<TValue>& values) {
  std::string text = "The record could not be saved. Its values were:";
  for (size_t i = 0; i < values.size() && i < snapshot_.Fields.size(); ++i) {
    if (ValueIsNull(values[i])) continue;
    const std::string name = i < static_cast<size_t>(ADOQuery1.FieldCount())
                                 ? ADOQuery1.Fields(static_cast<int>(i)).FieldName()
                                 : std::to_string(i + 1);
    // Integers are held as such, not as doubles: let the value conversion spell each.
    const std::string shown = ValueToString(values[i], snapshot_.Fields[i].Kind == fkDateTime ? ftDateTime : ftUnknown);
    text += "\n" + name + ": " + shown;
  }
  // Why the file refused it, so the user can fix the value.
  if (!batchError_.empty()) text += "\n\n" + batchError_;
  host_->ShowError(text);
}

void TTableWorkspace::RestoreTableState() {
  const TTableSnapshot s = snapshot_;
  const bool sqlMode = SQLQueryMode;
  ADOQuery1.Close();
  TableName = s.TableName;
  SQLQueryMode = sqlMode;
  ADOQuery1.SetFiltered(s.Filtered);
  try {
    if (!sqlMode) ApplyTableSQL();
    OpenQuery();
  } catch (const std::exception& e) {
    host_->ShowError(e.what());
    return;
  }
  if (!IsOpen()) return;
  for (size_t i = 0; i < FormFields.size() && i < s.Fields.size(); ++i) {
    FormFields[i].Template = s.Fields[i].Template;
    FormFields[i].Autocomplete = s.Fields[i].Autocomplete;
    if (FormFields[i].Kind <= fkDateTime) FormFields[i].PickList = s.Fields[i].PickList;
  }
  Sort.SortField = s.SortField;
  Sort.Descending = s.Descending;
  Sort.SortOn = !s.SortField.empty();
  ApplyColumnWidths();
  host_->SetGridCol(s.GridCol);
  host_->SetGridLeftCol(s.GridLeftCol);
  host_->ClearSelection();
  const int count = ADOQuery1.RecordCount();
  if (count > 0) ADOQuery1.SetRecNo(s.RecNo > count || s.RecNo < 1 ? count : s.RecNo);
  host_->UpdateRecordActions();
  host_->RelayoutEditors();
  host_->PickListsChanged();
  if (count < s.RecordCount) {
    std::vector<TValue> values;
    for (const TFieldSnapshot& f : s.Fields) values.push_back(f.IsNull ? TValue{} : f.Value);
    if (reappendDepth_ > 0) {
      // Tried once already: show what was typed rather than loop.
      ReportUnsaved(values);
      return;
    }
    ++reappendDepth_;
    try {
      ADOQuery1.Append();
      for (size_t i = 0; i < values.size() && i < static_cast<size_t>(ADOQuery1.FieldCount()); ++i)
        if (!ValueIsNull(values[i])) ADOQuery1.Fields(static_cast<int>(i)).SetValue(values[i]);
      PostRecord();
    } catch (const std::exception&) {
      if (ADOQuery1.Active() && ADOQuery1.State() != dsBrowse) ADOQuery1.Cancel();
      snapshot_ = s;
      ReportUnsaved(values);
    }
    --reappendDepth_;
  }
}

void TTableWorkspace::FreeTableState() { snapshot_ = TTableSnapshot{}; }

// --- find, duplicates, reopen ------------------------------------------------------

bool TTableWorkspace::Find(int fieldIndex, const std::string& value, bool including) {
  if (!IsOpen()) return false;
  if (!FindRecord(ADOQuery1, fieldIndex, value, including)) return false;
  host_->SetGridCol(fieldIndex + 1);
  return true;
}

bool TTableWorkspace::SortFieldIndex(int& index) {
  if (!IsOpen() || !Sort.SortOn) return false;
  TField* f = ADOQuery1.FindField(Sort.SortField);
  if (!f) return false;
  index = f->Index();
  return true;
}

bool TTableWorkspace::FindDuplicates(bool& found) {
  int field = 0;
  if (!SortFieldIndex(field)) return false;
  found = false;
  {
    TBusy busy(ADOQuery1, *host_);
    const int start = ADOQuery1.RecNo();
    found = DuplicateScan(ADOQuery1, field, true, nullptr);
    if (!found) ADOQuery1.SetRecNo(start);
    host_->SetGridCol(field + 1);
  }
  return true;
}

bool TTableWorkspace::SelectDuplicates() {
  int field = 0;
  if (!SortFieldIndex(field)) return false;
  host_->ClearSelection();
  std::vector<int> rows;
  {
    TBusy busy(ADOQuery1, *host_);
    const int start = ADOQuery1.RecNo();
    DuplicateScan(ADOQuery1, field, false, &rows);
    ADOQuery1.SetRecNo(start);
    host_->SetGridCol(field + 1);
  }
  host_->SelectRows(rows);
  return true;
}

void TTableWorkspace::Reopen() {
  struct TKept {
    bool Template, Autocomplete;
    std::vector<std::string> PickList;
  };
  std::vector<TKept> kept;
  for (const TFormFieldsGroup& g : FormFields) kept.push_back({g.Template, g.Autocomplete, g.PickList});
  const TSortState sort = Sort;
  const int gridCol = host_->GridCol();
  host_->BeginBusy();
  struct TEnd {
    TTableWorkspace& w;
    ~TEnd() {
      w.ApplyColumnWidths();
      w.host_->ShowDatabasePage();
      w.host_->EndBusy();
      w.host_->UpdateRecordActions();
      w.host_->UpdateControls();
    }
  } end{*this};
  const std::string name = TableName;
  const bool sqlMode = SQLQueryMode;
  PostPending();
  ADOQuery1.Close();
  ADOQuery1.SetFiltered(rowRules_->UseFilter());
  TableName = name;
  SQLQueryMode = sqlMode;
  try {
    OpenQuery();
  } catch (...) {
    TableName.clear();
    SQLQueryMode = false;
    throw;
  }
  if (!IsOpen()) return;
  for (size_t i = 0; i < FormFields.size() && i < kept.size(); ++i) {
    FormFields[i].Template = kept[i].Template;
    FormFields[i].Autocomplete = kept[i].Autocomplete;
    if (FormFields[i].Kind <= fkDateTime) FormFields[i].PickList = kept[i].PickList;
  }
  Sort.SortField = sort.SortField;
  Sort.Descending = sort.Descending;
  Sort.SortOn = !Sort.SortField.empty();
  ApplySortOrder();
  host_->SetGridCol(gridCol);
  host_->RelayoutEditors();
  host_->PickListsChanged();
}
