// Add Table without its window: the mapping's preselection and layout, the
// conversions, the append loop with its progress steps and skipped rows, one
// batch at the end, and Cancel appending nothing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "db/Connection.h"
#include "db/Dbf.h"
#include "platform/SysUtils.h"
#include "support/TableFiles.h"
#include "workspace/AddTable.h"
#include "workspace/TableCopy.h"
#include "workspace/TableWorkspace.h"

namespace fs = std::filesystem;

namespace {

class AddTableTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFormatSettings(TFormatSettings::Default());
    dir = MakeTestFolder("addtable");
  }
  void TearDown() override {
    target.Close();
    SetFormatSettings(TFormatSettings::Default());
    fs::remove_all(dir);
  }
  // The open table: NAME C20, AMOUNT N, BORN D, PAID L, NOTES M.
  void OpenTarget() {
    TCopyFieldDefs defs{{"NAME", "", fkText, 20},
                        {"AMOUNT", "", fkNumber, 0},
                        {"BORN", "", fkDateTime, 0},
                        {"PAID", "", fkBoolean, 0},
                        {"NOTES", "", fkMemo, 0}};
    ASSERT_TRUE(WriteDbfHeader(dir + "target.dbf", defs, {2026, 5, 9}));
    conn.ConnectionString = DBaseFileTarget(dir + "target.dbf").ConnectionString();
    target.SetConnection(&conn);
    target.SQL = "SELECT * FROM \"target.dbf\"";
    target.Open();
  }
  std::string dir;
  TADOConnection conn;
  TADOQuery target;
};

void OpenRows(TDataSet& ds, std::vector<TFieldDef> fields, const std::vector<std::vector<TValue>>& rows) {
  TTableData d;
  d.Fields = std::move(fields);
  for (const auto& r : rows) d.Rows.push_back(PackRow(r));
  d.ReadOnlyReason = "read-only";
  ds.OpenData(std::move(d));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), {});
}

}  // namespace

TEST_F(AddTableTest, SourceKindsAndLayout) {
  EXPECT_EQ(AddSourceKindOf("/a/b.DBF"), TAddSourceKind::DBase);
  EXPECT_EQ(AddSourceKindOf("/a/b.mdb"), TAddSourceKind::Access);
  EXPECT_EQ(AddSourceKindOf("/a/b.accdb"), TAddSourceKind::None);
  EXPECT_EQ(AddSourceKindOf("/a.mdb/b"), TAddSourceKind::None);
  const TAddTableRowLayout l = AddTableRowLayout(2);
  EXPECT_EQ(l.NameLeft, 15);
  EXPECT_EQ(l.NameTop, 65);
  EXPECT_EQ(l.EqualLeft, 120);
  EXPECT_EQ(l.ComboLeft, 150);
  EXPECT_EQ(l.ComboTop, 61);
  TAddTableSession session;
  EXPECT_EQ(session.Connect(dir + "notes.txt"), TAddSourceKind::None);
}

TEST_F(AddTableTest, PreselectionIgnoresCase) {
  OpenTarget();
  TDataSet src;
  OpenRows(src, {{"city", ftString, 10}, {"name", ftString, 10}, {"Paid", ftBoolean}, {"NOTE", ftMemo}}, {});
  EXPECT_EQ(AddTableComboItems(src), (std::vector<std::string>{"", "city", "name", "Paid", "NOTE"}));
  EXPECT_EQ(AddTablePreselection(target, src), (std::vector<int>{2, 0, 0, 3, 0}));
}

TEST_F(AddTableTest, Conversions) {
  OpenTarget();
  const double when = EncodeDate(2026, 3, 5), whenTime = when + EncodeTime(10, 30, 0, 0);
  struct TCase {
    const char* field;
    TFieldType source;
    TValue value;
    TValue expected;  // null: the field stays null
  };
  const TCase cases[] = {
      {"NAME", ftString, std::string("abc"), std::string("abc")},
      {"NAME", ftFloat, 2.5, std::string("2.5")},
      {"NAME", ftDateTime, whenTime, std::string("3/5/2026 10:30:00 AM")},
      {"NAME", ftBoolean, true, std::string("T")},
      {"NAME", ftMemo, std::string("m"), std::string("m")},
      {"AMOUNT", ftString, std::string("12.5"), 12.5},
      {"AMOUNT", ftString, std::string("twelve"), TValue()},
      {"AMOUNT", ftInteger, int64_t{7}, 7.0},
      {"AMOUNT", ftDate, when, when},
      {"AMOUNT", ftBoolean, true, 1.0},
      {"AMOUNT", ftMemo, std::string("1e2"), 100.0},
      {"BORN", ftString, std::string("3/5/2026"), when},
      {"BORN", ftString, std::string("soon"), TValue()},
      {"BORN", ftFloat, when, when},
      {"BORN", ftFloat, 1e12, TValue()},  // no date the table can hold
      {"BORN", ftDate, when, when},
      {"BORN", ftBoolean, true, 1.0},
      {"BORN", ftBoolean, false, 0.0},
      {"PAID", ftString, std::string("t"), true},
      {"PAID", ftString, std::string("FALSE"), false},
      {"PAID", ftString, std::string("yes"), TValue()},
      {"PAID", ftFloat, 0.0, false},
      {"PAID", ftInteger, int64_t{3}, true},
      {"PAID", ftDateTime, when, true},
      {"PAID", ftBoolean, false, false},
      {"PAID", ftMemo, std::string("true"), true},
      {"NOTES", ftString, std::string("text"), std::string("text")},
      {"NOTES", ftFloat, 0.1, std::string("0.1")},
      {"NOTES", ftDate, when, std::string("3/5/2026")},
      {"NOTES", ftBoolean, false, std::string("F")},
      {"NOTES", ftString, TValue(), TValue()},
  };
  for (const TCase& c : cases) {
    target.Append();
    TField& f = target.FieldByName(c.field);
    const bool assigned = AssignConverted(f, c.source, c.value);
    EXPECT_EQ(assigned, !ValueIsNull(c.expected)) << c.field << " " << int(c.source);
    EXPECT_EQ(f.Value(), c.expected) << c.field << " " << int(c.source);
    target.Cancel();
  }
}

TEST_F(AddTableTest, CommaNumbersFollowTheLocale) {
  for (char sep : {',', '.'}) {
    OpenTarget();
    TFormatSettings fs = TFormatSettings::Default();
    fs.DecimalSeparator = sep;
    fs.ThousandSeparator = sep == ',' ? '.' : ',';
    SetFormatSettings(fs);
    TDataSet src;
    OpenRows(src, {{"AMOUNT", ftString, 10}}, {{std::string("12,5")}});
    const TAddTableResult r = AppendMappedRows(target, src, {"", "AMOUNT"}, {});
    target.Close();
    target.Open();
    if (sep == ',') {
      EXPECT_EQ(r.Added, 1);
      ASSERT_EQ(target.RecordCount(), 1);
      EXPECT_DOUBLE_EQ(target.FieldByName("AMOUNT").AsFloat(), 12.5);
    } else {
      // The field stays null, so the row has nothing and is not added.
      EXPECT_EQ(r.Added, 0);
      EXPECT_EQ(r.Skipped, 1);
      EXPECT_EQ(target.RecordCount(), 0);
    }
    target.Close();
  }
}

TEST_F(AddTableTest, ProgressOfAThousandRowsAndOneBatch) {
  OpenTarget();
  TDataSet src;
  std::vector<std::vector<TValue>> rows;
  for (int i = 0; i < 1000; ++i)
    rows.push_back({std::string("n" + std::to_string(i)), i % 7 == 0 ? TValue() : TValue(double(i)),
                    std::string(i % 3 == 0 ? "x" : "")});
  OpenRows(src, {{"NAME", ftString, 10}, {"AMOUNT", ftFloat}, {"NOTES", ftMemo}}, rows);
  src.SetRecNo(500);  // the loop starts at the first row whatever the cursor
  const std::string before = ReadBytes(dir + "target.dbf");
  std::vector<int> positions;
  std::vector<std::string> statuses;
  int repaints = 0, busy = 0;
  bool fileUntouchedDuringLoop = true, controlsOff = true;
  TAddTableProgress p;
  p.SetPosition = [&](int pos) {
    if (ReadBytes(dir + "target.dbf") != before) fileUntouchedDuringLoop = false;
    // Progress 0 is shown before the grid's updates are switched off.
    if (!positions.empty() && !target.ControlsDisabled()) controlsOff = false;
    positions.push_back(pos);
  };
  p.SetStatus = [&](const std::string& s) { statuses.push_back(s); };
  p.Repaint = [&] { ++repaints; };
  p.Busy = [&](bool on) { busy += on ? 1 : -1; };
  const TAddTableResult r = AppendMappedRows(target, src, {"NAME", "AMOUNT", "", "", "NOTES"}, p);
  EXPECT_EQ(r.Added, 1000);
  EXPECT_EQ(r.Skipped, 0);
  EXPECT_TRUE(fileUntouchedDuringLoop);  // every row waits in the batch until the end
  EXPECT_TRUE(controlsOff);
  EXPECT_FALSE(target.ControlsDisabled());
  EXPECT_EQ(busy, 0);
  ASSERT_GE(positions.size(), 2u);
  EXPECT_EQ(positions.front(), 0);
  EXPECT_EQ(positions.back(), 100);
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_GE(positions[i] - positions[i - 1], 4) << i;
  EXPECT_EQ(statuses, (std::vector<std::string>{"", "Updating the table, please wait", ""}));
  EXPECT_GE(repaints, static_cast<int>(positions.size()));
  EXPECT_EQ(target.PendingUpdates(), 0);

  TTableData t = DbfReadTable(dir + "target.dbf");
  ASSERT_EQ(t.Rows.size(), 1000u);
  const auto last = UnpackRow(t.Rows[999], 5);
  EXPECT_EQ(std::get<std::string>(last[0]), "n999");
  EXPECT_DOUBLE_EQ(std::get<double>(last[1]), 999.0);
  EXPECT_EQ(std::get<std::string>(last[4]), "x");
  EXPECT_TRUE(ValueIsNull(UnpackRow(t.Rows[7], 5)[1]));
}

TEST_F(AddTableTest, RowsWithNothingMappedAreSkipped) {
  OpenTarget();
  TDataSet src;
  OpenRows(src, {{"NAME", ftString, 10}, {"AMOUNT", ftString, 10}, {"OTHER", ftString, 10}},
           {{std::string("a"), std::string("1"), std::string("x")},
            {TValue(), TValue(), std::string("only unmapped")},
            {TValue(), std::string("not a number"), std::string("y")},  // the failed conversion leaves it all null
            {std::string("b"), std::string("not a number"), TValue()}});  // the row goes on without the number
  const TAddTableResult r = AppendMappedRows(target, src, {"NAME", "AMOUNT"}, {});
  EXPECT_EQ(r.Added, 2);
  EXPECT_EQ(r.Skipped, 2);
  target.Close();
  target.Open();
  ASSERT_EQ(target.RecordCount(), 2);
  target.Last();
  EXPECT_EQ(target.FieldByName("NAME").AsString(), "b");
  EXPECT_TRUE(target.FieldByName("AMOUNT").IsNull());
}

TEST_F(AddTableTest, SessionFromADbfFileAndCancel) {
  OpenTarget();
  WriteTestDbf(dir + "more.dbf", {{"Name", 'C', 10}, {"AMOUNT", 'N', 8, 2}, {"PAID", 'L', 1}, {"CITY", 'C', 10}},
               {{"Ann", "1.50", "T", "Oslo"}, {"Bob", "", "F", "Rome"}, {"", "", "", "Bonn"}});
  const std::string before = ReadBytes(dir + "target.dbf");
  {
    // Cancel: the window shows, nothing is added.
    TAddTableSession s;
    ASSERT_EQ(s.Connect(dir + "more.dbf"), TAddSourceKind::DBase);
    EXPECT_EQ(s.DefaultTable(), "more.dbf");
    s.OpenSource(s.DefaultTable());
    ASSERT_FALSE(s.SourceEmpty());
    s.BuildMapping(target);
    EXPECT_EQ(s.Selection(), (std::vector<int>{1, 2, 0, 3, 0}));
    s.Disconnect();
    EXPECT_FALSE(s.Source().Active());
  }
  EXPECT_EQ(ReadBytes(dir + "target.dbf"), before);
  EXPECT_EQ(target.RecordCount(), 0);
  EXPECT_EQ(target.PendingUpdates(), 0);

  TAddTableSession s;
  s.Connect(dir + "more.dbf");
  s.OpenSource("more.dbf");
  s.BuildMapping(target);
  s.Selection()[4] = 4;  // NOTES <- CITY
  const TAddTableResult r = s.Add(target, {});
  EXPECT_EQ(r.Added, 3);
  target.Close();
  target.Open();
  ASSERT_EQ(target.RecordCount(), 3);
  EXPECT_EQ(target.FieldByName("NAME").AsString(), "Ann");
  EXPECT_DOUBLE_EQ(target.FieldByName("AMOUNT").AsFloat(), 1.5);
  EXPECT_TRUE(target.FieldByName("PAID").AsBoolean());
  EXPECT_EQ(target.FieldByName("NOTES").AsString(), "Oslo");
  target.Last();
  EXPECT_TRUE(target.FieldByName("NAME").IsNull());
  EXPECT_EQ(target.FieldByName("NOTES").AsString(), "Bonn");

  // An empty source is told apart before the window shows.
  WriteTestDbf(dir + "empty.dbf", {{"NAME", 'C', 10}}, {});
  s.Connect(dir + "empty.dbf");
  s.OpenSource("empty.dbf");
  EXPECT_TRUE(s.SourceEmpty());
}

TEST_F(AddTableTest, SessionFromAnAccessTable) {
  const char* data = std::getenv("LARKPOST_TESTDATA");
  const std::string mdb = std::string(data ? data : "") + "/mdb/testV1997.mdb";
  if (!data || !fs::exists(mdb)) GTEST_SKIP() << "no Access test data";
  OpenTarget();
  TAddTableSession s;
  ASSERT_EQ(s.Connect(mdb), TAddSourceKind::Access);
  const std::vector<std::string> names = s.TableNames();
  ASSERT_FALSE(names.empty());
  for (const std::string& n : names) EXPECT_NE(n.rfind("MSys", 0), 0u) << n;
  s.OpenSource(names.front());
  const std::vector<std::string>& items = s.ComboItems();
  EXPECT_TRUE(items.empty());
  s.BuildMapping(target);
  ASSERT_GE(s.ComboItems().size(), 2u);
  EXPECT_EQ(s.ComboItems().front(), "");
  EXPECT_EQ(s.Selection().size(), 5u);
}
