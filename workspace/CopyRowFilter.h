#pragma once
// The row filter a filtered copy of the open table passes its rows through.
// The row rules implement it: the filter text compiled under the copy's own
// evaluator handle (CopyFilterHandle of the row rules) for the length of one
// copy, each row answered from its own record.

class TDataSet;

class ICopyRowFilter {
public:
  virtual ~ICopyRowFilter() = default;
  // Before the copy: re-arms filter evaluation (an earlier error switched it off)
  // and compiles the filter text under the copy's handle.
  virtual void CompileCopyFilter() = 0;
  // The current record of row passes the filter. After an evaluation error every row passes.
  virtual bool AcceptCopyRow(TDataSet& row) = 0;
  // After the copy: the copy's handle is dropped.
  virtual void FreeCopyFilter() = 0;
};
