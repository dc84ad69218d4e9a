// The merge values of the open table: a calculated field of the project first
// (evaluated by the row rules' evaluator, errors through its report), then a
// field of the current record, through the merger as the mailing windows use it.

#include <gtest/gtest.h>

#include <memory>

#include "db/DataSet.h"
#include "mailing/Project.h"
#include "mailing/TableTagSource.h"
#include "support/MergeFakes.h"
#include "tests/support/BoxedRowRulesView.h"
#include "workspace/RowRules.h"

namespace {

std::unique_ptr<TDataSet> MakeTable() {
  TTableData d;
  d.Fields = {{"F_NAME", ftString, 20, 0},
              {"L_NAME", ftString, 20, 0},
              {"Age", ftInteger, 0, 0},
              {"Score", ftFloat, 0, 0},
              {"Paid", ftBoolean, 0, 0}};
  const std::vector<std::vector<TValue>> rows = {
      {std::string("John"), std::string("Smith"), int64_t(42), 3.5, true},
      {std::string("Mary"), std::string("Jones"), int64_t(17), 7.0, false},
  };
  for (const auto& r : rows) d.Rows.push_back(PackRow(r));
  auto ds = std::make_unique<TDataSet>();
  ds->OpenData(std::move(d));
  return ds;
}

struct TSign : ITagSignSource {
  char TagSign() const override { return '%'; }
};

class TableTagSource : public ::testing::Test {
protected:
  TableTagSource() {
    eval.SetStringSign(ssApostrophe);
    eval.SetCommentSign(csQMark);
    rules.SetCalcFieldSource(&project);
    rules.SetView(&view);
    rules.TableQuery = table.get();
    reader.SetDefaultBlanks();
    reader.RemoveBlankChar('\n');
    reader.RemoveBlankChar('\r');
    reader.SetStandardDelimiters();
    reader.DeleteWord("_");
  }
  void Calc(const std::string& name, TCalcFieldType type, const std::string& expr) {
    project.AddCalcField(name);
    project.SetCalcExpression(name, expr);
    project.SetCalcType(name, type);
  }

  TScopedScriptedMessages boxes;
  TFastEval eval;
  TBoxedRowRulesView view;
  TRowRules rules{eval};
  TProject project;
  std::unique_ptr<TDataSet> table = MakeTable();
  TTableTagSource source{rules, eval, project, *table};
  TReader reader;
  TSign sign;
  TBoxedMergeWarnings warnings;
  TMerger merger{reader, source, sign, warnings};
};

}  // namespace

TEST_F(TableTagSource, CalculatedFieldsByTypeThenTableFields) {
  Calc("SALUTATION", cftString, "'Dear ' + F_Name + ' ' + L_Name + '!' \"a comment\"");
  Calc("TWICE", cftInteger, "Age * 2");
  Calc("HALF", cftFloat, "Score / 2");
  Calc("ADULT", cftBoolean, "Age >= 18");
  Calc("L_NAME", cftString, "'the calculated field wins'");
  struct TCase {
    const char* text;
    const char* merged;
  } cases[] = {
      {"%Salutation", "Dear John Smith!"},
      {"%TWICE|%half|%Adult", "84|1.75|True"},
      {"%L_NAME", "the calculated field wins"},
      {"%F_Name %Score %Paid %AGE", "John 3.5 True 42"},
      {"%nothing", "%nothing"},
  };
  for (const auto& c : cases) EXPECT_EQ(merger.ExpandTags(c.text, false), c.merged) << c.text;
  table->Next();
  EXPECT_EQ(merger.ExpandTags("%Salutation %Adult", false), "Dear Mary Jones! False");
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(rules.CalcFieldStack.empty());
}

TEST_F(TableTagSource, AnotherRecordSourceAndNoTable) {
  Calc("WHO", cftString, "F_Name");
  auto walk = std::make_unique<TDataSet>();
  walk->Clone(*table);
  walk->Last();
  source.SetFieldSource(*walk);
  EXPECT_EQ(merger.ExpandTags("%WHO/%F_NAME", false), "Mary/Mary");
  source.ResetFieldSource();
  EXPECT_EQ(merger.ExpandTags("%WHO/%F_NAME", false), "John/John");
  walk.reset();
  table->Close();
  // No open table: the field is unknown, the calculated field fails quietly after its box.
  std::string v;
  EXPECT_FALSE(source.TableFieldValue("F_NAME", v));
  EXPECT_EQ(merger.ExpandTags("%F_NAME", false), "%F_NAME");
}

TEST_F(TableTagSource, ErrorsAreReportedOnceAndTheTagStays) {
  Calc("BAD", cftInteger, "F_Name * 2");
  Calc("SELF", cftString, "SELF + 'x'");
  Calc("ODD", cftString, "'x'");
  project.SetCalcType("ODD", 9);  // a type index no evaluation knows
  EXPECT_EQ(merger.ExpandTags("%BAD", false), "%BAD");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text.rfind("Error in expression of Calculated Field \"BAD\" with description:\n\"", 0), 0u)
      << boxes.shown[0].text;
  EXPECT_TRUE(rules.EvalStopFlag);
  EXPECT_TRUE(source.EvalStopFlag());
  // Each look-up starts afresh: the next tag evaluates again.
  EXPECT_EQ(merger.ExpandTags("%SELF", false), "%SELF");
  ASSERT_GE(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].text, "Repeated call of identifier \"SELF\"");
  const size_t shown = boxes.shown.size();
  EXPECT_EQ(merger.ExpandTags("%ODD", false), "%ODD");
  EXPECT_EQ(boxes.shown.size(), shown);
  EXPECT_TRUE(rules.CalcFieldStack.empty());
  // The merge look-up is no filter or highlight evaluation.
  rules.InFilterEval = true;
  rules.InHighlightEval = true;
  EXPECT_EQ(merger.ExpandTags("%F_NAME", false), "John");
  EXPECT_FALSE(rules.InFilterEval || rules.InHighlightEval);
}

namespace {

std::unique_ptr<TDataSet> NumberedTable(int rows) {
  TTableData d;
  d.Fields = {{"F_NAME", ftString, 20, 0}, {"AGE", ftInteger, 0, 0}};
  for (int i = 0; i < rows; ++i) d.Rows.push_back(PackRow({std::string("P") + std::to_string(i), int64_t(i)}));
  auto ds = std::make_unique<TDataSet>();
  ds->OpenData(std::move(d));
  return ds;
}

}  // namespace

TEST_F(TableTagSource, EachCalculatedFieldIsCompiledOnceForAllRecords) {
  Calc("SALUTATION", cftString, "'Dear ' + F_Name + '!'");
  Calc("TWICE", cftInteger, "Age * 2");
  Calc("GREETING", cftString, "Salutation + ' (' + F_Name + ')'");  // another calculated field inside
  auto many = NumberedTable(1000);
  source.SetFieldSource(*many);
  int records = 0;
  for (many->First(); !many->Eof(); many->Next(), ++records) {
    const std::string n = std::to_string(records);
    ASSERT_EQ(merger.ExpandTags("%SALUTATION %TWICE %GREETING", false),
              "Dear P" + n + "! " + std::to_string(2 * records) + " Dear P" + n + "! (P" + n + ")");
  }
  EXPECT_EQ(records, 1000);
  EXPECT_EQ(rules.CalcFieldCompilations(), 3u);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(rules.CalcFieldStack.empty());
}

TEST_F(TableTagSource, AnEditedFieldIsCompiledAgain) {
  Calc("WHO", cftString, "F_Name");
  EXPECT_EQ(merger.ExpandTags("%WHO", false), "John");
  EXPECT_EQ(merger.ExpandTags("%WHO", false), "John");
  EXPECT_EQ(rules.CalcFieldCompilations(), 1u);
  struct TEdit {
    const char* expression;
    TCalcFieldType type;
    const char* merged;
    size_t compilations;
  } edits[] = {
      {"L_Name", cftString, "Smith", 2}, {"L_Name", cftString, "Smith", 2},  // the same text again: kept
      {"Age + 1", cftString, "%WHO", 3},  // the merge shows the tag after the error box
      {"Age + 1", cftInteger, "43", 4},  {"Age + 1", cftFloat, "43", 5},    {"Age > 40", cftBoolean, "True", 6},
  };
  for (const auto& e : edits) {
    project.SetCalcExpression("WHO", e.expression);
    project.SetCalcType("WHO", e.type);
    EXPECT_EQ(merger.ExpandTags("%WHO", false), e.merged) << e.expression;
    EXPECT_EQ(rules.CalcFieldCompilations(), e.compilations) << e.expression;
  }
  EXPECT_EQ(boxes.shown.size(), 1u);
  // Another project of the same field name starts from nothing.
  TProject other;
  other.AddCalcField("WHO");
  other.SetCalcExpression("WHO", "'other'");
  other.SetCalcType("WHO", cftString);
  rules.SetCalcFieldSource(&other);
  TTableTagSource otherSource{rules, eval, other, *table};
  TMerger otherMerger{reader, otherSource, sign, warnings};
  EXPECT_EQ(otherMerger.ExpandTags("%WHO", false), "other");
  EXPECT_EQ(rules.CalcFieldCompilations(), 7u);
  // A project whose text changed behind the same object: compiled again.
  other.SetCalcExpression("WHO", "'changed'");
  EXPECT_EQ(otherMerger.ExpandTags("%WHO", false), "changed");
  EXPECT_EQ(rules.CalcFieldCompilations(), 8u);
}

TEST_F(TableTagSource, ErrorsOfAKeptFieldShowTheCalculatedFieldBoxOncePerLookUp) {
  Calc("BAD", cftInteger, "F_Name * 2");
  Calc("OUTER", cftInteger, "Bad + 1");
  Calc("SELF", cftString, "SELF + 'x'");
  const std::string badBox =
      "Error in expression of Calculated Field \"BAD\" with description:\n\"Line 1, Col 6, Integer type value "
      "expected\"";
  struct TCase {
    const char* text;
    const char* merged;
    std::string box;
  } cases[] = {
      {"%BAD", "%BAD", badBox},
      {"%OUTER", "%OUTER", badBox},  // the inner field's error names the inner field
      {"%SELF", "%SELF", "Repeated call of identifier \"SELF\""},
  };
  for (int round = 0; round < 3; ++round) {
    for (const auto& c : cases) {
      boxes.shown.clear();
      EXPECT_EQ(merger.ExpandTags(c.text, false), c.merged) << c.text;
      ASSERT_EQ(boxes.shown.size(), 1u) << c.text;
      EXPECT_EQ(boxes.shown[0].text, c.box) << c.text;
      EXPECT_TRUE(rules.CalcFieldStack.empty());
    }
  }
  EXPECT_EQ(rules.CalcFieldCompilations(), 3u);
}
