#pragma once
// The row filter a filtered copy of the open table passes its rows through.
// The row rules implement it: the filter text compiled under the copy's own
// evaluator handle for the length of one copy, each row answered from its own
// record.

class TDataSet;

// The evaluator handle of the copy's filter.
constexpr int CopyFilterHandle = 5;

class ICopyRowFilter {
public:
  virtual ~ICopyRowFilter() = default;
  // Before the copy: re-arms filter evaluation (an earlier error switched it off)
  // and compiles the filter text as CopyFilterHandle.
  virtual void CompileCopyFilter() = 0;
  // The current record of row passes the filter. After an evaluation error every row passes.
  virtual bool AcceptCopyRow(TDataSet& row) = 0;
  // After the copy: CopyFilterHandle is dropped.
  virtual void FreeCopyFilter() = 0;
};
