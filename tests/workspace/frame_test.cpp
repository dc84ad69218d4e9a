#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/FileHandle.h"
#include "toolkit/DList.h"
#include "toolkit/StrFile.h"
#include "workspace/FirstRun.h"
#include "workspace/FrameInterfaces.h"
#include "workspace/FrameRules.h"
#include "workspace/NameCheck.h"
#include "workspace/SysInfoCtrls.h"

namespace fs = std::filesystem;

TEST(Caption, Examples) {
  struct Case {
    std::string project, table;
    bool sql;
    std::string expected;
  } cases[] = {
      {"/P/news.lkp", "Clients.dbf", false, "Larkpost - \"news\" Using \"Clients\""},
      {"C:\\P\\news.lkp", "Clients.dbf", false, "Larkpost - \"news\" Using \"Clients\""},
      {"", "", true, "Larkpost - (NONAME) Using (SQL QUERY)"},
      {"", "", false, "Larkpost - (NONAME) Using (NONAME)"},
      {"/P/a.b.c", "Orders", false, "Larkpost - \"a.b\" Using \"Orders\""},
      {"/x.y/plain", "t.x.dbf", false, "Larkpost - \"plain\" Using \"t.x\""},
      // A table name wins over SQL mode.
      {"", "Clients.dbf", true, "Larkpost - (NONAME) Using \"Clients\""},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildCaption(c.project, c.table, c.sql), c.expected) << c.project;
}

TEST(CommandStates, NoTable) {
  TFrameState s;
  auto c = ComputeCommandStates(s);
  EXPECT_FALSE(c.restructure || c.addTable || c.addRecord || c.closeTable || c.reopen || c.titleButtons);
  EXPECT_FALSE(c.editRecord || c.deleteRecord || c.find);
  EXPECT_FALSE(c.findDuplicates || c.selectDuplicates || c.unsort || c.descended);
  EXPECT_TRUE(c.sendCurrent);
  EXPECT_FALSE(c.accounts);  // no mailing window yet
}

TEST(CommandStates, TableSortAndMailing) {
  struct Case {
    bool open, empty, sortOn;
    std::string sortText;
    bool exists;
    TSendState state;
    bool editFind, dup, desc, send, accounts;
  } cases[] = {
      {true, true, false, "", true, ssIdle, false, false, false, true, true},
      {true, false, false, "", true, ssIdle, true, false, false, true, true},
      {true, false, true, "CITY ASC", true, ssPreparing, true, true, true, false, true},
      {true, false, true, "", true, ssSending, true, true, false, false, false},
      {false, false, true, "CITY ASC", false, ssIdle, false, false, false, true, false},
      {true, false, false, "CITY DESC", false, ssSending, true, false, true, false, false},
  };
  for (const auto& k : cases) {
    TFrameState s{k.open, k.empty, k.sortOn, k.sortText, false, k.exists, k.state};
    auto c = ComputeCommandStates(s);
    EXPECT_EQ(c.addRecord, k.open);
    EXPECT_EQ(c.closeTable, k.open);
    EXPECT_EQ(c.editRecord, k.editFind);
    EXPECT_EQ(c.deleteRecord, k.editFind);
    EXPECT_EQ(c.find, k.editFind);
    EXPECT_EQ(c.findDuplicates, k.dup);
    EXPECT_EQ(c.unsort, k.dup);
    EXPECT_EQ(c.descended, k.desc);
    EXPECT_EQ(c.sendCurrent, k.send);
    EXPECT_EQ(c.accounts, k.accounts);
  }
}

TEST(CommandStates, DescendedButtonFace) {
  TFrameState s;
  EXPECT_EQ(ComputeCommandStates(s).descendedCaption, "Descended");
  EXPECT_EQ(ComputeCommandStates(s).descendedImage, 52);
  s.descendedChecked = true;
  EXPECT_EQ(ComputeCommandStates(s).descendedCaption, "Ascended");
  EXPECT_EQ(ComputeCommandStates(s).descendedImage, 53);
}

TEST(Resize, Minimums) {
  EXPECT_EQ(SubjectEditWidth(600, 60), 530);
  EXPECT_EQ(SubjectEditWidth(200, 60), 150);
  EXPECT_EQ(PreviewStatusWidth(800, 200), 580);
  EXPECT_EQ(PreviewStatusWidth(400, 200), 300);
  EXPECT_EQ(CloseButtonLeft(1000), 964);
  EXPECT_EQ(CloseButtonLeft(100), 250);
}

namespace {

// A document that counts how often its HTML was asked for.
struct TCountingDocument : IHtmlDocument {
  TCountingDocument(bool ready, std::string html) : ready(ready), html(std::move(html)) {}
  bool DocumentReady() const override { return ready; }
  std::string GetHtmlStr() override {
    ++asked;
    return html;
  }
  bool ready;
  std::string html;
  int asked = 0;
};

}  // namespace

TEST(Snapshot, ModifiedTest) {
  TProjectSnapshot p;
  p.Take("src", "plain");
  TCountingDocument html(true, "<html>");
  EXPECT_FALSE(p.IsModified(&html, "src", "plain"));
  EXPECT_EQ(html.asked, 0);  // no HTML snapshot yet: the editor is not asked
  p.HtmlSnapshot = "<html>";
  EXPECT_FALSE(p.IsModified(&html, "src", "plain"));
  TCountingDocument notReady(false, "x"), changed(true, "x");
  EXPECT_FALSE(p.IsModified(&notReady, "src", "plain"));
  EXPECT_TRUE(p.IsModified(&changed, "src", "plain"));
  EXPECT_TRUE(p.Modified);
  p.Take("src", "plain");
  EXPECT_TRUE(p.HtmlSnapshot.empty());
  EXPECT_TRUE(p.IsModified(nullptr, "src2", "plain"));
  p.Take("src", "plain");
  EXPECT_TRUE(p.IsModified(nullptr, "src", "plain2"));
  // Once set, the flag stays until the next snapshot even if the text returns.
  EXPECT_TRUE(p.IsModified(nullptr, "src", "plain"));
}

namespace {

struct FakeHost : ICloseQueryHost {
  TSendState state = ssIdle;
  bool modified = false;
  bool saveClears = true;
  int saves = 0, snapshots = 0;
  TSaveChoice answer = TSaveChoice::Cancel;
  std::vector<std::string> said;  // what the window was given to say or ask, in order
  void RefuseClose(const std::string& why) override { said.push_back(why); }
  TSaveChoice AskSaveProject(const std::string& question) override {
    said.push_back(question);
    return answer;
  }
  TSendState SendState() const override { return state; }
  bool IsProjectModified() override { return modified; }
  void SaveProject() override {
    ++saves;
    if (saveClears) modified = false;
  }
  bool ProjectModifiedFlag() const override { return modified; }
  void SnapshotProject() override {
    ++snapshots;
    modified = false;
  }
};

}  // namespace

TEST(CloseQuery, RefusedWhileSending) {
  FakeHost h;
  h.state = ssSending;
  h.modified = true;
  EXPECT_FALSE(RunCloseQuery(h));
  ASSERT_EQ(h.said.size(), 1u);
  EXPECT_EQ(h.said[0], "Mailing in Progress");
  EXPECT_EQ(h.saves, 0);
}

TEST(CloseQuery, Answers) {
  struct Case {
    bool modified;
    TSaveChoice answer;
    bool saveClears;
    bool allowed;
    int saves;
    size_t boxes;
  } cases[] = {
      {false, TSaveChoice::Save, true, true, 0, 0},   {true, TSaveChoice::Save, true, true, 1, 1},
      {true, TSaveChoice::Save, false, false, 1, 1},  // save cancelled or failed
      {true, TSaveChoice::Discard, true, true, 0, 1}, {true, TSaveChoice::Cancel, true, false, 0, 1},
  };
  for (const auto& c : cases) {
    FakeHost h;
    h.answer = c.answer;
    h.state = ssPreparing;
    h.modified = c.modified;
    h.saveClears = c.saveClears;
    EXPECT_EQ(RunCloseQuery(h), c.allowed);
    EXPECT_EQ(h.saves, c.saves);
    ASSERT_EQ(h.said.size(), c.boxes);
    if (c.boxes) EXPECT_EQ(h.said[0], "Save Project?");
    EXPECT_EQ(h.snapshots, c.allowed ? 1 : 0);
  }
}

namespace {

// The main window's reader: blanks 0..32 except CR and LF, the standard
// delimiters without "_", plus CR and LF.
TNameCharRules MainReaderRules() {
  TNameCharRules r;
  r.isBlank = [](unsigned char c) { return c <= 32 && c != 10 && c != 13; };
  r.isDelimiter = [](const std::string& s) {
    static const std::string delims = "!@#$%^&*()+|-=\\[]{};':\",./<>?\r\n";
    return s.size() == 1 && delims.find(s[0]) != std::string::npos;
  };
  return r;
}

}  // namespace

TEST(InputName, CheckedNames) {
  struct Case {
    std::string text;
    TNameCheck outcome;
    std::string name;
  } cases[] = {
      {"first_name", TNameCheck::Accepted, "FIRST_NAME"},
      {"a`b", TNameCheck::Accepted, "A`B"},
      {"x1", TNameCheck::Accepted, "X1"},
      {"\xc3\xa9t\xc3\xa9", TNameCheck::Accepted, "\xc3\x89T\xc3\x89"},
      {"1st", TNameCheck::Invalid, ""},
      {"my field", TNameCheck::Invalid, ""},
      {"a.b", TNameCheck::Invalid, ""},
      {"a~b", TNameCheck::Invalid, ""},
      {"a\rb", TNameCheck::Invalid, ""},
      {"   ", TNameCheck::Invalid, ""},
      {"\t\x01", TNameCheck::Invalid, ""},
      {"", TNameCheck::Refused, ""},
  };
  for (const auto& c : cases) {
    auto r = CheckInputName(c.text, "Field \"%s\" already exists", true, {}, MainReaderRules());
    EXPECT_EQ(r.outcome, c.outcome) << c.text;
    EXPECT_EQ(r.name, c.name) << c.text;
    if (c.outcome == TNameCheck::Invalid) {
      EXPECT_EQ(r.message, "Invalid Name");
    }
  }
}

TEST(InputName, Duplicates) {
  auto rules = MainReaderRules();
  auto r = CheckInputName("Field1", "Field \"%s\" already exists", true, {"FIELD1"}, rules);
  EXPECT_EQ(r.outcome, TNameCheck::Duplicate);
  EXPECT_EQ(r.message, "Field \"Field1\" already exists");

  r = CheckInputName("TOTAL", "Marker \"%s\" already exists", false, {"Total"}, rules);
  EXPECT_EQ(r.outcome, TNameCheck::Accepted);
  EXPECT_EQ(r.name, "TOTAL");
  r = CheckInputName("Total", "Marker \"%s\" already exists", false, {"Total"}, rules);
  EXPECT_EQ(r.outcome, TNameCheck::Duplicate);
  EXPECT_EQ(r.message, "Marker \"Total\" already exists");

  r = CheckInputName("  lead", "x", false, {}, rules);
  EXPECT_EQ(r.outcome, TNameCheck::Accepted);
  EXPECT_EQ(r.name, "  lead");

  r = CheckInputName("A&B", "Account \"%s\" already exists", false, {"A&B"}, rules);
  EXPECT_EQ(r.message, "Account \"A&B\" already exists");
  // A "%s" inside the typed name is not expanded again.
  r = CheckInputName("a%sb", "Scheme \"%s\" already exists", false, {"a%sb"}, rules);
  EXPECT_EQ(r.message, "Scheme \"a%sb\" already exists");
}

TEST(InputName, FormatOneArg) {
  EXPECT_EQ(FormatOneArg("%s", "x"), "x");
  EXPECT_EQ(FormatOneArg("100%% of %s", "y"), "100% of y");
  EXPECT_EQ(FormatOneArg("no arg", "y"), "no arg");
  EXPECT_EQ(FormatOneArg("end %", "y"), "end %");
}

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() /
           ("lp_frame_" + std::to_string(::getpid()) + "_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

int32_t Int32At(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return static_cast<int32_t>(v);
}

}  // namespace

TEST(FirstRun, ExampleProjectEntries) {
  const std::string b = ExampleProjectBytes();
  ASSERT_GE(b.size(), 4u);
  EXPECT_EQ(Int32At(b, 0), 3);
  // Walk the entries: key, type code, payload by code.
  std::vector<std::pair<std::string, int>> keys;
  size_t pos = 4;
  std::string subject, doc, toAddr, expr;
  while (pos < b.size()) {
    int32_t len = Int32At(b, pos);
    std::string key = b.substr(pos + 4, len);
    pos += 4 + len;
    int32_t code = Int32At(b, pos);
    pos += 4;
    keys.push_back({key, code});
    auto str = [&] {
      int32_t n = Int32At(b, pos);
      std::string s = b.substr(pos + 4, n);
      pos += 4 + n;
      return s;
    };
    switch (code) {
      case 1:
      case 13:
      case 14:
      case 17: pos += 4; break;
      case 5:
      case 9: pos += 1; break;
      case 16:
        for (int i = 0; i < 16; ++i) {
          EXPECT_EQ(b[pos], 0);
          pos += 1;
          EXPECT_EQ(str(), "");
        }
        break;
      default: {
        std::string s = str();
        if (key == "Subject") subject = s;
        if (key == "Doc") doc = s;
        if (key == "ToAddr") toAddr = s;
        if (key == "CF~Expr~SALUTATION") expr = s;
      }
    }
  }
  EXPECT_EQ(pos, b.size());
  std::vector<std::pair<std::string, int>> expected = {{"CF~Expr~SALUTATION", 2},
                                                       {"CF~Type~SALUTATION", 1},
                                                       {"CInd", 17},
                                                       {"Charset", 14},
                                                       {"Doc", 6},
                                                       {"FCol", 16},
                                                       {"FText", 4},
                                                       {"Plain", 12},
                                                       {"Report", 12},
                                                       {"SubMail", 9},
                                                       {"Subject", 10},
                                                       {"ToAddr", 11},
                                                       {"UseCF", 5},
                                                       {"UseF", 5}};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(subject, "Test message for %F_Name %L_Name");
  EXPECT_EQ(toAddr, "E_MAIL");
  EXPECT_EQ(expr, "'Dear ' + F_Name + ' ' + L_Name + '!'");
  EXPECT_EQ(doc.substr(0, 16), "<HTML>\r\n<HEAD>\r\n");
  EXPECT_NE(doc.find("<DIV>%Salutation</DIV>\r\n"), std::string::npos);
  EXPECT_EQ(doc.substr(doc.size() - 9), "\r\n</HTML>");
}

// The dictionary writes entries in its own key order: the example file must
// be what the project dictionary would write for the same entries.
TEST(FirstRun, ExampleProjectMatchesDictionaryFile) {
  auto str = [](const std::string& s) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((s.size() >> (8 * i)) & 0xFF);
    return out + s;
  };
  auto i32 = [](int32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    return out;
  };
  std::string fcol;
  for (int i = 0; i < 16; ++i) fcol += std::string(1, '\0') + str("");
  const std::string doc =
      "<HTML>\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n<BODY>\r\n<DIV>%Salutation</DIV>\r\n"
      "<DIV>&nbsp;</DIV>\r\n<DIV>- Content -</DIV>\r\n<DIV>&nbsp;</DIV>\r\n<DIV>Regards</DIV>\r\n"
      "</BODY>\r\n</HTML>";
  // Set in the order a window would, not in key order.
  const std::vector<std::tuple<std::string, int, std::string>> entries = {
      {"FText", 4, str("")},
      {"UseF", 5, std::string(1, '\0')},
      {"UseCF", 5, std::string(1, '\0')},
      {"CInd", 17, i32(8)},
      {"FCol", 16, fcol},
      {"Doc", 6, str(doc)},
      {"SubMail", 9, std::string(1, '\1')},
      {"Subject", 10, str("Test message for %F_Name %L_Name")},
      {"ToAddr", 11, str("E_MAIL")},
      {"Plain", 12, str("")},
      {"Charset", 14, i32(18)},
      {"Report", 12, str("")},
      {"CF~Type~SALUTATION", 1, i32(3)},
      {"CF~Expr~SALUTATION", 2, str("'Dear ' + F_Name + ' ' + L_Name + '!'")}};
  TDList list;
  list.Separator = '~';
  list.OnDisposeStructure = [](TDList*, int, void* p) { delete static_cast<std::string*>(p); };
  list.OnSaveStructure = [](TDList*, int, void* p, TFileHandle& h, int) {
    const auto* bytes = static_cast<std::string*>(p);
    h.WriteExact(bytes->data(), static_cast<int64_t>(bytes->size()));
  };
  for (const auto& [key, code, bytes] : entries) list.Add(key, code, new std::string(bytes));
  TempDir t;
  const std::string file = (t.path / "p.lkp").string();
  list.SetScanRange("", 0, 2);
  list.SaveToFile(file, 3);
  EXPECT_EQ(ReadAll(file), ExampleProjectBytes());
}

TEST(FirstRun, ExampleTableLayout) {
  const std::string b = ExampleTableBytes();
  EXPECT_EQ(b[0], 0x03);
  EXPECT_EQ(Int32At(b, 4), 2);
  const int header = static_cast<unsigned char>(b[8]) | (static_cast<unsigned char>(b[9]) << 8);
  const int recSize = static_cast<unsigned char>(b[10]) | (static_cast<unsigned char>(b[11]) << 8);
  EXPECT_EQ(header, 32 + 3 * 32 + 1);
  EXPECT_EQ(b[header - 1], 0x0D);
  EXPECT_EQ(b.substr(32, 6), "F_NAME");
  EXPECT_EQ(b.substr(64, 6), "L_NAME");
  EXPECT_EQ(b.substr(96, 6), "E_MAIL");
  EXPECT_EQ(b.size(), static_cast<size_t>(header + 2 * recSize + 1));
  EXPECT_EQ(b.back(), 0x1A);
  EXPECT_NE(b.find("john.smith@example.com"), std::string::npos);
}

// The example table written by a first run dates its header the way the
// program's dBase writer does (the year counted from 1900) and has the
// header that writer gives the same fields.
TEST(FirstRun, ExampleTableHeaderIsTheDbaseWritersHeader) {
  struct Case {
    TDbfDate date;
    unsigned char year;
  } cases[] = {{{2026, 5, 9}, 0x7E}, {{2026, 12, 10}, 0x7E}, {{2051, 1, 1}, 151}};
  for (const auto& c : cases) {
    const std::string b = ExampleTableBytes(c.date);
    EXPECT_EQ(static_cast<unsigned char>(b[1]), c.year) << c.date.Year;
    EXPECT_EQ(b[2], c.date.Month);
    EXPECT_EQ(b[3], c.date.Day);
  }

  TempDir t;
  const std::string app = t.path.string() + "/";
  std::string db = app, mail = app;
  const TDbfDate before = TodayForDbf();
  CreateFirstRunFiles(app, db, mail, nullptr, nullptr);
  const TDbfDate after = TodayForDbf();
  const std::string example = ReadAll(app + "Database/example.dbf");
  ASSERT_GT(example.size(), 32u + 3 * 32 + 1);

  TCopyFieldDefs defs = {{"F_NAME", "", fkText, 20}, {"L_NAME", "", fkText, 20}, {"E_MAIL", "", fkText, 50}};
  ASSERT_TRUE(WriteDbfHeader(app + "written.dbf", defs, before));
  const std::string written = ReadAll(app + "written.dbf");
  const size_t head = 32 + 3 * 32 + 1;
  ASSERT_EQ(written.size(), head + 1);
  if (before.Day == after.Day) {
    const int year = before.Year;
    EXPECT_EQ(static_cast<unsigned char>(example[1]), year % 100 + (year > 1950 ? 100 : 0));
    EXPECT_EQ(example.substr(0, 4), written.substr(0, 4));  // version and date
  }
  EXPECT_EQ(Int32At(example, 4), 2);
  EXPECT_EQ(Int32At(written, 4), 0);
  EXPECT_EQ(example.substr(8, head - 8), written.substr(8, head - 8));  // lengths and fields
}

TEST(FirstRun, FoldersFilesAndSettings) {
  TempDir t;
  const std::string app = t.path.string() + "/";
  std::string db = app, mail = app;
  int dbSaves = 0, mailSaves = 0;
  int projectWrites = 0;
  auto writeProject = [&](const std::string& path) {
    ++projectWrites;
    std::ofstream(path, std::ios::binary) << ExampleProjectBytes();
    return true;
  };
  CreateFirstRunFiles(
      app, db, mail, [&] { ++dbSaves; }, [&] { ++mailSaves; }, writeProject);
  EXPECT_EQ(projectWrites, 1);
  EXPECT_TRUE(fs::is_directory(app + "Database"));
  EXPECT_TRUE(fs::is_directory(app + "Projects"));
  EXPECT_EQ(db, app + "Database/");
  EXPECT_EQ(mail, app + "Projects/");
  EXPECT_EQ(dbSaves, 1);
  EXPECT_EQ(mailSaves, 1);
  EXPECT_EQ(ReadAll(app + "Projects/example.lkp"), ExampleProjectBytes());
  EXPECT_EQ(ReadAll(app + "Database/example.dbf").size(), ExampleTableBytes().size());

  // A second run keeps existing files and folder settings that were changed.
  { std::ofstream(app + "Projects/example.lkp", std::ios::trunc) << "mine"; }
  std::string db2 = "/elsewhere/", mail2 = app;
  CreateFirstRunFiles(
      app, db2, mail2, [&] { ++dbSaves; }, [&] { ++mailSaves; }, writeProject);
  EXPECT_EQ(projectWrites, 1);
  EXPECT_EQ(db2, "/elsewhere/");
  EXPECT_EQ(dbSaves, 1);
  EXPECT_EQ(mailSaves, 2);
  EXPECT_EQ(ReadAll(app + "Projects/example.lkp"), "mine");
}

TEST(FirstRun, UnwritableFolderIsSilent) {
  TempDir t;
  // A file where the program's folder should be: nothing can be created under it.
  const std::string blocker = (t.path / "file").string();
  { std::ofstream(blocker) << "x"; }
  const std::string app = blocker + "/";
  std::string db = app, mail = "/m/";
  EXPECT_NO_THROW(CreateFirstRunFiles(app, db, mail, nullptr, nullptr));
  EXPECT_FALSE(fs::exists(app + "Projects/example.lkp"));
}

TEST(SysInfo, OsRelease) {
  EXPECT_EQ(ParseOsReleaseName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(ParseOsReleaseName("NAME=Fedora\n"), "Fedora");
  EXPECT_EQ(ParseOsReleaseName("ID=x\n"), "");
  EXPECT_EQ(ParseOsReleaseName("PRETTY_NAME='It\\'s'\n"), "It\\'s");

  TempDir t;
  TWinInfo missing((t.path / "none").string());
  EXPECT_TRUE(missing.IsNT());
  const auto file = (t.path / "os-release").string();
  { std::ofstream(file) << "PRETTY_NAME=\"Test OS 1\"\n"; }
  TSystemInfo info(file);
  EXPECT_EQ(info.ProductName(), "Test OS 1");
  EXPECT_FALSE(info.IsNT());
}

TEST(EditorFonts, FoundryDroppedAndEachFamilyOnce) {
  const std::vector<std::string> families = {"C059 [UKWN]",     "C059 [urw]",  "DejaVu Sans", "Z003 [urw]",
                                             "Odd [name] Sans", "Z003 [UKWN]", "DejaVu Sans"};
  const std::vector<std::string> expected = {"C059", "DejaVu Sans", "Z003", "Odd [name] Sans"};
  EXPECT_EQ(EditorFontNames(families), expected);
}
