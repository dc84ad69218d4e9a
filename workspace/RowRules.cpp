#include "workspace/RowRules.h"

#include <algorithm>

#include "db/DataSet.h"
#include "platform/Dispatcher.h"
#include "platform/SysUtils.h"

namespace {

// A chain of distinct calculated fields deeper than this is not followed
// further: the evaluator then reports the name as unknown.
constexpr size_t MaxCalcFieldDepth = 64;

bool Accepts(TCalcFieldType type, TFieldType field) {
  switch (type) {
    case cftInteger:
      return field == ftSmallint || field == ftInteger || field == ftWord || field == ftLargeint || field == ftAutoInc;
    case cftFloat: return field == ftFloat || field == ftCurrency;
    case cftBoolean: return field == ftBoolean;
    case cftString: return field == ftString || field == ftWideString || field == ftMemo || field == ftFmtMemo;
    case cftDateTime: return field == ftDate || field == ftTime || field == ftDateTime;
  }
  return false;
}

void ReadField(const IFieldSource& ds, int i, TCalcFieldType type, TValueCell& v) {
  switch (type) {
    case cftInteger: v.I = ds.FieldAsInteger(i); break;
    case cftFloat: v.E = ds.FieldAsFloat(i); break;
    case cftBoolean: v.B = ds.FieldAsBoolean(i); break;
    case cftString: v.S = ds.FieldAsString(i); break;
    case cftDateTime: v.D = ds.FieldAsDateTime(i); break;
  }
}

template <class T>
T& Member(TValueCell& c);
template <>
int32_t& Member(TValueCell& c) {
  return c.I;
}
template <>
Extended& Member(TValueCell& c) {
  return c.E;
}
template <>
bool& Member(TValueCell& c) {
  return c.B;
}
template <>
std::string& Member(TValueCell& c) {
  return c.S;
}
template <>
TDateTime& Member(TValueCell& c) {
  return c.D;
}

TExprType ExprTypeOf(TCalcFieldType type) {
  switch (type) {
    case cftInteger: return etInteger;
    case cftFloat: return etExtended;
    case cftBoolean: return etBoolean;
    case cftString: return etString;
    case cftDateTime: return etDateTime;
  }
  return etString;
}

std::string Quoted(const std::string& description) { return "\n\"" + description + "\""; }

}  // namespace

TRowRules::TRowRules(TFastEval& eval) : eval_(eval) {
  eval_.OnGetIntegerVar = [this](TFastEval*, const std::string& n, bool& f, int32_t& v, int) {
    GetIntegerVar(n, f, v);
  };
  eval_.OnGetExtendedVar = [this](TFastEval*, const std::string& n, bool& f, Extended& v, int) {
    GetExtendedVar(n, f, v);
  };
  eval_.OnGetBooleanVar = [this](TFastEval*, const std::string& n, bool& f, bool& v, int) { GetBooleanVar(n, f, v); };
  eval_.OnGetStringVar = [this](TFastEval*, const std::string& n, bool& f, std::string& v, int) {
    GetStringVar(n, f, v);
  };
  eval_.OnGetDateTimeVar = [this](TFastEval*, const std::string& n, bool& f, TDateTime& v, int) {
    GetDateTimeVar(n, f, v);
  };
  eval_.OnError = [this](TFastEval*, int line, int pos, int place, int code, const std::string& str, int handle) {
    ReportError(line, pos, place, code, str, handle);
  };
}

TRowRules::~TRowRules() {
  ForgetCalcFields();
  eval_.OnGetIntegerVar = nullptr;
  eval_.OnGetExtendedVar = nullptr;
  eval_.OnGetBooleanVar = nullptr;
  eval_.OnGetStringVar = nullptr;
  eval_.OnGetDateTimeVar = nullptr;
  eval_.OnError = nullptr;
}

// ------------------------------------------------------------------ look-up

void TRowRules::SetCalcFieldSource(ICalcFieldSource* source) {
  if (source != calc_) ForgetCalcFields();
  calc_ = source;
}

void TRowRules::ForgetCalcFields() {
  for (const auto& kv : calcSlots_) eval_.FreeCompiled(kv.second.Handle);
  calcSlots_.clear();
  nextCalcSlotHandle_ = FirstCalcFieldSlotHandle;
}

bool TRowRules::EvaluateCalcField(const std::string& name, const TCalcFieldDef& def, TValueCell& value) {
  if (def.TypeIndex < 0 || def.TypeIndex >= CalcFieldTypeCount) return false;
  auto it = calcSlots_.find(name);
  if (it == calcSlots_.end()) {
    it = calcSlots_.emplace(name, TCalcFieldSlot{}).first;
    it->second.Handle = nextCalcSlotHandle_++;
    it->second.TypeIndex = -1;  // nothing compiled yet
  }
  TCalcFieldSlot& slot = it->second;
  // The signs decide how the text is tokenized, so a change of them counts as an edit.
  if (slot.TypeIndex != def.TypeIndex || slot.Expression != def.Expression || slot.StringSign != eval_.StringSign() ||
      slot.CommentSign != eval_.CommentSign() || slot.CaseSensitive != eval_.CaseSensitivity() ||
      !eval_.IsCompiled(slot.Handle)) {
    slot.Expression = def.Expression;
    slot.TypeIndex = def.TypeIndex;
    slot.StringSign = eval_.StringSign();
    slot.CommentSign = eval_.CommentSign();
    slot.CaseSensitive = eval_.CaseSensitivity();
    eval_.CompileExpression(slot.Expression, slot.Handle);
    ++calcCompilations_;
  }
  const int handle = slot.Handle;  // slot may move when a nested field adds its own
  return eval_.EvaluateCompiled(ExprTypeOf(static_cast<TCalcFieldType>(def.TypeIndex)), value, handle, CalcFieldHandle);
}

bool TRowRules::FindTableField(const std::string& upperName, int& index) {
  IFieldSource* ds = FieldSourceDataSet;
  if (!ds) return false;
  const int n = ds->FieldCount();
  if (static_cast<int>(upperNames_.size()) < n) upperNames_.resize(n);
  for (int i = 0; i < n; ++i) {
    // Upper-casing is the costly part; a name seen at this index before is reused.
    std::string name = ds->FieldName(i);
    auto& cached = upperNames_[i];
    if (cached.first != name || (cached.second.empty() && !name.empty())) {
      cached.second = AnsiUpperCase(name);
      cached.first = std::move(name);
    }
    if (cached.second == upperName) {
      index = i;
      return true;
    }
  }
  return false;
}

bool TRowRules::CalcFieldValue(const std::string& upperName, TCalcFieldType type, TValueCell& value) {
  // Calculated-field names hold no level separator.
  if (!calc_ || upperName.find('~') != std::string::npos) return false;
  TCalcFieldDef def;
  if (!calc_->FindCalcField(upperName, def)) return false;
  if (std::find(CalcFieldStack.begin(), CalcFieldStack.end(), upperName) != CalcFieldStack.end()) {
    Tell("Repeated call of identifier \"" + upperName + "\"");
    EvalStopFlag = true;
    return false;
  }
  if (CalcFieldStack.size() >= MaxCalcFieldDepth) return false;
  CalcFieldStack.push_back(upperName);
  struct TPop {
    std::vector<std::string>& s;
    ~TPop() { s.pop_back(); }
  } pop{CalcFieldStack};
  if (!def.HasType || def.TypeIndex != type) return false;
  return EvaluateCalcField(upperName, def, value);
}

bool TRowRules::LookUpVariable(const std::string& VarName, TCalcFieldType type, TValueCell& value) {
  if (EvalStopFlag) return false;
  const std::string upper = AnsiUpperCase(VarName);
  int index = -1;
  if (FindTableField(upper, index)) {
    // The table field hides a calculated field of the same name, whatever its type.
    if (!Accepts(type, FieldSourceDataSet->FieldDataType(index))) return false;
    ReadField(*FieldSourceDataSet, index, type, value);
    return true;
  }
  return CalcFieldValue(upper, type, value);
}

template <class T>
void TRowRules::TypedLookUp(const std::string& VarName, TCalcFieldType type, bool& Found, T& Value) {
  TValueCell cell;
  if (LookUpVariable(VarName, type, cell)) {
    Found = true;
    Value = std::move(Member<T>(cell));
  }
}

void TRowRules::GetIntegerVar(const std::string& VarName, bool& Found, int32_t& Value) {
  TypedLookUp(VarName, cftInteger, Found, Value);
}
void TRowRules::GetExtendedVar(const std::string& VarName, bool& Found, Extended& Value) {
  TypedLookUp(VarName, cftFloat, Found, Value);
}
void TRowRules::GetBooleanVar(const std::string& VarName, bool& Found, bool& Value) {
  TypedLookUp(VarName, cftBoolean, Found, Value);
}
void TRowRules::GetStringVar(const std::string& VarName, bool& Found, std::string& Value) {
  TypedLookUp(VarName, cftString, Found, Value);
}
void TRowRules::GetDateTimeVar(const std::string& VarName, bool& Found, TDateTime& Value) {
  TypedLookUp(VarName, cftDateTime, Found, Value);
}

// ------------------------------------------------------------------ errors

std::string TRowRules::ErrorDescription(int ErrorLine, int ErrorPosition, int ErrorCode, const std::string& ErrorStr) {
  std::string message = ErrorStr;
  switch (ErrorCode) {
    case 2: message = "Numerical type value expected"; break;
    case 3: message = "Logical type value expected"; break;
    case 4: message = "Character type value expected"; break;
    default: break;
  }
  return "Line " + IntToStr(ErrorLine) + ", " + "Col " + IntToStr(ErrorPosition) + ", " + message;
}

void TRowRules::ReportError(int ErrorLine, int ErrorPosition, int ErrorPlace, int ErrorCode,
                            const std::string& ErrorStr, int Handle) {
  if (EvalStopFlag) return;
  const std::string description = ErrorDescription(ErrorLine, ErrorPosition, ErrorCode, ErrorStr);
  if (Handle == CalcFieldHandle) {
    const std::string name = CalcFieldStack.empty() ? std::string() : CalcFieldStack.back();
    const std::string text =
        "Error in expression of Calculated Field \"" + name + "\" with description:" + Quoted(description);
    if (InFilterEval && TableQuery && TableQuery->Filtered()) {
      FilterOn = false;
      view_->ShowError(text);
    } else if (InHighlightEval) {
      const bool wasOn = HighlightOn;
      HighlightOn = false;
      if (wasOn) Tell(text);
    } else {
      EvalStopFlag = true;
      view_->ShowError(text);
    }
  } else if (Handle == RowFilterHandle) {
    FilterOn = false;
    view_->ShowFilterPage();
    view_->PlaceFilterCaret(ErrorPlace);
    view_->ShowError("Error in Filter Expression with Description:" + Quoted(description));
  } else if (Handle == CopyFilterHandle) {
    FilterOn = false;
    view_->ShowError("Error in Filter Expression With Description:" + Quoted(description));
  } else if (Handle >= FirstHighlightHandle && Handle <= LastHighlightHandle) {
    if (!HighlightOn) return;
    HighlightOn = false;
    const int slot = Handle - FirstHighlightHandle;
    Tell("Error in Expression of " + HighlightColorNames()[slot] + " color with Description:" + Quoted(description),
         slot, ErrorPlace);
  }
}

void TRowRules::Tell(const std::string& text, int slot, int place) {
  const bool first = pendingReports_.empty();
  pendingReports_.push_back({text, slot, place});
  if (!colouringRow_) {
    ShowPendingReports();
    return;
  }
  // The rules run while the grid paints: a box (or a page switch) there would paint
  // again from inside the paint. Noted now, shown once the paint is over.
  if (!first) return;
  std::weak_ptr<bool> alive = alive_;
  PostToMainThread([this, alive] {
    if (!alive.expired()) ShowPendingReports();
  });
}

void TRowRules::ShowPendingReports() {
  const std::vector<TPendingReport> reports = std::move(pendingReports_);
  pendingReports_.clear();
  for (const TPendingReport& r : reports) {
    if (r.Slot >= 0) {
      view_->ShowFilterPage();
      view_->ShowHighlightSlot(r.Slot, r.Place);
    }
    view_->ShowError(r.Text);
  }
}

// ------------------------------------------------------------------ filter

void TRowRules::CompileRowExpressions(const std::string& filterText) {
  EvalStopFlag = false;
  FilterOn = true;
  eval_.CompileExpression(filterText, RowFilterHandle);
  HighlightOn = true;
  CompileHighlightRules();
}

void TRowRules::CompileHighlightRules() {
  for (int i = 0; i < HighlightSlotCount; ++i)
    eval_.CompileExpression(HighlightSlots[i].Expression, FirstHighlightHandle + i);
  InvalidateRowColors();
}

void TRowRules::EvaluateRowFilter(IFieldSource& row, bool& accept, int handle) {
  InFilterEval = true;
  InHighlightEval = false;
  FieldSourceDataSet = &row;
  bool result = false;
  if (FilterOn && eval_.EvaluateCompiledBoolean(result, handle)) accept = result;
}

std::function<void(TDataSet&, bool&)> TRowRules::FilterCallback(int handle) {
  return [this, handle](TDataSet& ds, bool& accept) { EvaluateRowFilter(ds, accept, handle); };
}

// ------------------------------------------------------------------ highlight

int TRowRules::EvaluateRowColor(IFieldSource& row) {
  InFilterEval = false;
  InHighlightEval = true;
  FieldSourceDataSet = &row;
  if (!HighlightOn || !UseHighlight) return DefaultRowColor;
  struct TColouring {
    bool& on;
    const bool was = on;
    ~TColouring() { on = was; }
  } colouring{colouringRow_};
  colouringRow_ = true;
  for (int i = 0; i < HighlightSlotCount; ++i) {
    if (!HighlightSlots[i].Enabled) continue;
    bool result = false;
    if (eval_.EvaluateCompiledBoolean(result, FirstHighlightHandle + i) && result) return i;
  }
  return DefaultRowColor;
}

int TRowRules::RowColor(int64_t recordKey, const std::function<IFieldSource*()>& row) {
  auto it = colorCache_.find(recordKey);
  if (it != colorCache_.end()) return it->second;
  // With the highlight stopped by an error nothing is evaluated and nothing kept:
  // switching it on again forgets the colours anyway.
  if (!HighlightOn) return DefaultRowColor;
  IFieldSource* source = row ? row() : nullptr;
  if (!source) return DefaultRowColor;
  const int slot = EvaluateRowColor(*source);
  colorCache_[recordKey] = static_cast<int8_t>(slot);
  return slot;
}

int TRowRules::CellColor(const std::string& fieldName, const std::string& sortField, int sortColorSlot,
                         int64_t recordKey, const std::function<IFieldSource*()>& row) {
  if (fieldName == sortField) return sortColorSlot;
  return RowColor(recordKey, row);
}

void TRowRules::HighlightChanged() {
  HighlightOn = true;
  InvalidateRowColors();
}

void TRowRules::SetSlotEnabled(int slot, bool enabled) {
  if (slot < 0 || slot >= HighlightSlotCount) return;
  HighlightSlots[slot].Enabled = enabled;
  HighlightChanged();
}

void TRowRules::SetSlotExpression(int slot, const std::string& expression) {
  if (slot < 0 || slot >= HighlightSlotCount) return;
  HighlightSlots[slot].Expression = expression;
  HighlightChanged();
  CompileHighlightRules();
}
