#pragma once
// The main window's answers to its evaluator: variables named in an
// expression are the current record's fields or, when the record has no field
// of that name, the project's calculated fields (evaluated on demand for the
// record); every evaluation error of the window's handles is reported here.
// On top of that, the row filter of the table query and the highlight rules
// that colour the grid's rows.
//
// No window code: an error's report, with the page switch and the caret
// placement that go with it, goes through IRowRulesView, the calculated-field
// definitions come through ICalcFieldSource.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "toolkit/FastEval.h"
#include "workspace/CalcFields.h"
#include "workspace/HighlightSlots.h"

class TDataSet;

// Handles of the main window's evaluator.
constexpr int CalcFieldHandle = 1;        // what a calculated field's evaluation answers as
constexpr int RowFilterHandle = 2;        // the row filter of the table query
constexpr int CopyFilterHandle = 5;       // the filtered copy of the Restructure Table window
constexpr int FirstHighlightHandle = 10;  // slot i under 10 + i
constexpr int LastHighlightHandle = FirstHighlightHandle + HighlightSlotCount - 1;
// Calculated fields are kept compiled under handles from here on, one per
// name; their host events and errors still see CalcFieldHandle.
constexpr int FirstCalcFieldSlotHandle = 1000;

// What an evaluation error does to the Filter page. Every method has a quiet default.
class IRowRulesView {
public:
  virtual ~IRowRulesView() = default;
  virtual void ShowFilterPage() {}
  // The filter memo enabled and focused, the caret before character index place.
  virtual void PlaceFilterCaret(int /*place*/) {}
  // The colour combo on the slot, its Enabled box and memo showing that slot,
  // the memo enabled and focused with the caret before character index place.
  virtual void ShowHighlightSlot(int /*slot*/, int /*place*/) {}
  // An evaluation error, after the page and caret calls that go with it.
  virtual void ShowError(const std::string& /*text*/) {}
};

// The default row colour (the window's own) in place of a slot index.
constexpr int DefaultRowColor = -1;

class TRowRules {
public:
  // Binds the evaluator's five variable events and its error event.
  explicit TRowRules(TFastEval& eval);
  ~TRowRules();
  TRowRules(const TRowRules&) = delete;
  TRowRules& operator=(const TRowRules&) = delete;

  // Another source (another project) forgets the compiled calculated fields.
  void SetCalcFieldSource(ICalcFieldSource* source);
  void SetView(IRowRulesView* view) { view_ = view ? view : &quiet_; }
  // The table query, whose Filtered decides what a calculated field's error in the filter does.
  TDataSet* TableQuery = nullptr;

  // Evaluator host state. Every caller sets FieldSourceDataSet before evaluating.
  IFieldSource* FieldSourceDataSet = nullptr;
  bool EvalStopFlag = false;                // look-ups answer not found and errors are silent
  std::vector<std::string> CalcFieldStack;  // calculated fields being evaluated, innermost last
  bool InFilterEval = false;
  bool InHighlightEval = false;
  bool FilterOn = false;
  bool HighlightOn = false;
  // "Use Filter" of the highlight part: the rules colour rows only while it is on.
  bool UseHighlight = false;
  THighlightSlots HighlightSlots = NewHighlightSlots();

  // The variable look-up behind the five typed events, also used by the merge:
  // VarName as the evaluator hands it (lower case). A table field of the name
  // always wins, also when its type does not fit the asked type; otherwise a
  // calculated field of exactly the asked type is evaluated for the record.
  void GetIntegerVar(const std::string& VarName, bool& Found, int32_t& Value);
  void GetExtendedVar(const std::string& VarName, bool& Found, Extended& Value);
  void GetBooleanVar(const std::string& VarName, bool& Found, bool& Value);
  void GetStringVar(const std::string& VarName, bool& Found, std::string& Value);
  void GetDateTimeVar(const std::string& VarName, bool& Found, TDateTime& Value);
  // The same for any type (the cell member of type counts).
  bool LookUpVariable(const std::string& VarName, TCalcFieldType type, TValueCell& value);

  // The calculated field name (upper case, already on CalcFieldStack) with
  // its definition def, evaluated as def's type for FieldSourceDataSet.
  // The expression is compiled once per name and compiled again only when
  // the text, the type or the evaluator's signs change; errors are reported
  // as CalcFieldHandle. False also for a type index out of range.
  bool EvaluateCalcField(const std::string& name, const TCalcFieldDef& def, TValueCell& value);
  // Drops every compiled calculated field.
  void ForgetCalcFields();
  // How many times a calculated field was compiled so far.
  size_t CalcFieldCompilations() const { return calcCompilations_; }

  // The start of one merge value look-up: a previous stop is forgotten and
  // neither the filter nor the highlight is running.
  void BeginMergeLookUp() {
    EvalStopFlag = false;
    InFilterEval = false;
    InHighlightEval = false;
  }

  // The evaluator's OnError: one report to the view per handle's rules.
  void ReportError(int ErrorLine, int ErrorPosition, int ErrorPlace, int ErrorCode, const std::string& ErrorStr,
                   int Handle);
  // "Line L, Col C, message" (codes 2, 3, 4 with the program's own wording).
  static std::string ErrorDescription(int ErrorLine, int ErrorPosition, int ErrorCode, const std::string& ErrorStr);

  // Before every open of the table: the filter under handle 2 and the sixteen
  // rules under 10..25, both switched on again; a previous stop is forgotten.
  void CompileRowExpressions(const std::string& filterText);
  // All sixteen rule expressions again (after an edit of one of them).
  void CompileHighlightRules();

  // The filter of one record (handle 2 for the table query, 5 for the filtered
  // copy): accept keeps what it holds unless the compiled filter evaluates.
  void EvaluateRowFilter(IFieldSource& row, bool& accept, int handle);
  // EvaluateRowFilter as a dataset's OnFilterRecord.
  std::function<void(TDataSet&, bool&)> FilterCallback(int handle = RowFilterHandle);

  // The slot whose colour a row takes: the first enabled rule that evaluates
  // true, rules that fail skipped; DefaultRowColor when none, when the
  // highlight is unchecked or when HighlightOn is off.
  int EvaluateRowColor(IFieldSource& row);
  // The same, computed once per record and kept until InvalidateRowColors.
  // row positions a source on the record; it is called only when the colour
  // is not known yet.
  int RowColor(int64_t recordKey, const std::function<IFieldSource*()>& row);
  // One cell: the sorted column (exact name) takes the sort colour slot, any
  // other the row's colour.
  int CellColor(const std::string& fieldName, const std::string& sortField, int sortColorSlot, int64_t recordKey,
                const std::function<IFieldSource*()>& row);
  // The data, the rules, the sort or the filter changed.
  void InvalidateRowColors() { colorCache_.clear(); }

  // Page edits of the highlight rules; each switches the highlight on again
  // and forgets the colours.
  void SetSlotEnabled(int slot, bool enabled);
  void SetSlotExpression(int slot, const std::string& expression);
  void HighlightChanged();

private:
  template <class T>
  void TypedLookUp(const std::string& VarName, TCalcFieldType type, bool& Found, T& Value);
  bool FindTableField(const std::string& upperName, int& index);
  bool CalcFieldValue(const std::string& upperName, TCalcFieldType type, TValueCell& value);
  // An error report, with the Filter page on the rule's slot when slot is one. While a
  // row's colour is worked out it is shown after the paint, through the main-thread
  // dispatcher.
  void Tell(const std::string& text, int slot = -1, int place = 0);
  void ShowPendingReports();
  struct TPendingReport {
    std::string Text;
    int Slot = -1;
    int Place = 0;
  };
  std::vector<TPendingReport> pendingReports_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for what was posted
  bool colouringRow_ = false;                                   // a row's colour is being worked out (the grid paints)

  // What a calculated field was last compiled from.
  struct TCalcFieldSlot {
    int Handle = 0;
    std::string Expression;
    int32_t TypeIndex = cftString;
    TStringSign StringSign = ssQMark;
    TCommentSign CommentSign = csApostrophe;
    bool CaseSensitive = false;
  };

  TFastEval& eval_;
  ICalcFieldSource* calc_ = nullptr;
  std::unordered_map<std::string, TCalcFieldSlot> calcSlots_;
  int nextCalcSlotHandle_ = FirstCalcFieldSlotHandle;
  size_t calcCompilations_ = 0;
  IRowRulesView quiet_;
  IRowRulesView* view_ = &quiet_;
  std::unordered_map<int64_t, int8_t> colorCache_;
  // Upper-case field names of the field source last asked, by field index.
  std::vector<std::pair<std::string, std::string>> upperNames_;
};
