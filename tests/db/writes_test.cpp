// Writes that must not damage a table: failed memo writes, numbers and dates
// that do not fit, multi-byte code pages; Locate keys given as text; clones
// that keep their own filter.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "db/DateParts.h"
#include "db/Dbf.h"
#include "support/DbTestSupport.h"

namespace fs = std::filesystem;

namespace {

// An empty table of the given fields (with a dBase III memo file when asked).
std::string MakeTable(const std::string& dir, const std::vector<TDbfFieldDef>& fields, uint8_t ldid = 0,
                      bool memo = false) {
  TDbfHeader h;
  h.Version = memo ? 0x83 : 0x03;
  h.Year = 2026;
  h.LanguageDriver = ldid;
  const std::string path = dir + "/t.dbf";
  std::ofstream(path, std::ios::binary) << DbfEncodeTableHead(h, fields) << '\x1A';
  if (memo) {
    EXPECT_TRUE(TDbfMemoFile::Create(dir + "/t.dbt"));
  }
  return path;
}

// Limits the size of files this process writes; writes past it fail with EFBIG.
struct TFileSizeLimit {
  explicit TFileSizeLimit(rlim_t bytes) {
    old_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit l = saved_;
    l.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &l);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_);
  }
  rlimit saved_{};
  sighandler_t old_;
};

}  // namespace

TEST(DbfWrites, FailedSecondMemoLeavesBothFilesAsTheyWere) {
  const std::string dir = MakeTempDir("memofail");
  const std::string path = MakeTable(dir, {{"A", 'M', 10, 0}, {"B", 'M', 10, 0}, {"N", 'C', 5, 0}}, 0, true);
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t.dbf");
  q.Append();
  q.FieldByName("N").SetAsString("one");
  q.Post();
  q.UpdateBatch();
  const std::string table = Slurp(path), memo = Slurp(dir + "/t.dbt");
  ASSERT_EQ(memo.size(), 512u);
  q.Edit();
  q.FieldByName("A").SetAsString(std::string(100, 'a'));   // fits below the limit
  q.FieldByName("B").SetAsString(std::string(3000, 'b'));  // does not
  q.Post();
  {
    TFileSizeLimit limit(1500);
    EXPECT_THROW(q.UpdateBatch(), EDatabaseError);
  }
  EXPECT_EQ(Slurp(path), table);
  EXPECT_EQ(Slurp(dir + "/t.dbt"), memo);
  // Once there is room the same batch goes through.
  q.UpdateBatch();
  q.Close();
  q.Open();
  EXPECT_EQ(q.FieldByName("A").AsString(), std::string(100, 'a'));
  EXPECT_EQ(q.FieldByName("B").AsString(), std::string(3000, 'b'));
  fs::remove_all(dir);
}

TEST(DbfWrites, FailedAppendLeavesTheTable) {
  const std::string dir = MakeTempDir("appendfail");
  const std::string path = MakeTable(dir, {{"N", 'C', 200, 0}});
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t.dbf");
  const std::string before = Slurp(path);
  for (int i = 0; i < 3; ++i) {
    q.Append();
    q.FieldByName("N").SetAsString("row " + std::to_string(i));
    q.Post();
  }
  {
    TFileSizeLimit limit(before.size() + 250);  // room for one record only
    EXPECT_THROW(q.UpdateBatch(), EDatabaseError);
  }
  q.Close();
  q.Open();
  EXPECT_EQ(q.RecordCount(), 1);
  EXPECT_EQ(Slurp(path).size(), before.size() + 201);
  fs::remove_all(dir);
}

TEST(DbfWrites, NumbersGiveUpDecimalsToFitAndDatesMustBeDates) {
  const std::string dir = MakeTempDir("fit");
  const std::string path =
      MakeTable(dir, {{"F", 'F', 20, 18}, {"N", 'N', 5, 2}, {"D", 'D', 8, 0}, {"T", 'C', 1, 0}});
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t.dbf");
  q.Append();
  q.FieldByName("F").SetAsFloat(12.5);
  q.FieldByName("N").SetAsFloat(123.456);
  q.FieldByName("D").SetAsDateTime(dbdate::Encode(2026, 3, 5));
  q.Post();
  q.UpdateBatch();
  q.Close();
  q.Open();
  EXPECT_DOUBLE_EQ(q.FieldByName("F").AsFloat(), 12.5);
  EXPECT_DOUBLE_EQ(q.FieldByName("N").AsFloat(), 123.5);
  const std::string ok = Slurp(path);
  struct TCase {
    const char* field;
    double value;
  } bad[] = {{"N", 123456.0}, {"N", -99999.0}, {"D", 1e300}, {"D", -1e12}, {"D", 5e6}};
  for (const auto& c : bad) {
    q.Edit();
    q.FieldByName(c.field).SetAsFloat(c.value);
    q.Post();
    EXPECT_THROW(q.UpdateBatch(), EDatabaseError) << c.field << " " << c.value;
    EXPECT_EQ(Slurp(path), ok) << c.field << " " << c.value;
    q.Close();
    q.Open();
  }
  fs::remove_all(dir);
}

TEST(DbfWrites, TextIsCutWholeCharactersInMultiByteCodePages) {
  const std::string dir = MakeTempDir("dbcs");
  MakeTable(dir, {{"S", 'C', 3, 0}}, 0x13 /* Shift-JIS */);
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t.dbf");
  q.Append();
  q.FieldByName("S").SetAsString("日本");
  q.Post();
  q.UpdateBatch();
  q.Close();
  q.Open();
  EXPECT_EQ(q.FieldByName("S").AsString(), "日");
  fs::remove_all(dir);
}

TEST(DataSetLocate, TextKeysConvertByTheFieldsType) {
  const std::string dir = MakeTempDir("locatetext");
  MakeTable(dir, {{"D", 'D', 8, 0}, {"L", 'L', 1, 0}, {"N", 'N', 8, 2}});
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t.dbf");
  const TValue rows[][3] = {{dbdate::Encode(2020, 1, 2), true, 1.5}, {dbdate::Encode(2021, 6, 7), false, 2.25}};
  for (const auto& r : rows) {
    q.Append();
    for (int i = 0; i < 3; ++i) q.Fields(i).SetValue(r[i]);
    q.Post();
  }
  struct TCase {
    const char* field;
    std::string key;
    int recNo;  // 0: not found
  } cases[] = {{"D", DateToStr(dbdate::Encode(2021, 6, 7)), 2},
               {"D", "not a date", 0},
               {"L", "False", 2},
               {"L", "t", 1},
               {"N", "2.25", 2},
               {"N", "", 0}};
  for (const auto& c : cases) {
    q.First();
    const bool found = q.Locate(c.field, c.key, 0);
    EXPECT_EQ(found, c.recNo != 0) << c.field << " " << c.key;
    if (found) {
      EXPECT_EQ(q.RecNo(), c.recNo) << c.field << " " << c.key;
    }
  }
  fs::remove_all(dir);
}

TEST(DataSetClone, KeepsTheFilterSetBeforeCloning) {
  const std::string dir = MakeTempDir("clonefilter");
  MakeTable(dir, {{"N", 'N', 3, 0}});
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t.dbf");
  for (int i = 1; i <= 6; ++i) {
    q.Append();
    q.FieldByName("N").SetAsInteger(i);
    q.Post();
  }
  TDataSet c;
  c.OnFilterRecord = [](TDataSet& ds, bool& accept) { accept = ds.FieldByName("N").AsInteger() % 2 == 0; };
  c.SetFiltered(true);
  c.Clone(q);
  EXPECT_TRUE(c.Filtered());
  EXPECT_EQ(c.RecordCount(), 3);
  EXPECT_EQ(c.FieldByName("N").AsInteger(), 2);
  EXPECT_EQ(q.RecordCount(), 6);
  c.SetSort("N DESC");
  EXPECT_EQ(c.FieldByName("N").AsInteger(), 2);
  c.First();
  EXPECT_EQ(c.FieldByName("N").AsInteger(), 6);
  EXPECT_EQ(q.Sort(), "");
  fs::remove_all(dir);
}

TEST(DataSetClone, PostOfARecordTheCloneDeletedChangesNoOtherRecord) {
  const std::string dir = MakeTempDir("clonedelete");
  MakeTable(dir, {{"N", 'N', 3, 0}});
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t.dbf");
  for (int i = 1; i <= 3; ++i) {
    q.Append();
    q.FieldByName("N").SetAsInteger(i);
    q.Post();
  }
  TDataSet c;
  c.Clone(q);
  q.SetRecNo(2);
  q.Edit();
  q.FieldByName("N").SetAsInteger(99);
  c.SetRecNo(2);
  c.Delete();
  EXPECT_THROW(q.Post(), EDatabaseError);
  EXPECT_EQ(q.State(), dsBrowse);
  std::vector<int> left;
  for (c.First(); !c.Eof(); c.Next()) left.push_back(c.FieldByName("N").AsInteger());
  EXPECT_EQ(left, (std::vector<int>{1, 3}));
  fs::remove_all(dir);
}

TEST(DbfReads, MemoBlocksSharedByManyRecordsAreNotReadAgainAndAgain) {
  // Every record points at the same 200 KB memo: a damaged file must not make the
  // reader hold the memo once per record.
  const std::string dir = MakeTempDir("sharedmemo");
  const std::vector<TDbfFieldDef> fields = {{"M", 'M', 10, 0}};
  TDbfHeader h;
  h.Version = 0x83;
  h.Year = 2026;
  h.RecordCount = 1000;
  std::string table = DbfEncodeTableHead(h, fields);
  for (int i = 0; i < 1000; ++i) table += " 0000000001";
  table += '\x1A';
  std::ofstream(dir + "/t.dbf", std::ios::binary) << table;
  std::string memo(512, '\0');
  memo[0] = 2;
  memo += std::string(200000, 'x') + "\x1A\x1A";
  std::ofstream(dir + "/t.dbt", std::ios::binary) << memo;
  TTableData t = DbfReadTable(dir + "/t.dbf");
  ASSERT_EQ(t.Rows.size(), 1000u);
  size_t held = 0;
  for (const auto& r : t.Rows) held += r.size();
  EXPECT_LT(held, 5 * memo.size());
  EXPECT_EQ(std::get<std::string>(UnpackRow(t.Rows[0], 1)[0]).size(), 200000u);
  fs::remove_all(dir);
}

TEST(DbfReads, FieldNamesAreReadInTheTablesCodePage) {
  const std::string dir = MakeTempDir("fieldnames");
  MakeTable(dir, {{"\xC8\xCC\xDF", 'C', 10, 0}}, 0xC9 /* Windows-1251 */);
  TTableData t = DbfReadTable(dir + "/t.dbf");
  ASSERT_EQ(t.Fields.size(), 1u);
  EXPECT_EQ(t.Fields[0].Name, "ИМЯ");
  fs::remove_all(dir);
}

TEST(DbfFormat, LongNamesAreCutOnACharacterBoundary) {
  EXPECT_EQ(DbfEncodeDescriptor({"ÄÄÄÄÄÄ", 'C', 5, 0}).substr(0, 11), std::string("ÄÄÄÄÄ\0", 11));
  EXPECT_EQ(DbfEncodeDescriptor({"abcdefghiÄ", 'C', 5, 0}).substr(0, 11), std::string("ABCDEFGHI\0\0", 11));
}
