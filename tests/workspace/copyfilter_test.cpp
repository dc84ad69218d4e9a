// The row rules as the filter of a restructuring copy: only the rows the
// Filter page's text accepts are written, an error in the text is reported
// once as the copy's and then lets every row through, and the next copy tries
// the text afresh.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "db/Connection.h"
#include "db/DataSet.h"
#include "support/TableFiles.h"
#include "tests/support/BoxedRowRulesView.h"
#include "workspace/RowRulesCopyFilter.h"
#include "workspace/TableCopy.h"
#include "workspace/TableSaveAs.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TDataSet> People() {
  TTableData d;
  d.Fields = {{"NAME", ftString, 10, 0}, {"AGE", ftInteger, 0, 0}};
  for (const auto& [name, age] :
       std::vector<std::pair<std::string, int64_t>>{{"Ann", 42}, {"Bob", 17}, {"Cid", 65}, {"Dee", 30}, {"Eve", 12}})
    d.Rows.push_back(PackRow({name, age}));
  auto ds = std::make_unique<TDataSet>();
  ds->OpenData(std::move(d));
  return ds;
}

class CopyFilter : public ::testing::Test {
protected:
  CopyFilter() {
    ev.SetStringSign(ssApostrophe);
    ev.SetCommentSign(csQMark);
    table = People();
    rules.SetView(&view);
    rules.TableQuery = table.get();
    dir = MakeTestFolder("copyfilter");
  }
  ~CopyFilter() override { fs::remove_all(dir); }

  // The names a filtered copy writes.
  std::vector<std::string> CopiedNames(ICopyRowFilter& filter) {
    TTableStructure s = BuildTableStructure(*table, {});
    TCopyRowsRequest rq;
    rq.Restructure = true;
    rq.AskOptions = [&] {
      filter.CompileCopyFilter();
      return TCopyOptions{true, true, false};
    };
    rq.Accept = [&](TDataSet& row) { return filter.AcceptCopyRow(row); };
    const std::string file = dir + "copy" + std::to_string(++copies) + ".dbf";
    const TCopyResult r = CopyTable(file, s, table.get(), rq);
    filter.FreeCopyFilter();
    EXPECT_TRUE(r.RowsCopied) << r.Error;
    TADOConnection conn;
    conn.ConnectionString = SavedTableConnectionString(dir);
    TADOQuery q;
    q.SetConnection(&conn);
    q.SQL = "SELECT * FROM \"" + NameOfFile(file) + "\"";
    q.Open();
    std::vector<std::string> names;
    for (q.First(); !q.Eof(); q.Next()) names.push_back(q.FieldByName("NAME").AsString());
    return names;
  }

  TScopedScriptedMessages boxes;
  TFastEval ev;
  TBoxedRowRulesView view;
  TRowRules rules{ev};
  std::unique_ptr<TDataSet> table;
  std::string dir;
  int copies = 0;
};

}  // namespace

TEST_F(CopyFilter, OnlyAcceptedRowsAreWritten) {
  std::string text = "age > 20";
  TRowRulesCopyFilter filter(rules, ev, text);
  EXPECT_EQ(CopiedNames(filter), (std::vector<std::string>{"Ann", "Cid", "Dee"}));
  text = "(name = 'Bob') or (age < 13)";
  EXPECT_EQ(CopiedNames(filter), (std::vector<std::string>{"Bob", "Eve"}));
  EXPECT_TRUE(boxes.shown.empty());
  // The copy's handle is gone afterwards; the table's own filter is not touched.
  bool value = true;
  EXPECT_FALSE(ev.EvaluateCompiledBoolean(value, CopyFilterHandle));
}

TEST_F(CopyFilter, AnErrorIsReportedOnceThenEveryRowPasses) {
  std::string text = "nosuchfield > 1";
  TRowRulesCopyFilter filter(rules, ev, text);
  EXPECT_EQ(CopiedNames(filter).size(), 5u);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text.rfind("Error in Filter Expression With Description:", 0), 0u) << boxes.shown[0].text;
  EXPECT_FALSE(rules.FilterOn);
  // The next copy compiles afresh and filters again.
  text = "age < 20";
  EXPECT_EQ(CopiedNames(filter), (std::vector<std::string>{"Bob", "Eve"}));
  EXPECT_TRUE(rules.FilterOn);
  EXPECT_EQ(boxes.shown.size(), 1u);
}
