#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "db/DataSet.h"
#include "platform/Dispatcher.h"
#include "workspace/RowRules.h"

namespace {

class TCalcFields : public ICalcFieldSource {
public:
  std::map<std::string, TCalcFieldDef> fields;
  mutable int asked = 0;
  void Add(const std::string& name, TCalcFieldType type, const std::string& expr) { fields[name] = {expr, true, type}; }
  bool FindCalcField(const std::string& name, TCalcFieldDef& def) const override {
    ++asked;
    auto it = fields.find(name);
    if (it == fields.end()) return false;
    def = it->second;
    return true;
  }
};

class TRecordingView : public IRowRulesView {
public:
  std::vector<std::string> calls;
  void ShowFilterPage() override { calls.push_back("page"); }
  void PlaceFilterCaret(int place) override { calls.push_back("filter caret " + std::to_string(place)); }
  void ShowHighlightSlot(int slot, int place) override {
    calls.push_back("slot " + std::to_string(slot) + " caret " + std::to_string(place));
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::vector<std::string> errors;
};

std::unique_ptr<TDataSet> MakeTable() {
  TTableData d;
  d.Fields = {{"F_NAME", ftString, 20, 0}, {"L_NAME", ftString, 20, 0}, {"Age", ftInteger, 0, 0},
              {"Score", ftFloat, 0, 0},    {"Paid", ftBoolean, 0, 0},   {"Born", ftDate, 0, 0},
              {"Fee", ftCurrency, 0, 0}};
  const std::vector<std::vector<TValue>> rows = {
      {std::string("John"), std::string("Smith"), int64_t(42), 2.5, true, 36526.0, 12.25},
      {std::string("Mary"), std::string("Jones"), int64_t(17), 7.0, false, 36527.0, 0.0},
      {std::string("Anna"), std::string("Smith"), int64_t(65), 1.0, true, 36528.0, 3.0},
      {std::string("Paul"), std::string("Brown"), int64_t(30), 9.5, false, 36529.0, 1.0},
  };
  for (const auto& r : rows) d.Rows.push_back(PackRow(r));
  auto ds = std::make_unique<TDataSet>();
  ds->OpenData(std::move(d));
  return ds;
}

class RowRules : public ::testing::Test {
protected:
  RowRules() {
    ev.SetStringSign(ssApostrophe);
    ev.SetCommentSign(csQMark);
    rules.SetCalcFieldSource(&calc);
    rules.SetView(&view);
    rules.UseHighlight = true;
    table = MakeTable();
    rules.TableQuery = table.get();
    rules.FieldSourceDataSet = table.get();
  }
  const std::vector<std::string>& Boxes() const { return view.errors; }

  TFastEval ev;
  TRowRules rules{ev};
  TCalcFields calc;
  TRecordingView view;
  std::unique_ptr<TDataSet> table;
};

}  // namespace

// ------------------------------------------------------------------ look-up

TEST_F(RowRules, FiveTypedLookUps) {
  calc.Add("SALUTATION", cftString, "'Dear ' + F_Name + ' ' + L_Name + '!'");
  calc.Add("AGE", cftString, "'hidden'");  // hidden by the table field Age
  calc.Add("F_NAME", cftInteger, "5");     // hidden, though F_Name is text
  calc.Add("FLAG", cftBoolean, "Age > 40");
  calc.Add("TWICE", cftInteger, "Age * 2");
  calc.Add("HALF", cftFloat, "Score / 2");
  calc.Add("LATER", cftDateTime, "Born + 1");
  calc.Add("NOTYPE", cftString, "'x'");
  calc.fields["NOTYPE"].HasType = false;

  struct TCase {
    std::string expr;
    TCalcFieldType type;
    bool ok;
    std::string value;  // as text
  };
  const std::vector<TCase> cases = {
      {"Age", cftInteger, true, "42"},       {"AGE + 1", cftInteger, true, "43"},
      {"Score", cftFloat, true, "2.5"},      {"Fee", cftFloat, true, "12.25"},
      {"Paid", cftBoolean, true, "1"},       {"F_Name", cftString, true, "John"},
      {"Born", cftDateTime, true, "36526"},  {"Salutation", cftString, true, "Dear John Smith!"},
      {"Age", cftString, false, ""},          // the table field hides the String calculated field
      {"F_NAME + 1", cftInteger, false, ""},  // ...and a text field the Integer one
      {"FLAG", cftBoolean, true, "1"},       {"FLAG", cftInteger, false, ""},  // the type must match exactly
      {"TWICE + 1", cftInteger, true, "85"}, {"HALF", cftFloat, true, "1.25"},
      {"LATER", cftDateTime, true, "36527"}, {"NOTYPE", cftString, false, ""},  // no type entry: not found
      {"Nothing", cftString, false, ""},
  };
  for (const auto& c : cases) {
    std::string got;
    bool ok = false;
    switch (c.type) {
      case cftInteger: {
        int32_t v = 0;
        ok = ev.EvaluateInteger(c.expr, v, 99);
        got = std::to_string(v);
        break;
      }
      case cftFloat: {
        Extended v = 0;
        ok = ev.EvaluateExtended(c.expr, v, 99);
        got = FloatToStr(static_cast<double>(v));
        break;
      }
      case cftBoolean: {
        bool v = false;
        ok = ev.EvaluateBoolean(c.expr, v, 99);
        got = v ? "1" : "0";
        break;
      }
      case cftString: ok = ev.EvaluateString(c.expr, got, 99); break;
      case cftDateTime: {
        TDateTime v = 0;
        ok = ev.EvaluateDateTime(c.expr, v, 99);
        got = FloatToStr(v);
        break;
      }
    }
    EXPECT_EQ(ok, c.ok) << c.expr;
    if (c.ok) {
      EXPECT_EQ(got, c.value) << c.expr;
    }
  }
  EXPECT_TRUE(rules.CalcFieldStack.empty());
  EXPECT_TRUE(Boxes().empty());  // handle 99 reports nothing
}

TEST_F(RowRules, LookUpIsPublicForTheMerge) {
  calc.Add("SALUTATION", cftString, "'Dear ' + F_Name");
  TValueCell v;
  ASSERT_TRUE(rules.LookUpVariable("salutation", cftString, v));
  EXPECT_EQ(v.S, "Dear John");
  bool found = false;
  int32_t i = 0;
  rules.GetIntegerVar("age", found, i);
  EXPECT_TRUE(found);
  EXPECT_EQ(i, 42);
  table->Next();
  rules.GetIntegerVar("AGE", found, i);
  EXPECT_EQ(i, 17);
  // Without a field source only calculated fields answer.
  rules.FieldSourceDataSet = nullptr;
  found = false;
  rules.GetIntegerVar("age", found, i);
  EXPECT_FALSE(found);
  rules.EvalStopFlag = true;
  EXPECT_FALSE(rules.LookUpVariable("salutation", cftString, v));
  rules.InFilterEval = rules.InHighlightEval = true;
  rules.BeginMergeLookUp();
  EXPECT_FALSE(rules.InFilterEval || rules.InHighlightEval || rules.EvalStopFlag);
  rules.FieldSourceDataSet = table.get();
  EXPECT_TRUE(rules.LookUpVariable("salutation", cftString, v));
}

TEST_F(RowRules, RecursiveCalculatedFieldShowsOneBox) {
  calc.Add("A", cftInteger, "B + 1");
  calc.Add("B", cftInteger, "A + 1");
  table->OnFilterRecord = rules.FilterCallback();
  rules.CompileRowExpressions("A > 0");
  table->SetFiltered(true);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Repeated call of identifier \"A\""});
  EXPECT_TRUE(rules.EvalStopFlag);
  EXPECT_EQ(table->RecordCount(), 4);  // every record passes
  EXPECT_TRUE(rules.CalcFieldStack.empty());
  // A second evaluation in the same run shows nothing more.
  int32_t v = 0;
  EXPECT_FALSE(ev.EvaluateInteger("A", v, CalcFieldHandle));
  EXPECT_EQ(Boxes().size(), 1u);

  // Itself.
  view.errors.clear();
  calc.Add("SELF", cftString, "Self + 'x'");
  rules.EvalStopFlag = false;
  std::string s;
  EXPECT_FALSE(ev.EvaluateString("SELF", s, 99));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Repeated call of identifier \"SELF\""});
}

TEST_F(RowRules, LongChainOfDistinctFieldsStops) {
  for (int i = 0; i < 500; ++i) calc.Add("C" + std::to_string(i), cftInteger, "C" + std::to_string(i + 1) + " + 1");
  calc.Add("C500", cftInteger, "1");
  int32_t v = 0;
  EXPECT_FALSE(ev.EvaluateInteger("C0", v, 99));
  EXPECT_TRUE(rules.CalcFieldStack.empty());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].rfind("Error in expression of Calculated Field \"C63\"", 0), 0u) << Boxes()[0];
  rules.EvalStopFlag = false;
  EXPECT_TRUE(ev.EvaluateInteger("C480", v, 99));
  EXPECT_EQ(v, 21);
}

// ------------------------------------------------------------------ error reports

TEST_F(RowRules, ErrorTextsPerHandle) {
  struct TCase {
    int handle;
    std::string text;
  };
  const std::string d = "\n\"Line 1, Col 7, Logical type value expected\"";
  std::vector<TCase> cases = {
      {CopyFilterHandle, "Error in Filter Expression With Description:" + d},
      {RowFilterHandle, "Error in Filter Expression with Description:" + d},
  };
  const char* names[] = {"Black",  "Maroon", "Green", "Olive",  "Navy", "Purple",  "Teal", "Gray",
                         "Silver", "Red",    "Lime",  "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
  for (int i = 0; i < 16; ++i)
    cases.push_back({10 + i, "Error in Expression of " + std::string(names[i]) + " color with Description:" + d});
  for (const auto& c : cases) {
    view.errors.clear();
    view.calls.clear();
    rules.FilterOn = rules.HighlightOn = true;
    rules.ReportError(1, 7, 9, 3, "evaluator's own text", c.handle);
    ASSERT_EQ(Boxes(), std::vector<std::string>{c.text}) << c.handle;
    if (c.handle == RowFilterHandle) {
      EXPECT_FALSE(rules.FilterOn);
      EXPECT_EQ(view.calls, (std::vector<std::string>{"page", "filter caret 9"}));
    } else if (c.handle == CopyFilterHandle) {
      EXPECT_FALSE(rules.FilterOn);
      EXPECT_TRUE(view.calls.empty());
    } else {
      EXPECT_FALSE(rules.HighlightOn);
      EXPECT_TRUE(rules.FilterOn);
      EXPECT_EQ(view.calls, (std::vector<std::string>{"page", "slot " + std::to_string(c.handle - 10) + " caret 9"}));
      // Off: silent.
      view.errors.clear();
      rules.ReportError(1, 7, 9, 3, "x", c.handle);
      EXPECT_TRUE(Boxes().empty());
    }
  }
  EXPECT_EQ(TRowRules::ErrorDescription(2, 3, 2, "x"), "Line 2, Col 3, Numerical type value expected");
  EXPECT_EQ(TRowRules::ErrorDescription(1, 1, 4, "x"), "Line 1, Col 1, Character type value expected");
  EXPECT_EQ(TRowRules::ErrorDescription(1, 5, 9, "Own text"), "Line 1, Col 5, Own text");
  // Stopped: nothing at all.
  view.errors.clear();
  rules.EvalStopFlag = true;
  rules.FilterOn = true;
  rules.ReportError(1, 7, 9, 3, "x", RowFilterHandle);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(rules.FilterOn);
}

TEST_F(RowRules, CalculatedFieldErrorDependsOnTheRunningEvaluation) {
  const std::string text =
      "Error in expression of Calculated Field \"NAME\" with description:\n\"Line 1, Col 7, "
      "Logical type value expected\"";
  rules.CalcFieldStack = {"OUTER", "NAME"};
  // In the filter of the filtered table query: the filter goes off.
  rules.InFilterEval = true;
  rules.FilterOn = true;
  table->SetFiltered(true);
  rules.ReportError(1, 7, 9, 3, "x", CalcFieldHandle);
  EXPECT_EQ(Boxes(), std::vector<std::string>{text});
  EXPECT_FALSE(rules.FilterOn);
  EXPECT_FALSE(rules.EvalStopFlag);
  // In the highlight: shown only while it is on, and it goes off.
  view.errors.clear();
  table->SetFiltered(false);
  rules.InFilterEval = false;
  rules.InHighlightEval = true;
  rules.HighlightOn = true;
  rules.ReportError(1, 7, 9, 3, "x", CalcFieldHandle);
  rules.ReportError(1, 7, 9, 3, "x", CalcFieldHandle);
  EXPECT_EQ(Boxes(), std::vector<std::string>{text});
  EXPECT_FALSE(rules.HighlightOn);
  // Anywhere else: the evaluation stops.
  view.errors.clear();
  rules.InHighlightEval = false;
  rules.ReportError(1, 7, 9, 3, "x", CalcFieldHandle);
  rules.ReportError(1, 7, 9, 3, "x", CalcFieldHandle);
  EXPECT_EQ(Boxes(), std::vector<std::string>{text});
  EXPECT_TRUE(rules.EvalStopFlag);
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(RowRules, RealFilterErrorNamesLineAndColumn) {
  table->OnFilterRecord = rules.FilterCallback();
  rules.CompileRowExpressions("Age > 1 and F_Name");
  table->SetFiltered(true);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].rfind("Error in Filter Expression with Description:\n\"Line 1, Col ", 0), 0u) << Boxes()[0];
  EXPECT_EQ(Boxes()[0].back(), '"');
  EXPECT_FALSE(rules.FilterOn);
  EXPECT_EQ(view.calls.at(0), "page");
  EXPECT_EQ(table->RecordCount(), 4);
}

// ------------------------------------------------------------------ filter

TEST_F(RowRules, FilterOffAndOn) {
  calc.Add("ADULT", cftBoolean, "Age >= 18");
  table->OnFilterRecord = rules.FilterCallback();
  rules.CompileRowExpressions("L_NAME = 'Smith' and ADULT and Score < 3");
  // Unchecked: compiled but never evaluated.
  table->SetFiltered(false);
  EXPECT_EQ(table->RecordCount(), 4);
  EXPECT_EQ(calc.asked, 0);
  table->SetFiltered(true);
  EXPECT_EQ(table->RecordCount(), 2);
  EXPECT_GT(calc.asked, 0);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(rules.InFilterEval);
  EXPECT_FALSE(rules.InHighlightEval);
  EXPECT_EQ(table->Fields(0).AsString(), "John");
}

TEST_F(RowRules, FilterErrorOnceThenEveryRowVisibleUntilCompiledAgain) {
  table->OnFilterRecord = rules.FilterCallback();
  rules.CompileRowExpressions("Nope = 1");
  table->SetFiltered(true);
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(table->RecordCount(), 4);
  table->SetFiltered(false);
  table->SetFiltered(true);
  EXPECT_EQ(Boxes().size(), 1u);
  // Fixed and reopened.
  rules.CompileRowExpressions("Age < 20");
  table->SetFiltered(false);
  table->SetFiltered(true);
  EXPECT_EQ(table->RecordCount(), 1);
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(RowRules, CalculatedFieldFailingInsideTheFilter) {
  calc.Add("BAD", cftBoolean, "Nope");
  table->OnFilterRecord = rules.FilterCallback();
  rules.CompileRowExpressions("BAD");
  table->SetFiltered(true);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].rfind("Error in expression of Calculated Field \"BAD\" with description:\n\"Line 1, Col 4, ", 0),
            0u)
      << Boxes()[0];
  EXPECT_FALSE(rules.FilterOn);
  EXPECT_EQ(table->RecordCount(), 4);
}

TEST_F(RowRules, CalculatedFieldsInTheFilterAreCompiledOncePerName) {
  calc.Add("ADULT", cftBoolean, "Age >= 18");
  calc.Add("SENIOR", cftBoolean, "Adult and (Age > 60)");
  table->OnFilterRecord = rules.FilterCallback();
  rules.CompileRowExpressions("Adult xor Senior");
  table->SetFiltered(true);
  EXPECT_EQ(table->RecordCount(), 2);  // John and Paul
  EXPECT_EQ(rules.CalcFieldCompilations(), 2u);
  // A changed text or type is compiled again, an unchanged one is not.
  calc.Add("SENIOR", cftBoolean, "Adult and (Age > 40)");
  table->SetFiltered(false);
  table->SetFiltered(true);
  EXPECT_EQ(table->RecordCount(), 1);  // Paul
  EXPECT_EQ(rules.CalcFieldCompilations(), 3u);
  EXPECT_TRUE(Boxes().empty());
  calc.Add("ADULT", cftInteger, "Age");  // no Boolean any more: the filter fails
  table->SetFiltered(false);
  table->SetFiltered(true);
  EXPECT_EQ(Boxes().size(), 1u);
  // Asked as a number for a comparison that never comes: compiled for its new type.
  EXPECT_EQ(rules.CalcFieldCompilations(), 4u);
  // Forgotten fields free their handles.
  rules.ForgetCalcFields();
  for (int h = FirstCalcFieldSlotHandle; h < FirstCalcFieldSlotHandle + 2; ++h) EXPECT_FALSE(ev.IsCompiled(h)) << h;
  TValueCell v;
  table->SetFiltered(false);
  table->First();
  rules.FieldSourceDataSet = table.get();
  EXPECT_TRUE(rules.LookUpVariable("adult", cftInteger, v));
  EXPECT_EQ(v.I, 42);
  EXPECT_EQ(rules.CalcFieldCompilations(), 5u);
  EXPECT_TRUE(ev.IsCompiled(FirstCalcFieldSlotHandle));
}

// ------------------------------------------------------------------ highlight

TEST(HighlightSlots, FixedColoursAndNames) {
  const THighlightSlots slots = NewHighlightSlots();
  const std::vector<std::tuple<std::string, int, int, int>> expected = {
      {"Black", 0, 0, 0},        {"Maroon", 128, 0, 0},    {"Green", 0, 128, 0},  {"Olive", 128, 128, 0},
      {"Navy", 0, 0, 128},       {"Purple", 128, 0, 128},  {"Teal", 0, 128, 128}, {"Gray", 128, 128, 128},
      {"Silver", 192, 192, 192}, {"Red", 255, 0, 0},       {"Lime", 0, 255, 0},   {"Yellow", 255, 255, 0},
      {"Blue", 0, 0, 255},       {"Fuchsia", 255, 0, 255}, {"Aqua", 0, 255, 255}, {"White", 255, 255, 255}};
  for (int i = 0; i < 16; ++i) {
    const auto& [name, r, g, b] = expected[i];
    EXPECT_EQ(HighlightColorNames()[i], name);
    EXPECT_EQ(slots[i].Color, (TRgb{uint8_t(r), uint8_t(g), uint8_t(b)})) << name;
    EXPECT_EQ(SlotColor(i), slots[i].Color);
    EXPECT_FALSE(slots[i].Enabled);
    EXPECT_EQ(slots[i].Expression, "");
  }
  EXPECT_EQ(SlotColor(16), (TRgb{0, 0, 0}));
}

TEST_F(RowRules, FirstTrueRuleWinsAndFailingRulesAreSkipped) {
  auto set = [&](int slot, const std::string& e) {
    rules.HighlightSlots[slot].Enabled = true;
    rules.HighlightSlots[slot].Expression = e;
  };
  set(0, "L_NAME = 'Smith'");
  set(15, "Age > 10");
  set(3, "Paid");
  set(5, "F_NAME = 'Mary'");
  rules.CompileRowExpressions("");
  table->First();
  EXPECT_EQ(rules.EvaluateRowColor(*table), 0);  // Smith, Age > 10, Paid: black before white
  table->Next();
  EXPECT_EQ(rules.EvaluateRowColor(*table), 5);  // Mary: slot 5 before 15
  table->Next();
  EXPECT_EQ(rules.EvaluateRowColor(*table), 0);
  table->Next();
  EXPECT_EQ(rules.EvaluateRowColor(*table), 15);
  EXPECT_TRUE(rules.InHighlightEval);
  EXPECT_FALSE(rules.InFilterEval);

  // A disabled rule counts for nothing.
  rules.SetSlotEnabled(15, false);
  EXPECT_EQ(rules.EvaluateRowColor(*table), DefaultRowColor);
  // Highlight unchecked: the default colour.
  rules.UseHighlight = false;
  table->First();
  EXPECT_EQ(rules.EvaluateRowColor(*table), DefaultRowColor);
  EXPECT_TRUE(Boxes().empty());

  // A rule that fails is skipped for the row; its box is shown once and the
  // highlight then stays off.
  rules.UseHighlight = true;
  rules.SetSlotExpression(0, "Nope");
  EXPECT_EQ(rules.EvaluateRowColor(*table), 3);
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].rfind("Error in Expression of Black color with Description:\n\"Line 1, Col 4, ", 0), 0u)
      << Boxes()[0];
  EXPECT_FALSE(rules.HighlightOn);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"page", "slot 0 caret 4"}));
  table->Next();
  EXPECT_EQ(rules.EvaluateRowColor(*table), DefaultRowColor);
  EXPECT_EQ(Boxes().size(), 1u);
}

// The rules run while the grid paints: their errors (a rule's own, a calculated
// field's, a repeated name) wait for the paint to end, then show once.
TEST_F(RowRules, ErrorsWhileColouringAreShownAfterThePaint) {
  calc.Add("LOOP", cftBoolean, "LOOP");
  calc.Add("BAD", cftBoolean, "Nope");
  const struct {
    const char* rule;
    int colour;  // a repeated name stops the evaluation of the rest
    std::vector<std::string> view;
    const char* text;
  } cases[] = {
      {"Nope", 7, {"page", "slot 2 caret 4"}, "Error in Expression of Green color with Description:"},
      {"BAD", 7, {}, "Error in expression of Calculated Field \"BAD\" with description:"},
      {"LOOP", DefaultRowColor, {}, "Repeated call of identifier \"LOOP\""},
  };
  for (const auto& c : cases) {
    TManualDispatcher dispatcher;
    TScopedDispatcher installed(&dispatcher);
    view.errors.clear();
    view.calls.clear();
    rules.HighlightSlots[2] = {true, c.rule, rules.HighlightSlots[2].Color};
    rules.HighlightSlots[7] = {true, "Age > 10", rules.HighlightSlots[7].Color};
    rules.CompileRowExpressions("");
    table->First();
    EXPECT_EQ(rules.EvaluateRowColor(*table), c.colour) << c.rule;
    table->Next();
    rules.EvaluateRowColor(*table);
    EXPECT_TRUE(Boxes().empty()) << c.rule;
    EXPECT_TRUE(view.calls.empty()) << c.rule;
    EXPECT_EQ(dispatcher.ProcessPending(), 1) << c.rule;
    ASSERT_EQ(Boxes().size(), 1u) << c.rule;
    EXPECT_EQ(Boxes()[0].rfind(c.text, 0), 0u) << Boxes()[0];
    EXPECT_EQ(view.calls, c.view) << c.rule;
    EXPECT_EQ(dispatcher.ProcessPending(), 0) << c.rule;
  }
  // Outside the colouring a rule's error is shown at once, as before.
  rules.CompileRowExpressions("");
  view.errors.clear();
  rules.ReportError(1, 7, 9, 3, "x", FirstHighlightHandle);
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(RowRules, RowColoursAreKeptPerRecordUntilInvalidated) {
  rules.HighlightSlots[9] = {true, "Age > 40", rules.HighlightSlots[9].Color};
  rules.CompileRowExpressions("");
  int positioned = 0;
  auto row = [&](int recNo) {
    return [&, recNo]() -> IFieldSource* {
      ++positioned;
      table->SetRecNo(recNo);
      return table.get();
    };
  };
  // Asked in any order and more than once, each record is evaluated once.
  for (int pass = 0; pass < 3; ++pass)
    for (int recNo : {3, 1, 2, 4, 1})
      EXPECT_EQ(rules.RowColor(recNo, row(recNo)), recNo == 1 || recNo == 3 ? 9 : DefaultRowColor) << recNo;
  EXPECT_EQ(positioned, 4);
  // The sorted column always takes the sort colour.
  EXPECT_EQ(rules.CellColor("Age", "Age", 14, 2, row(2)), 14);
  EXPECT_EQ(rules.CellColor("F_NAME", "Age", 14, 1, row(1)), 9);
  EXPECT_EQ(positioned, 4);
  // The data changed: evaluated again.
  rules.InvalidateRowColors();
  EXPECT_EQ(rules.RowColor(2, row(2)), DefaultRowColor);
  EXPECT_EQ(positioned, 5);
  // A rule edit forgets the colours too.
  rules.SetSlotExpression(9, "Age < 20");
  EXPECT_EQ(rules.RowColor(1, row(1)), DefaultRowColor);
  EXPECT_EQ(rules.RowColor(1, row(1)), DefaultRowColor);
  EXPECT_EQ(positioned, 6);
  // While the highlight is off nothing is evaluated.
  rules.HighlightOn = false;
  EXPECT_EQ(rules.RowColor(4, row(4)), DefaultRowColor);
  EXPECT_EQ(positioned, 6);
}
