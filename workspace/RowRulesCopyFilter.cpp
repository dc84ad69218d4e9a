#include "workspace/RowRulesCopyFilter.h"

#include "db/DataSet.h"

TRowRulesCopyFilter::TRowRulesCopyFilter(TRowRules& rules, TFastEval& eval, const std::string& filterText)
    : rules_(rules), eval_(eval), filterText_(filterText) {}

void TRowRulesCopyFilter::CompileCopyFilter() {
  // An earlier error switched the filter off; this copy tries it afresh.
  rules_.FilterOn = true;
  eval_.CompileExpression(filterText_, CopyFilterHandle);
}

bool TRowRulesCopyFilter::AcceptCopyRow(TDataSet& row) {
  bool accept = true;
  rules_.EvaluateRowFilter(row, accept, CopyFilterHandle);
  return accept;
}

void TRowRulesCopyFilter::FreeCopyFilter() { eval_.FreeCompiled(CopyFilterHandle); }
