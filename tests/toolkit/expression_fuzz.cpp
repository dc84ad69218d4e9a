// Feeds arbitrary bytes as expression texts to an evaluator set up as the
// main window's: fields of a record, host variables and a host function
// answer the names. The first byte picks the signs, the case rule and the
// result type; the rest is the text, evaluated once and compiled twice.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/FastEval.h"

namespace {

// One record: a field of each type and a null one.
class TRecord : public IFieldSource {
public:
  int FieldCount() const override { return 6; }
  std::string FieldName(int i) const override {
    static const char* names[] = {"Name", "Age", "Rate", "Paid", "Born", "Empty"};
    return names[i];
  }
  TFieldType FieldDataType(int i) const override {
    static const TFieldType types[] = {ftString, ftInteger, ftFloat, ftBoolean, ftDate, ftString};
    return types[i];
  }
  bool FieldIsNull(int i) const override { return i == 5; }
  int32_t FieldAsInteger(int) const override { return 42; }
  double FieldAsFloat(int) const override { return 2.5; }
  bool FieldAsBoolean(int) const override { return true; }
  std::string FieldAsString(int) const override { return "Paris"; }
  TDateTime FieldAsDateTime(int) const override { return 46151.0; }
};

void SetUp(TFastEval& ev, TRecord& record) {
  ev.DataSet = &record;
  ev.OnError = [](TFastEval*, int, int, int, int, const std::string&, int) {};
  ev.OnFunctError = [](TFastEval*, const std::string&, int, int, int, int, const std::string&) {};
  ev.OnGetIntegerVar = [](TFastEval*, const std::string& name, bool& found, int32_t& v, int) {
    if (name == "count") found = true, v = 7;
  };
  ev.OnGetStringVar = [](TFastEval*, const std::string& name, bool& found, std::string& v, int) {
    if (name == "city") found = true, v = "Lyon";
  };
  ev.OnGetDateTimeFunct = [](TFastEval*, const std::string& name, bool, const TFunctParamValues&, bool& found,
                             TDateTime& v, int) {
    if (name == "now") found = true, v = 46151.5;
  };
  ev.AddFunction("Now", true, etDateTime, {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  TRecord record;
  TFastEval ev;
  SetUp(ev, record);
  ev.SetStringSign(options & 1 ? ssQMark : ssApostrophe);
  ev.SetCommentSign(static_cast<TCommentSign>((options >> 1) % 3));
  ev.SetCaseSensitivity(options & 8);
  const auto type = static_cast<TExprType>((options >> 4) % 5);

  TValueCell one;
  switch (type) {
    case etInteger: ev.EvaluateInteger(text, one.I, 0); break;
    case etExtended: ev.EvaluateExtended(text, one.E, 0); break;
    case etBoolean: ev.EvaluateBoolean(text, one.B, 0); break;
    case etString: ev.EvaluateString(text, one.S, 0); break;
    case etDateTime: ev.EvaluateDateTime(text, one.D, 0); break;
  }
  // Compiled: evaluated twice, as the filter and highlight rules are, row after row.
  ev.CompileExpression(text, 2);
  for (int i = 0; i < 2; ++i) {
    TValueCell cell;
    ev.EvaluateCompiled(type, cell, 2);
  }
  ev.FreeCompiled(2);
  return 0;
}
