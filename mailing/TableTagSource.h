#pragma once
// The merge values of the main window: a tag name is first a calculated field
// of the project, evaluated for the open table's current record by the row
// rules' evaluator (errors go to its one error report, handle 1), then a field
// of that record.
//
// Each calculated field is compiled once by the row rules and evaluated from
// that copy for every record, until its expression or type is edited.

#include <string>

#include "mailing/Merge.h"

class ICalcFieldSource;
class IFieldSource;
class TDataSet;
class TFastEval;
class TRowRules;

class TTableTagSource : public ITagValueSource {
public:
  // eval is the evaluator rules is bound to; table is the table query. All
  // must outlive the source.
  TTableTagSource(TRowRules& rules, TFastEval& eval, const ICalcFieldSource& calcFields, TDataSet& table);

  // The record the values are read from from now on (a mailing being
  // prepared walks its own copy of the query); ResetFieldSource goes back to
  // the table query.
  void SetFieldSource(TDataSet& table) override;
  void ResetFieldSource() { record_ = nullptr; }

  void ClearEvalStop() override;
  bool EvalStopFlag() const override;
  TCalcFieldResult CalcFieldValue(const std::string& Name, std::string& Value) override;
  bool TableFieldValue(const std::string& Name, std::string& Value) override;

private:
  IFieldSource* Record() const;

  TRowRules& rules_;
  TFastEval& eval_;
  const ICalcFieldSource& calc_;
  TDataSet& table_;
  IFieldSource* record_ = nullptr;
};
