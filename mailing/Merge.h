#pragma once
// Merge tags: the tag sign of the Options followed directly by the name of a
// table field or of a calculated field ("%F_Name"); there is no closing sign.
// GetTagValue turns one name into text for the current record, ExpandTags
// merges a whole text. The mailing run calls both for every record, so
// ExpandTags copies the text once and allocates nothing per character.

#include <cstdint>
#include <string>

#include "toolkit/Reader.h"

class IFieldSource;
class TDataSet;

enum class TCalcFieldResult {
  NotFound,   // the project has no such calculated field
  Evaluated,  // Value holds the result as text
  Failed,     // the evaluator reported an error through its own handler
};

// What the merge asks of the main window and its row rules. Preparing a
// mailing and Send Current merge through it too.
class ITagValueSource {
public:
  virtual ~ITagValueSource() = default;
  // The dataset whose current record the look-ups read from now on (the
  // evaluator host's field source).
  virtual void SetFieldSource(TDataSet& table) = 0;
  // Clears the evaluator host's stop flag; runs before every look-up.
  virtual void ClearEvalStop() = 0;
  // Set when an evaluation reported an error since the last ClearEvalStop:
  // whoever merges many texts stops there.
  virtual bool EvalStopFlag() const = 0;
  // Name is upper case. NotFound unless the project has both "CF~Expr~" + Name
  // and "CF~Type~" + Name; otherwise the expression is evaluated as a merge
  // evaluation (not a filter or highlight one) over the open table's current
  // record and the result formatted by its type (integer as decimal, float as
  // FloatToStr, boolean "True"/"False", string as is, date-time as
  // DateTimeToStr). Called for every tag of every record of a mailing: keep
  // the compiled expression per name and compile again only when the
  // project's expression text for that name changes.
  virtual TCalcFieldResult CalcFieldValue(const std::string& Name, std::string& Value) = 0;
  // Name is upper case: the open table's field of that name in the current
  // record (FieldTagValue gives the rule); false when there is no such field
  // or no open table.
  virtual bool TableFieldValue(const std::string& Name, std::string& Value) = 0;
};

// The tag sign as the Options hold it at this moment.
class ITagSignSource {
public:
  virtual ~ITagSignSource() = default;
  virtual char TagSign() const = 0;
};

// Where the merge's warnings go while it merges: the window shows them.
class IMergeWarnings {
public:
  virtual ~IMergeWarnings() = default;
  virtual void ShowWarning(const std::string& text) = 0;  // an information box
};

// The sign of an Options tag-sign index (TagSigns); an index out of range gives "%".
char TagSignOf(int32_t index);

// The field UpperName (compared with AnsiUpperCase of each field name, first
// match in field order) of the record as merge text: text and memo as they
// are, numbers in the shortest general form, date-times as DateTimeToStr,
// booleans "True" / "False". False when the record has no such field.
bool FieldTagValue(const IFieldSource& Record, const std::string& UpperName, std::string& Value);

// Not re-entrant: a tag-value source must not merge through the same merger.
class TMerger {
public:
  // reader: the main window's merge reader (Reader1: blanks 0..32 less LF and
  // CR, the standard delimiters less "_", LF and CR as delimiters). All four
  // must outlive the merger.
  TMerger(TReader& reader, ITagValueSource& values, const ITagSignSource& sign, IMergeWarnings& warnings);

  // True when Name was resolved; Value then holds the text. Unresolved with
  // Warn: the warning "Warning: field " + sign + NAME + " not found".
  bool GetTagValue(const std::string& Name, std::string& Value, bool Warn);
  // Result := Text with every resolvable tag replaced. Result's storage is
  // reused, so a caller merging many records keeps one string.
  void ExpandTags(const std::string& Text, bool Warn, std::string& Result);
  std::string ExpandTags(const std::string& Text, bool Warn);

  ITagValueSource& Values() const { return values_; }

private:
  ITagValueSource& values_;
  const ITagSignSource& sign_;
  IMergeWarnings& warnings_;
  TScroller scroller_;  // kept so that its buffers serve every text
  std::string name_;
  std::string upper_;
  std::string value_;
};
