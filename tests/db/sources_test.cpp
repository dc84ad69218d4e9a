// The three kinds of source, read from the shared sample files.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/DbTestSupport.h"
#include "db/DateParts.h"
#include "db/Driver.h"
#include "db/FieldKind.h"
#include "platform/TextCodec.h"

namespace fs = std::filesystem;

namespace {

std::string Dbf() { return TestDataDir() + "/dbf"; }
std::string Mdb(const std::string& f) { return TestDataDir() + "/mdb/" + f; }

struct TOpened {
  TADOConnection conn;
  TADOQuery q;
};

void OpenDbf(TOpened& o, const std::string& table) {
  o.conn.ConnectionString = DbfConnectionString(Dbf());
  o.conn.Open();
  OpenTable(o.conn, o.q, table);
}

double Day(int y, int m, int d) { return dbdate::Encode(y, m, d); }

}  // namespace

TEST(DbfSources, DBase3PlusHidesDeletedAndReadsBlankAsNull) {
  TOpened o;
  OpenDbf(o, "dbase3plus_cars_del.dbf");
  TADOQuery& q = o.q;
  ASSERT_EQ(q.RecordCount(), 3);
  const std::vector<std::pair<std::string, TFieldType>> want = {{"NAME", ftString},   {"YEAR", ftInteger},
                                                                {"SEDAN", ftBoolean}, {"PROD_DATE", ftDate},
                                                                {"CC", ftFloat},      {"DESCR", ftMemo}};
  ASSERT_EQ(q.FieldCount(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(q.Fields(i).FieldName(), want[i].first);
    EXPECT_EQ(q.Fields(i).DataType(), want[i].second) << want[i].first;
  }
  EXPECT_EQ(q.Fields(0).Size(), 15);
  EXPECT_EQ(q.RecNo(), 1);
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "PASSAT");
  EXPECT_EQ(q.FieldByName("YEAR").AsInteger(), 0);
  EXPECT_FALSE(q.FieldByName("YEAR").IsNull());
  EXPECT_FALSE(q.FieldByName("SEDAN").AsBoolean());
  EXPECT_EQ(q.FieldByName("PROD_DATE").AsDateTime(), Day(1977, 1, 1));
  EXPECT_EQ(Utf8Length(q.FieldByName("DESCR").AsString()), 240);
  q.Next();
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "JETTA");
  EXPECT_TRUE(q.FieldByName("SEDAN").AsBoolean());
  EXPECT_DOUBLE_EQ(q.FieldByName("CC").AsFloat(), 999.999);
  EXPECT_FALSE(q.FieldByName("DESCR").IsNull());
  q.Next();
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(q.Fields(i).IsNull()) << i;
  q.Next();
  EXPECT_TRUE(q.Eof());
}

TEST(DbfSources, FoxProUpperCaseMemoAndBareDecimalPoint) {
  TOpened o;
  OpenDbf(o, "foxpro26_cars.DBF");
  TADOQuery& q = o.q;
  ASSERT_EQ(q.RecordCount(), 4);
  EXPECT_EQ(Utf8Length(q.FieldByName("DESCR").AsString()), 238);
  q.Last();  // the blank record with a bare "." in CC
  EXPECT_TRUE(q.FieldByName("NAME").IsNull());
  EXPECT_TRUE(q.FieldByName("CC").IsNull());
  q.SetRecNo(2);
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "POLO");
  EXPECT_DOUBLE_EQ(q.FieldByName("CC").AsFloat(), 333.444);
  EXPECT_EQ(q.FieldByName("PROD_DATE").AsDateTime(), Day(1901, 12, 3));
}

TEST(DbfSources, DBase83UndeclaredCodePageReadsEveryMemo) {
  TOpened o;
  OpenDbf(o, "dbase_83");  // without its extension
  TADOQuery& q = o.q;
  ASSERT_EQ(q.RecordCount(), 67);
  EXPECT_EQ(q.FieldByName("ID").DataType(), ftLargeint);  // N(19,0): wider than a double's digits
  EXPECT_EQ(q.FieldByName("PRICE").DataType(), ftFloat);
  int memos = 0;
  size_t longest = 0;
  for (q.First(); !q.Eof(); q.Next()) {
    std::string m = q.FieldByName("DESC").AsString();
    EXPECT_TRUE(IsValidUtf8(m));
    if (!m.empty()) ++memos;
    longest = std::max(longest, static_cast<size_t>(Utf8Length(m)));
  }
  EXPECT_EQ(memos, 67);
  EXPECT_EQ(longest, 1268u);
}

TEST(DbfSources, DBase4MemoLogicalDateAndFloat) {
  TOpened o;
  OpenDbf(o, "dbase_8b.dbf");
  TADOQuery& q = o.q;
  ASSERT_EQ(q.RecordCount(), 10);
  EXPECT_EQ(q.FieldByName("FLOAT").DataType(), ftFloat);
  EXPECT_EQ(q.FieldByName("MEMO").AsString(), "First memo\r\n");
  EXPECT_EQ(q.FieldByName("DATE").AsDateTime(), Day(1970, 1, 1));
  EXPECT_TRUE(q.FieldByName("LOGICAL").AsBoolean());
  EXPECT_NEAR(q.FieldByName("FLOAT").AsFloat(), 1.23456789012346, 1e-12);
  q.Next();
  EXPECT_EQ(q.FieldByName("MEMO").AsString(), "Second memo\n");
  EXPECT_TRUE(q.FieldByName("LOGICAL").AsBoolean());
  q.Next();
  EXPECT_TRUE(q.FieldByName("LOGICAL").IsNull());
  q.SetRecNo(9);
  EXPECT_TRUE(q.FieldByName("DATE").IsNull());
  EXPECT_TRUE(q.FieldByName("FLOAT").IsNull());
  q.Last();
  EXPECT_EQ(q.RecNo(), 10);
  EXPECT_DOUBLE_EQ(q.FieldByName("FLOAT").AsFloat(), 0.1);
  EXPECT_TRUE(q.FieldByName("MEMO").IsNull());
}

TEST(DbfSources, DeclaredCodePage1251) {
  TOpened o;
  OpenDbf(o, "cp1251.dbf");
  TADOQuery& q = o.q;
  std::vector<std::string> names;
  for (q.First(); !q.Eof(); q.Next()) names.push_back(q.FieldByName("NAME").AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"амбулаторно-поликлиническое", "больничное", "НИИ",
                                             "образовательное медицинское учреждение"}));
  EXPECT_EQ(q.FieldByName("RN").DataType(), ftInteger);
}

TEST(DbfSources, FolderListsItsTables) {
  TADOConnection c;
  c.ConnectionString = DbfConnectionString(Dbf());
  std::vector<std::string> names;
  c.GetTableNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"cp1251.dbf", "dbase3plus_cars_del.dbf", "dbase_83.dbf", "dbase_8b.dbf",
                                             "foxpro26_cars.DBF"}));
}

TEST(AccessSources, Jet3TablesAndTypes) {
  TADOConnection c;
  c.ConnectionString = MdbConnectionString(Mdb("testV1997.mdb"));
  std::vector<std::string> names;
  c.GetTableNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
  TADOQuery q;
  OpenTable(c, q, "Table1");
  ASSERT_EQ(q.RecordCount(), 2);
  const std::vector<TFieldKind> kinds = {fkText,   fkText,     fkNumber, fkNumber, fkNumber,
                                         fkNumber, fkDateTime, fkNumber, fkBoolean};
  ASSERT_EQ(q.FieldCount(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(FieldKind(q.Fields(i).DataType()), kinds[i]) << i;
  EXPECT_EQ(q.FieldByName("A").Size(), 50);
  q.Last();
  EXPECT_EQ(q.FieldByName("A").AsString(), "abcdefg");
  EXPECT_EQ(q.FieldByName("C").AsInteger(), 2);
  EXPECT_EQ(q.FieldByName("D").AsInteger(), 222);
  EXPECT_EQ(q.FieldByName("E").AsInteger(), 333333333);
  EXPECT_DOUBLE_EQ(q.FieldByName("F").AsFloat(), 444.555);
  EXPECT_EQ(q.FieldByName("G").AsDateTime(), Day(1974, 9, 21));
  EXPECT_DOUBLE_EQ(q.FieldByName("H").AsFloat(), 3.5);
  EXPECT_TRUE(q.FieldByName("I").AsBoolean());
  q.Close();
  OpenTable(c, q, "Table2");
  EXPECT_EQ(q.FieldCount(), 89);
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_EQ(q.RecNo(), -1);
  q.Close();
  OpenTable(c, q, "Table4");
  EXPECT_EQ(q.FieldByName("data").DataType(), ftGuid);
}

// Every column sets a value buffer aside, so a column count from a damaged
// table definition must not decide how much is set aside.
TEST(AccessSources, MoreColumnsThanAccessHoldsIsADamagedTable) {
  const std::string dir = MakeTempDir("mdbcols");
  std::string bytes = Slurp(Mdb("testV1997.mdb"));
  // Table2's definition is page 34 of 2 KiB; its column count sits at offset 25.
  constexpr size_t countAt = 34 * 2048 + 25;
  for (const int columns : {255, 300}) {
    bytes[countAt] = static_cast<char>(columns & 0xFF);
    bytes[countAt + 1] = static_cast<char>(columns >> 8);
    Spit(dir + "/t.mdb", bytes);
    auto driver = MakeAccessDriver(dir + "/t.mdb");
    EXPECT_NO_THROW(driver->OpenTable("Table1")) << columns;
    if (columns <= 255) continue;
    try {
      driver->OpenTable("Table2");
      ADD_FAILURE() << "a table of " << columns << " columns opened";
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find("Table2"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
    }
  }
}

// mdbtools follows a table's usage map unchecked: an empty one is a damaged
// table, said as such, and the other tables still open.
TEST(AccessSources, EmptyUsageMapIsADamagedTable) {
  const std::string dir = MakeTempDir("mdbmap");
  std::string bytes = Slurp(Mdb("testV1997.mdb"));
  // Table2's definition (page 34) names its usage map at offset 35 as page 35, row 0. Point it at row 1
  // and start row 1 where row 0 starts: a row of 0 bytes.
  constexpr size_t mapRowAt = 34 * 2048 + 35, row1StartAt = 35 * 2048 + 12;
  ASSERT_EQ(bytes.compare(mapRowAt, 4, std::string("\x00\x23\x00\x00", 4)), 0);
  ASSERT_EQ(bytes.compare(row1StartAt - 2, 4, std::string("\x7b\x07\xf6\x06", 4)), 0);
  bytes[mapRowAt] = 0x01;
  bytes[row1StartAt] = 0x7b;
  bytes[row1StartAt + 1] = 0x07;
  Spit(dir + "/t.mdb", bytes);
  auto driver = MakeAccessDriver(dir + "/t.mdb");
  EXPECT_EQ(driver->OpenTable("Table1").Rows.size(), 2u);
  try {
    driver->OpenTable("Table2");
    ADD_FAILURE() << "a table without a usage map opened";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("Table2"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
  }
}

// The objects' property blocks are damaged in many files and hold nothing
// the tables need: one with a record of length 0 still opens, and soon.
TEST(AccessSources, PropertyBlockWithARecordOfLength0StillOpens) {
  const std::string dir = MakeTempDir("mdbprops");
  std::string bytes = Slurp(Mdb("testV1997.mdb"));
  // The property block of one of the catalog's objects.
  constexpr size_t block = 41672;
  ASSERT_EQ(bytes.compare(block, 4, std::string("KKD\0", 4)), 0);
  bytes.replace(block + 4, 4, std::string(4, '\0'));
  Spit(dir + "/t.mdb", bytes);
  auto driver = MakeAccessDriver(dir + "/t.mdb");
  EXPECT_EQ(driver->TableNames(), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
  EXPECT_EQ(driver->OpenTable("Table1").Rows.size(), 2u);
}

TEST(AccessSources, ProjectTableMemoOleAndCodePageText) {
  TADOConnection c;
  c.ConnectionString = MdbConnectionString(Mdb("test2V1997.mdb"));
  TADOQuery q;
  OpenTable(c, q, "MSP_PROJECTS");
  ASSERT_EQ(q.RecordCount(), 1);
  EXPECT_EQ(q.FieldCount(), 74);
  EXPECT_EQ(q.FieldByName("PROJ_NAME").AsString(), "Project1");
  EXPECT_EQ(Utf8Length(q.FieldByName("PROJ_PROP_AUTHOR").AsString()), 348);
  EXPECT_EQ(q.FieldByName("PROJ_OPT_CURRENCY_SYMBOL").AsString(), "£");
  EXPECT_EQ(q.FieldByName("RESERVED_BINARY_DATA").AsString().size(), 22970u);
  int nonNull = 0;
  for (int i = 0; i < q.FieldCount(); ++i) nonNull += !q.Fields(i).IsNull();
  EXPECT_EQ(nonNull, 60);
}

TEST(AccessSources, Jet4UnicodeAndReadOnly) {
  TADOConnection c;
  c.ConnectionString = MdbConnectionString(Mdb("testAccess2_2000.mdb"));
  TADOQuery q;
  OpenTable(c, q, "Table1");
  ASSERT_EQ(q.RecordCount(), 2);
  EXPECT_EQ(q.FieldByName("ShortTextField").AsString(), "the quick");
  EXPECT_EQ(q.FieldByName("ShortTextField").Size(), 255);
  EXPECT_EQ(q.FieldByName("OLEObject").AsString().size(), 121036u);
  EXPECT_DOUBLE_EQ(q.FieldByName("CurrencyField").AsFloat(), 6.23);
  EXPECT_EQ(q.FieldByName("DateField").AsDateTime(), Day(2015, 6, 24));
  EXPECT_EQ(q.FieldByName("PlainTextMemo").AsString(), "red and brown");
  q.Next();
  EXPECT_EQ(q.FieldByName("ShortTextField").AsString(), "普林斯顿大学");
  EXPECT_TRUE(q.FieldByName("DateField").IsNull());
  q.Edit();
  q.FieldByName("NumberField").SetAsInteger(5);
  try {
    q.Post();
    FAIL() << "posted to an Access table";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("Access databases can only be read on this system"), std::string::npos);
  }
  q.Cancel();
  EXPECT_THROW(q.Delete(), EDatabaseError);
  EXPECT_EQ(q.RecordCount(), 2);
}

TEST(Connections, Errors) {
  struct TCase {
    std::string cs, message;
  } cases[] = {
      {DbfConnectionString("/nonexistent/folder"), "Folder not found: /nonexistent/folder/"},
      {MdbConnectionString("/nonexistent/x.mdb"), "File not found: /nonexistent/x.mdb"},
      {"Provider=MSDataShape;Extended Properties=\"DBQ=x;Driver={SQL Server}\"",
       "Data source name not found and no default driver specified: {SQL Server}"},
  };
  for (const auto& c : cases) {
    TADOConnection conn;
    conn.ConnectionString = c.cs;
    try {
      conn.Open();
      ADD_FAILURE() << c.cs;
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(Dbf());
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"missing.dbf\"";
  try {
    q.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "File not found: " + Dbf() + "/missing.dbf");
  }
  EXPECT_FALSE(q.Active());
  q.SQL = "SELEC nonsense";
  try {
    q.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("syntax error"), std::string::npos);
  }
}

TEST(Connections, ParsesDesignedStrings) {
  auto p = ParseConnectionString(
      "DSN=dBASE Files;Provider=MSDataShape;Extended Properties=\"DBQ=/d/;DefaultDir=/d/;Driver={dBASE Driver "
      "(*.dbf)}\"");
  EXPECT_EQ(p.Kind, TDriverKind::DBase);
  EXPECT_EQ(p.DSN, "dBASE Files");
  EXPECT_EQ(p.Path, "/d/");
  p = ParseConnectionString(MdbConnectionString("/data/Shop.mdb"));
  EXPECT_EQ(p.Kind, TDriverKind::Access);
  EXPECT_EQ(p.DBQ, "Shop.mdb");
  EXPECT_EQ(p.Path, "/data/Shop.mdb");
}

TEST(Sql, OverDbfFolder) {
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(Dbf());
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL =
      "SELECT NAME, CC, PROD_DATE, CC * 2 AS DOUBLED, length(NAME) AS L FROM \"dbase3plus_cars_del.dbf\" "
      "WHERE NAME IS NOT NULL ORDER BY NAME";
  q.Open();
  ASSERT_EQ(q.RecordCount(), 2);
  EXPECT_EQ(q.FieldByName("NAME").DataType(), ftString);
  EXPECT_EQ(q.FieldByName("NAME").Size(), 15);
  EXPECT_EQ(q.FieldByName("PROD_DATE").DataType(), ftDate);
  EXPECT_EQ(q.FieldByName("DOUBLED").DataType(), ftFloat);
  EXPECT_EQ(q.FieldByName("L").DataType(), ftInteger);
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "JETTA");
  EXPECT_EQ(q.FieldByName("PROD_DATE").AsDateTime(), Day(1990, 2, 12));
  EXPECT_DOUBLE_EQ(q.FieldByName("DOUBLED").AsFloat(), 1999.998);
  EXPECT_TRUE(q.ReadOnly());
  q.Edit();
  q.FieldByName("NAME").SetAsString("X");
  try {
    q.Post();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos);
  }
  q.Cancel();
  q.Close();
  // A join, names without extension.
  q.SQL = "SELECT a.NAME, b.NAME AS FOX FROM dbase3plus_cars_del a JOIN foxpro26_cars b ON a.NAME = b.NAME";
  q.Open();
  EXPECT_EQ(q.RecordCount(), 2);
  q.Close();
  q.SQL = "DELETE FROM \"cp1251.dbf\"";
  EXPECT_THROW(q.Open(), EDatabaseError);
}

TEST(Sql, OverAccessDatabase) {
  TADOConnection conn;
  conn.ConnectionString = MdbConnectionString(Mdb("testV1997.mdb"));
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL = "SELECT A, G, I, COUNT(*) AS N FROM Table1 WHERE E > 5 GROUP BY A";
  q.Open();
  ASSERT_EQ(q.RecordCount(), 1);
  EXPECT_EQ(q.FieldByName("A").AsString(), "abcdefg");
  EXPECT_EQ(q.FieldByName("G").DataType(), ftDateTime);
  EXPECT_EQ(q.FieldByName("G").AsDateTime(), Day(1974, 9, 21));
  EXPECT_EQ(q.FieldByName("I").DataType(), ftBoolean);
  EXPECT_TRUE(q.FieldByName("I").AsBoolean());
  EXPECT_EQ(q.FieldByName("N").AsInteger(), 1);
}
