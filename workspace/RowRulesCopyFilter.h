#pragma once
// The row rules as the filter of a restructuring copy: the Filter page's text
// compiled under CopyFilterHandle for one copy, each row of the copy answered
// by the row filter, evaluation errors reported as the filtered copy's.

#include <string>

#include "workspace/CopyRowFilter.h"
#include "workspace/RowRules.h"

class TRowRulesCopyFilter : public ICopyRowFilter {
public:
  // filterText: read at the time of the copy; it outlives this object.
  TRowRulesCopyFilter(TRowRules& rules, TFastEval& eval, const std::string& filterText);

  void CompileCopyFilter() override;
  bool AcceptCopyRow(TDataSet& row) override;
  void FreeCopyFilter() override;

private:
  TRowRules& rules_;
  TFastEval& eval_;
  const std::string& filterText_;
};
