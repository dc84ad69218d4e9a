#pragma once
// What preparing a mailing needs of the merge: the value of one tag name and
// the merged form of a whole text for the table's current record, and the
// evaluator's stop flag. The main window's merge implements it; the Warn flag
// asks for a message about every name that resolves to nothing.

#include <string>

class TDataSet;

class IMergeSource {
public:
  virtual ~IMergeSource() = default;
  // The dataset whose current record the merge reads from now on.
  virtual void SetFieldSource(TDataSet& table) = 0;
  // A table field's or calculated field's value by name; false when the name
  // resolves to nothing or its evaluation failed.
  virtual bool GetTagValue(const std::string& name, std::string& value, bool warn) = 0;
  // The text with every resolvable tag replaced.
  virtual std::string ExpandTags(const std::string& text, bool warn) = 0;
  // Raised when an evaluation error was reported; the preparation then stops.
  virtual bool EvalStopFlag() const = 0;
};
