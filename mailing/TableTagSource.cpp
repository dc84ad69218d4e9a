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
  TValueCell cell;
  const bool ok = rules_.EvaluateCalcField(Name, def, cell);
  if (ok) {
    switch (def.TypeIndex) {
      case cftInteger: Value = IntToStr(cell.I); break;
      case cftFloat: Value = FloatToStr(cell.E); break;
      case cftBoolean: Value = cell.B ? "True" : "False"; break;
      case cftString: Value = std::move(cell.S); break;
      case cftDateTime: Value = DateTimeToStr(cell.D); break;
      default: break;
    }
  } else if (def.TypeIndex == cftString) {
    Value.clear();
  }
  rules_.CalcFieldStack.pop_back();
  return ok ? TCalcFieldResult::Evaluated : TCalcFieldResult::Failed;
}

bool TTableTagSource::TableFieldValue(const std::string& Name, std::string& Value) {
  const IFieldSource* record = Record();
  return record && FieldTagValue(*record, Name, Value);
}
