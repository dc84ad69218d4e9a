// The table workspace's rules without a window: connection strings, pick lists,
// counters, record buttons, the view configuration, the record editor layout,
// find, duplicates, the snapshot around failed batch updates, SQL templates.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "support/TableFiles.h"
#include "platform/FileHandle.h"
#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "toolkit/StrFile.h"
#include "workspace/SqlRules.h"
#include "workspace/TableWorkspace.h"
#include "workspace/sqlset.h"

namespace {

// "F3" and the like (snprintf keeps GCC's string-copy warnings quiet).
std::string Numbered(const char* prefix, int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%d", prefix, i);
  return buf;
}

class TablesTest : public ::testing::Test {
protected:
  void SetUp() override { SetFormatSettings(TFormatSettings{}); }
};

// A dataset over rows held in memory.
void OpenRows(TDataSet& ds, std::vector<TFieldDef> fields, std::vector<std::vector<TValue>> rows) {
  TTableData d;
  d.Fields = std::move(fields);
  for (const auto& r : rows) d.Rows.push_back(PackRow(r));
  d.ReadOnlyReason = "read-only";
  ds.OpenData(std::move(d));
}

TEST_F(TablesTest, ConnectionStringsOfTheOpenExamples) {
  const TConnectionTarget dbf = DBaseFileTarget("/data/Clients.dbf");
  EXPECT_EQ(dbf.DBQ, "/data/");
  EXPECT_EQ(dbf.DefaultDir, "/data/");
  EXPECT_EQ(dbf.Table, "Clients.dbf");
  EXPECT_EQ(dbf.ConnectionString(),
            "Provider=MSDataShape;Extended Properties=\"DBQ=/data/;DefaultDir=/data/;"
            "Driver={Microsoft DBase Driver (*.dbf)}\"");
  const TConnectionTarget mdb = AccessFileTarget("/data/Shop.mdb");
  EXPECT_EQ(mdb.DBQ, "Shop.mdb");
  EXPECT_EQ(mdb.DefaultDir, "/data/");
  EXPECT_EQ(mdb.Driver, "{Microsoft Access Driver (*.mdb)}");
  const TConnectionTarget sqlDbf = SqlTarget(1, "/data/dbase");
  EXPECT_EQ(sqlDbf.DBQ, "/data/dbase");
  EXPECT_EQ(sqlDbf.DefaultDir, "/data/dbase");
  EXPECT_EQ(sqlDbf.Driver, "{Microsoft DBase Driver (*.dbf)}");
  const TConnectionTarget sqlMdb = SqlTarget(0, "/data/Shop.mdb");
  EXPECT_EQ(sqlMdb.DBQ, "Shop.mdb");
  EXPECT_EQ(sqlMdb.DefaultDir, "/data/");
}

TEST_F(TablesTest, FieldWidthsAndPickListsFromTheFirstFiftyRecords) {
  TDataSet ds;
  std::vector<std::vector<TValue>> rows;
  for (int i = 0; i < 500; ++i)
    rows.push_back({std::string(i % 2 ? "Smith" : "smith"), 1.5, TValue{}, std::string(Numbered("N", i)), true});
  OpenRows(ds, {{"ID", ftString, 4}, {"Price", ftFloat}, {"Born", ftDate}, {"Name", ftString, 50}, {"Paid", ftBoolean}},
           rows);
  TFormFieldsArray f;
  BuildFormFields(ds, f);
  ASSERT_EQ(f.size(), 5u);
  EXPECT_EQ(f[0].Width, 7);
  EXPECT_EQ(f[3].Width, 10);
  EXPECT_EQ(f[4].Width, 6);
  EXPECT_TRUE(f[0].Autocomplete);
  EXPECT_FALSE(f[4].Autocomplete);
  ScanPickLists(ds, f);
  EXPECT_EQ(f[0].PickList, (std::vector<std::string>{"smith", "Smith"}));
  EXPECT_EQ(f[1].PickList, (std::vector<std::string>{"1.5"}));
  EXPECT_TRUE(f[2].PickList.empty());  // nulls stay out
  EXPECT_EQ(f[3].PickList.size(), 50u);
  EXPECT_EQ(f[3].PickList.back(), "N49");
  EXPECT_TRUE(f[4].PickList.empty());

  TDataSet three;
  OpenRows(three, {{"City", ftString, 20}},
           {{std::string("Rome")}, {std::string("")}, {std::string("Paris with a long name")}});
  TFormFieldsArray g;
  BuildFormFields(three, g);
  ScanPickLists(three, g);
  EXPECT_EQ(g[0].PickList, (std::vector<std::string>{"Rome", "Paris with a long name"}));
  EXPECT_EQ(g[0].Width, 22);  // a longer value widens the field
}

TEST_F(TablesTest, RecentValuesGoOnTopAndTheFiftyFirstIsDropped) {
  std::vector<std::string> list;
  for (int i = 0; i < 50; ++i) list.push_back(Numbered("City", i));
  AddRecentValue(list, "Berlin");
  ASSERT_EQ(list.size(), 50u);
  EXPECT_EQ(list.front(), "Berlin");
  EXPECT_EQ(list.back(), "City48");
  const auto before = list;
  AddRecentValue(list, "Berlin");
  AddRecentValue(list, "City10");
  AddRecentValue(list, "");
  EXPECT_EQ(list, before);
}

TEST_F(TablesTest, RecordCounterAndRecordButtons) {
  EXPECT_EQ(RecordCounterText(3, 120), "Record 3 of 120");
  EXPECT_EQ(RecordCounterText(-1, 0), "Record -1 of 0");
  EXPECT_EQ(RecordActionsFor(nullptr), TRecordActions{});
  TDataSet ds;
  OpenRows(ds, {{"A", ftString, 5}}, {});
  EXPECT_EQ(RecordActionsFor(&ds), (TRecordActions{false, false, true, false}));
  TDataSet full;
  OpenRows(full, {{"A", ftString, 5}}, {{std::string("x")}});
  EXPECT_EQ(RecordActionsFor(&full), (TRecordActions{false, false, true, true}));
}

TEST_F(TablesTest, SortTexts) {
  EXPECT_EQ(SortText(true, "City", false), "City ASC");
  EXPECT_EQ(SortText(true, "City", true), "City DESC");
  EXPECT_EQ(SortText(false, "City", true), "");
  EXPECT_EQ(SortText(true, "", false), "");
}

// --- view configuration ---

TFormFieldsArray Fields(int n) {
  TFormFieldsArray f(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    f[static_cast<size_t>(i)].Kind = i == 2 ? fkBoolean : fkText;
    f[static_cast<size_t>(i)].Width = 10;
  }
  return f;
}

std::vector<std::string> Names(int n) {
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) names.push_back(Numbered("F", i));
  return names;
}

TEST_F(TablesTest, ConfigPathDropsTheLastExtension) {
  EXPECT_EQ(TableConfigPath("/db/", "Clients.dbf"), "/db/Clients.cfg");
  EXPECT_EQ(TableConfigPath("/db/", "Orders"), "/db/Orders.cfg");
  EXPECT_EQ(TableConfigPath("/db/", "a.b.dbf"), "/db/a.b.cfg");
}

TEST_F(TablesTest, ConfigRoundTripWithExactBytes) {
  const std::string dir = MakeTestFolder("cfg");
  const std::string path = dir + "t.cfg";
  TFormFieldsArray out = Fields(3);
  out[0].Width = 12;
  out[0].Template = true;
  out[0].Autocomplete = false;
  out[0].ColumnWidth = 80;
  out[0].PickList = {"Berlin", "Rome"};
  TSortState sort{"F0", true, true};
  ASSERT_TRUE(WriteTableConfig(path, sort, Names(3), out));

  // Sort "F0", descending, 3 fields, F0: 12, 1, 0, 80, 2 entries...
  TFileHandle h;
  ASSERT_TRUE(h.Open(path, TFileAccess::Read));
  std::string s;
  int32_t v = 0;
  char b = 0;
  ASSERT_TRUE(ReadStr(h, s));
  EXPECT_EQ(s, "F0");
  ASSERT_TRUE(h.ReadExact(&b, 1));
  EXPECT_EQ(b, 1);
  ASSERT_TRUE(ReadInt32(h, v));
  EXPECT_EQ(v, 3);
  ASSERT_TRUE(ReadStr(h, s));
  EXPECT_EQ(s, "F0");
  ASSERT_TRUE(ReadInt32(h, v));
  EXPECT_EQ(v, 12);
  h.Close();

  TFormFieldsArray in = Fields(3);
  TSortState got;
  std::vector<std::string> upper = {"f0", "F1", "f2"};  // names differing in case still match
  ReadTableConfig(path, got, upper, in);
  EXPECT_EQ(got.SortField, "F0");
  EXPECT_TRUE(got.SortOn);
  EXPECT_TRUE(got.Descending);
  EXPECT_EQ(in[0].Width, 12);
  EXPECT_TRUE(in[0].Template);
  EXPECT_FALSE(in[0].Autocomplete);
  EXPECT_EQ(in[0].ColumnWidth, 80);
  EXPECT_EQ(in[0].PickList, (std::vector<std::string>{"Berlin", "Rome"}));

  // An unsorted table writes an empty sort name.
  TSortState off{"F1", false, false};
  ASSERT_TRUE(WriteTableConfig(path, off, Names(3), out));
  EXPECT_EQ(off.SortField, "");
  std::filesystem::remove_all(dir);
}

TEST_F(TablesTest, ConfigOfOtherLayoutsKeepsWhatItMust) {
  const std::string dir = MakeTestFolder("cfg2");
  const std::string path = dir + "t.cfg";
  TFormFieldsArray nine = Fields(9);
  for (auto& f : nine) {
    f.Width = 33;
    f.PickList = {"x"};
  }
  TSortState sort{"F1", true, false};
  ASSERT_TRUE(WriteTableConfig(path, sort, Names(9), nine));

  // 8 fields against 9 stored: the sort stays, nothing else.
  TFormFieldsArray eight = Fields(8);
  TSortState got;
  ReadTableConfig(path, got, Names(8), eight);
  EXPECT_EQ(got.SortField, "F1");
  EXPECT_TRUE(got.SortOn);
  EXPECT_EQ(eight[0].Width, 10);
  EXPECT_TRUE(eight[0].PickList.empty());

  // A sort name of 12 or more characters: the whole file is ignored.
  TSortState longSort{"ABCDEFGHIJKL", true, true};
  ASSERT_TRUE(WriteTableConfig(path, longSort, Names(9), nine));
  TFormFieldsArray again = Fields(9);
  TSortState none;
  ReadTableConfig(path, none, Names(9), again);
  EXPECT_EQ(none.SortField, "");
  EXPECT_FALSE(none.SortOn);
  EXPECT_EQ(again[0].Width, 10);

  // A renamed field stops the reading there; the fields before it keep what was read.
  ASSERT_TRUE(WriteTableConfig(path, sort, Names(9), nine));
  std::vector<std::string> renamed = Names(9);
  renamed[3] = "Other";
  TFormFieldsArray part = Fields(9);
  ReadTableConfig(path, none, renamed, part);
  EXPECT_EQ(part[1].Width, 33);
  EXPECT_EQ(part[3].Width, 10);
  EXPECT_EQ(part[4].Width, 10);

  // Damaged files: cut anywhere, nothing breaks, and what lies before the cut
  // is read: the sort once its bytes are there, then the fields in order, each
  // field's width before its pick list. The longer the file, the more is read.
  std::string bytes;
  {
    TFileHandle h;
    ASSERT_TRUE(h.Open(path, TFileAccess::Read));
    bytes.resize(static_cast<size_t>(h.Size()));
    ASSERT_TRUE(h.ReadExact(bytes.data(), static_cast<int64_t>(bytes.size())));
  }
  const size_t sortBytes = 4 + 2 + 1;  // the length, "F1", the direction
  // Where each field's record ends: name, width, two marks, column width, and
  // the pick list {"x"} of every kind but boolean.
  std::vector<size_t> fieldEnds;
  size_t at = sortBytes + 4;
  for (size_t i = 0; i < 9; ++i) {
    at += 4 + Names(9)[i].size() + 4 + 2 + 4 + (i == 2 ? 0 : 4 + 4 + 1);
    fieldEnds.push_back(at);
  }
  ASSERT_EQ(fieldEnds.back(), bytes.size());
  size_t fieldsBefore = 0;
  for (size_t cut = 0; cut <= bytes.size(); cut += (cut + 3 < bytes.size() ? 3 : 1)) {
    TFileHandle w;
    ASSERT_TRUE(w.Create(path));
    w.WriteExact(bytes.data(), static_cast<int64_t>(cut));
    w.Close();
    TFormFieldsArray f = Fields(9);
    TSortState s;
    ReadTableConfig(path, s, Names(9), f);
    EXPECT_EQ(s.SortField, cut >= sortBytes ? "F1" : "") << cut;
    EXPECT_EQ(s.SortOn, cut >= sortBytes) << cut;
    size_t widths = 0;
    while (widths < f.size() && f[widths].Width == 33) ++widths;
    for (size_t i = 0; i < f.size(); ++i) {
      const bool hasList = f[i].Kind != fkBoolean;
      if (i >= widths) {
        EXPECT_EQ(f[i].Width, 10) << cut << " field " << i;
        EXPECT_TRUE(f[i].PickList.empty()) << cut << " field " << i;
      } else if (hasList && i + 1 < widths) {
        EXPECT_EQ(f[i].PickList, std::vector<std::string>{"x"}) << cut << " field " << i;
      }
    }
    EXPECT_GE(widths, fieldsBefore) << cut;
    const size_t whole = static_cast<size_t>(
        std::count_if(fieldEnds.begin(), fieldEnds.end(), [cut](size_t end) { return end <= cut; }));
    EXPECT_TRUE(widths == whole || widths == whole + 1) << cut << ": " << widths << " of " << whole;
    fieldsBefore = widths;
    if (cut == bytes.size()) {
      EXPECT_EQ(widths, 9u);
      EXPECT_EQ(f[8].PickList, std::vector<std::string>{"x"});
    }
  }
  // Missing file: nothing changes.
  TFormFieldsArray f = Fields(9);
  TSortState s;
  ReadTableConfig(dir + "missing.cfg", s, Names(9), f);
  EXPECT_EQ(f[0].Width, 10);
  std::filesystem::remove_all(dir);
}

TEST_F(TablesTest, RecordEditorLayoutRule) {
  TFormFieldsArray f(4);
  f[0].Width = 10;  // 90 px
  f[1].Width = 10;
  f[2].Width = 40;  // 330 px: no room on the first row
  f[2].Kind = fkMemo;
  f[3].Width = 7;  // 66 px
  const auto p = LayoutRecordEditors(f, 400);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0].EditorX, 10);
  EXPECT_EQ(p[0].EditorY, 22);
  EXPECT_EQ(p[0].EditorWidth, 90);
  EXPECT_EQ(p[1].EditorX, 110);
  EXPECT_EQ(p[1].EditorWidth, 400 - 110 - 25);  // stretched: the row is full
  EXPECT_EQ(p[2].LabelX, 10);
  EXPECT_EQ(p[2].LabelY, 50);
  EXPECT_EQ(p[2].EditorWidth, 400 - 10 - 25);  // a lone memo is stretched too
  EXPECT_EQ(p[3].LabelY, 50 + 109);            // a memo row is 109 high
  EXPECT_EQ(p[3].EditorWidth, 400 - 10 - 25);
  // A first field wider than the box stays on the first row.
  TFormFieldsArray wide(1);
  wide[0].Width = 100;
  EXPECT_EQ(LayoutRecordEditors(wide, 200)[0].EditorY, 22);
}

// --- find and duplicates ---

TEST_F(TablesTest, FindIncludingAndExactly) {
  TDataSet ds;
  OpenRows(ds, {{"Name", ftString, 20}, {"Age", ftInteger}, {"Memo", ftMemo}, {"Ok", ftBoolean}},
           {{std::string("Jones"), int64_t(30), TValue{}, true},
            {std::string("Smith"), int64_t(40), TValue{}, true},
            {std::string("Sm"), int64_t(50), TValue{}, true}});
  EXPECT_EQ(FindableFields(ds), (std::vector<int>{0, 1}));
  ds.First();
  EXPECT_TRUE(FindRecord(ds, 0, "Sm", true));
  EXPECT_EQ(ds.RecNo(), 2);
  ds.First();
  EXPECT_TRUE(FindRecord(ds, 0, "Sm", false));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_FALSE(FindRecord(ds, 0, "smith", true));
  EXPECT_FALSE(FindRecord(ds, 0, "smith", false));
  EXPECT_TRUE(FindRecord(ds, 1, "40", false));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_THROW(FindRecord(ds, 1, "forty", false), EConvertError);
  EXPECT_EQ(ds.RecNo(), 2);
}

TEST_F(TablesTest, DuplicateScans) {
  struct TCase {
    std::vector<TValue> values;
    TFieldType type;
    std::vector<int> duplicates;
  } cases[] = {
      {{std::string("A"), std::string("A"), std::string("A"), std::string("B"), std::string("B")}, ftString, {2, 3, 5}},
      {{std::string("Berlin"), std::string("BERLIN")}, ftString, {2}},
      {{std::string(""), std::string("")}, ftString, {}},
      {{1.5, 1.5, 2.0}, ftFloat, {2}},
      {{TValue{}, TValue{}, 0.0}, ftFloat, {3}},  // a null reads as 0 but is never a duplicate
      {{std::string("a"), std::string("A")}, ftMemo, {}},
      {{true, true, false}, ftBoolean, {2}},
      {{std::string("x"), std::string("y"), std::string("z")}, ftString, {}},
  };
  for (const TCase& c : cases) {
    TDataSet ds;
    std::vector<std::vector<TValue>> rows;
    for (const TValue& v : c.values) rows.push_back({v});
    OpenRows(ds, {{"V", c.type, 10}}, rows);
    ds.First();
    std::vector<int> found;
    EXPECT_FALSE(DuplicateScan(ds, 0, false, &found));
    EXPECT_EQ(found, c.duplicates);
    // Finding one at a time visits the same records.
    ds.First();
    std::vector<int> oneByOne;
    while (DuplicateScan(ds, 0, true, nullptr)) {
      oneByOne.push_back(ds.RecNo());
      if (ds.RecNo() == ds.RecordCount()) break;
      // The next use goes on from the duplicate: it is the first of its walk.
    }
    EXPECT_EQ(oneByOne, c.duplicates);
  }
}

// --- SQL templates ---

TEST_F(TablesTest, BuildSQLKeepsBlanksAndReplacesWholeWords) {
  TScopedScriptedMessages boxes;
  TSQLSet set;
  InitMainSQLSet(set);
  ASSERT_TRUE(set.AddVariable("TabName", "Orders"));
  EXPECT_EQ(set.BuildSQL("Main"), "SELECT * FROM \"Orders\"");
  EXPECT_EQ(set.BuildSQL("main"), "SELECT * FROM \"Orders\"");
  TSQLItem& item = set.SQLItems().Add();
  item.SetTitle("Blanks");
  item.SetSQLText("SELECT  \tx FROM tabname, TabNameX  ");
  EXPECT_EQ(set.BuildSQL("Blanks"), "SELECT   x FROM Orders, TabNameX");
  item.SetSQLText("SELECT a,\r\nb FROM [TabName] WHERE c<>'TabName'");
  EXPECT_EQ(set.BuildSQL("Blanks"), "SELECT a,\r\nb FROM [Orders] WHERE c<>'Orders'");
  EXPECT_EQ(set.BuildSQL("Nothing"), "");
  ASSERT_TRUE(set.AddVariable("TabName", "Clients.dbf"));
  EXPECT_EQ(set.BuildSQL("Main"), "SELECT * FROM \"Clients.dbf\"");
  EXPECT_TRUE(boxes.shown.empty());

  std::string refusal;
  EXPECT_FALSE(set.AddVariable("Tab.Name", "x", &refusal));
  EXPECT_EQ(refusal, "The variable name can not contain a devider \".\"");
  EXPECT_FALSE(set.AddVariable("", "x", &refusal));
  EXPECT_EQ(refusal, "Variable name missing");
  EXPECT_TRUE(boxes.shown.empty());  // the window shows a refusal
  EXPECT_EQ(set.BuildSQL("Main"), "SELECT * FROM \"Clients.dbf\"");
}

TEST_F(TablesTest, SqlFileNamesAndDatabaseType) {
  EXPECT_EQ(SqlSaveFileName("/q/query1"), "/q/query1.sql");
  EXPECT_EQ(SqlSaveFileName("/q/query1.txt"), "/q/query1.txt");
  EXPECT_EQ(SqlDatabaseTypeFor("/data/shop.mdb"), 0);
  EXPECT_EQ(SqlDatabaseTypeFor("/data/dbase"), 1);
  EXPECT_EQ(SqlDatabaseTypeFor("/data/dbase/"), 1);
}

// --- the workspace over a real dBase file ---

// A host whose grid read can lock the table file, so that the next batch update fails.
class TLockingHost : public ITableHost {
public:
  std::string path;
  int locksLeft = 0;
  TFileHandle lock;
  int GridCol() const override {
    auto* self = const_cast<TLockingHost*>(this);
    if (self->locksLeft > 0 && !self->lock.IsOpen()) {
      --self->locksLeft;
      self->lock.Open(path, TFileAccess::Read, TFileShare::DenyReadWrite);
    }
    return 3;
  }
  int GridColumnWidth(int) const override {
    const_cast<TLockingHost*>(this)->lock.Close();
    return 0;
  }
  bool ConfirmDeleteOption() const override { return false; }
  int gridColSet = 0, leftColSet = 0;
  void SetGridCol(int col) override { gridColSet = col; }
  void SetGridLeftCol(int col) override { leftColSet = col; }
  std::vector<int> selected;
  std::vector<int> SelectedRows() const override { return selected; }
  struct TTold {
    TMsgKind kind;
    std::string text;
  };
  std::vector<TTold> told;  // what the window was given to show, in order
  void ShowError(const std::string& text) override { told.push_back({TMsgKind::Error, text}); }
  void ShowWarning(const std::string& text) override { told.push_back({TMsgKind::Warning, text}); }
};

class WorkspaceTest : public TablesTest {
protected:
  void SetUp() override {
    TablesTest::SetUp();
    dir = MakeTestFolder("ws");
    path = dir + "Clients.dbf";
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= 10; ++i) rows.push_back({Numbered("Name", i), std::to_string(i), "T"});
    WriteTestDbf(path, {{"NAME", 'C', 20}, {"NUM", 'N', 5}, {"OK", 'L', 1}}, rows);
    host.path = path;
  }
  void TearDown() override {
    ws.reset();
    std::filesystem::remove_all(dir);
  }
  TTableWorkspace& W() {
    if (!ws) ws = std::make_unique<TTableWorkspace>(&host);
    return *ws;
  }
  std::string dir, path;
  TLockingHost host;
  std::unique_ptr<TTableWorkspace> ws;
};

TEST_F(WorkspaceTest, OpenEditAppendDeleteReachTheFile) {
  TTableWorkspace& w = W();
  w.OpenDBFFile(path);
  ASSERT_TRUE(w.IsOpen());
  EXPECT_EQ(w.TableName, "Clients.dbf");
  EXPECT_EQ(w.DataBaseDir, dir);
  EXPECT_EQ(w.ADOQuery1.SQL, "SELECT * FROM \"Clients.dbf\"");
  EXPECT_EQ(w.ADOQuery1.RecordCount(), 10);
  EXPECT_EQ(w.FormFields.size(), 3u);

  w.ADOQuery1.SetRecNo(3);
  w.EditRecord();
  w.ADOQuery1.Fields(0).SetAsString("Berlin");
  EXPECT_TRUE(w.PostRecord());
  EXPECT_EQ(w.FormFields[0].PickList.front(), "Berlin");
  w.AppendRecord();
  w.ADOQuery1.Fields(0).SetAsString("New");
  EXPECT_TRUE(w.PostRecord());
  EXPECT_TRUE(w.ADOQuery1.Fields(2).AsBoolean() == false);  // a null boolean is posted as False
  w.ADOQuery1.SetRecNo(1);
  w.DeleteRecords();
  w.TitleClick(0);
  EXPECT_EQ(w.ADOQuery1.Sort(), "NAME ASC");
  w.CloseTable();
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(w.TableName, "");
  EXPECT_TRUE(std::filesystem::exists(dir + "Clients.cfg"));

  w.OpenDBFFile(path);
  ASSERT_TRUE(w.IsOpen());
  EXPECT_EQ(w.ADOQuery1.RecordCount(), 10);
  EXPECT_EQ(w.ADOQuery1.Sort(), "NAME ASC");  // the sort came back from the view configuration
  EXPECT_EQ(w.FormFields[0].PickList[0], "New");
  EXPECT_EQ(w.FormFields[0].PickList[1], "Berlin");
  EXPECT_TRUE(w.ADOQuery1.Locate("NAME", std::string("New"), 0));
  EXPECT_FALSE(w.ADOQuery1.Locate("NAME", std::string("Name1"), 0));
  EXPECT_TRUE(w.ADOQuery1.Locate("NAME", std::string("Berlin"), 0));
}

// Opening a table of another folder closes the first one: its view
// configuration stays beside it, not in the new folder.
TEST_F(WorkspaceTest, ViewConfigurationStaysInTheFolderOfItsTable) {
  const std::string other = MakeTestFolder("ws-other");
  const std::string otherPath = other + "Orders.dbf";
  WriteTestDbf(otherPath, {{"ITEM", 'C', 10}}, {{"a"}, {"b"}});
  TTableWorkspace& w = W();
  w.OpenDBFFile(path);
  w.TitleClick(0);
  ASSERT_EQ(w.ADOQuery1.Sort(), "NAME ASC");
  w.OpenDBFFile(otherPath);
  ASSERT_TRUE(w.IsOpen());
  EXPECT_TRUE(std::filesystem::exists(dir + "Clients.cfg"));
  EXPECT_FALSE(std::filesystem::exists(other + "Clients.cfg"));
  w.OpenDBFFile(path);
  EXPECT_EQ(w.ADOQuery1.Sort(), "NAME ASC");
  w.CloseTable();
  EXPECT_TRUE(std::filesystem::exists(other + "Orders.cfg"));
  EXPECT_FALSE(std::filesystem::exists(dir + "Orders.cfg"));
  std::filesystem::remove_all(other);
}

TEST_F(WorkspaceTest, DamagedTableOpensAndSaysOnceWhatIsWrong) {
  CutTestDbf(path, 1);  // the header still declares ten
  TTableWorkspace& w = W();
  w.OpenDBFFile(path);
  ASSERT_TRUE(w.IsOpen());
  EXPECT_EQ(w.ADOQuery1.RecordCount(), 1);
  ASSERT_EQ(host.told.size(), 1u);
  EXPECT_EQ(host.told[0].kind, TMsgKind::Warning);
  EXPECT_EQ(host.told[0].text, "The table is damaged: 10 records declared, 1 could be read: " + path);
  // Working in it says nothing more.
  w.EditRecord();
  w.ADOQuery1.Fields(0).SetAsString("Kept");
  EXPECT_TRUE(w.PostRecord());
  w.TitleClick(0);
  EXPECT_EQ(host.told.size(), 1u);
}

TEST_F(WorkspaceTest, FailedBatchUpdateRestoresTheView) {
  TTableWorkspace& w = W();
  w.OpenDBFFile(path);
  w.FormFields[0].Template = true;
  w.ADOQuery1.OnFilterRecord = [](TDataSet&, bool& accept) { accept = true; };
  w.ADOQuery1.SetFiltered(true);
  w.TitleClick(1);
  w.Descend();
  w.ADOQuery1.SetRecNo(7);
  w.EditRecord();
  w.ADOQuery1.Fields(0).SetAsString("Lost");
  host.locksLeft = 1;
  w.PostRecord();
  ASSERT_TRUE(w.IsOpen());
  EXPECT_EQ(w.ADOQuery1.RecNo(), 7);
  EXPECT_EQ(w.ADOQuery1.Sort(), "NUM DESC");
  EXPECT_TRUE(w.ADOQuery1.Filtered());
  EXPECT_EQ(host.gridColSet, 3);
  EXPECT_TRUE(w.FormFields[0].Template);
  EXPECT_EQ(w.ADOQuery1.Fields(0).AsString(), "Name4");  // the file's value, not the lost edit
  EXPECT_TRUE(host.told.empty());                        // silent

  // A lost new record is appended again once.
  w.AppendRecord();
  w.ADOQuery1.Fields(0).SetAsString("Again");
  host.locksLeft = 1;
  w.PostRecord();
  EXPECT_EQ(w.ADOQuery1.RecordCount(), 11);
  EXPECT_TRUE(w.ADOQuery1.Locate("NAME", std::string("Again"), 0));
  EXPECT_TRUE(host.told.empty());

  // When the second try fails too, the values are shown and the table stays as reopened.
  w.CloseTable();  // a fresh open, whose store has not touched the file yet
  w.OpenDBFFile(path);
  w.AppendRecord();
  w.ADOQuery1.Fields(0).SetAsString("Twice");
  w.ADOQuery1.Fields(1).SetAsString("77");
  w.ADOQuery1.Fields(2).SetAsBoolean(true);
  host.locksLeft = 2;
  w.PostRecord();
  EXPECT_TRUE(w.IsOpen());
  EXPECT_EQ(w.ADOQuery1.RecordCount(), 11);
  ASSERT_EQ(host.told.size(), 1u);
  EXPECT_NE(host.told[0].text.find("NAME: Twice\nNUM: 77\nOK: True"), std::string::npos) << host.told[0].text;
}

TEST_F(WorkspaceTest, ReappendAfterAFailedBatchKeepsWideNumbersExact) {
  WriteTestDbf(path, {{"NAME", 'C', 20}, {"ID", 'N', 19}}, {{"First", "1"}});
  TTableWorkspace& w = W();
  w.OpenDBFFile(path);
  w.AppendRecord();
  w.ADOQuery1.Fields(0).SetAsString("Wide");
  w.ADOQuery1.Fields(1).SetAsString("123456789012345678");
  host.locksLeft = 1;
  w.PostRecord();
  EXPECT_TRUE(host.told.empty());
  ASSERT_TRUE(w.ADOQuery1.Locate("NAME", std::string("Wide"), 0));
  EXPECT_EQ(w.ADOQuery1.Fields(1).AsString(), "123456789012345678");
}

TEST_F(WorkspaceTest, MultiRowDeleteGoesFromTheBack) {
  TTableWorkspace& w = W();
  w.OpenDBFFile(path);
  host.selected = {2, 4, 5};
  w.DeleteRecords();
  EXPECT_EQ(w.ADOQuery1.RecordCount(), 7);
  for (const char* gone : {"Name2", "Name4", "Name5"})
    EXPECT_FALSE(w.ADOQuery1.Locate("NAME", std::string(gone), 0)) << gone;
  EXPECT_TRUE(w.ADOQuery1.Locate("NAME", std::string("Name3"), 0));
}

TEST_F(WorkspaceTest, SqlResultHasNoConfigurationAndIsReadOnly) {
  TTableWorkspace& w = W();
  w.OpenSQL(1, dir, "SELECT NAME FROM \"Clients\" WHERE NUM > 5");
  ASSERT_TRUE(w.IsOpen());
  EXPECT_TRUE(w.SQLQueryMode);
  EXPECT_EQ(w.ADOQuery1.RecordCount(), 5);
  w.EditRecord();
  w.ADOQuery1.Fields(0).SetAsString("x");
  EXPECT_FALSE(w.PostRecord());
  ASSERT_EQ(host.told.size(), 1u);
  EXPECT_TRUE(w.IsOpen());
  EXPECT_TRUE(w.SQLQueryMode);
  w.CloseTable();
  EXPECT_FALSE(std::filesystem::exists(dir + ".cfg"));
  EXPECT_THROW(w.OpenSQL(1, dir, "SELECT nonsense FROM"), std::exception);
  EXPECT_FALSE(w.SQLQueryMode);
}

}  // namespace
