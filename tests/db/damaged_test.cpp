// Damaged tables open with a clear message or read what is sound; text codec.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/Dbf.h"
#include "platform/TextCodec.h"
#include "support/DbTestSupport.h"

namespace fs = std::filesystem;

TEST(DamagedTables, OpenWithMessageOrReadWhatIsSound) {
  const std::string dir = MakeTempDir("damaged");
  const std::string src = TestDataDir() + "/dbf/dbase3plus_cars_del.dbf";
  const std::string good = Slurp(src);
  struct TCase {
    const char* what;
    std::function<void(std::string&)> damage;
    int rows;  // -1: the open fails
    const char* message;
  } cases[] = {
      {"count beyond the file", [](std::string& b) { Put32(b, 4, 1000000); }, 3, nullptr},
      {"huge count", [](std::string& b) { Put32(b, 4, 0xFFFFFFFF); }, 3, nullptr},
      {"header length beyond the file", [](std::string& b) { Put16(b, 8, 60000); }, -1, "header length"},
      {"header length too small", [](std::string& b) { Put16(b, 8, 10); }, -1, "header length"},
      {"record length too small", [](std::string& b) { Put16(b, 10, 20); }, -1, "record length"},
      {"record length zero", [](std::string& b) { Put16(b, 10, 0); }, -1, "record length"},
      {"truncated descriptors", [](std::string& b) { b.resize(70); }, -1, "damaged"},
      {"header only", [](std::string& b) { b.resize(20); }, -1, "too short"},
      {"last record cut short", [](std::string& b) { b.resize(b.size() - 10); }, 2, nullptr},
      {"memo pointer past the memo file", [](std::string& b) {
         size_t at = b.find("         1");
         b.replace(at, 10, "    999999");
       }, 3, nullptr},
  };
  for (const auto& c : cases) {
    std::string b = good;
    c.damage(b);
    Spit(dir + "/t.dbf", b);
    fs::copy_file(TestDataDir() + "/dbf/dbase3plus_cars_del.dbt", dir + "/t.dbt", fs::copy_options::overwrite_existing);
    TADOConnection conn;
    conn.ConnectionString = DbfConnectionString(dir);
    TADOQuery q;
    q.SetConnection(&conn);
    q.SQL = "SELECT * FROM \"t.dbf\"";
    try {
      q.Open();
      EXPECT_EQ(q.RecordCount(), c.rows) << c.what;
      for (q.First(); !q.Eof(); q.Next())
        for (int i = 0; i < q.FieldCount(); ++i) q.Fields(i).AsString();
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(c.rows, -1) << c.what << ": " << e.what();
      if (c.message) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      }
    }
  }
  fs::remove_all(dir);
}

TEST(DamagedTables, AppendAfterAnOvercountedHeaderRepairsTheCount) {
  const std::string dir = MakeTempDir("overcount");
  std::string b = Slurp(TestDataDir() + "/dbf/dbase3plus_cars_del.dbf");
  Put32(b, 4, 50);
  Spit(dir + "/t.dbf", b);
  fs::copy_file(TestDataDir() + "/dbf/dbase3plus_cars_del.dbt", dir + "/t.dbt");
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t");
  q.Append();
  q.FieldByName("NAME").SetAsString("GOLF");
  q.FieldByName("DESCR").SetAsString("a memo");
  q.Post();
  q.UpdateBatch();
  q.Close();
  q.Open();
  ASSERT_EQ(q.RecordCount(), 4);
  q.Last();
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "GOLF");
  EXPECT_EQ(q.FieldByName("DESCR").AsString(), "a memo");
  const std::string after = Slurp(dir + "/t.dbf");
  EXPECT_EQ(static_cast<unsigned char>(after[4]), 5);
  fs::remove_all(dir);
}

TEST(TextCodec, Conversions) {
  EXPECT_EQ(CodePageToUtf8("\xCD\xC8\xC8", 1251), "НИИ");
  EXPECT_EQ(Utf8ToCodePage("НИИ", 1251), "\xCD\xC8\xC8");
  EXPECT_EQ(Utf8ToCodePage("Ж€z", 437), "??z");
  EXPECT_EQ(CodePageToUtf8("\x85\x8A", 437), "àè");
  EXPECT_EQ(GuessToUtf8("do\x85Petits"), "do…Petits");
  EXPECT_EQ(GuessToUtf8("Crème"), "Crème");
  EXPECT_EQ(CodePageToUtf8("a\x81" "b", 1252), "a\xEF\xBF\xBD" "b");  // undefined in 1252
  EXPECT_EQ(Utf8CutBytes("aé", 2), "a");
  EXPECT_EQ(Utf8CutBytes("aé", 3), "aé");
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
  EXPECT_TRUE(IsValidUtf8("€"));
  EXPECT_EQ(DbfCodePageOfLanguageDriver(0xC9), 1251);
  EXPECT_EQ(DbfCodePageOfLanguageDriver(0x01), 437);
  EXPECT_EQ(DbfCodePageOfLanguageDriver(0x00), 0);
}

TEST(DbfFormat, HeaderForTheTableWriter) {
  TDbfHeader h;
  h.Year = 2026;
  h.Month = 5;
  h.Day = 9;
  const std::string b = DbfEncodeTableHead(h, {{"Name", 'C', 20, 0}});
  ASSERT_EQ(b.size(), 65u);
  EXPECT_EQ(b.substr(0, 4), std::string("\x03\x7E\x05\x09", 4));
  EXPECT_EQ(b[8], 65);
  EXPECT_EQ(b[10], 21);
  EXPECT_EQ(b.substr(32, 11), std::string("NAME\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(b[64], '\x0D');
  EXPECT_EQ(DbfYearByte(2026), 126);
  EXPECT_EQ(DbfYearByte(1949), 49);
  EXPECT_EQ(DbfDateText(2026, 3, 5), "20260305");
  EXPECT_EQ(DbfEncodeDescriptor({"averyveryLongName", 'N', 15, 5}).substr(0, 11), std::string("AVERYVERYL\0", 11));
}

TEST(DbfFormat, MemoFlavoursRoundTrip) {
  const std::string dir = MakeTempDir("memo");
  for (auto flavour : {TDbfMemoFile::mfDBase3, TDbfMemoFile::mfDBase4, TDbfMemoFile::mfFoxPro}) {
    const std::string p = dir + "/m.memo";
    ASSERT_TRUE(flavour == TDbfMemoFile::mfFoxPro ? TDbfMemoFile::CreateFoxPro(p) : TDbfMemoFile::Create(p));
    TDbfMemoFile m;
    ASSERT_TRUE(m.Open(p, flavour, true));
    uint32_t b1 = 0, b2 = 0;
    const std::string big(1500, 'x');
    ASSERT_TRUE(m.Append("first", b1));
    ASSERT_TRUE(m.Append(big, b2));
    EXPECT_EQ(b1, flavour == TDbfMemoFile::mfFoxPro ? 8u : 1u);
    EXPECT_GT(b2, b1);
    std::string out;
    ASSERT_TRUE(m.Read(b1, out));
    EXPECT_EQ(out, "first");
    ASSERT_TRUE(m.Read(b2, out));
    EXPECT_EQ(out, big);
    EXPECT_FALSE(m.Read(100000, out));
    m.Close();
  }
  // The dBase III layout: text, two 0x1A, blocks padded with zeros before the next memo.
  const std::string p = dir + "/d3.dbt";
  ASSERT_TRUE(TDbfMemoFile::Create(p));
  TDbfMemoFile m;
  ASSERT_TRUE(m.Open(p, TDbfMemoFile::mfDBase3, true));
  uint32_t b;
  m.Append("abc", b);
  m.Append("def", b);
  m.Close();
  const std::string bytes = Slurp(p);
  EXPECT_EQ(bytes.size(), 1024u + 5u);
  EXPECT_EQ(bytes.substr(512, 6), std::string("abc\x1A\x1A\0", 6));
  EXPECT_EQ(bytes.substr(1024), "def\x1A\x1A");
  EXPECT_EQ(bytes[0], 3);  // next free block
  fs::remove_all(dir);
}

// A header whose fields cannot be where it says is a damaged table: it does not
// open, and nothing is written into it.
TEST(DamagedTables, HeaderFieldsThatDoNotFitAreDamage) {
  const std::string dir = MakeTempDir("damagedhead");
  const std::string good = Slurp(TestDataDir() + "/dbf/dbase3plus_cars_del.dbf");
  const uint16_t head = static_cast<uint16_t>(static_cast<unsigned char>(good[8]) | static_cast<unsigned char>(good[9]) << 8);
  struct TCase {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* why;
  } cases[] = {
      {"a field of length 0", [](std::string& b) { b[32 + 16] = 0; }, "the field NAME has the length 0"},
      {"a later field of length 0", [](std::string& b) { b[64 + 16] = 0; }, "the field YEAR has the length 0"},
      {"fields longer than the record", [](std::string& b) { b[32 + 16] = static_cast<char>(200); },
       "the fields do not fit the record length"},
      {"the last descriptor past the header's end", [head](std::string& b) { Put16(b, 8, head - 32); },
       "a field descriptor runs past the end of the header"},
      {"a descriptor cut by the header's end", [head](std::string& b) { Put16(b, 8, head - 16); },
       "a field descriptor runs past the end of the header"},
  };
  for (const auto& c : cases) {
    std::string b = good;
    c.damage(b);
    Spit(dir + "/t.dbf", b);
    fs::copy_file(TestDataDir() + "/dbf/dbase3plus_cars_del.dbt", dir + "/t.dbt", fs::copy_options::overwrite_existing);
    TADOConnection conn;
    conn.ConnectionString = DbfConnectionString(dir);
    TADOQuery q;
    q.SetConnection(&conn);
    q.SQL = "SELECT * FROM \"t.dbf\"";
    std::string message;
    try {
      q.Open();
    } catch (const EDatabaseError& e) {
      message = e.what();
    }
    EXPECT_FALSE(q.Active()) << c.what;
    EXPECT_EQ(message, "The table is damaged: " + std::string(c.why) + ": " + dir + "/t.dbf") << c.what;
    EXPECT_EQ(Slurp(dir + "/t.dbf"), b) << c.what;
  }
  fs::remove_all(dir);
}

// A memo file cut short: said once at the open, the table still reads, and no memo
// is written into blocks that records still name.
TEST(DamagedTables, MemoFileCutShort) {
  const std::string dir = MakeTempDir("memocut");
  const std::string table = Slurp(TestDataDir() + "/dbf/dbase3plus_cars_del.dbf");
  const std::string memos = Slurp(TestDataDir() + "/dbf/dbase3plus_cars_del.dbt");
  const std::string warning =
      "The table is damaged: its memo file ends before the memos its records name: " + dir + "/t.dbt";
  for (size_t size : {size_t(0), size_t(2), size_t(300), size_t(600), memos.size() - 6}) {
    Spit(dir + "/t.dbf", table);
    const std::string cut = memos.substr(0, size);
    Spit(dir + "/t.dbt", cut);
    TADOConnection conn;
    conn.ConnectionString = DbfConnectionString(dir);
    {
      TADOQuery q;
      OpenTable(conn, q, "t");
      EXPECT_EQ(q.OpenWarnings(), std::vector<std::string>{warning}) << size;
      ASSERT_EQ(q.RecordCount(), 3) << size;
      EXPECT_EQ(q.FieldByName("NAME").AsString(), "PASSAT");
      q.Last();
      q.Edit();
      q.FieldByName("DESCR").SetAsString("a new memo");
      q.Post();
      try {
        q.UpdateBatch();
        ADD_FAILURE() << size << ": a memo was written";
      } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()), "The memo file is damaged: no memo can be written into it before it is "
                                         "mended: " + dir + "/t.dbt");
      }
    }
    EXPECT_EQ(Slurp(dir + "/t.dbt"), cut) << size;
    EXPECT_EQ(Slurp(dir + "/t.dbf"), table) << size;
    // The other fields are still written.
    TADOQuery q;
    OpenTable(conn, q, "t");
    q.Edit();
    q.FieldByName("NAME").SetAsString("GOLF");
    q.Post();
    q.UpdateBatch();
    q.Close();
    q.Open();
    EXPECT_EQ(q.FieldByName("NAME").AsString(), "GOLF") << size;
    EXPECT_EQ(Slurp(dir + "/t.dbt"), cut) << size;
  }
  // Whole again: no word.
  Spit(dir + "/t.dbt", memos);
  TADOConnection conn;
  conn.ConnectionString = DbfConnectionString(dir);
  TADOQuery q;
  OpenTable(conn, q, "t");
  EXPECT_TRUE(q.OpenWarnings().empty());
  fs::remove_all(dir);
}
