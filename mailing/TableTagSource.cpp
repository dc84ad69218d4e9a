#include "mailing/TableTagSource.h"

#include "db/DataSet.h"
#include "platform/SysUtils.h"
#include "workspace/CalcFields.h"
#include "workspace/RowRules.h"

TTableTagSource::TTableTagSource(TRowRules& rules, TFastEval& eval, const ICalcFieldSource& calcFields,
                                 TDataSet& table)
    : rules_(rules), eval_(eval), calc_(calcFields), table_(table) {}

IFieldSource* TTableTagSource::Record() const {
  if (record_) return record_;
  return table_.Active() ? &table_ : nullptr;
}

void TTableTagSource::SetFieldSource(TDataSet& table) { record_ = &table; }

void TTableTagSource::ClearEvalStop() { rules_.BeginMergeLookUp(); }

bool TTableTagSource::EvalStopFlag() const { return rules_.EvalStopFlag; }

TCalcFieldResult TTableTagSource::CalcFieldValue(const std::string& Name, std::string& Value) {
  TCalcFieldDef def;
  if (!calc_.FindCalcField(Name, def) || !def.HasType) return TCalcFieldResult::NotFound;
  rules_.InFilterEval = false;
  rules_.InHighlightEval = false;
  rules_.CalcFieldStack.push_back(Name);
  rules_.FieldSourceDataSet = Record();
  bool ok = false;
  switch (def.TypeIndex) {
    case cftInteger: {
      int32_t v = 0;
      ok = eval_.EvaluateInteger(def.Expression, v, CalcFieldHandle);
      if (ok) Value = IntToStr(v);
      break;
    }
    case cftFloat: {
      Extended v = 0;
      ok = eval_.EvaluateExtended(def.Expression, v, CalcFieldHandle);
      if (ok) Value = FloatToStr(v);
      break;
    }
    case cftBoolean: {
      bool v = false;
      ok = eval_.EvaluateBoolean(def.Expression, v, CalcFieldHandle);
      if (ok) Value = v ? "True" : "False";
      break;
    }
    case cftString: ok = eval_.EvaluateString(def.Expression, Value, CalcFieldHandle); break;
    case cftDateTime: {
      TDateTime v = 0;
      ok = eval_.EvaluateDateTime(def.Expression, v, CalcFieldHandle);
      if (ok) Value = DateTimeToStr(v);
      break;
    }
    default: break;  // a type index from a damaged file: nothing to evaluate as
  }
  rules_.CalcFieldStack.pop_back();
  return ok ? TCalcFieldResult::Evaluated : TCalcFieldResult::Failed;
}

bool TTableTagSource::TableFieldValue(const std::string& Name, std::string& Value) {
  const IFieldSource* record = Record();
  return record && FieldTagValue(*record, Name, Value);
}
