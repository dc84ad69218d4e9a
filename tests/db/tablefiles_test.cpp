// Table files as other programs write them: Visual FoxPro date-times and null
// flags, wide numbers, binary dBase IV memos, a missing memo file, code pages,
// damaged tables, and SQL ordering text as the grid does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <filesystem>

#include "db/DateParts.h"
#include "db/Dbf.h"
#include "toolkit/FastEval.h"
#include "support/DbTestSupport.h"

namespace fs = std::filesystem;

namespace {

struct THandField {
  const char* name;
  char type;
  uint8_t length;
  uint8_t decimals;
  uint8_t flags;
};

// A table built byte by byte: header, descriptors (with offsets and flags), the
// Visual FoxPro back-link area when version is a FoxPro one, then the records.
std::string HandTable(uint8_t version, const std::vector<THandField>& fields, const std::vector<std::string>& records,
                      uint8_t ldid = 0) {
  const bool vfp = version == 0x30 || version == 0x31;
  const size_t headLen = 32 + 32 * fields.size() + 1 + (vfp ? 263 : 0);
  size_t recLen = 1;
  for (const auto& f : fields) recLen += f.length;
  std::string b(headLen, '\0');
  b[0] = static_cast<char>(version);
  b[1] = 126;
  b[2] = 5;
  b[3] = 9;
  Put32(b, 4, static_cast<uint32_t>(records.size()));
  Put16(b, 8, static_cast<uint16_t>(headLen));
  Put16(b, 10, static_cast<uint16_t>(recLen));
  b[29] = static_cast<char>(ldid);
  size_t offset = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    const size_t d = 32 + 32 * i;
    const std::string name = fields[i].name;
    b.replace(d, name.size(), name);
    b[d + 11] = fields[i].type;
    Put32(b, d + 12, static_cast<uint32_t>(offset));
    b[d + 16] = static_cast<char>(fields[i].length);
    b[d + 17] = static_cast<char>(fields[i].decimals);
    b[d + 18] = static_cast<char>(fields[i].flags);
    offset += fields[i].length;
  }
  b[32 + 32 * fields.size()] = '\x0D';
  for (const auto& r : records) {
    EXPECT_EQ(r.size(), recLen);
    b += r;
  }
  return b + '\x1A';
}

std::string Int32Bytes(int32_t v) {
  std::string s(4, '\0');
  Put32(s, 0, static_cast<uint32_t>(v));
  return s;
}

std::string Int64Bytes(int64_t v) {
  std::string s(8, '\0');
  for (int i = 0; i < 8; ++i) s[i] = static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
  return s;
}

std::string DoubleBytes(double d) {
  std::string s(8, '\0');
  std::memcpy(s.data(), &d, 8);
  return s;
}

struct TOpen {
  explicit TOpen(const std::string& dir, const std::string& table = "t.dbf") {
    conn.ConnectionString = DbfConnectionString(dir);
    OpenTable(conn, q, table);
  }
  TADOConnection conn;
  TADOQuery q;
};

// The bytes of records after the header (the header's date changes with each write).
std::string RecordBytes(const std::string& file) {
  const size_t head = static_cast<unsigned char>(file[8]) | (static_cast<unsigned char>(file[9]) << 8);
  return file.substr(head);
}

}  // namespace

TEST(FoxProTables, DateTimesBeforeDayZeroReadAsWritten) {
  const std::string dir = MakeTempDir("vfptime");
  const std::string out = RunPython(R"(
import dbf, datetime
t = dbf.Table(')" + dir + R"(/t.dbf', 'ts T; n N(3,0)', dbf_type='vfp')
t.open(dbf.READ_WRITE)
for v in [datetime.datetime(1837, 6, 6, 8, 54, 57, 576000), datetime.datetime(1899, 12, 29, 18, 0, 0),
          datetime.datetime(1899, 12, 30, 6, 0, 0), datetime.datetime(2020, 1, 2, 3, 4, 5)]:
    t.append((v, 1))
t.close()
print('ok')
)");
  ASSERT_EQ(out, "ok\n");
  const std::string written = RecordBytes(Slurp(dir + "/t.dbf"));
  const double expected[] = {
      // Before day 0 the time counts away from zero.
      dbdate::Encode(1837, 6, 6) - (8 * 3600 + 54 * 60 + 57.576) / 86400,
      dbdate::Encode(1899, 12, 29) - 0.75,
      0.25,
      dbdate::Encode(2020, 1, 2) + (3 * 3600 + 4 * 60 + 5) / 86400.0,
  };
  {
    TOpen o(dir);
    ASSERT_EQ(o.q.RecordCount(), 4);
    for (int i = 0; i < 4; ++i) {
      o.q.SetRecNo(i + 1);
      EXPECT_NEAR(o.q.FieldByName("TS").AsDateTime(), expected[i], 1e-9) << i;
    }
    // Each value written again gives python-dbf's bytes.
    for (int i = 0; i < 4; ++i) {
      o.q.SetRecNo(i + 1);
      o.q.Edit();
      o.q.FieldByName("TS").Clear();
      o.q.Post();
      o.q.Edit();
      o.q.FieldByName("TS").SetAsDateTime(expected[i]);
      o.q.Post();
    }
    o.q.UpdateBatch();
  }
  EXPECT_EQ(RecordBytes(Slurp(dir + "/t.dbf")), written);
  fs::remove_all(dir);
}

TEST(FoxProTables, NullFlagsReadAndWritten) {
  const std::string dir = MakeTempDir("vfpnull");
  // C is not nullable; I, Y, B and D are, and own null bits 0, 1, 2 and 3.
  const std::vector<THandField> fields = {{"C", 'C', 3, 0, 0},    {"I", 'I', 4, 0, 2}, {"Y", 'Y', 8, 4, 2},
                                          {"B", 'B', 8, 2, 2},    {"D", 'D', 8, 0, 2}, {"_NullFlags", '0', 1, 0, 5}};
  const std::string r1 = " abc" + Int32Bytes(0) + Int64Bytes(0) + DoubleBytes(0) + "        " + std::string(1, '\x0F');
  const std::string r2 = " xyz" + Int32Bytes(7) + Int64Bytes(15000) + DoubleBytes(2.25) + "20200102" +
                         std::string(1, '\0');
  const std::string r3 = " pqr" + Int32Bytes(0) + Int64Bytes(0) + DoubleBytes(0) + "20200102" + std::string(1, '\x05');
  Spit(dir + "/t.dbf", HandTable(0x30, fields, {r1, r2, r3}));
  {
    TOpen o(dir);
    TADOQuery& q = o.q;
    ASSERT_EQ(q.FieldCount(), 5);  // the flags field is hidden
    const char* const names[] = {"I", "Y", "B", "D"};
    const bool nulls[3][4] = {{true, true, true, true}, {false, false, false, false}, {true, false, true, false}};
    for (int r = 0; r < 3; ++r) {
      q.SetRecNo(r + 1);
      for (int f = 0; f < 4; ++f) EXPECT_EQ(q.FieldByName(names[f]).IsNull(), nulls[r][f]) << r << names[f];
    }
    q.SetRecNo(2);
    EXPECT_EQ(q.FieldByName("I").AsInteger(), 7);
    EXPECT_DOUBLE_EQ(q.FieldByName("Y").AsFloat(), 1.5);
    EXPECT_DOUBLE_EQ(q.FieldByName("B").AsFloat(), 2.25);
    // Record 1: a value into a null field clears its flag; record 2: null sets one.
    q.SetRecNo(1);
    q.Edit();
    q.FieldByName("I").SetAsInteger(0);
    q.Post();
    q.SetRecNo(2);
    q.Edit();
    q.FieldByName("B").Clear();
    q.Post();
    q.Append();
    q.FieldByName("C").SetAsString("new");
    q.FieldByName("Y").SetAsFloat(3);
    q.Post();
    q.UpdateBatch();
  }
  {
    TOpen o(dir);
    TADOQuery& q = o.q;
    ASSERT_EQ(q.RecordCount(), 4);
    q.SetRecNo(1);
    EXPECT_FALSE(q.FieldByName("I").IsNull());
    EXPECT_TRUE(q.FieldByName("Y").IsNull());
    q.SetRecNo(2);
    EXPECT_TRUE(q.FieldByName("B").IsNull());
    EXPECT_EQ(q.FieldByName("I").AsInteger(), 7);
    q.SetRecNo(4);
    EXPECT_TRUE(q.FieldByName("I").IsNull());
    EXPECT_DOUBLE_EQ(q.FieldByName("Y").AsFloat(), 3);
  }
  // Other readers see the flags.
  const std::string out = RunPython(R"(
import dbfread
for r in dbfread.DBF(')" + dir + R"(/t.dbf', ignore_missing_memofile=True):
    print(r['_NullFlags'][0])
)");
  EXPECT_EQ(out, "14\n4\n5\n13\n");
  fs::remove_all(dir);
}

TEST(FoxProTables, NullFlagsAgreeWithPythonDbf) {
  // python-dbf gives a field the bit of its position, which is the VFP bit when
  // every field is nullable.
  const std::string dir = MakeTempDir("vfpnullpy");
  std::string out = RunPython(R"(
import dbf
t = dbf.Table(')" + dir + R"(/t.dbf', 'i I null; y Y null; b B null', dbf_type='vfp')
t.open(dbf.READ_WRITE)
t.append((dbf.Null, 1.5, dbf.Null))
t.append((4, dbf.Null, 2.0))
t.close()
print('ok')
)");
  ASSERT_EQ(out, "ok\n");
  {
    TOpen o(dir);
    TADOQuery& q = o.q;
    EXPECT_TRUE(q.FieldByName("I").IsNull());
    EXPECT_DOUBLE_EQ(q.FieldByName("Y").AsFloat(), 1.5);
    EXPECT_TRUE(q.FieldByName("B").IsNull());
    q.Next();
    EXPECT_EQ(q.FieldByName("I").AsInteger(), 4);
    EXPECT_TRUE(q.FieldByName("Y").IsNull());
    q.Edit();
    q.FieldByName("Y").SetAsFloat(2.5);
    q.FieldByName("I").Clear();
    q.Post();
    q.UpdateBatch();
  }
  out = RunPython(R"(
import dbf
t = dbf.Table(')" + dir + R"(/t.dbf')
t.open()
for r in t:
    print(['null' if v is dbf.Null else str(v) for v in r])
t.close()
)");
  EXPECT_EQ(out, "['null', '1.5000', 'null']\n['null', '2.5000', '2.0']\n");
  fs::remove_all(dir);
}

// Expressions over a long id: compared as a number, and a type error (never a
// throw out of the evaluator) where an integer is asked for.
TEST(DbfTables, WideNumbersInExpressions) {
  const std::string dir = MakeTempDir("wide-eval");
  const std::vector<THandField> fields = {{"ID", 'N', 19, 0, 0}};
  Spit(dir + "/t.dbf", HandTable(0x03, fields, {std::string(" ") + " 123456789012345678",
                                                std::string(" ") + "                 42"}));
  TOpen o(dir);
  TFastEval eval;
  eval.DataSet = &o.q;
  bool b = false;
  ASSERT_TRUE(eval.EvaluateBoolean("ID > 100000000000000000", b, 1));
  EXPECT_TRUE(b);
  int32_t i = 0;
  EXPECT_FALSE(eval.EvaluateInteger("ID + 1", i, 1));
  o.q.Next();
  ASSERT_TRUE(eval.EvaluateInteger("ID + 1", i, 1));
  EXPECT_EQ(i, 43);
  fs::remove_all(dir);
}

TEST(DbfTables, WideNumbersReadExactlyAndUneditedFieldsKeepTheirBytes) {
  const std::string dir = MakeTempDir("wide");
  const std::vector<THandField> fields = {
      {"ID", 'N', 19, 0, 0}, {"NAME", 'C', 6, 0, 0}, {"AMOUNT", 'N', 10, 2, 0}, {"OK", 'L', 1, 0, 0}};
  // Bytes as other programs leave them: a short decimal, "y" for true.
  const std::string r1 = std::string(" ") + " 123456789012345678" + "first " + "       1.5" + "y";
  const std::string r2 = std::string(" ") + "9999999999999999999" + "second" + "      -2.0" + "N";
  Spit(dir + "/t.dbf", HandTable(0x03, fields, {r1, r2}));
  TOpen o(dir);
  TADOQuery& q = o.q;
  EXPECT_EQ(q.FieldByName("ID").DataType(), ftLargeint);
  EXPECT_EQ(q.FieldByName("ID").AsLargeInt(), 123456789012345678);
  EXPECT_EQ(q.FieldByName("ID").AsString(), "123456789012345678");
  // Another program changes the amount while the table is open here.
  {
    std::string b = Slurp(dir + "/t.dbf");
    const size_t at = b.find("       1.5");
    b.replace(at, 10, "      7.25");
    Spit(dir + "/t.dbf", b);
  }
  const std::string before = RecordBytes(Slurp(dir + "/t.dbf"));
  q.Edit();
  q.FieldByName("NAME").SetAsString("edited");
  q.Post();
  q.Next();
  q.Edit();
  q.FieldByName("OK").SetAsBoolean(false);  // the same value: nothing to write
  q.FieldByName("NAME").SetAsString("again");
  q.Post();
  q.UpdateBatch();
  std::string expect = before;
  expect.replace(expect.find("first "), 6, "edited");
  expect.replace(expect.find("second"), 6, "again ");
  EXPECT_EQ(RecordBytes(Slurp(dir + "/t.dbf")), expect);
  // An edited wide number is written digit for digit.
  q.First();
  q.Edit();
  q.FieldByName("ID").SetAsString("987654321098765432");
  q.Post();
  q.UpdateBatch();
  const std::string out = RunPython(R"(
import dbfread
for r in dbfread.DBF(')" + dir + R"(/t.dbf'):
    print(r['ID'], r['NAME'], r['AMOUNT'], r['OK'])
)");
  EXPECT_EQ(out, "987654321098765432 edited 7.25 True\n9999999999999999999 again -2.0 False\n");
  fs::remove_all(dir);
}

TEST(DbfTables, BinaryDBase4MemoKeepsEveryByte) {
  const std::string dir = MakeTempDir("d4binary");
  const std::vector<THandField> fields = {{"NAME", 'C', 8, 0, 0}, {"DATA", 'B', 10, 0, 0}, {"NOTE", 'M', 10, 0, 0}};
  Spit(dir + "/t.dbf", HandTable(0x8B, fields, {}));
  ASSERT_TRUE(TDbfMemoFile::CreateDBase4(dir + "/t.dbt"));
  std::string blob;
  for (int i = 0; i < 700; ++i) blob += static_cast<char>(i % 256);
  blob += std::string("\x1A\x1F\x1F\x1A", 4);
  const std::string shortBlob("\x1F\x00\x1A", 3);
  {
    TOpen o(dir);
    for (const std::string& b : {blob, shortBlob}) {
      o.q.Append();
      o.q.FieldByName("NAME").SetAsString("x");
      o.q.FieldByName("DATA").SetValue(b);
      o.q.FieldByName("NOTE").SetAsString("text memo");
      o.q.Post();
    }
    o.q.UpdateBatch();
  }
  TOpen o(dir);
  EXPECT_EQ(o.q.FieldByName("DATA").AsString(), blob);
  EXPECT_EQ(o.q.FieldByName("NOTE").AsString(), "text memo");
  o.q.Next();
  EXPECT_EQ(o.q.FieldByName("DATA").AsString(), shortBlob);
  fs::remove_all(dir);
}

TEST(DbfTables, DBase4MemoFileMadeInItsOwnFormatOrMissing) {
  const std::string dir = MakeTempDir("d4missing");
  const std::vector<THandField> fields = {{"NAME", 'C', 8, 0, 0}, {"NOTE", 'M', 10, 0, 0}};
  // No memo yet and no memo file: the first memo write makes a dBase IV one.
  Spit(dir + "/t.dbf", HandTable(0x8B, fields, {" one     " + std::string(10, ' ')}));
  {
    TOpen o(dir);
    EXPECT_TRUE(o.q.OpenWarnings().empty());
    o.q.Edit();
    o.q.FieldByName("NOTE").SetAsString("first memo");
    o.q.Post();
    o.q.Append();
    o.q.FieldByName("NOTE").SetAsString(std::string(600, 'm'));
    o.q.Post();
    o.q.UpdateBatch();
  }
  const std::string memo = Slurp(dir + "/t.dbt");
  ASSERT_GE(memo.size(), 1024u + 8);
  EXPECT_EQ(static_cast<unsigned char>(memo[20]) | (static_cast<unsigned char>(memo[21]) << 8), 512);
  EXPECT_EQ(memo.substr(512, 4), std::string("\xFF\xFF\x08\x00", 4));
  EXPECT_EQ(memo.substr(1024, 4), std::string("\xFF\xFF\x08\x00", 4));
  EXPECT_EQ(RunPython(R"(
import dbfread
for r in dbfread.DBF(')" + dir + R"(/t.dbf'):
    print(r['NOTE'][:12], len(r['NOTE']))
)"),
            "first memo 10\nmmmmmmmmmmmm 600\n");
  // The memo file goes missing: the table still opens, says so, and memo writes fail.
  fs::remove(dir + "/t.dbt");
  const std::string table = Slurp(dir + "/t.dbf");
  {
    TOpen o(dir);
    ASSERT_EQ(o.q.OpenWarnings(), std::vector<std::string>{"The memo file is missing: " + dir + "/t.dbt"});
    EXPECT_EQ(o.q.FieldByName("NAME").AsString(), "one");
    EXPECT_TRUE(o.q.FieldByName("NOTE").IsNull());
    o.q.Edit();
    o.q.FieldByName("NOTE").SetAsString("lost?");
    o.q.Post();
    try {
      o.q.UpdateBatch();
      ADD_FAILURE() << "the memo write went through";
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()), "The memo file is missing: " + dir + "/t.dbt");
    }
    // Other fields still write.
    o.q.Close();
    o.q.Open();
    o.q.Edit();
    o.q.FieldByName("NAME").SetAsString("two");
    o.q.Post();
    o.q.UpdateBatch();
  }
  EXPECT_FALSE(fs::exists(dir + "/t.dbt"));
  std::string expect = table;
  expect.replace(expect.find(" one "), 5, " two ");
  EXPECT_EQ(RecordBytes(Slurp(dir + "/t.dbf")), RecordBytes(expect));
  fs::remove_all(dir);
}

TEST(DbfTables, CharacterTheCodePageCannotHoldIsRefusedAtPost) {
  const std::string dir = MakeTempDir("cp1251");
  CopyInto(TestDataDir() + "/dbf/cp1251.dbf", dir, "t.dbf");
  const std::string before = Slurp(dir + "/t.dbf");
  TOpen o(dir);
  TADOQuery& q = o.q;
  q.Edit();
  q.FieldByName("NAME").SetAsString("Ωмега");
  try {
    q.Post();
    ADD_FAILURE() << "posted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()),
              "The character \"Ω\" cannot be stored in the field NAME: the table's code page windows-1251 has no "
              "such character");
  }
  EXPECT_EQ(q.State(), dsEdit);
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "Ωмега");
  q.Cancel();
  q.UpdateBatch();
  EXPECT_EQ(Slurp(dir + "/t.dbf"), before);
  // A byte the page leaves undefined does not stop an edit of another field, and stays.
  q.Close();
  {
    std::string b = Slurp(dir + "/t.dbf");
    b[b.find("\xCD\xC8\xC8") + 1] = '\x98';
    Spit(dir + "/t.dbf", b);
  }
  q.Open();
  ASSERT_TRUE(q.Locate("RN", int64_t(3), 0));
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "Н\xEF\xBF\xBDИ");
  q.Edit();
  q.FieldByName("RN").SetAsInteger(33);
  q.Post();
  q.UpdateBatch();
  EXPECT_NE(Slurp(dir + "/t.dbf").find("\xCD\x98\xC8"), std::string::npos);
  // What the page holds goes through.
  q.First();
  q.Edit();
  q.FieldByName("NAME").SetAsString("НИИ? «да»");
  q.Post();
  q.UpdateBatch();
  q.Close();
  q.Open();
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "НИИ? «да»");
  fs::remove_all(dir);
}

TEST(DbfTables, DamagedTablesSayOnceWhatIsWrong) {
  const std::string dir = MakeTempDir("damagedwarn");
  const std::string good = Slurp(TestDataDir() + "/dbf/cp1251.dbf");
  const size_t head = static_cast<unsigned char>(good[8]) | (static_cast<unsigned char>(good[9]) << 8);
  const size_t rec = static_cast<unsigned char>(good[10]) | (static_cast<unsigned char>(good[11]) << 8);
  const std::string file = dir + "/t.dbf";
  struct TCase {
    const char* what;
    std::function<void(std::string&)> damage;
    int rows;
    std::vector<std::string> warnings;
  } cases[] = {
      {"sound", [](std::string&) {}, 4, {}},
      {"cut after one record", [&](std::string& b) { b.resize(head + rec + 7); }, 1,
       {"The table is damaged: 4 records declared, 1 could be read: " + file}},
      {"count of 0x7fffffff", [](std::string& b) { Put32(b, 4, 0x7FFFFFFF); }, 4,
       {"The table is damaged: 2147483647 records declared, 4 could be read: " + file}},
  };
  for (const auto& c : cases) {
    std::string b = good;
    c.damage(b);
    Spit(file, b);
    TOpen o(dir);
    EXPECT_EQ(o.q.RecordCount(), c.rows) << c.what;
    EXPECT_EQ(o.q.OpenWarnings(), c.warnings) << c.what;
  }
  // A memo table without its memo file.
  fs::remove(file);
  CopyInto(TestDataDir() + "/dbf/dbase3plus_cars_del.dbf", dir, "cars.dbf");
  TOpen o(dir, "cars.dbf");
  EXPECT_EQ(o.q.RecordCount(), 3);
  EXPECT_EQ(o.q.OpenWarnings(), std::vector<std::string>{"The memo file is missing: " + dir + "/cars.dbt"});
  fs::remove_all(dir);
}

TEST(DbfTables, SoundSamplesOpenWithoutWarnings) {
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(TestDataDir() + "/dbf");
  std::vector<std::string> tables;
  conn.GetTableNames(tables);
  ASSERT_GE(tables.size(), 5u);
  for (const auto& t : tables) {
    TADOQuery q;
    OpenTable(conn, q, t);
    EXPECT_TRUE(q.OpenWarnings().empty()) << t << ": " << q.OpenWarnings().front();
  }
}

TEST(Sql, OrderByTextAgreesWithTheGridsSort) {
  const std::string dir = MakeTempDir("collate");
  CopyInto(TestDataDir() + "/dbf/cp1251.dbf", dir, "t.dbf");
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  for (const char* dir_ : {"ASC", "DESC"}) {
    TADOQuery grid;
    OpenTable(conn, grid, "t.dbf");
    grid.SetSort(std::string("NAME ") + dir_);
    std::vector<std::string> byGrid, bySql;
    for (grid.First(); !grid.Eof(); grid.Next()) byGrid.push_back(grid.FieldByName("NAME").AsString());
    TADOQuery sql;
    sql.SetConnection(&conn);
    sql.SQL = std::string("SELECT NAME FROM \"t.dbf\" ORDER BY NAME ") + dir_;
    sql.Open();
    EXPECT_EQ(sql.FieldByName("NAME").DataType(), ftString);
    for (sql.First(); !sql.Eof(); sql.Next()) bySql.push_back(sql.FieldByName("NAME").AsString());
    EXPECT_EQ(bySql, byGrid) << dir_;
    ASSERT_EQ(byGrid.size(), 4u);
    EXPECT_EQ(byGrid[std::string(dir_) == "ASC" ? 2 : 1], "НИИ") << dir_;
  }
  // Equality stays exact.
  TADOQuery eq;
  eq.SetConnection(&conn);
  eq.SQL = "SELECT RN FROM \"t.dbf\" WHERE NAME = 'нии'";
  eq.Open();
  EXPECT_EQ(eq.RecordCount(), 0);
  fs::remove_all(dir);
}
