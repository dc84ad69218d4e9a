// The dataset over dBase files the tests write: cursor, sort, filter, locate,
// clones, batch updates and what python3-dbf reads back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "db/DateParts.h"
#include "db/Dbf.h"
#include "db/FieldKind.h"
#include "support/DbTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A dBase III table with a memo file and the given rows (NAME, AGE, BORN, PAID, NOTES).
std::string WriteClients(const std::string& dir, const std::vector<std::vector<TValue>>& rows,
                         const std::string& name = "clients.dbf") {
  std::vector<TDbfFieldDef> fields = {{"Name", 'C', 20, 0}, {"Age", 'N', 5, 0}, {"Born", 'D', 8, 0},
                                      {"Paid", 'L', 1, 0},  {"Amount", 'N', 12, 2}, {"Notes", 'M', 10, 0}};
  TDbfHeader h;
  h.Version = 0x83;
  h.Year = 2026;
  h.Month = 5;
  h.Day = 9;
  const std::string path = dir + "/" + name;
  {
    std::ofstream f(path, std::ios::binary);
    f << DbfEncodeTableHead(h, fields) << '\x1A';
  }
  fs::path memo = fs::path(path).replace_extension(".dbt");
  EXPECT_TRUE(TDbfMemoFile::Create(memo.string()));
  if (!rows.empty()) {
    TADOConnection c;
    c.ConnectionString = DbfConnectionString(dir);
    TADOQuery q;
    OpenTable(c, q, name);
    for (const auto& r : rows) {
      q.Append();
      for (size_t i = 0; i < r.size(); ++i) q.Fields(static_cast<int>(i)).SetValue(r[i]);
      q.Post();
    }
    q.UpdateBatch();
  }
  return path;
}

std::vector<std::vector<TValue>> People() {
  return {{std::string("Smith"), int64_t(40), dbdate::Encode(1986, 3, 5), true, 12.5, std::string("first note")},
          {std::string("adams"), int64_t(31), dbdate::Encode(1995, 1, 2), false, 3.0, TValue()},
          {std::string("Baker"), TValue(), TValue(), TValue(), TValue(), std::string("second\r\nnote")},
          {std::string("smith"), int64_t(25), dbdate::Encode(2001, 12, 31), true, -7.25, TValue()},
          {std::string("Zorn"), int64_t(40), dbdate::Encode(1986, 3, 5), false, 0.0, TValue()}};
}

std::vector<std::string> Names(TDataSet& q) {
  std::vector<std::string> out;
  for (q.First(); !q.Eof(); q.Next()) out.push_back(q.FieldByName("NAME").AsString());
  return out;
}

struct TTable {
  explicit TTable(const std::string& tag, const std::vector<std::vector<TValue>>& rows = People()) {
    dir = MakeTempDir(tag);
    path = WriteClients(dir, rows);
    conn.ConnectionString = DbfConnectionString(dir);
    OpenTable(conn, q, "clients.dbf");
  }
  ~TTable() {
    q.Close();
    fs::remove_all(dir);
  }
  void Reopen() {
    q.Close();
    q.Open();
  }
  std::string dir, path;
  TADOConnection conn;
  TADOQuery q;
};

}  // namespace

TEST(DataSet, WrittenTableReadsBackWithTypes) {
  TTable t("types");
  TADOQuery& q = t.q;
  ASSERT_EQ(q.RecordCount(), 5);
  EXPECT_EQ(q.FieldByName("name").DataType(), ftString);
  EXPECT_EQ(q.FieldByName("AGE").DataType(), ftInteger);
  EXPECT_EQ(q.FieldByName("AMOUNT").DataType(), ftFloat);
  EXPECT_EQ(q.FieldByName("BORN").DataType(), ftDate);
  EXPECT_EQ(q.FieldByName("PAID").DataType(), ftBoolean);
  EXPECT_EQ(q.FieldByName("NOTES").DataType(), ftMemo);
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Smith", "adams", "Baker", "smith", "Zorn"}));
  q.SetRecNo(3);
  EXPECT_EQ(q.FieldByName("NOTES").AsString(), "second\r\nnote");
  EXPECT_TRUE(q.FieldByName("AGE").IsNull());
  EXPECT_TRUE(q.FieldByName("PAID").IsNull());
  q.First();
  EXPECT_DOUBLE_EQ(q.FieldByName("AMOUNT").AsFloat(), 12.5);
  EXPECT_EQ(q.FieldByName("BORN").AsDateTime(), dbdate::Encode(1986, 3, 5));
  try {
    q.FieldByName("Nope");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'Nope' not found");
  }
  // The memo file holds the text at block 1, and the field points there with leading zeros.
  std::ifstream f(t.path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), {});
  EXPECT_NE(bytes.find("0000000001"), std::string::npos);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x83);
  EXPECT_EQ(bytes[4], 5);  // record count
  EXPECT_EQ(bytes.back(), '\x1A');
}

TEST(DataSet, Navigation) {
  TTable t("nav");
  TADOQuery& q = t.q;
  q.First();
  EXPECT_TRUE(q.Bof());
  EXPECT_FALSE(q.Eof());
  q.Prior();
  EXPECT_TRUE(q.Bof());
  EXPECT_EQ(q.RecNo(), 1);
  EXPECT_EQ(q.MoveBy(2), 2);
  EXPECT_EQ(q.RecNo(), 3);
  EXPECT_EQ(q.MoveBy(10), 2);
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.RecNo(), 5);
  q.Last();
  EXPECT_TRUE(q.Eof());
  q.Next();
  EXPECT_EQ(q.RecNo(), 5);
  q.SetRecNo(99);
  EXPECT_EQ(q.RecNo(), 5);
  int scrolls = 0;
  q.AfterScroll = [&](TDataSet&) { ++scrolls; };
  q.First();
  q.Next();
  EXPECT_EQ(scrolls, 2);
}

TEST(DataSet, SortIsStableWithNullsFirst) {
  TTable t("sort");
  TADOQuery& q = t.q;
  q.SetRecNo(4);  // the current row stays current across a sort
  q.SetSort("AGE ASC");
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "smith");
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Baker", "smith", "adams", "Smith", "Zorn"}));
  q.SetSort("AGE DESC");
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Smith", "Zorn", "adams", "smith", "Baker"}));
  q.SetSort("NAME");
  EXPECT_EQ(Names(q), (std::vector<std::string>{"adams", "Baker", "Smith", "smith", "Zorn"}));
  q.SetSort("");
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Smith", "adams", "Baker", "smith", "Zorn"}));
  EXPECT_THROW(q.SetSort("MISSING ASC"), EDatabaseError);
}

TEST(DataSet, FilterRecordCountAndRecNo) {
  TTable t("filter");
  TADOQuery& q = t.q;
  q.OnFilterRecord = [](TDataSet& ds, bool& accept) { accept = ds.FieldByName("AGE").AsInteger() >= 30; };
  q.SetFiltered(true);
  EXPECT_EQ(q.RecordCount(), 3);
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Smith", "adams", "Zorn"}));
  q.Last();
  EXPECT_EQ(q.RecNo(), 3);
  q.SetFiltered(false);
  EXPECT_EQ(q.RecordCount(), 5);
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "Zorn");
}

TEST(DataSet, Locate) {
  TTable t("locate");
  TADOQuery& q = t.q;
  struct TCase {
    std::string field;
    TValue value;
    TLocateOptions options;
    int recNo;  // 0: not found
  } cases[] = {
      {"NAME", std::string("Sm"), loPartialKey, 1},
      {"NAME", std::string("Sm"), 0, 0},
      {"NAME", std::string("smith"), 0, 4},
      {"NAME", std::string("smith"), loPartialKey, 4},
      {"NAME", std::string("SMITH"), loCaseInsensitive, 1},
      {"NAME", std::string("ba"), loCaseInsensitive | loPartialKey, 3},
      {"AGE", 25.0, 0, 4},
      {"AGE", std::string("31"), 0, 2},
      {"AMOUNT", -7.25, 0, 4},
      {"BORN", dbdate::Encode(2001, 12, 31), 0, 4},
      {"PAID", false, 0, 2},
      {"AGE", 26.0, 0, 0},
  };
  for (const auto& c : cases) {
    q.First();
    const bool found = q.Locate(c.field, c.value, c.options);
    EXPECT_EQ(found, c.recNo != 0) << c.field;
    if (found) {
      EXPECT_EQ(q.RecNo(), c.recNo) << c.field;
    }
  }
  EXPECT_THROW(q.Locate("NOPE", std::string("x"), 0), EDatabaseError);
}

TEST(DataSet, EditPostCancelAndUpdateBatch) {
  TTable t("edit");
  TADOQuery& q = t.q;
  q.SetRecNo(2);
  EXPECT_THROW(q.FieldByName("NAME").SetAsString("x"), EDatabaseError);  // not in edit mode
  q.Edit();
  EXPECT_EQ(q.State(), dsEdit);
  q.FieldByName("NAME").SetAsString("Adams");
  q.FieldByName("NOTES").SetAsString("a new memo");
  q.Cancel();
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "adams");
  q.Edit();
  q.FieldByName("NAME").SetAsString("Adams");
  q.FieldByName("AGE").SetAsString("32");
  q.FieldByName("NOTES").SetAsString("a new memo");
  EXPECT_THROW(q.FieldByName("AGE").SetAsString("abc"), EConvertError);
  q.Post();
  EXPECT_EQ(q.PendingUpdates(), 1);
  q.Append();
  EXPECT_EQ(q.RecNo(), -1);
  EXPECT_EQ(q.RecordCount(), 5);
  q.FieldByName("NAME").SetAsString("Young");
  q.Post();
  EXPECT_EQ(q.RecordCount(), 6);
  EXPECT_EQ(q.RecNo(), 6);
  q.SetRecNo(1);
  q.Delete();
  EXPECT_EQ(q.RecordCount(), 5);
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "Adams");
  EXPECT_EQ(q.PendingUpdates(), 3);
  // Nothing reached the file before the batch.
  t.Reopen();
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Smith", "adams", "Baker", "smith", "Zorn"}));
  q.SetRecNo(2);
  q.Edit();
  q.FieldByName("NAME").SetAsString("Adams");
  q.FieldByName("NOTES").SetAsString("a new memo");
  q.Post();
  q.Append();
  q.FieldByName("NAME").SetAsString("Young");
  q.Post();
  q.SetRecNo(1);
  q.Delete();
  q.UpdateBatch();
  EXPECT_EQ(q.PendingUpdates(), 0);
  t.Reopen();
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Adams", "Baker", "smith", "Zorn", "Young"}));
  q.First();
  EXPECT_EQ(q.FieldByName("NOTES").AsString(), "a new memo");
  q.SetRecNo(2);
  EXPECT_EQ(q.FieldByName("NOTES").AsString(), "second\r\nnote");  // untouched memo kept
}

TEST(DataSet, EventsInOrder) {
  std::vector<std::string> log;  // outlives the table, whose close at the end still logs
  TTable t("events");
  TADOQuery& q = t.q;
  auto rec = [&](const char* n) { return [&log, n](TDataSet&) { log.push_back(n); }; };
  q.BeforeEdit = rec("BeforeEdit");
  q.AfterEdit = rec("AfterEdit");
  q.BeforePost = rec("BeforePost");
  q.AfterPost = rec("AfterPost");
  q.BeforeInsert = rec("BeforeInsert");
  q.AfterInsert = rec("AfterInsert");
  q.AfterCancel = rec("AfterCancel");
  q.BeforeDelete = rec("BeforeDelete");
  q.AfterDelete = rec("AfterDelete");
  q.BeforeClose = rec("BeforeClose");
  q.AfterClose = rec("AfterClose");
  q.BeforeOpen = rec("BeforeOpen");
  q.AfterOpen = rec("AfterOpen");
  q.Edit();
  q.FieldByName("AGE").SetAsInteger(41);
  q.Post();
  q.Append();
  q.Cancel();
  q.Delete();
  q.Close();
  q.Open();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeInsert",
                                           "AfterInsert", "AfterCancel", "BeforeDelete", "AfterDelete",
                                           "BeforeClose", "AfterClose", "BeforeOpen", "AfterOpen"}));
  // Navigating while editing posts a modified record.
  q.Edit();
  q.FieldByName("AGE").SetAsInteger(50);
  q.Next();
  EXPECT_EQ(q.State(), dsBrowse);
  q.Prior();
  EXPECT_EQ(q.FieldByName("AGE").AsInteger(), 50);
}

TEST(DataSet, EditOnEmptyAppendsAndControls) {
  TTable t("empty", {});
  TADOQuery& q = t.q;
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_EQ(q.RecNo(), -1);
  EXPECT_TRUE(q.Eof());
  EXPECT_TRUE(q.Bof());
  int changes = 0;
  int id = q.AddDataLink([&](TDataSet&, TDataEvent) { ++changes; });
  q.DisableControls();
  q.Edit();
  EXPECT_EQ(q.State(), dsInsert);
  q.FieldByName("NAME").SetAsString("Only");
  q.Post();
  EXPECT_EQ(changes, 0);
  q.EnableControls();
  EXPECT_EQ(changes, 1);
  q.RemoveDataLink(id);
  q.UpdateBatch();
  t.Reopen();
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Only"}));
}

TEST(DataSet, CloneSharesRowsWithOwnView) {
  TTable t("clone");
  TADOQuery& q = t.q;
  q.SetSort("NAME DESC");
  q.SetRecNo(2);
  TDataSet c;
  c.Clone(q);
  EXPECT_EQ(c.RecNo(), 1);
  EXPECT_EQ(c.Sort(), "");
  EXPECT_EQ(Names(c), (std::vector<std::string>{"Smith", "adams", "Baker", "smith", "Zorn"}));
  c.SetSort("AGE ASC");
  EXPECT_EQ(q.Sort(), "NAME DESC");
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "Smith");
  // A change through the clone shows in the original and goes out with its batch.
  c.First();
  c.Edit();
  c.FieldByName("NAME").SetAsString("Baxter");
  c.Post();
  q.First();
  EXPECT_EQ(Names(q), (std::vector<std::string>{"Zorn", "Smith", "smith", "Baxter", "adams"}));
  c.Close();
  q.UpdateBatch();
  t.Reopen();
  q.SetSort("");
  EXPECT_EQ(Names(q)[2], "Baxter");
}

TEST(DataSet, FailedUpdateBatchLeavesTheFile) {
  TTable t("fail");
  TADOQuery& q = t.q;
  std::ifstream f0(t.path, std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(f0)), {});
  q.Edit();
  q.FieldByName("AMOUNT").SetAsFloat(1e15);  // 12 characters with two decimals cannot hold it
  q.Post();
  try {
    q.UpdateBatch();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("does not fit"), std::string::npos);
  }
  std::ifstream f1(t.path, std::ios::binary);
  const std::string after((std::istreambuf_iterator<char>(f1)), {});
  EXPECT_EQ(before, after);
  // A file gone read-only says so.
  t.Reopen();
  fs::permissions(t.path, fs::perms::owner_read);
  if (access(t.path.c_str(), W_OK) != 0) {  // root can write anyway
    t.Reopen();
    q.Edit();
    q.FieldByName("AGE").SetAsInteger(1);
    EXPECT_THROW(q.Post(), EDatabaseError);
    EXPECT_NE(q.ReadOnlyReason().find("Table is read-only: "), std::string::npos);
    q.Cancel();
  }
  fs::permissions(t.path, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(DataSet, PythonDbfReadsWhatWeWrote) {
  TTable t("python");
  TADOQuery& q = t.q;
  q.SetRecNo(2);
  q.Edit();
  q.FieldByName("NAME").SetAsString("Äpfel & Ölsardinen");
  q.Post();
  q.Last();
  q.Delete();
  q.UpdateBatch();
  q.Close();
  const std::string out = RunPython(
      "import dbf\n"
      "t = dbf.Table('" + t.path + "', codepage='utf8')\n"
      "t.open()\n"
      "for r in t:\n"
      "    print('DEL' if dbf.is_deleted(r) else 'ROW', r.name.strip(), r.age, r.born, r.paid, r.amount, repr(r.notes.strip()))\n");
  EXPECT_EQ(out,
            "ROW Smith 40 1986-03-05 True 12.5 'first note'\n"
            "ROW Äpfel & Ölsardinen 31 1995-01-02 False 3.0 ''\n"
            "ROW Baker None None None None 'second\\r\\nnote'\n"
            "ROW smith 25 2001-12-31 True -7.25 ''\n"
            "DEL Zorn 40 1986-03-05 False 0.0 ''\n")
      << out;
}

TEST(DataSet, SqlResultTypesAndReadOnly) {
  TTable t("sql");
  TADOQuery s;
  s.SetConnection(&t.conn);
  s.SQL = "SELECT NAME, AGE, PAID, BORN, AGE + 0.5 AS HALF, 'x' || NAME AS TAGGED FROM clients WHERE AGE >= 30 ORDER BY NAME";
  s.Open();
  ASSERT_EQ(s.RecordCount(), 3);
  EXPECT_EQ(s.FieldByName("AGE").DataType(), ftInteger);
  EXPECT_EQ(s.FieldByName("PAID").DataType(), ftBoolean);
  EXPECT_EQ(s.FieldByName("BORN").DataType(), ftDate);
  EXPECT_EQ(s.FieldByName("HALF").DataType(), ftFloat);
  EXPECT_EQ(s.FieldByName("TAGGED").DataType(), ftString);
  EXPECT_EQ(s.FieldByName("TAGGED").Size(), 6);
  // Text orders as the grid sorts it, without regard to case.
  EXPECT_EQ(s.FieldByName("NAME").AsString(), "adams");
  EXPECT_EQ(s.FieldByName("BORN").AsDateTime(), dbdate::Encode(1995, 1, 2));
  EXPECT_THROW(s.Delete(), EDatabaseError);
  EXPECT_EQ(TADOQuery::SingleTableOf("select * from \"Clients.dbf\" ;"), "Clients.dbf");
  EXPECT_EQ(TADOQuery::SingleTableOf("SELECT * FROM Orders"), "Orders");
  EXPECT_EQ(TADOQuery::SingleTableOf("SELECT * FROM a, b"), "");
  EXPECT_EQ(TADOQuery::SingleTableOf("SELECT NAME FROM a"), "");
}

TEST(FieldKinds, KindsAndWidths) {
  struct TKind {
    TFieldType type;
    TFieldKind kind;
  } kinds[] = {{ftString, fkText},     {ftWideString, fkText}, {ftBCD, fkText},      {ftBytes, fkText},
               {ftVarBytes, fkText},   {ftBlob, fkText},       {ftGraphic, fkText},  {ftGuid, fkText},
               {ftSmallint, fkNumber}, {ftInteger, fkNumber},  {ftWord, fkNumber},   {ftFloat, fkNumber},
               {ftCurrency, fkNumber}, {ftAutoInc, fkNumber},  {ftLargeint, fkNumber}, {ftDate, fkDateTime},
               {ftTime, fkDateTime},   {ftDateTime, fkDateTime}, {ftBoolean, fkBoolean}, {ftMemo, fkMemo},
               {ftFmtMemo, fkMemo}};
  for (const auto& k : kinds) EXPECT_EQ(FieldKind(k.type), k.kind) << k.type;
  struct TWidth {
    TFieldKind kind;
    std::string name;
    int size, width;
  } widths[] = {{fkText, "ID", 4, 7},       {fkText, "Name", 50, 10},     {fkBoolean, "Paid", 0, 6},
                {fkMemo, "Notes", 0, 40},   {fkText, "Name", 8, 8},       {fkText, "Description", 50, 11},
                {fkNumber, "N", 0, 7},      {fkNumber, "Quantities", 0, 10}, {fkDateTime, "D", 0, 9},
                {fkBoolean, "", 0, 2},      {fkText, "Straße", 3, 7},     {fkText, "Überweisungen", 3, 13}};
  for (const auto& w : widths) EXPECT_EQ(FieldDisplayWidth(w.kind, w.name, w.size), w.width) << w.name;
  TTable t("width");
  EXPECT_EQ(FieldDisplayWidth(fkText, t.q.FieldByName("NAME")), 10);
}

TEST(DataSet, WritesKeepEachFilesOwnMemoFormat) {
  struct TCase {
    std::string table, memo, field;
    int otherMemoRow;  // a record whose memo stays as it was
    bool dbfread;      // dbfread cannot read the FoxPro sample's bare "." number
  } cases[] = {{"foxpro26_cars.DBF", "foxpro26_cars.FPT", "DESCR", 3, false},
               {"dbase_8b.dbf", "dbase_8b.dbt", "MEMO", 2, true},
               {"dbase3plus_cars_del.dbf", "dbase3plus_cars_del.dbt", "DESCR", 2, true}};
  for (const auto& c : cases) {
    const std::string dir = MakeTempDir("memoformat");
    const std::string path = CopyInto(TestDataDir() + "/dbf/" + c.table, dir);
    CopyInto(TestDataDir() + "/dbf/" + c.memo, dir);
    TADOConnection conn;
    conn.ConnectionString = DbfConnectionString(dir);
    TADOQuery q;
    OpenTable(conn, q, c.table);
    const int rows = q.RecordCount();
    q.First();
    q.Edit();
    q.FieldByName(c.field).SetAsString("edited memo ü");
    q.Post();
    q.Append();
    q.FieldByName(c.field).SetAsString(std::string(700, 'm'));
    q.Post();
    q.UpdateBatch();
    q.Close();
    q.Open();
    ASSERT_EQ(q.RecordCount(), rows + 1) << c.table;
    EXPECT_EQ(q.FieldByName(c.field).AsString(), "edited memo ü") << c.table;
    q.SetRecNo(c.otherMemoRow);
    EXPECT_FALSE(q.FieldByName(c.field).AsString().empty()) << c.table;
    q.Last();
    EXPECT_EQ(q.FieldByName(c.field).AsString(), std::string(700, 'm')) << c.table;
    q.Close();
    if (!c.dbfread) {
      fs::remove_all(dir);
      continue;
    }
    const std::string out = RunPython(
        "import dbfread\n"
        "t = dbfread.DBF('" + path + "', encoding='latin-1')\n"
        "rs = list(t)\n"
        "print(len(rs), len(rs[-1]['" + c.field + "']))\n");
    EXPECT_EQ(out, std::to_string(rows + 1) + " 700\n") << c.table;
    fs::remove_all(dir);
  }
}
