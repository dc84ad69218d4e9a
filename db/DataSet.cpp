#include "db/DataSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

struct TRowSet {
  enum : uint8_t { rsClean, rsModified, rsInserted, rsDeleted, rsGone };
  std::vector<TFieldDef> fields;
  std::vector<std::string> rows;
  std::vector<int64_t> source;
  std::vector<uint8_t> status;
  std::vector<uint32_t> pending;  // rows with cached changes, in the order of their first change
  std::unordered_map<uint32_t, std::string> original;  // modified rows as they were read
  std::unique_ptr<TTableStore> store;
  std::string readOnlyReason;
  std::vector<std::string> warnings;
  uint64_t version = 1;

  bool Visible(size_t row) const { return status[row] != rsDeleted && status[row] != rsGone; }
};

// ---- packed rows -----------------------------------------------------------

namespace {

enum : uint8_t { tNull, tInt, tFloat, tFalse, tTrue, tString };

void PutVarint(std::string& out, uint64_t v) {
  while (v >= 0x80) {
    out += static_cast<char>((v & 0x7F) | 0x80);
    v >>= 7;
  }
  out += static_cast<char>(v);
}

uint64_t GetVarint(const std::string& in, size_t& pos) {
  uint64_t v = 0;
  int shift = 0;
  while (pos < in.size() && shift < 64) {
    uint8_t b = static_cast<uint8_t>(in[pos++]);
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) break;
    shift += 7;
  }
  return v;
}

std::string UpperText(const std::string& s) { return AnsiUpperCase(s); }

}  // namespace

std::string PackRow(const std::vector<TValue>& values) {
  std::string out;
  for (const TValue& v : values) {
    switch (v.index()) {
      case 0: out += static_cast<char>(tNull); break;
      case 1: {
        out += static_cast<char>(tInt);
        int64_t i = std::get<int64_t>(v);
        out.append(reinterpret_cast<const char*>(&i), 8);
        break;
      }
      case 2: {
        out += static_cast<char>(tFloat);
        double d = std::get<double>(v);
        out.append(reinterpret_cast<const char*>(&d), 8);
        break;
      }
      case 3: out += static_cast<char>(std::get<bool>(v) ? tTrue : tFalse); break;
      case 4: {
        const std::string& s = std::get<std::string>(v);
        out += static_cast<char>(tString);
        PutVarint(out, s.size());
        out += s;
        break;
      }
    }
  }
  return out;
}

std::vector<TValue> UnpackRow(const std::string& in, size_t fieldCount) {
  std::vector<TValue> out(fieldCount);
  size_t pos = 0;
  for (size_t i = 0; i < fieldCount && pos < in.size(); ++i) {
    uint8_t tag = static_cast<uint8_t>(in[pos++]);
    switch (tag) {
      case tInt: {
        int64_t v = 0;
        if (pos + 8 <= in.size()) std::memcpy(&v, in.data() + pos, 8);
        pos += 8;
        out[i] = v;
        break;
      }
      case tFloat: {
        double d = 0;
        if (pos + 8 <= in.size()) std::memcpy(&d, in.data() + pos, 8);
        pos += 8;
        out[i] = d;
        break;
      }
      case tFalse: out[i] = false; break;
      case tTrue: out[i] = true; break;
      case tString: {
        size_t n = static_cast<size_t>(GetVarint(in, pos));
        n = std::min(n, in.size() - std::min(pos, in.size()));
        out[i] = in.substr(pos, n);
        pos += n;
        break;
      }
      default: break;
    }
  }
  return out;
}

// ---- value helpers ---------------------------------------------------------

std::string TextSortKey(const std::string& s) { return AnsiLowerCase(s); }

int CompareSortText(const std::string& a, const std::string& b) {
  const int c = TextSortKey(a).compare(TextSortKey(b));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool SameValue(const TValue& a, const TValue& b) {
  if (a.index() != b.index()) return false;
  if (const double* x = std::get_if<double>(&a)) {
    const double y = std::get<double>(b);
    return *x == y || (std::isnan(*x) && std::isnan(y));
  }
  return a == b;
}

int CompareValues(const TValue& a, const TValue& b, TFieldType type, bool caseInsensitive) {
  const bool an = ValueIsNull(a), bn = ValueIsNull(b);
  if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
  if (IsTextFieldType(type) || a.index() == 4 || b.index() == 4) {
    const std::string sa = ValueToString(a, type), sb = ValueToString(b, type);
    int c = caseInsensitive ? CompareSortText(sa, sb) : AnsiCompareStr(sa, sb);
    if (c == 0 && !caseInsensitive) c = sa.compare(sb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (a.index() == 1 && b.index() == 1) {
    int64_t x = std::get<int64_t>(a), y = std::get<int64_t>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  const double x = ValueToFloat(a), y = ValueToFloat(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// ---- fields ----------------------------------------------------------------

const std::string& TField::FieldName() const { return owner_->rows_->fields[static_cast<size_t>(index_)].Name; }
TFieldType TField::DataType() const { return owner_->rows_->fields[static_cast<size_t>(index_)].DataType; }
int TField::Size() const { return owner_->rows_->fields[static_cast<size_t>(index_)].Size; }
int TField::Precision() const { return owner_->rows_->fields[static_cast<size_t>(index_)].Precision; }
bool TField::IsNull() const { return ValueIsNull(owner_->CurrentValue(index_)); }
TValue TField::Value() const { return owner_->CurrentValue(index_); }
std::string TField::AsString() const { return ValueToString(owner_->CurrentValue(index_), DataType()); }
int64_t TField::AsLargeInt() const { return ValueToLargeInt(owner_->CurrentValue(index_)); }
int32_t TField::AsInteger() const { return ValueToInteger(owner_->CurrentValue(index_)); }
double TField::AsFloat() const { return ValueToFloat(owner_->CurrentValue(index_)); }
bool TField::AsBoolean() const { return ValueToBoolean(owner_->CurrentValue(index_)); }
TDateTime TField::AsDateTime() const { return ValueToDateTime(owner_->CurrentValue(index_)); }

void TField::SetValue(const TValue& v) { owner_->SetCurrentValue(index_, v); }
void TField::SetAsInteger(int64_t v) { SetValue(ValueForField(v, DataType())); }
void TField::SetAsFloat(double v) { SetValue(ValueForField(v, DataType())); }
void TField::SetAsBoolean(bool v) { SetValue(ValueForField(v, DataType())); }
void TField::SetAsDateTime(TDateTime v) {
  if (IsTextFieldType(DataType())) return SetValue(ValueToString(v, ftDateTime));
  SetValue(ValueForField(v, DataType()));
}
void TField::SetAsString(const std::string& s) { SetValue(ValueForField(s, DataType())); }
void TField::Clear() { SetValue(TValue()); }

// ---- dataset ---------------------------------------------------------------

TDataSet::TDataSet() = default;
TDataSet::~TDataSet() = default;

void TDataSet::CheckActive() const {
  if (state_ == dsInactive) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CreateFields() {
  fields_.clear();
  for (size_t i = 0; i < rows_->fields.size(); ++i) fields_.push_back(std::make_unique<TField>(this, static_cast<int>(i)));
  cacheRow_ = -1;
}

void TDataSet::OpenData(TTableData data) {
  if (Active()) Close();
  Fire(BeforeOpen);
  auto rs = std::make_shared<TRowSet>();
  rs->fields = std::move(data.Fields);
  rs->rows = std::move(data.Rows);
  rs->source = std::move(data.SourceRecords);
  if (rs->source.size() != rs->rows.size()) {
    rs->source.resize(rs->rows.size());
    for (size_t i = 0; i < rs->source.size(); ++i) rs->source[i] = static_cast<int64_t>(i);
  }
  rs->status.assign(rs->rows.size(), TRowSet::rsClean);
  rs->store = std::move(data.Store);
  rs->readOnlyReason = data.ReadOnlyReason;
  rs->warnings = std::move(data.Warnings);
  if (!rs->store && rs->readOnlyReason.empty()) rs->readOnlyReason = "Table is read-only";
  rows_ = std::move(rs);
  CreateFields();
  state_ = dsBrowse;
  sortField_ = -1;
  if (!sort_.empty()) {
    try {
      SetSort(sort_);
    } catch (const EDatabaseError&) {
      sort_.clear();
    }
  }
  ResetCursor();
  Fire(AfterOpen);
  Fire(AfterScroll);
  Notify(deDataSetChange);
}

void TDataSet::ResetCursor() {
  RebuildView(-1);
  pos_ = view_.empty() ? -1 : 0;
  bof_ = true;
  eof_ = view_.empty();
}

void TDataSet::Close() {
  if (!Active()) return;
  Fire(BeforeClose);
  state_ = dsInactive;
  buffer_.clear();
  modified_ = false;
  fields_.clear();
  rows_.reset();
  view_.clear();
  pos_ = -1;
  bof_ = eof_ = true;
  cacheRow_ = -1;
  Fire(AfterClose);
  Notify(deDataSetChange);
}

void TDataSet::Clone(TDataSet& source) {
  source.CheckActive();
  if (Active()) Close();
  rows_ = source.rows_;
  CreateFields();
  state_ = dsBrowse;
  sort_.clear();
  sortField_ = -1;
  ResetCursor();
}

int TDataSet::FieldCount() const { return rows_ ? static_cast<int>(rows_->fields.size()) : 0; }

TField& TDataSet::Fields(int index) {
  CheckActive();
  if (index < 0 || index >= FieldCount()) throw EDatabaseError("Field index out of range: " + std::to_string(index));
  return *fields_[static_cast<size_t>(index)];
}

int TDataSet::FieldIndex(const std::string& name) const {
  if (!rows_) return -1;
  for (size_t i = 0; i < rows_->fields.size(); ++i)
    if (SameText(rows_->fields[i].Name, name)) return static_cast<int>(i);
  return -1;
}

TField* TDataSet::FindField(const std::string& name) {
  int i = FieldIndex(name);
  return i < 0 ? nullptr : fields_[static_cast<size_t>(i)].get();
}

TField& TDataSet::FieldByName(const std::string& name) {
  TField* f = FindField(name);
  if (!f) throw EDatabaseError("Field '" + name + "' not found");
  return *f;
}

const std::vector<TFieldDef>& TDataSet::FieldDefs() const {
  static const std::vector<TFieldDef> none;
  return rows_ ? rows_->fields : none;
}

// The view follows changes that a clone made to the shared rows.
void TDataSet::SyncView() const {
  if (rows_ && viewVersion_ != rows_->version) RebuildView(CurrentRow());
}

bool TDataSet::RowAccepted(int row) const {
  if (!filtered_ || !OnFilterRecord) return true;
  bool accept = true;
  filterRow_ = row;
  try {
    OnFilterRecord(const_cast<TDataSet&>(*this), accept);
  } catch (...) {
    filterRow_ = -1;
    throw;
  }
  filterRow_ = -1;
  return accept;
}

void TDataSet::RebuildView(int keepRow) const {
  const int oldPos = pos_;
  view_.clear();
  if (!rows_) return;
  view_.reserve(rows_->rows.size());
  for (size_t r = 0; r < rows_->rows.size(); ++r)
    if (rows_->Visible(r) && RowAccepted(static_cast<int>(r))) view_.push_back(static_cast<uint32_t>(r));
  if (sortField_ >= 0 && sortField_ < static_cast<int>(rows_->fields.size())) {
    const TFieldType type = rows_->fields[static_cast<size_t>(sortField_)].DataType;
    std::vector<std::pair<TValue, uint32_t>> keys;
    keys.reserve(view_.size());
    for (uint32_t r : view_) {
      std::vector<TValue> vals = UnpackRow(rows_->rows[r], static_cast<size_t>(sortField_) + 1);
      keys.emplace_back(std::move(vals[static_cast<size_t>(sortField_)]), r);
    }
    const bool desc = sortDesc_;
    if (IsTextFieldType(type)) {
      // Each key folded once rather than at every comparison.
      for (auto& k : keys)
        if (!ValueIsNull(k.first)) k.first = TextSortKey(ValueToString(k.first, type));
      std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        const bool an = ValueIsNull(a.first), bn = ValueIsNull(b.first);
        int c;
        if (an || bn)
          c = an == bn ? 0 : (an ? -1 : 1);
        else
          c = std::get<std::string>(a.first).compare(std::get<std::string>(b.first));
        return desc ? c > 0 : c < 0;
      });
    } else {
      std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        int c = CompareValues(a.first, b.first, type, true);
        return desc ? c > 0 : c < 0;
      });
    }
    for (size_t i = 0; i < keys.size(); ++i) view_[i] = keys[i].second;
  }
  viewVersion_ = rows_->version;
  pos_ = -1;
  if (keepRow >= 0)
    for (size_t i = 0; i < view_.size(); ++i)
      if (view_[i] == static_cast<uint32_t>(keepRow)) {
        pos_ = static_cast<int>(i);
        break;
      }
  if (pos_ < 0 && !view_.empty()) pos_ = std::clamp(oldPos, 0, static_cast<int>(view_.size()) - 1);
  if (view_.empty()) bof_ = eof_ = true;
}

int TDataSet::CurrentRow() const {
  if (!rows_ || pos_ < 0 || pos_ >= static_cast<int>(view_.size())) return -1;
  return static_cast<int>(view_[static_cast<size_t>(pos_)]);
}

const TValue& TDataSet::CurrentValue(int index) const {
  static const TValue null;
  if (!rows_ || index < 0 || index >= FieldCount()) return null;
  if ((state_ == dsEdit || state_ == dsInsert) && filterRow_ < 0) return buffer_[static_cast<size_t>(index)];
  int row;
  if (filterRow_ >= 0) {
    row = filterRow_;
  } else {
    SyncView();
    row = CurrentRow();
  }
  if (row < 0) return null;
  if (row != cacheRow_ || cacheVersion_ != rows_->version) {
    cache_ = UnpackRow(rows_->rows[static_cast<size_t>(row)], rows_->fields.size());
    cacheRow_ = row;
    cacheVersion_ = rows_->version;
  }
  return cache_[static_cast<size_t>(index)];
}

void TDataSet::SetCurrentValue(int index, const TValue& v) {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) throw EDatabaseError("Dataset not in edit or insert mode");
  if (index < 0 || index >= FieldCount()) throw EDatabaseError("Field index out of range");
  buffer_[static_cast<size_t>(index)] = v;
  modified_ = true;
  Notify(deRecordChange);
}

int TDataSet::RecordCount() const {
  if (!rows_) return 0;
  SyncView();
  return static_cast<int>(view_.size());
}

int TDataSet::RecNo() const {
  if (!rows_ || state_ == dsInsert) return -1;
  SyncView();
  return view_.empty() ? -1 : pos_ + 1;
}

bool TDataSet::Eof() const {
  if (!rows_) return true;
  SyncView();
  return eof_ || view_.empty();
}

bool TDataSet::Bof() const {
  if (!rows_) return true;
  SyncView();
  return bof_ || view_.empty();
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) {
    if (modified_)
      Post();
    else
      Cancel();
  }
}

void TDataSet::DoScroll(int newPos, bool fireAlways) {
  SyncView();
  const int count = static_cast<int>(view_.size());
  if (count == 0) {
    pos_ = -1;
    return;
  }
  newPos = std::clamp(newPos, 0, count - 1);
  if (newPos == pos_ && !fireAlways) return;
  Fire(BeforeScroll);
  pos_ = newPos;
  Fire(AfterScroll);
  Notify(deScroll);
}

void TDataSet::First() {
  CheckBrowseMode();
  DoScroll(0, true);
  bof_ = true;
  eof_ = view_.empty();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoScroll(static_cast<int>(view_.size()) - 1, true);
  eof_ = true;
  bof_ = view_.empty();
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  SyncView();
  const int count = static_cast<int>(view_.size());
  if (count == 0) {
    bof_ = eof_ = true;
    return 0;
  }
  const int64_t target = static_cast<int64_t>(pos_) + distance;
  const int newPos = static_cast<int>(std::clamp<int64_t>(target, 0, count - 1));
  const int moved = newPos - pos_;
  if (distance != 0) {
    eof_ = target > count - 1;
    bof_ = target < 0;
  }
  DoScroll(newPos, false);
  return moved;
}

void TDataSet::SetRecNo(int recNo) {
  CheckBrowseMode();
  DoScroll(recNo - 1, false);
  bof_ = false;
  eof_ = false;
}

bool TDataSet::Locate(const std::string& fieldName, const TValue& value, TLocateOptions options) {
  CheckBrowseMode();
  const int fi = FieldIndex(fieldName);
  if (fi < 0) throw EDatabaseError("Field '" + fieldName + "' not found");
  SyncView();
  const TFieldType type = rows_->fields[static_cast<size_t>(fi)].DataType;
  const bool ci = options & loCaseInsensitive;
  const bool partial = options & loPartialKey;
  const bool text = IsTextFieldType(type);
  TValue key = value;
  if (!text && key.index() == 4) {
    // A key typed as text is read as a value of the field's type.
    const std::string k = Trim(std::get<std::string>(key));
    TDateTime dt;
    long double d;
    if (type == ftBoolean) {
      bool b = false;
      if (!TryTextToBoolean(k, b)) return false;
      key = b;
    } else if (type == ftDate || type == ftTime || type == ftDateTime || type == ftTimeStamp) {
      if (!TryStrToDateTime(k, dt) && !TryStrToDate(k, dt) && !TryStrToTime(k, dt)) return false;
      key = dt;
    } else {
      if (!TryStrToFloat(k, d)) return false;
      key = static_cast<double>(d);
    }
  }
  std::string keyText = text ? ValueToString(key, type) : std::string();
  if (ci) keyText = UpperText(keyText);
  for (size_t i = 0; i < view_.size(); ++i) {
    std::vector<TValue> vals = UnpackRow(rows_->rows[view_[i]], static_cast<size_t>(fi) + 1);
    const TValue& v = vals[static_cast<size_t>(fi)];
    bool match;
    if (ValueIsNull(key) || ValueIsNull(v)) {
      match = ValueIsNull(key) && ValueIsNull(v);
    } else if (text) {
      std::string s = ValueToString(v, type);
      if (ci) s = UpperText(s);
      match = partial ? s.compare(0, keyText.size(), keyText) == 0 : s == keyText;
    } else {
      match = CompareValues(v, key, type, false) == 0;
    }
    if (match) {
      DoScroll(static_cast<int>(i), true);
      bof_ = eof_ = false;
      return true;
    }
  }
  return false;
}

bool TDataSet::ReadOnly() const { return !rows_ || !rows_->store; }

std::string TDataSet::ReadOnlyReason() const {
  if (!rows_) return "Cannot perform this operation on a closed dataset";
  if (!rows_->store) return rows_->readOnlyReason;
  return rows_->store->ReadOnlyReason();
}

const std::vector<std::string>& TDataSet::OpenWarnings() const {
  static const std::vector<std::string> none;
  return rows_ ? rows_->warnings : none;
}

void TDataSet::Append() {
  CheckBrowseMode();
  Fire(BeforeInsert);
  Fire(BeforeScroll);
  insertFromPos_ = pos_;
  buffer_.assign(rows_->fields.size(), TValue());
  state_ = dsInsert;
  modified_ = false;
  Fire(AfterInsert);
  Fire(AfterScroll);
  Notify(deDataSetChange);
}

void TDataSet::Insert() { Append(); }

void TDataSet::Edit() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (RecordCount() == 0) return Append();
  Fire(BeforeEdit);
  const int row = CurrentRow();
  buffer_ = UnpackRow(rows_->rows[static_cast<size_t>(row)], rows_->fields.size());
  editRow_ = row;
  state_ = dsEdit;
  modified_ = false;
  Fire(AfterEdit);
  Notify(deRecordChange);
}

void TDataSet::Post() {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) return;
  const std::string reason = ReadOnlyReason();
  if (!reason.empty()) throw EDatabaseError(reason);
  if (state_ == dsEdit && (editRow_ < 0 || static_cast<size_t>(editRow_) >= rows_->rows.size() ||
                           !rows_->Visible(static_cast<size_t>(editRow_)))) {
    Cancel();
    throw EDatabaseError("The record being edited has been deleted");
  }
  Fire(BeforePost);
  {
    const std::vector<TValue> original =
        state_ == dsEdit ? UnpackRow(rows_->rows[static_cast<size_t>(editRow_)], rows_->fields.size()) : std::vector<TValue>();
    if (const std::string why = rows_->store->CheckRecord(original, buffer_); !why.empty()) throw EDatabaseError(why);
  }
  SyncView();
  TRowSet& rs = *rows_;
  int row;
  if (state_ == dsInsert) {
    row = static_cast<int>(rs.rows.size());
    rs.rows.push_back(PackRow(buffer_));
    rs.source.push_back(-1);
    rs.status.push_back(TRowSet::rsInserted);
    rs.pending.push_back(static_cast<uint32_t>(row));
  } else {
    row = editRow_;
    if (rs.status[static_cast<size_t>(row)] == TRowSet::rsClean) {
      rs.original[static_cast<uint32_t>(row)] = rs.rows[static_cast<size_t>(row)];
      rs.status[static_cast<size_t>(row)] = TRowSet::rsModified;
      rs.pending.push_back(static_cast<uint32_t>(row));
    }
    rs.rows[static_cast<size_t>(row)] = PackRow(buffer_);
  }
  const bool inserted = state_ == dsInsert;
  ++rs.version;
  state_ = dsBrowse;
  buffer_.clear();
  modified_ = false;
  if (sortField_ < 0 && !filtered_) {
    // Natural order: the view changes only at its end.
    if (inserted) view_.push_back(static_cast<uint32_t>(row));
    viewVersion_ = rs.version;
    if (inserted) pos_ = static_cast<int>(view_.size()) - 1;
  } else {
    RebuildView(row);
  }
  eof_ = bof_ = false;
  Fire(AfterPost);
  Notify(deDataSetChange);
}

void TDataSet::Cancel() {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) return;
  Fire(BeforeCancel);
  const bool inserting = state_ == dsInsert;
  state_ = dsBrowse;
  buffer_.clear();
  modified_ = false;
  if (inserting) {
    SyncView();
    if (!view_.empty()) pos_ = std::clamp(insertFromPos_, 0, static_cast<int>(view_.size()) - 1);
  }
  Fire(AfterCancel);
  Notify(deDataSetChange);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert) return Cancel();
  if (state_ == dsEdit) Cancel();
  SyncView();
  if (view_.empty()) throw EDatabaseError("Cannot perform this operation on an empty dataset");
  const std::string reason = ReadOnlyReason();
  if (!reason.empty()) throw EDatabaseError(reason);
  Fire(BeforeDelete);
  TRowSet& rs = *rows_;
  const int row = CurrentRow();
  uint8_t& st = rs.status[static_cast<size_t>(row)];
  if (st == TRowSet::rsInserted) {
    st = TRowSet::rsGone;
  } else {
    if (st == TRowSet::rsClean) rs.pending.push_back(static_cast<uint32_t>(row));
    st = TRowSet::rsDeleted;
  }
  ++rs.version;
  view_.erase(view_.begin() + pos_);
  viewVersion_ = rs.version;
  if (pos_ >= static_cast<int>(view_.size())) pos_ = static_cast<int>(view_.size()) - 1;
  eof_ = view_.empty();
  bof_ = view_.empty();
  Fire(AfterDelete);
  Fire(AfterScroll);
  Notify(deDataSetChange);
}

int TDataSet::PendingUpdates() const {
  if (!rows_) return 0;
  int n = 0;
  for (uint32_t r : rows_->pending)
    if (rows_->status[r] != TRowSet::rsClean && rows_->status[r] != TRowSet::rsGone) ++n;
  return n;
}

void TDataSet::UpdateBatch() {
  CheckBrowseMode();
  TRowSet& rs = *rows_;
  if (rs.pending.empty()) return;
  if (!rs.store) {
    if (PendingUpdates() == 0) {
      rs.pending.clear();
      return;
    }
    throw EDatabaseError(rs.readOnlyReason);
  }
  size_t done = 0;
  try {
    for (; done < rs.pending.size(); ++done) {
      const uint32_t r = rs.pending[done];
      uint8_t& st = rs.status[r];
      switch (st) {
        case TRowSet::rsModified: {
          const auto o = rs.original.find(r);
          rs.store->UpdateRecord(rs.source[r],
                                 o == rs.original.end() ? std::vector<TValue>() : UnpackRow(o->second, rs.fields.size()),
                                 UnpackRow(rs.rows[r], rs.fields.size()));
          if (o != rs.original.end()) rs.original.erase(o);
          st = TRowSet::rsClean;
          break;
        }
        case TRowSet::rsInserted:
          rs.source[r] = rs.store->AppendRecord(UnpackRow(rs.rows[r], rs.fields.size()));
          st = TRowSet::rsClean;
          break;
        case TRowSet::rsDeleted:
          rs.store->DeleteRecord(rs.source[r]);
          rs.original.erase(r);
          st = TRowSet::rsGone;
          break;
        default: break;
      }
    }
  } catch (const EDatabaseError&) {
    rs.pending.erase(rs.pending.begin(), rs.pending.begin() + static_cast<std::ptrdiff_t>(done));
    throw;
  } catch (const std::exception& e) {
    rs.pending.erase(rs.pending.begin(), rs.pending.begin() + static_cast<std::ptrdiff_t>(done));
    throw EDatabaseError(e.what());
  }
  rs.pending.clear();
}

void TDataSet::SetSort(const std::string& sort) {
  std::string s = Trim(sort);
  int field = -1;
  bool desc = false;
  if (!s.empty()) {
    std::string name = s;
    const size_t sp = s.find_last_of(" \t");
    if (sp != std::string::npos) {
      const std::string dir = UpperCase(s.substr(sp + 1));
      if (dir == "ASC" || dir == "DESC") {
        desc = dir == "DESC";
        name = Trim(s.substr(0, sp));
      }
    }
    if (name.size() >= 2 && ((name.front() == '[' && name.back() == ']') || (name.front() == '"' && name.back() == '"')))
      name = name.substr(1, name.size() - 2);
    if (rows_) {
      field = FieldIndex(name);
      if (field < 0) throw EDatabaseError("Field '" + name + "' not found");
    }
  }
  sort_ = s;
  sortField_ = field;
  sortDesc_ = desc;
  if (Active()) {
    CheckBrowseMode();
    RebuildView(CurrentRow());
    Notify(deDataSetChange);
  }
}

void TDataSet::SetFiltered(bool on) {
  if (on == filtered_) return;
  filtered_ = on;
  if (Active()) {
    CheckBrowseMode();
    RebuildView(CurrentRow());
    bof_ = false;
    eof_ = view_.empty();
    Notify(deDataSetChange);
  }
}

int TDataSet::AddDataLink(TDataLink link) {
  links_.emplace_back(nextLinkId_, std::move(link));
  return nextLinkId_++;
}

void TDataSet::RemoveDataLink(int id) {
  links_.erase(std::remove_if(links_.begin(), links_.end(), [id](const auto& l) { return l.first == id; }), links_.end());
}

void TDataSet::DisableControls() { ++disableCount_; }

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ == 0) {
    changedWhileDisabled_ = false;
    Notify(deDataSetChange);
  }
}

void TDataSet::Notify(TDataEvent e) {
  if (disableCount_ > 0) {
    changedWhileDisabled_ = true;
    return;
  }
  auto copy = links_;
  for (auto& l : copy)
    if (l.second) l.second(*this, e);
}

// ---- IFieldSource ----------------------------------------------------------

std::string TDataSet::FieldName(int index) const {
  return rows_ && index >= 0 && index < FieldCount() ? rows_->fields[static_cast<size_t>(index)].Name : std::string();
}
TFieldType TDataSet::FieldDataType(int index) const {
  return rows_ && index >= 0 && index < FieldCount() ? rows_->fields[static_cast<size_t>(index)].DataType : ftUnknown;
}
bool TDataSet::FieldIsNull(int index) const { return ValueIsNull(CurrentValue(index)); }
int32_t TDataSet::FieldAsInteger(int index) const { return ValueToInteger(CurrentValue(index)); }
double TDataSet::FieldAsFloat(int index) const { return ValueToFloat(CurrentValue(index)); }
bool TDataSet::FieldAsBoolean(int index) const { return ValueToBoolean(CurrentValue(index)); }
std::string TDataSet::FieldAsString(int index) const { return ValueToString(CurrentValue(index), FieldDataType(index)); }
TDateTime TDataSet::FieldAsDateTime(int index) const { return ValueToDateTime(CurrentValue(index)); }
