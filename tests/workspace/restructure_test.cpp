// The Restructure Table window's rules without a window: the field layout, the
// Edit Field checks, the Data options, the dBase writer and copier byte by
// byte, files read back by our driver and by python3-dbf / python3-dbfread,
// and Save As replacing only the table's own files.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "db/Connection.h"
#include "db/DateParts.h"
#include "db/Dbf.h"
#include "platform/SysUtils.h"
#include "platform/TextCodec.h"
#include "support/PythonRun.h"
#include "support/TableFiles.h"
#include "workspace/TableCopy.h"
#include "workspace/TableReplace.h"
#include "workspace/TableSaveAs.h"
#include "workspace/TableStructure.h"

namespace fs = std::filesystem;

namespace {

class RestructureTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFormatSettings(TFormatSettings::Default());
    dir = MakeTestFolder("restructure");
  }
  void TearDown() override {
    SetFormatSettings(TFormatSettings::Default());
    fs::remove_all(dir);
  }
  std::string dir;
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

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
}

unsigned Byte(const std::string& b, size_t i) { return static_cast<unsigned char>(b.at(i)); }
unsigned Word(const std::string& b, size_t i) { return Byte(b, i) | (Byte(b, i + 1) << 8); }
uint32_t Long(const std::string& b, size_t i) { return Word(b, i) | (static_cast<uint32_t>(Word(b, i + 2)) << 16); }

TFieldStructure Entry(const std::string& source, const std::string& name, TFieldKind kind, int size = 0) {
  TFieldStructure e;
  e.SourceName = source;
  e.Name = name;
  e.Kind = kind;
  e.Size = StructureFieldSize(kind, size);
  return e;
}

// The bytes of field f of record r (0-based) of a table file.
std::string FieldBytes(const std::string& file, int r, int f) {
  const unsigned headerLen = Word(file, 8), recordLen = Word(file, 10);
  size_t off = headerLen + static_cast<size_t>(r) * recordLen + 1;
  for (int i = 0; i < f; ++i) off += Byte(file, 32 + 32 * static_cast<size_t>(i) + 16);
  return file.substr(off, Byte(file, 32 + 32 * static_cast<size_t>(f) + 16));
}

TCopyRowsRequest CopyAll() {
  TCopyRowsRequest r;
  r.Restructure = true;
  r.Date = {2026, 5, 9};
  return r;
}

const TDbfDate May9{2026, 5, 9};

}  // namespace

// ---- the layout ------------------------------------------------------------

TEST_F(RestructureTest, LayoutOfTheOpenTable) {
  TDataSet ds;
  OpenRows(ds,
           {{"NAME", ftString, 20}, {"AGE", ftInteger}, {"BORN", ftDate}, {"PAID", ftBoolean}, {"NOTES", ftMemo}},
           {});
  TFormFieldsArray ff(5);
  for (int i = 0; i < 5; ++i) {
    ff[i].Width = 10 + i;
    ff[i].ColumnWidth = 100 + i;
    ff[i].PickList = {"v" + std::to_string(i)};
    ff[i].Template = i == 1;
    ff[i].Autocomplete = i != 2;
  }
  const TTableStructure s = BuildTableStructure(ds, ff);
  ASSERT_EQ(s.size(), 5u);
  const int sizes[] = {20, 15, 8, 1, 10};
  const TFieldKind kinds[] = {fkText, fkNumber, fkDateTime, fkBoolean, fkMemo};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(s[i].SourceName, s[i].Name);
    EXPECT_EQ(s[i].Size, sizes[i]) << i;
    EXPECT_EQ(s[i].Kind, kinds[i]) << i;
    EXPECT_EQ(s[i].EditorWidth, 10 + static_cast<int>(i));
    EXPECT_EQ(s[i].ColumnWidth, 100 + static_cast<int>(i));
    EXPECT_EQ(s[i].Template, i == 1);
    EXPECT_EQ(s[i].Autocomplete, i != 2);
    EXPECT_EQ(s[i].PickList.has_value(), i <= 2) << i;  // only kinds 0..2 carry a pick list
  }
  EXPECT_EQ(*s[2].PickList, std::vector<std::string>{"v2"});
  EXPECT_EQ(StructureGridRows(s), (std::vector<TStructureGridRow>{
                                      {"NAME", "C", "20"}, {"AGE", "N", ""}, {"BORN", "D", ""}, {"PAID", "L", ""},
                                      {"NOTES", "M", ""}}));
  EXPECT_EQ(StructureGridTitles(), (std::vector<std::string>{"Name", "Type", "Size"}));
  EXPECT_EQ(FieldTypeNames(), (std::vector<std::string>{"Character", "Number", "Date", "Logical", "Memo"}));
}

TEST_F(RestructureTest, AddCancelDeleteAndMoves) {
  TTableStructure s{Entry("A", "A", fkText, 5), Entry("B", "B", fkNumber), Entry("C", "C", fkMemo)};
  const TTableStructure before = s;
  const int added = AddStructureEntry(s);
  ASSERT_EQ(added, 3);
  const TFieldStructure& e = s[3];
  EXPECT_TRUE(e.Name.empty() && e.SourceName.empty());
  EXPECT_EQ(e.Kind, fkText);
  EXPECT_EQ(e.Size, 0);
  EXPECT_EQ(e.EditorWidth, 0);
  EXPECT_EQ(e.ColumnWidth, 0);
  EXPECT_FALSE(e.Template);
  EXPECT_TRUE(e.Autocomplete);
  EXPECT_FALSE(e.PickList.has_value());
  DeleteStructureEntry(s, added);  // Cancel of the Add dialog
  ASSERT_EQ(StructureGridRows(s), StructureGridRows(before));

  EXPECT_EQ(MoveStructureEntryUp(s, 0), 0);
  EXPECT_EQ(MoveStructureEntryDown(s, 2), 2);
  EXPECT_EQ(MoveStructureEntryDown(s, 0), 1);
  EXPECT_EQ(s[1].Name, "A");
  EXPECT_EQ(MoveStructureEntryUp(s, 2), 1);
  EXPECT_EQ(s[1].Name, "C");
  EXPECT_EQ(s[2].Name, "A");
  DeleteStructureEntry(s, 1);
  EXPECT_EQ(StructureGridRows(s), (std::vector<TStructureGridRow>{{"B", "N", ""}, {"A", "C", "5"}}));
  DeleteStructureEntry(s, 7);  // no such row
  EXPECT_EQ(s.size(), 2u);
}

TEST_F(RestructureTest, EditFieldChecksInOrder) {
  const std::vector<TStructureGridRow> rows{{"NAME", "C", "20"}, {"AGE", "N", ""}};
  struct TCase {
    std::string name;
    int type;
    std::string size;
    int selected;
    std::string message;
  };
  const TCase cases[] = {
      {"", 0, "abc", 1, "Field Name Required"},
      {"city", 0, "", -1, "Field Size Required"},
      {"city", 0, "abc", -1, "Invalid Size"},
      {"city", 0, "0", -1, "Field Size Required"},
      {"city", 0, "-3", -1, "Field Size Required"},
      {"city", 0, "255", -1, "Maximum Size of Field is 254"},
      {"city", 0, "254", -1, ""},
      {"city", 0, "1", -1, ""},
      {"name", 0, "abc", 1, "Invalid Size"},  // the size is looked at before the name's uniqueness
      {"name", 0, "10", 1, "Duplicate Field Name - \"name\""},
      {"Name", 1, "", 1, "Duplicate Field Name - \"Name\""},
      {"name", 0, "10", 0, ""},  // its own row does not count
      {"age", 1, "abc", 0, "Duplicate Field Name - \"age\""},
      {"total", 1, "abc", -1, ""},  // Number, Date, Logical and Memo ignore the size box
      {"total", 2, "", -1, ""},
      {"total", 3, "999", -1, ""},
      {"total", 4, "-1", -1, ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(CheckEditField({c.name, c.type, c.size}, rows, c.selected), c.message) << c.name << " " << c.size;
}

TEST_F(RestructureTest, EditFieldShowAndApply) {
  const std::vector<TStructureGridRow> rows{{"NAME", "C", "20"}, {"AGE", "N", ""}, {"ODD", "X", ""}};
  TEditFieldInput in = EditFieldOnShow(rows, 0, true);
  EXPECT_EQ(in.Name, "");
  EXPECT_EQ(in.TypeIndex, 0);
  EXPECT_EQ(in.SizeText, "");
  in = EditFieldOnShow(rows, 0, false);
  EXPECT_EQ(in.Name, "NAME");
  EXPECT_EQ(in.TypeIndex, 0);
  EXPECT_EQ(in.SizeText, "20");
  EXPECT_EQ(EditFieldOnShow(rows, 1, false).TypeIndex, 1);
  EXPECT_EQ(EditFieldOnShow(rows, 2, false).TypeIndex, -1);  // another letter selects nothing

  TFieldStructure e = Entry("OLD", "OLD", fkText, 20);
  const std::pair<int, int> kinds[] = {{1, 15}, {2, 8}, {3, 1}, {4, 10}};
  for (auto [type, size] : kinds) {
    ApplyEditField(e, {"neu", type, "77"});
    EXPECT_EQ(e.Kind, type);
    EXPECT_EQ(e.Size, size);
  }
  EXPECT_EQ(e.Name, "NEU");
  ApplyEditField(e, {"\xC3\xA9t\xC3\xA9", 0, "33"});
  EXPECT_EQ(e.Name, "\xC3\x89T\xC3\x89");
  EXPECT_EQ(e.Kind, fkText);
  EXPECT_EQ(e.Size, 33);
  EXPECT_EQ(e.SourceName, "OLD");  // an edited field still reads its old values
}

TEST_F(RestructureTest, DataOptions) {
  TCopyOptions o{true, true, true};
  CopyOptionsOnShow(o, false, true);
  EXPECT_FALSE(o.OnlyFiltered);
  EXPECT_TRUE(o.Sorted);
  CopyOptionsOnShow(o, true, false);
  EXPECT_FALSE(o.Sorted);
  struct TCase {
    bool copy, filtered, sorted;
    TCopyOptionsEnabled enabled;
  };
  const TCase cases[] = {{true, true, true, {true, true}},   {true, false, true, {false, true}},
                         {true, true, false, {true, false}}, {false, true, true, {false, false}},
                         {false, false, false, {false, false}}};
  for (const TCase& c : cases) {
    TCopyOptions opt;
    opt.CopyData = c.copy;
    EXPECT_EQ(CopyOptionsEnabled(opt, c.filtered, c.sorted), c.enabled);
  }
}

TEST_F(RestructureTest, EditorSettingsGivenBack) {
  TTableStructure s{Entry("A", "A", fkText, 5), Entry("B", "B", fkNumber), Entry("C", "C", fkBoolean)};
  s[0].EditorWidth = 12;
  s[0].ColumnWidth = 0;  // not known: the open table's value stays
  s[0].PickList = std::vector<std::string>{"x", "y"};
  s[0].Template = true;
  s[0].Autocomplete = false;
  s[1].EditorWidth = -1;
  s[1].ColumnWidth = 80;
  TFormFieldsArray ff(3);
  for (auto& g : ff) {
    g.Width = 7;
    g.ColumnWidth = 50;
    g.PickList = {"old"};
  }
  ASSERT_TRUE(GiveBackEditorSettings(s, ff));
  EXPECT_EQ(ff[0].Width, 12);
  EXPECT_EQ(ff[0].ColumnWidth, 50);
  EXPECT_EQ(ff[0].PickList, (std::vector<std::string>{"x", "y"}));
  EXPECT_TRUE(ff[0].Template);
  EXPECT_FALSE(ff[0].Autocomplete);
  EXPECT_EQ(ff[1].Width, 7);
  EXPECT_EQ(ff[1].ColumnWidth, 80);
  EXPECT_TRUE(ff[1].PickList.empty());  // an entry without a list clears the combo
  EXPECT_EQ(ff[2].PickList, std::vector<std::string>{"old"});  // logical fields have none
  TFormFieldsArray two(2);
  two[0].Width = 3;
  EXPECT_FALSE(GiveBackEditorSettings(s, two));
  EXPECT_EQ(two[0].Width, 3);
}

// ---- the writer, byte by byte ----------------------------------------------

TEST_F(RestructureTest, HeaderOfOneTextField) {
  TCopyFieldDefs defs{{"name", "", fkText, 20}};
  const std::string path = dir + "one.dbf";
  ASSERT_TRUE(WriteDbfHeader(path, defs, May9));
  const std::string b = ReadBytes(path);
  ASSERT_EQ(b.size(), 66u);
  EXPECT_EQ(Byte(b, 0), 0x03u);
  EXPECT_EQ(Byte(b, 1), 0x7Eu);
  EXPECT_EQ(Byte(b, 2), 0x05u);
  EXPECT_EQ(Byte(b, 3), 0x09u);
  EXPECT_EQ(Long(b, 4), 0u);
  EXPECT_EQ(Word(b, 8), 65u);
  EXPECT_EQ(Word(b, 10), 21u);
  EXPECT_EQ(b.substr(12, 20), std::string(20, '\0'));
  EXPECT_EQ(b.substr(32, 11), std::string("NAME\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(b[43], 'C');
  EXPECT_EQ(b.substr(44, 4), std::string(4, '\0'));
  EXPECT_EQ(Byte(b, 48), 20u);
  EXPECT_EQ(Byte(b, 49), 0u);
  EXPECT_EQ(b.substr(50, 14), std::string(14, '\0'));
  EXPECT_EQ(Byte(b, 64), 0x0Du);
  EXPECT_EQ(Byte(b, 65), 0x1Au);
  EXPECT_EQ(defs[0].Name, "NAME");
  EXPECT_FALSE(fs::exists(dir + "one.dbt"));
  EXPECT_EQ(TableCompanionFiles(path), std::vector<std::string>{path});  // nothing left beside it
}

TEST_F(RestructureTest, DescriptorsOfEveryKindAndTheMemoFile) {
  TCopyFieldDefs defs{{"customername", "", fkText, 254},
                      {"amount", "", fkNumber, 0},
                      {"born", "", fkDateTime, 0},
                      {"paid", "", fkBoolean, 0},
                      {"notes", "", fkMemo, 0}};
  const std::string path = dir + "all.dbf";
  ASSERT_TRUE(WriteDbfHeader(path, defs, {1999, 12, 31}));
  const std::string b = ReadBytes(path);
  EXPECT_EQ(Byte(b, 0), 0x83u);
  EXPECT_EQ(Byte(b, 1), 199u);  // the year rule adds 100 to any year above 50
  EXPECT_EQ(Word(b, 8), 32u * 5 + 33);
  EXPECT_EQ(Word(b, 10), 1u + 254 + 15 + 8 + 1 + 10);
  EXPECT_EQ(defs[0].Name, "CUSTOMERNA");  // cut to 10 and upper-cased, in the definition too
  EXPECT_EQ(b.substr(32, 11), std::string("CUSTOMERNA\0", 11));
  const char letters[] = {'C', 'N', 'D', 'L', 'M'};
  const unsigned lengths[] = {254, 15, 8, 1, 10}, decimals[] = {0, 5, 0, 0, 0};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(b[32 + 32 * i + 11], letters[i]);
    EXPECT_EQ(Byte(b, 32 + 32 * i + 16), lengths[i]);
    EXPECT_EQ(Byte(b, 32 + 32 * i + 17), decimals[i]);
  }
  const std::string m = ReadBytes(dir + "all.dbt");
  ASSERT_EQ(m.size(), 512u);
  EXPECT_EQ(Long(m, 0), 1u);
  EXPECT_EQ(m.substr(4), std::string(508, '\0'));
}

TEST_F(RestructureTest, DateToDbf) {
  EXPECT_EQ(DateToDbf(EncodeDate(2026, 3, 5)), "20260305");
  EXPECT_EQ(DateToDbf(EncodeDate(2026, 3, 5) + 0.75), "20260305");
  EXPECT_EQ(DateToDbf(EncodeDate(1, 1, 1)), "00010101");
  EXPECT_EQ(DateToDbf(1.0), "18991231");
  EXPECT_EQ(DateToDbf(0.0), "18991230");
  EXPECT_EQ(DateToDbf(1e12), "");
  EXPECT_EQ(DateToDbf(std::nan("")), "");
}

TEST_F(RestructureTest, ConversionTable) {
  const double when = EncodeDate(2026, 3, 5), whenTime = when + EncodeTime(10, 30, 0, 0);
  struct TCase {
    TFieldKind target;
    TFieldType source;
    TValue value;
    std::string text;
  };
  const TCase cases[] = {
      {fkText, ftString, std::string("abc"), "abc"},
      {fkText, ftFloat, 3.14159265, "3.14159265"},
      {fkText, ftInteger, int64_t{42}, "42"},
      {fkText, ftDate, when, "3/5/2026"},
      {fkText, ftDateTime, whenTime, "3/5/2026 10:30:00 AM"},
      {fkText, ftBoolean, true, "T"},
      {fkText, ftBoolean, false, "F"},
      {fkText, ftMemo, std::string("long\r\ntext"), "long\r\ntext"},
      {fkNumber, ftString, std::string("12.5"), "12.50000"},
      {fkNumber, ftString, std::string("abc"), ""},  // left blank, the copy goes on
      {fkNumber, ftString, std::string("12,5"), ""},
      {fkNumber, ftFloat, 3.14159265, "3.14159"},
      {fkNumber, ftFloat, -0.000001, "0.00000"},
      {fkNumber, ftInteger, int64_t{-7}, "-7.00000"},
      {fkNumber, ftDate, when, "46086.00000"},
      {fkNumber, ftBoolean, true, "1.00000"},
      {fkNumber, ftBoolean, false, "0.00000"},
      {fkNumber, ftMemo, std::string("2e3"), "2000.00000"},
      {fkDateTime, ftString, std::string("3/5/2026"), "20260305"},
      {fkDateTime, ftString, std::string("5 March"), ""},
      {fkDateTime, ftFloat, when + 0.5, "20260305"},
      {fkDateTime, ftDate, when, "20260305"},
      {fkDateTime, ftBoolean, true, "18991231"},
      {fkDateTime, ftBoolean, false, "18991230"},
      {fkDateTime, ftMemo, std::string("3/5/2026"), "20260305"},
      {fkBoolean, ftString, std::string("Yes"), ""},
      {fkBoolean, ftString, std::string("TRUE"), "T"},
      {fkBoolean, ftString, std::string("t"), "T"},
      {fkBoolean, ftString, std::string("False"), "F"},
      {fkBoolean, ftString, std::string("f"), "F"},
      {fkBoolean, ftString, std::string("0"), ""},
      {fkBoolean, ftFloat, 0.5, "T"},
      {fkBoolean, ftInteger, int64_t{0}, "F"},
      {fkBoolean, ftDate, when, ""},
      {fkBoolean, ftBoolean, true, "T"},
      {fkBoolean, ftMemo, std::string("true"), "T"},
      {fkMemo, ftString, std::string("abc"), "abc"},
      {fkMemo, ftFloat, 2.5, "2.5"},
      {fkMemo, ftDate, when, "3/5/2026"},
      {fkMemo, ftBoolean, true, "True"},
      {fkMemo, ftBoolean, false, "False"},
      {fkText, ftString, TValue(), ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(CopyFieldText(c.target, c.source, c.value), c.text) << int(c.target) << " " << int(c.source) << " " << c.text;

  // Text to number and date follow the locale.
  TFormatSettings fs = TFormatSettings::Default();
  fs.DecimalSeparator = ',';
  fs.ShortDateFormat = "dd.MM.yyyy";
  fs.DateSeparator = '.';
  SetFormatSettings(fs);
  EXPECT_EQ(CopyFieldText(fkNumber, ftString, std::string("12,5")), "12.50000");
  EXPECT_EQ(CopyFieldText(fkDateTime, ftString, std::string("05.03.2026")), "20260305");
}

TEST_F(RestructureTest, Placement) {
  struct TCase {
    TFieldKind kind;
    int length;
    std::string text, field;
  };
  const TCase cases[] = {
      {fkNumber, 15, "3.14159", "        3.14159"},
      {fkNumber, 15, "1234567890123456.00000", "123456789012345"},  // a longer text keeps its first 15
      {fkText, 5, "ab", "ab   "},
      {fkText, 3, "abcdef", "abc"},
      {fkText, 3, "a\xC3\xA9" "b", "a\xC3\xA9"},
      {fkText, 2, "a\xC3\xA9", "a "},  // never half a character
      {fkDateTime, 8, "20260305", "20260305"},
      {fkBoolean, 1, "T", "T"},
  };
  for (const TCase& c : cases) {
    std::string f(static_cast<size_t>(c.length), ' ');
    PlaceFieldText(c.kind, c.text, f.data(), c.length);
    EXPECT_EQ(f, c.field) << c.text;
  }
}

// ---- the copier ------------------------------------------------------------

TEST_F(RestructureTest, CopyWritesRecordsMemosAndCounts) {
  TDataSet ds;
  const std::string longMemo(600, 'x');
  OpenRows(ds,
           {{"NAME", ftString, 20}, {"AMOUNT", ftFloat}, {"BORN", ftDate}, {"FLAG", ftString, 5}, {"NOTES", ftMemo}},
           {{std::string("Smith"), 3.14159265, EncodeDate(2026, 3, 5), std::string("Yes"), std::string("first")},
            {std::string("Jones"), TValue(), TValue(), std::string("TRUE"), longMemo},
            {std::string("Baker"), 2.0, TValue(), TValue(), std::string()},
            {TValue(), TValue(), TValue(), TValue(), std::string("third")}});
  TTableStructure s{Entry("NAME", "NAME", fkText, 10), Entry("AMOUNT", "AMOUNT", fkNumber),
                    Entry("BORN", "BORN", fkDateTime), Entry("FLAG", "FLAG", fkBoolean),
                    Entry("NOTES", "NOTES", fkMemo)};
  const std::string path = dir + "copy.dbf";
  const TCopyResult r = CopyTable(path, s, &ds, CopyAll());
  ASSERT_TRUE(r.TableWritten);
  ASSERT_TRUE(r.RowsCopied) << r.Error;
  EXPECT_EQ(r.Rows, 4);
  const std::string b = ReadBytes(path);
  EXPECT_EQ(Long(b, 4), 4u);
  EXPECT_EQ(Byte(b, 1), 0x7Eu);
  const unsigned recLen = Word(b, 10);
  EXPECT_EQ(b.size(), Word(b, 8) + 4 * recLen + 1);
  EXPECT_EQ(b.back(), '\x1A');
  EXPECT_EQ(b[Word(b, 8)], ' ');  // not deleted
  EXPECT_EQ(FieldBytes(b, 0, 0), "Smith     ");
  EXPECT_EQ(FieldBytes(b, 0, 1), "        3.14159");
  EXPECT_EQ(FieldBytes(b, 0, 2), "20260305");
  EXPECT_EQ(FieldBytes(b, 0, 3), " ");  // "Yes" is not a logical value
  EXPECT_EQ(FieldBytes(b, 1, 3), "T");
  EXPECT_EQ(FieldBytes(b, 1, 1), std::string(15, ' '));
  EXPECT_EQ(FieldBytes(b, 0, 4), "0000000001");
  EXPECT_EQ(FieldBytes(b, 1, 4), "0000000002");
  EXPECT_EQ(FieldBytes(b, 2, 4), std::string(10, ' '));  // an empty text writes no memo
  EXPECT_EQ(FieldBytes(b, 3, 4), "0000000004");  // 600 bytes and the marks fill blocks 2 and 3
  EXPECT_EQ(FieldBytes(b, 3, 0), std::string(10, ' '));

  const std::string m = ReadBytes(dir + "copy.dbt");
  EXPECT_EQ(m.substr(512, 7), "first\x1A\x1A");
  EXPECT_EQ(m.substr(519, 512 - 7), std::string(505, '\0'));
  EXPECT_EQ(m.substr(1024, 602), longMemo + "\x1A\x1A");
  EXPECT_EQ(m.substr(1626, 2048 - 1626), std::string(2048 - 1626, '\0'));
  EXPECT_EQ(m.substr(2048), "third\x1A\x1A");
  EXPECT_EQ(Long(m, 0), 5u);  // the next free block: the size rounded up to whole blocks

  // Our driver reads it back.
  TTableData t = DbfReadTable(path);
  ASSERT_EQ(t.Rows.size(), 4u);
  auto row = UnpackRow(t.Rows[1], t.Fields.size());
  EXPECT_EQ(std::get<std::string>(row[0]), "Jones");
  EXPECT_EQ(std::get<bool>(row[3]), true);
  EXPECT_EQ(std::get<std::string>(row[4]), longMemo);
  row = UnpackRow(t.Rows[0], t.Fields.size());
  EXPECT_DOUBLE_EQ(std::get<double>(row[1]), 3.14159);
  EXPECT_EQ(std::get<double>(row[2]), dbdate::Encode(2026, 3, 5));
  EXPECT_TRUE(ValueIsNull(row[3]));
}

TEST_F(RestructureTest, RenamedAndNewFieldsFilterAndSort) {
  TDataSet ds;
  OpenRows(ds, {{"NAME", ftString, 10}, {"CITY", ftString, 10}, {"AGE", ftInteger}},
           {{std::string("Carl"), std::string("Oslo"), int64_t{30}},
            {std::string("anna"), std::string("Rome"), int64_t{17}},
            {std::string("Bert"), std::string("Bonn"), int64_t{45}}});
  ds.SetSort("NAME ASC");
  ds.SetRecNo(2);
  TTableStructure s{Entry("NAME", "FULLNAME", fkText, 8),  // renamed: still read from NAME
                    Entry("", "REMARK", fkText, 4),        // new: blank in every row
                    Entry("GONE", "CITY", fkText, 10),     // its old field is missing, its new name is a field
                    Entry("AGE", "AGE", fkNumber)};
  TCopyRowsRequest rq = CopyAll();
  int asked = 0;
  bool busy = false;
  std::vector<bool> busyCalls;
  rq.AskOptions = [&] {
    ++asked;
    return TCopyOptions{true, true, true};
  };
  rq.Accept = [](TDataSet& d) { return d.FieldByName("AGE").AsInteger() >= 18; };
  rq.Busy = [&](bool on) {
    busy = on;
    busyCalls.push_back(on);
  };
  const std::string path = dir + "renamed.dbf";
  const TCopyResult r = CopyTable(path, s, &ds, rq);
  ASSERT_TRUE(r.RowsCopied) << r.Error;
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(busy);
  EXPECT_EQ(busyCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(s[2].SourceName, "CITY");
  EXPECT_EQ(ds.RecNo(), 2);  // the main query's cursor is not moved
  const std::string b = ReadBytes(path);
  ASSERT_EQ(Long(b, 4), 2u);
  EXPECT_EQ(FieldBytes(b, 0, 0), "Bert    ");  // sorted, minors filtered out
  EXPECT_EQ(FieldBytes(b, 1, 0), "Carl    ");
  EXPECT_EQ(FieldBytes(b, 0, 1), "    ");
  EXPECT_EQ(FieldBytes(b, 1, 1), "    ");
  EXPECT_EQ(FieldBytes(b, 0, 2), "Bonn      ");
  EXPECT_EQ(FieldBytes(b, 1, 3), "       30.00000");

  // Neither filtered nor sorted: every row, in table order.
  rq.AskOptions = [] { return TCopyOptions{true, false, false}; };
  ASSERT_TRUE(CopyTable(path, s, &ds, rq).RowsCopied);
  const std::string all = ReadBytes(path);
  ASSERT_EQ(Long(all, 4), 3u);
  EXPECT_EQ(FieldBytes(all, 0, 0), "Carl    ");
  EXPECT_EQ(FieldBytes(all, 1, 0), "anna    ");

  // Without "Copy Data" the table stays empty; in Create mode nothing is asked.
  rq.AskOptions = [] { return TCopyOptions{false, false, false}; };
  TCopyResult none = CopyTable(path, s, &ds, rq);
  EXPECT_TRUE(none.TableWritten);
  EXPECT_EQ(Long(ReadBytes(path), 4), 0u);
  asked = 0;
  rq.AskOptions = [&] {
    ++asked;
    return TCopyOptions{};
  };
  rq.Restructure = false;
  none = CopyTable(path, s, &ds, rq);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(ReadBytes(path).size(), 32u * 4 + 33 + 1);
}

TEST_F(RestructureTest, NewTablesAreUtf8) {
  TDataSet ds;
  const std::string name = "Zo\xC3\xAB \xC3\x9Cnal", memo = "\xE2\x82\xAC 12 \xE2\x80\x94 caf\xC3\xA9";
  OpenRows(ds, {{"NAME", ftString, 20}, {"NOTES", ftMemo}}, {{name, memo}, {std::string("\xC3\xA9\xC3\xA9"), TValue()}});
  TTableStructure s{Entry("NAME", "NAME", fkText, 10), Entry("NAME", "SHORT", fkText, 3),
                    Entry("NOTES", "NOTES", fkMemo)};
  const std::string path = dir + "utf8.dbf";
  ASSERT_TRUE(CopyTable(path, s, &ds, CopyAll()).RowsCopied);
  EXPECT_EQ(Byte(ReadBytes(path), 29), 0u);  // no language driver: text is taken as UTF-8 when it is
  TTableData t = DbfReadTable(path);
  ASSERT_EQ(t.Rows.size(), 2u);
  auto row = UnpackRow(t.Rows[0], 3);
  EXPECT_EQ(std::get<std::string>(row[0]), name);
  EXPECT_EQ(std::get<std::string>(row[1]), "Zo");  // 3 bytes would split the "ë"
  EXPECT_EQ(std::get<std::string>(row[2]), memo);
  row = UnpackRow(t.Rows[1], 3);
  EXPECT_EQ(std::get<std::string>(row[1]), "\xC3\xA9");

  if (!PythonHasModules("dbfread")) GTEST_SKIP() << "python3-dbfread missing";
  const std::string out = RunPythonScript(
      "import dbfread\n"
      "for r in dbfread.DBF('" + path + "', encoding='utf-8', char_decode_errors='strict'):\n"
      "    print(repr(list(r.values())))\n");
  EXPECT_EQ(out, "['Zoë Ünal', 'Zo', '€ 12 — café']\n['éé', 'é', None]\n");
}

// Our own writer's file as others read it.
TEST_F(RestructureTest, OtherReadersReadTheCopy) {
  TDataSet ds;
  OpenRows(ds, {{"NAME", ftString, 20}, {"AMOUNT", ftFloat}, {"BORN", ftDate}, {"PAID", ftBoolean}, {"NOTES", ftMemo}},
           {{std::string("Smith"), 12.5, EncodeDate(1986, 3, 5), true, std::string("a note\r\nover lines")},
            {std::string("Jones"), -3.14159265, TValue(), false, TValue()},
            {TValue(), TValue(), EncodeDate(2026, 12, 31), TValue(), std::string(1500, 'm')}});
  TTableStructure s = BuildTableStructure(ds, {});
  s[0].Size = 12;
  const std::string path = dir + "others.dbf";
  ASSERT_TRUE(CopyTable(path, s, &ds, CopyAll()).RowsCopied);

  // Through the connection the window reopens it with.
  TADOConnection conn;
  conn.ConnectionString = SavedTableConnectionString(dir);
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"others.dbf\"";
  ASSERT_NO_THROW(q.Open());
  ASSERT_EQ(q.RecordCount(), 3);
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "Smith");
  EXPECT_EQ(q.FieldByName("NAME").Size(), 12);
  EXPECT_EQ(q.FieldByName("AMOUNT").DataType(), ftFloat);
  EXPECT_EQ(q.FieldByName("NOTES").AsString(), "a note\r\nover lines");
  q.Last();
  EXPECT_EQ(q.FieldByName("NOTES").AsString(), std::string(1500, 'm'));
  EXPECT_TRUE(q.FieldByName("PAID").IsNull());
  q.Close();

  if (!PythonHasModules("dbfread")) GTEST_SKIP() << "python3-dbfread missing";
  std::string out = RunPythonScript(
      "import dbfread\n"
      "for r in dbfread.DBF('" + path + "', encoding='utf-8'):\n"
      "    print(repr([r['NAME'], r['AMOUNT'], str(r['BORN']), r['PAID'], (r['NOTES'] or '')[:20]]))\n");
  EXPECT_EQ(out,
            "['Smith', 12.5, '1986-03-05', True, 'a note\\r\\nover lines']\n"
            "['Jones', -3.14159, 'None', False, '']\n"
            "['', None, '2026-12-31', None, 'mmmmmmmmmmmmmmmmmmmm']\n");

  if (!PythonHasModules("dbf")) GTEST_SKIP() << "python3-dbf missing";
  out = RunPythonScript(
      "import dbf\n"
      "t = dbf.Table('" + path + "', codepage='utf8')\n"
      "t.open()\n"
      "print(t.field_names)\n"
      "for r in t:\n"
      "    print(repr([r.name.strip(), r.amount, str(r.born), r.paid, len(r.notes)]))\n"
      "t.close()\n");
  EXPECT_EQ(out,
            "['name', 'amount', 'born', 'paid', 'notes']\n"
            "['Smith', 12.5, '1986-03-05', True, 18]\n"
            "['Jones', -3.14159, 'None', False, 0]\n"
            "['', None, '2026-12-31', None, 1500]\n");
}

// ---- replacing a table's files ---------------------------------------------

TEST_F(RestructureTest, CompanionFilesOnly) {
  for (const char* f : {"report.dbf", "report.dbt", "Report.MDX", "REPORT.CFG", "report.ndx", "report.cdx",
                        "report.idx", "report.fpt", "report.txt", "report.docx", "report.dbf.bak", "reports.dbf",
                        "report"})
    WriteText(dir + f, f);
  std::vector<std::string> got;
  for (const auto& f : TableCompanionFiles(dir + "report.dbf")) got.push_back(fs::path(f).filename().string());
  EXPECT_EQ(got, (std::vector<std::string>{"REPORT.CFG", "Report.MDX", "report.cdx", "report.dbf", "report.dbt",
                                           "report.fpt", "report.idx", "report.ndx"}));
  EXPECT_TRUE(IsTableCompanionExtension(".DbT"));
  EXPECT_FALSE(IsTableCompanionExtension(".docx"));
  EXPECT_FALSE(IsTableCompanionExtension(""));
}

TEST_F(RestructureTest, WriteDbfHeaderKeepsOtherFilesOfTheName) {
  for (const char* f : {"report.dbf", "report.dbt", "report.txt", "report.docx", "REPORT.MDX"}) WriteText(dir + f, "old");
  TCopyFieldDefs defs{{"a", "", fkText, 3}};
  ASSERT_TRUE(WriteDbfHeader(dir + "report.dbf", defs, May9));
  EXPECT_EQ(ReadBytes(dir + "report.dbf").size(), 32u + 32 + 1 + 1);
  EXPECT_FALSE(fs::exists(dir + "report.dbt"));  // the new table has no memo: the old memo file goes
  EXPECT_FALSE(fs::exists(dir + "REPORT.MDX"));
  EXPECT_EQ(ReadBytes(dir + "report.txt"), "old");
  EXPECT_EQ(ReadBytes(dir + "report.docx"), "old");
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"report.dbf", "report.txt", "report.docx"}));  // no temporary left
}

TEST_F(RestructureTest, SaveAsOverAnExistingTable) {
  // The old table with its memo, and the user's files of the same name.
  TTableStructure old{Entry("", "OLD", fkText, 4), Entry("", "MEMO", fkMemo)};
  ASSERT_TRUE(CopyTable(dir + "report.dbf", old, nullptr, {}).TableWritten);
  WriteText(dir + "report.txt", "keep me");
  WriteText(dir + "report.docx", "keep me too");
  WriteText(dir + "report.cfg", "view");
  const std::string oldDbt = ReadBytes(dir + "report.dbt");

  TDataSet ds;
  OpenRows(ds, {{"NAME", ftString, 10}, {"NOTES", ftMemo}}, {{std::string("Ann"), std::string("hello")}});
  TTableStructure s = BuildTableStructure(ds, {});
  ASSERT_EQ(CheckStructureForSave(s), "");
  EXPECT_EQ(CheckStructureForSave({}), "At least one field is required");
  TSaveAsRequest rq;
  rq.Target = SaveAsTargetName(dir + "report");
  EXPECT_EQ(rq.Target, dir + "report.dbf");
  rq.Source = &ds;
  rq.Copy = CopyAll();
  bool closed = false;
  rq.CloseTables = [&] {
    closed = true;
    // Between the copy and the renames the old table is still whole.
    EXPECT_EQ(ReadBytes(dir + "report.dbt"), oldDbt);
    EXPECT_TRUE(fs::exists(dir + "tmp0.dbf"));
    EXPECT_TRUE(fs::exists(dir + "tmp0.dbt"));
  };
  const TSaveAsResult r = SaveStructureAs(s, rq);
  ASSERT_TRUE(r.Saved) << r.Error;
  EXPECT_TRUE(closed);
  EXPECT_EQ(r.Folder, dir);
  EXPECT_EQ(r.TableName, "report.dbf");
  EXPECT_EQ(r.Rows, 1);
  EXPECT_EQ(ReadBytes(dir + "report.txt"), "keep me");
  EXPECT_EQ(ReadBytes(dir + "report.docx"), "keep me too");
  EXPECT_FALSE(fs::exists(dir + "report.cfg"));
  EXPECT_FALSE(fs::exists(dir + "tmp0.dbf"));
  EXPECT_FALSE(fs::exists(dir + "tmp0.dbt"));
  TTableData t = DbfReadTable(dir + "report.dbf");
  ASSERT_EQ(t.Fields.size(), 2u);
  EXPECT_EQ(t.Fields[0].Name, "NAME");
  ASSERT_EQ(t.Rows.size(), 1u);
  EXPECT_EQ(std::get<std::string>(UnpackRow(t.Rows[0], 2)[1]), "hello");
}

TEST_F(RestructureTest, RestructuringATableOntoItsOwnFileKeepsEveryRow) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 300; ++i) rows.push_back({"name" + std::to_string(i), std::to_string(i)});
  WriteTestDbf(dir + "clients.dbf", {{"NAME", 'C', 12}, {"NUM", 'N', 6}}, rows);
  TADOConnection conn;
  conn.ConnectionString = SavedTableConnectionString(dir);
  TADOQuery q;
  q.SetConnection(&conn);
  q.SQL = "SELECT * FROM \"clients.dbf\"";
  q.Open();
  TTableStructure s = BuildTableStructure(q, {});
  s[0].Name = "FULLNAME";
  s[0].Size = 20;
  AddStructureEntry(s);
  s.back().Name = "NOTE";
  s.back().Size = 5;
  TSaveAsRequest rq;
  rq.Target = dir + "clients.dbf";
  rq.Source = &q;
  rq.Copy = CopyAll();
  rq.CloseTables = [&] { q.Close(); };
  const TSaveAsResult r = SaveStructureAs(s, rq);
  ASSERT_TRUE(r.Saved) << r.Error;
  conn.ConnectionString = SavedTableConnectionString(r.Folder);
  q.SQL = "SELECT * FROM \"" + r.TableName + "\"";
  q.Open();
  ASSERT_EQ(q.RecordCount(), 300);
  q.SetRecNo(300);
  EXPECT_EQ(q.FieldByName("FULLNAME").AsString(), "name299");
  EXPECT_EQ(q.FieldByName("NUM").AsInteger(), 299);
  EXPECT_TRUE(q.FieldByName("NOTE").IsNull());
}

TEST_F(RestructureTest, AFailedCopyLeavesTheTargetAsItWas) {
  TTableStructure old{Entry("", "OLD", fkText, 4), Entry("", "MEMO", fkMemo)};
  ASSERT_TRUE(CopyTable(dir + "report.dbf", old, nullptr, {}).TableWritten);
  const std::string oldDbf = ReadBytes(dir + "report.dbf"), oldDbt = ReadBytes(dir + "report.dbt");
  TDataSet ds;
  std::vector<std::vector<TValue>> rows;
  for (int i = 0; i < 20000; ++i) rows.push_back({std::string(40, 'r'), std::string(100, 'm')});
  OpenRows(ds, {{"NAME", ftString, 40}, {"NOTES", ftMemo}}, rows);
  TTableStructure s = BuildTableStructure(ds, {});
  // A child whose files may not grow past 64 KB: the disk is full for it.
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{64 << 10, 64 << 10};
    setrlimit(RLIMIT_FSIZE, &lim);
    TSaveAsRequest rq;
    rq.Target = dir + "report.dbf";
    rq.Source = &ds;
    rq.Copy = CopyAll();
    bool closed = false;
    rq.CloseTables = [&] { closed = true; };
    const TSaveAsResult r = SaveStructureAs(s, rq);
    _exit(!r.Saved && !closed && r.Error.rfind("Cannot write the table: ", 0) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(dir + "report.dbf"), oldDbf);
  EXPECT_EQ(ReadBytes(dir + "report.dbt"), oldDbt);
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"report.dbf", "report.dbt"}));  // the temporary files are gone
}

// Real tables of other programs: a field renamed, one deleted, one shrunk, one
// added; the rows come through, code-page text as UTF-8.
TEST_F(RestructureTest, RestructuringRealTables) {
  const char* data = std::getenv("LARKPOST_TESTDATA");
  const std::string from = std::string(data ? data : "") + "/dbf/";
  if (!data || !fs::exists(from + "dbase_83.dbf")) GTEST_SKIP() << "no dBase test data";
  for (const char* f : {"dbase_83.dbf", "dbase_83.dbt", "cp1251.dbf", "dbase3plus_cars_del.dbf", "dbase3plus_cars_del.dbt"})
    fs::copy_file(from + f, dir + f);
  for (const std::string table : {"dbase_83.dbf", "cp1251.dbf", "dbase3plus_cars_del.dbf"}) {
    TADOConnection conn;
    conn.ConnectionString = SavedTableConnectionString(dir);
    TADOQuery q;
    q.SetConnection(&conn);
    q.SQL = "SELECT * FROM \"" + table + "\"";
    q.Open();
    ASSERT_GT(q.RecordCount(), 0) << table;
    TTableStructure s = BuildTableStructure(q, {});
    const TTableStructure original = s;
    ASSERT_GE(s.size(), 2u) << table;
    // Rename the first field, drop the second, shrink every other text field, add one.
    s[0].Name = "RENAMED";
    s.erase(s.begin() + 1);
    for (size_t i = 1; i < s.size(); ++i)
      if (s[i].Kind == fkText) s[i].Size = std::max(1, s[i].Size / 2);
    AddStructureEntry(s);
    s.back().Name = "ADDED";
    s.back().Size = 3;
    const TTableStructure wanted = s;
    TSaveAsRequest rq;
    rq.Target = dir + "new_" + table;
    rq.Source = &q;
    rq.Copy = CopyAll();
    const TSaveAsResult r = SaveStructureAs(s, rq);
    ASSERT_TRUE(r.Saved) << r.Error;
    ASSERT_EQ(r.Rows, q.RecordCount()) << table;

    TADOQuery n;
    n.SetConnection(&conn);
    n.SQL = "SELECT * FROM \"new_" + table + "\"";
    n.Open();
    ASSERT_EQ(n.RecordCount(), q.RecordCount()) << table;
    ASSERT_EQ(n.FieldCount(), static_cast<int>(wanted.size()));
    int compared = 0;
    for (q.First(), n.First(); !q.Eof(); q.Next(), n.Next()) {
      for (size_t i = 0; i + 1 < wanted.size(); ++i) {
        const TFieldStructure& w = wanted[i];
        const TValue old = q.FieldByName(w.SourceName).Value();
        const TValue now = n.Fields(static_cast<int>(i)).Value();
        const std::string where = table + " " + w.Name + " row " + std::to_string(q.RecNo());
        switch (w.Kind) {
          case fkText: {
            std::string t = ValueIsNull(old) ? std::string() : q.FieldByName(w.SourceName).AsString();
            t = Utf8CutBytes(t, static_cast<size_t>(w.Size));
            while (!t.empty() && t.back() == ' ') t.pop_back();
            EXPECT_EQ(n.Fields(static_cast<int>(i)).AsString(), t) << where;
            EXPECT_TRUE(IsValidUtf8(n.Fields(static_cast<int>(i)).AsString())) << where;
            break;
          }
          case fkNumber:
            EXPECT_EQ(ValueIsNull(now), ValueIsNull(old)) << where;
            if (!ValueIsNull(old)) {
              EXPECT_NEAR(ValueToFloat(now), ValueToFloat(old), 5e-6) << where;
            }
            break;
          case fkMemo:
            EXPECT_EQ(n.Fields(static_cast<int>(i)).AsString(), q.FieldByName(w.SourceName).AsString()) << where;
            break;
          default: EXPECT_EQ(now, old) << where; break;
        }
        ++compared;
      }
      EXPECT_TRUE(n.FieldByName("ADDED").IsNull());
    }
    EXPECT_GT(compared, 0);
    EXPECT_EQ(original.size(), static_cast<size_t>(q.FieldCount()));
  }
}

TEST_F(RestructureTest, SaveAsNames) {
  EXPECT_EQ(SaveAsTargetName("/a.b/x"), "/a.b/x.dbf");
  EXPECT_EQ(SaveAsTargetName("/a/x.DBF"), "/a/x.DBF");
  EXPECT_EQ(SaveAsTargetName("/a/x.old"), "/a/x.old");
  WriteText(dir + "tmp0.dbf", "");
  EXPECT_EQ(SaveAsTempName(dir + "t.dbf"), dir + "tmp1.dbf");
  EXPECT_EQ(SavedTableConnectionString("/d/"),
            "DSN=dBASE Files;Provider=MSDataShape;Extended Properties=\"DBQ=/d/;DefaultDir=/d/;Driver={dBASE Driver "
            "(*.dbf)}\"");
  const TConnectionParams p = ParseConnectionString(SavedTableConnectionString("/d/"));
  EXPECT_EQ(p.Kind, TDriverKind::DBase);
}
