#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "mailing/Attachments.h"
#include "mailing/ExampleProject.h"
#include "mailing/Project.h"
#include "mailing/ProjectControls.h"
#include "mailing/ProjectFile.h"
#include "workspace/AppSettings.h"
#include "workspace/FirstRun.h"

namespace fs = std::filesystem;

namespace {

struct TTempDir {
  fs::path path;
  TTempDir() {
    std::random_device rd;
    path = fs::temp_directory_path() / ("lp_project_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(path);
  }
  ~TTempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string I32(int32_t v) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  return out;
}
std::string Str(const std::string& s) { return I32(static_cast<int32_t>(s.size())) + s; }
std::string Entry(const std::string& key, int32_t code, const std::string& payload = "") {
  return Str(key) + I32(code) + payload;
}

int32_t Int32At(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return static_cast<int32_t>(v);
}

// The keys of the complete entries of a file, in file order (payload sizes from the codes).
std::vector<std::string> FileKeys(const std::string& b) {
  std::vector<std::string> keys;
  size_t pos = 4;
  auto fits = [&](size_t n) { return pos + n <= b.size(); };
  auto str = [&] {
    if (!fits(4)) return false;
    const int32_t n = Int32At(b, pos);
    pos += 4;
    if (n < 0 || !fits(static_cast<size_t>(n))) return false;
    pos += static_cast<size_t>(n);
    return true;
  };
  for (;;) {
    if (!fits(4)) break;
    const int32_t len = Int32At(b, pos);
    if (len < 0 || !fits(4 + static_cast<size_t>(len) + 4)) break;
    std::string key = b.substr(pos + 4, len);
    pos += 4 + len;
    const int32_t code = Int32At(b, pos);
    pos += 4;
    bool ok = true;
    switch (PayloadKindOf(code)) {
      case TPayloadKind::None: break;
      case TPayloadKind::Int32:
        ok = fits(4);
        pos += 4;
        break;
      case TPayloadKind::String: ok = str(); break;
      case TPayloadKind::Byte:
        ok = fits(1);
        pos += 1;
        break;
      case TPayloadKind::Block8:
        ok = fits(8);
        pos += 8;
        break;
      case TPayloadKind::ColorRules:
        for (int i = 0; i < 16 && ok; ++i) {
          ok = fits(1);
          pos += 1;
          ok = ok && str();
        }
        break;
    }
    if (!ok) break;
    keys.push_back(key);
  }
  return keys;
}

TColorExpr SomeRules() {
  TColorExpr r;
  for (int i = 0; i < 16; ++i) r[i] = {static_cast<uint8_t>(i % 3), "Rule " + std::to_string(i)};
  return r;
}

// One entry per type code of the codec, and codes outside it.
void FillEveryCode(TProject& p) {
  for (int32_t code : {1, 13, 14, 17}) p.SetInt("Int" + std::to_string(code), code, -1000 * code - 7);
  for (int32_t code : {2, 3, 4, 6, 8, 10, 11, 12})
    p.SetString("Str" + std::to_string(code), code, "text \xC3\xA9 " + std::to_string(code) + "\r\nline");
  p.SetByte("Byte5", 5, 1);
  p.SetByte("Byte9", 9, 200);
  p.Set("Block15", 15, TBlock8{1, 2, 3, 4, 250, 0, 7, 8});
  p.SetColorRules("Rules16", SomeRules());
  p.Set("Unknown7", 7, std::monostate{});
  p.Set("Unknown-3", -3, std::monostate{});
  p.Set("Unknown99", 99, std::monostate{});
}

void ExpectEveryCode(const TProject& p) {
  int32_t i = 0;
  std::string s;
  uint8_t b = 0;
  for (int32_t code : {1, 13, 14, 17}) {
    ASSERT_TRUE(p.GetInt("Int" + std::to_string(code), i)) << code;
    EXPECT_EQ(i, -1000 * code - 7);
  }
  for (int32_t code : {2, 3, 4, 6, 8, 10, 11, 12}) {
    ASSERT_TRUE(p.GetString("Str" + std::to_string(code), s)) << code;
    EXPECT_EQ(s, "text \xC3\xA9 " + std::to_string(code) + "\r\nline");
  }
  ASSERT_TRUE(p.GetByte("Byte5", b));
  EXPECT_EQ(b, 1);
  ASSERT_TRUE(p.GetByte("Byte9", b));
  EXPECT_EQ(b, 200);
  int32_t code = 0;
  const TProjectPayload* payload = nullptr;
  ASSERT_TRUE(p.Find("Block15", code, payload));
  EXPECT_EQ(std::get<TBlock8>(*payload), (TBlock8{1, 2, 3, 4, 250, 0, 7, 8}));
  TColorExpr rules;
  ASSERT_TRUE(p.GetColorRules("Rules16", rules));
  EXPECT_EQ(rules, SomeRules());
  for (auto [key, c] : {std::pair<const char*, int>{"Unknown7", 7}, {"Unknown-3", -3}, {"Unknown99", 99}}) {
    ASSERT_TRUE(p.Find(key, code, payload)) << key;
    EXPECT_EQ(code, c);
    EXPECT_EQ(payload, nullptr);
  }
}

class TFakeView : public IProjectView {
public:
  TProjectValues values;
  TProjectValues shown;
  std::vector<std::string> calls;
  TProjectValues ProjectValues() const override { return values; }
  void ShowProjectValues(const TProjectValues& v) override {
    shown = v;
    calls.push_back("values");
  }
  void ApplyMailMode(TMailMode mode) override { calls.push_back("mode " + std::to_string(mode)); }
  void FillToFieldList() override { calls.push_back("to"); }
  void UpdateCaption() override { calls.push_back("caption"); }
};

}  // namespace

// ------------------------------------------------------------------ codec and file

TEST(ProjectFile, EveryTypeCodeSurvivesSaveAndOpen) {
  TTempDir t;
  for (int format : {ProjectFormatSave, ProjectFormatSaveAs}) {
    TProject p;
    FillEveryCode(p);
    ASSERT_TRUE(p.SaveToFile(t / "all.lkp", format));
    EXPECT_EQ(Int32At(ReadAll(t / "all.lkp"), 0), format);
    TProject q;
    EXPECT_EQ(q.LoadFromFile(t / "all.lkp"), TProjectLoad::Loaded);
    ExpectEveryCode(q);
    EXPECT_EQ(q.Keys(), p.Keys());
    // Written again, the file is the same bytes.
    const std::string first = ReadAll(t / "all.lkp");
    ASSERT_TRUE(q.SaveToFile(t / "all.lkp", format));
    EXPECT_EQ(ReadAll(t / "all.lkp"), first);
  }
}

TEST(ProjectFile, UnknownKeysAndCodesAreWrittenBackUnchanged) {
  TTempDir t;
  // A file from elsewhere: an unknown key, a key deeper than two levels, a
  // code outside the codec (no payload), and one the codec knows.
  const std::string file = I32(3) + Entry("Zeta", 12, Str("kept")) + Entry("a~b~c~d", 1, I32(42)) + Entry("Odd", 77) +
                           Entry("UseF", 5, std::string(1, '\1'));
  WriteAll(t / "in.lkp", file);
  TProject p;
  ASSERT_EQ(p.LoadFromFile(t / "in.lkp"), TProjectLoad::Loaded);
  ASSERT_TRUE(p.SaveToFile(t / "in.lkp", ProjectFormatSave));
  const std::string out = ReadAll(t / "in.lkp");
  EXPECT_NE(out.find(Entry("Zeta", 12, Str("kept"))), std::string::npos);
  EXPECT_NE(out.find(Entry("a~b~c~d", 1, I32(42))), std::string::npos);
  EXPECT_NE(out.find(Entry("Odd", 77) + Entry("UseF", 5, std::string(1, '\1'))), std::string::npos);
  EXPECT_EQ(FileKeys(out), (std::vector<std::string>{"Odd", "UseF", "Zeta", "a~b~c~d"}));
}

TEST(ProjectFile, EntriesStandInKeyOrder) {
  TTempDir t;
  TProject p;
  TFakeView view;
  view.values.Report = "A\r\n";
  THighlightSlots slots = NewHighlightSlots();
  p.AddCalcField("BA");
  p.AddCalcField("B2");
  AddAttachments(p, {"/tmp/a.pdf"});
  ProjectToList(p, view, slots);
  ASSERT_TRUE(p.SaveToFile(t / "order.lkp", ProjectFormatSave));
  EXPECT_EQ(FileKeys(ReadAll(t / "order.lkp")),
            (std::vector<std::string>{"Attach", "CF~Expr~B2", "CF~Expr~BA", "CF~Type~B2", "CF~Type~BA", "CInd",
                                      "Charset", "Doc", "FCol", "FText", "Plain", "Report", "SubMail", "Subject",
                                      "ToAddr", "UseCF", "UseF"}));
}

TEST(ProjectFile, ExampleProjectIsTheFirstRunFileByteForByte) {
  const std::string bytes = ExampleProjectFileBytes();
  EXPECT_EQ(bytes, ExampleProjectBytes());
  TTempDir t;
  ASSERT_TRUE(WriteExampleProject(t / "example.lkp"));
  EXPECT_EQ(ReadAll(t / "example.lkp"), ExampleProjectBytes());

  TProject p;
  ASSERT_EQ(p.LoadFromFile(t / "example.lkp"), TProjectLoad::Loaded);
  EXPECT_EQ(p.CalcFieldNames(), std::vector<std::string>{"SALUTATION"});
  TCalcFieldDef def;
  ASSERT_TRUE(p.FindCalcField("SALUTATION", def));
  EXPECT_EQ(def.Expression, "'Dear ' + F_Name + ' ' + L_Name + '!'");
  EXPECT_TRUE(def.HasType);
  EXPECT_EQ(def.TypeIndex, cftString);
  const TProjectValues v = ProjectValuesOf(p, 0);
  EXPECT_EQ(v.CharsetIndex, 18);
  EXPECT_EQ(v.ToAddr, "E_MAIL");
  EXPECT_EQ(v.Subject, "Test message for %F_Name %L_Name");
  EXPECT_EQ(v.MailMode, mmHtml);
  EXPECT_EQ(v.ColorIndex, 8);
}

TEST(ProjectFile, NameWithoutExtensionGetsLkpAtWritingOnly) {
  TTempDir t;
  TProject p;
  p.SetString(KeySubject, pcSubject, "one");
  const std::string name = t / "letter";
  ASSERT_TRUE(p.SaveToFile(name, ProjectFormatSave));
  EXPECT_TRUE(fs::exists(name + ".lkp"));
  EXPECT_FALSE(fs::exists(name));
  EXPECT_EQ(ProjectWriteName(name), name + ".lkp");
  EXPECT_EQ(ProjectWriteName(t / "letter.txt"), t / "letter.txt");
  ASSERT_TRUE(p.SaveToFile(t / "letter.txt", ProjectFormatSaveAs));
  EXPECT_TRUE(fs::exists(t / "letter.txt"));
  EXPECT_FALSE(fs::exists(t / "letter.txt.lkp"));
  // A file of format 1 opens as one of format 3 does.
  TProject q;
  ASSERT_EQ(q.LoadFromFile(t / "letter.txt"), TProjectLoad::Loaded);
  std::string s;
  EXPECT_TRUE(q.GetString(KeySubject, s));
  EXPECT_EQ(s, "one");
}

TEST(ProjectFile, SavingOverAFileKeepsTheOldOneAsBackup) {
  TTempDir t;
  TProject p;
  p.SetString(KeySubject, pcSubject, "old");
  ASSERT_TRUE(p.SaveToFile(t / "p.lkp", ProjectFormatSave));
  const std::string old = ReadAll(t / "p.lkp");
  p.SetString(KeySubject, pcSubject, "new");
  ASSERT_TRUE(p.SaveToFile(t / "p.lkp", ProjectFormatSave));
  EXPECT_EQ(ReadAll(t / "Backup of p.lkp"), old);
  EXPECT_NE(ReadAll(t / "p.lkp"), old);
  EXPECT_EQ(BackupFileName(t / "p.lkp"), t / "Backup of p.lkp");
  // No temporary file is left behind.
  int files = 0;
  for (const auto& e : fs::directory_iterator(t.path)) files += e.is_regular_file();
  EXPECT_EQ(files, 2);
}

TEST(ProjectFile, FailedSaveWritesNothing) {
  TTempDir t;
  TProject p;
  EXPECT_FALSE(p.SaveToFile(t / "missing/folder/p.lkp", ProjectFormatSave));
  EXPECT_FALSE(fs::exists(t / "missing"));
}

TEST(ProjectFile, NewerFormatOrMissingFileGivesAnEmptyProject) {
  TTempDir t;
  WriteAll(t / "new.lkp", I32(4) + Entry("Subject", 10, Str("x")));
  TProject p;
  p.SetString(KeySubject, pcSubject, "before");
  EXPECT_EQ(p.LoadFromFile(t / "new.lkp"), TProjectLoad::NewerFormat);
  EXPECT_TRUE(p.Keys().empty());
  p.SetString(KeySubject, pcSubject, "before");
  EXPECT_EQ(p.LoadFromFile(t / "none.lkp"), TProjectLoad::Unreadable);
  EXPECT_TRUE(p.Keys().empty());
  WriteAll(t / "short.lkp", "\3\0");
  EXPECT_EQ(p.LoadFromFile(t / "short.lkp"), TProjectLoad::Unreadable);
  WriteAll(t / "empty3.lkp", I32(3));
  EXPECT_EQ(p.LoadFromFile(t / "empty3.lkp"), TProjectLoad::Loaded);
  EXPECT_TRUE(p.Keys().empty());
}

// A real file cut at every byte opens as the entries that fit whole.
TEST(ProjectFile, CutAtEveryByteOpensAsFarAsSound) {
  TTempDir t;
  TProject full;
  FillEveryCode(full);
  BuildExampleProject(full);
  FillEveryCode(full);  // after the example: both sets together
  ASSERT_TRUE(full.SaveToFile(t / "full.lkp", ProjectFormatSave));
  const std::string bytes = ReadAll(t / "full.lkp");
  const std::vector<std::string> order = FileKeys(bytes);

  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    WriteAll(t / "cut.lkp", bytes.substr(0, cut));
    TProject p;
    const TProjectLoad r = p.LoadFromFile(t / "cut.lkp");
    if (cut < 4) {
      EXPECT_EQ(r, TProjectLoad::Unreadable);
      continue;
    }
    const std::vector<std::string> whole = FileKeys(bytes.substr(0, cut));
    std::vector<std::string> loaded = p.Keys();
    EXPECT_EQ(loaded.size(), whole.size()) << "cut at " << cut;
    ASSERT_LE(loaded.size(), order.size());
    std::vector<std::string> expected(order.begin(), order.begin() + static_cast<long>(loaded.size()));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(loaded, expected) << "cut at " << cut;
    // Every loaded entry holds what the full file holds.
    for (const auto& key : loaded) {
      int32_t c1 = 0, c2 = 0;
      const TProjectPayload *p1 = nullptr, *p2 = nullptr;
      ASSERT_TRUE(p.Find(key, c1, p1));
      ASSERT_TRUE(full.Find(key, c2, p2));
      EXPECT_EQ(c1, c2);
      EXPECT_EQ(p1 == nullptr, p2 == nullptr);
      if (p1 && p2) {
        EXPECT_TRUE(*p1 == *p2) << key << " cut at " << cut;
      }
    }
    if (cut == bytes.size()) {
      EXPECT_EQ(r, TProjectLoad::Loaded);
      EXPECT_EQ(loaded.size(), order.size());
    }
    if (r == TProjectLoad::Loaded && cut < bytes.size()) {
      // Only a cut at an entry's end reads as complete.
      EXPECT_EQ(FileKeys(bytes.substr(0, cut)).size(), loaded.size()) << cut;
    }
  }
}

TEST(ProjectFile, HostileLengthsAndCodesOpenSafely) {
  TTempDir t;
  const std::string good = Entry("Subject", 10, Str("ok"));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"huge key length", I32(3) + good + I32(0x7FFFFFFF) + "abc"},
      {"negative key length", I32(3) + good + I32(-5) + "abc"},
      {"huge string length", I32(3) + good + Str("Doc") + I32(6) + I32(0x7FFFFFF0) + "abc"},
      {"negative string length", I32(3) + good + Str("Doc") + I32(6) + I32(-1) + "abc"},
      {"rules cut inside", I32(3) + good + Str("FCol") + I32(16) + std::string(1, '\1') + I32(1000)},
      {"unknown code with garbage", I32(3) + good + Str("Junk") + I32(123456) + std::string("\xFF\xFF\xFF\x7F zz", 7)},
      {"negative format", I32(-1) + good},
      {"zero-length key", I32(3) + Str("") + I32(10) + Str("lost") + good},
  };
  for (const auto& [what, bytes] : cases) {
    WriteAll(t / "h.lkp", bytes);
    TProject p;
    const TProjectLoad r = p.LoadFromFile(t / "h.lkp");
    std::string s;
    EXPECT_TRUE(p.GetString(KeySubject, s)) << what;
    EXPECT_EQ(s, "ok") << what;
    if (what != "negative format" && what != "zero-length key") {
      EXPECT_EQ(r, TProjectLoad::Damaged) << what;
    }
    EXPECT_FALSE(p.Has("Doc")) << what;
    // What opened saves and opens again.
    ASSERT_TRUE(p.SaveToFile(t / "again.lkp", ProjectFormatSave)) << what;
    TProject q;
    EXPECT_EQ(q.LoadFromFile(t / "again.lkp"), TProjectLoad::Loaded) << what;
    EXPECT_EQ(q.Keys(), p.Keys()) << what;
  }
}

// ------------------------------------------------------------------ keys and controls

class ProjectSettings : public ::testing::Test {
protected:
  void SetUp() override { reg.SetFileName(t / "registry.reg"); }
  TTempDir t;
  TRegistry reg;
  TAppSettings settings{reg};
};

TEST_F(ProjectSettings, MissingKeysTakeTheirDefaults) {
  TProject p;
  TFakeView view;
  THighlightSlots slots = NewHighlightSlots();
  slots[3].Enabled = true;
  slots[3].Expression = "x";
  ListToProject(p, view, slots, settings);
  TProjectValues expected;
  expected.CharsetIndex = 15;
  EXPECT_EQ(view.shown, expected);
  EXPECT_EQ(view.shown.Document,
            "<HTML>\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n<BODY>\r\n&nbsp;\r\n</BODY>\r\n</HTML>");
  EXPECT_EQ(view.shown.ColorIndex, 8);
  EXPECT_EQ(view.shown.MailMode, mmHtml);
  for (const auto& s : slots) {
    EXPECT_FALSE(s.Enabled);
    EXPECT_EQ(s.Expression, "");
  }
  EXPECT_EQ(slots[3].Color, (TRgb{128, 128, 0}));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"values", "mode 1", "to", "caption"}));
}

// Any "SubMail" byte but plain text's shows the HTML mode, as the menu switch takes it.
TEST_F(ProjectSettings, MailModeByteGivesOneOfTheTwoModes) {
  const struct {
    uint8_t stored;
    TMailMode shown;
  } cases[] = {{0, mmPlainText}, {1, mmHtml}, {2, mmHtml}, {255, mmHtml}};
  for (const auto& c : cases) {
    TProject p;
    p.SetByte(KeyMailMode, pcMailMode, c.stored);
    TFakeView view;
    THighlightSlots slots = NewHighlightSlots();
    ListToProject(p, view, slots, settings);
    EXPECT_EQ(view.shown.MailMode, c.shown) << int(c.stored);
    EXPECT_EQ(view.calls[1], "mode " + std::to_string(c.shown)) << int(c.stored);
  }
}

TEST_F(ProjectSettings, MissingCharsetTakesTheDefaultCharsetSetting) {
  TProject p;
  TFakeView view;
  THighlightSlots slots = NewHighlightSlots();
  ASSERT_TRUE(reg.OpenKey("\\" + RegKeyPath, true));
  reg.WriteInteger("DefaultCharset", 4);
  reg.CloseKey();
  ListToProject(p, view, slots, settings);
  EXPECT_EQ(view.shown.CharsetIndex, 4);
  // A stored charset wins over the setting.
  p.SetInt(KeyCharset, pcCharset, 18);
  ListToProject(p, view, slots, settings);
  EXPECT_EQ(view.shown.CharsetIndex, 18);
  // A key that cannot be opened: 15.
  p.Delete(KeyCharset);
  std::ofstream(t / "blocker") << "x";
  reg.SetFileName(t / "blocker/registry.reg");
  ListToProject(p, view, slots, settings);
  EXPECT_EQ(view.shown.CharsetIndex, 15);
}

TEST_F(ProjectSettings, ControlsGoThroughTheFileAndBack) {
  TFakeView view;
  view.values.FilterText = "L_NAME = 'Smith'";
  view.values.UseFilter = true;
  view.values.UseHighlight = true;
  view.values.ColorIndex = 12;
  view.values.Document = "<p>x</p>";
  view.values.MailMode = mmPlainText;
  view.values.Subject = "Hello %F_Name";
  view.values.ToAddr = "E_MAIL";
  view.values.Plain = "plain\r\ntext";
  view.values.CharsetIndex = 3;
  view.values.Report = "E_MAIL\r\nL_NAME\r\n";
  THighlightSlots slots = NewHighlightSlots();
  slots[0] = {true, "L_NAME = 'Smith'", slots[0].Color};
  slots[15] = {true, "true", slots[15].Color};
  slots[7] = {false, "kept while off", slots[7].Color};
  TProject p;
  ProjectToList(p, view, slots);
  ASSERT_TRUE(p.SaveToFile(t / "c", ProjectFormatSave));
  TProject q;
  ASSERT_EQ(q.LoadFromFile(t / "c.lkp"), TProjectLoad::Loaded);
  TFakeView back;
  THighlightSlots loaded = NewHighlightSlots();
  ListToProject(q, back, loaded, settings);
  EXPECT_EQ(back.shown, view.values);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(loaded[i].Enabled, slots[i].Enabled) << i;
    EXPECT_EQ(loaded[i].Expression, slots[i].Expression) << i;
  }
  EXPECT_EQ(back.calls[1], "mode 0");
}

TEST_F(ProjectSettings, PayloadOfAnotherKindOrIndexOutOfRangeReadsAsDefault) {
  TProject p;
  p.SetInt(KeyUseFilter, 1, 1);  // an Int32 where a byte belongs
  p.SetInt(KeyColorIndex, pcColorIndex, 99);
  p.SetInt(KeyCharset, pcCharset, -4);
  p.Set(KeyDocument, 77, std::monostate{});
  TFakeView view;
  THighlightSlots slots = NewHighlightSlots();
  ListToProject(p, view, slots, settings);
  EXPECT_FALSE(view.shown.UseFilter);
  EXPECT_EQ(view.shown.ColorIndex, 8);
  EXPECT_EQ(view.shown.CharsetIndex, 15);
  EXPECT_EQ(view.shown.Document, DefaultDocument());
}

// ------------------------------------------------------------------ calculated fields

TEST(ProjectCalcFields, NamesInCharacterCodeOrderAndTheirEntries) {
  TProject p;
  for (const char* n : {"BA", "B2", "A", "Z_1"}) p.AddCalcField(n);
  p.SetString("CF~Expr~X~Y", pcCalcExpr, "deeper");  // not a field name
  p.Set("CF~Expr~ODD", 7, std::monostate{});         // not an expression entry
  EXPECT_EQ(p.CalcFieldNames(), (std::vector<std::string>{"A", "B2", "BA", "Z_1"}));
  TCalcFieldDef def;
  ASSERT_TRUE(p.FindCalcField("B2", def));
  EXPECT_EQ(def.Expression, "");
  EXPECT_EQ(def.TypeIndex, cftString);
  p.SetCalcExpression("B2", "1 + 1");
  p.SetCalcType("B2", cftInteger);
  ASSERT_TRUE(p.FindCalcField("B2", def));
  EXPECT_EQ(def.Expression, "1 + 1");
  EXPECT_EQ(def.TypeIndex, cftInteger);
  EXPECT_FALSE(p.FindCalcField("b2", def));  // names are stored upper case
  EXPECT_FALSE(p.FindCalcField("ODD", def));
  EXPECT_FALSE(p.FindCalcField("X~Y", def));
  p.Delete("CF~Type~A");
  ASSERT_TRUE(p.FindCalcField("A", def));
  EXPECT_FALSE(def.HasType);
  p.DeleteCalcField("B2");
  EXPECT_FALSE(p.Has("CF~Expr~B2"));
  EXPECT_FALSE(p.Has("CF~Type~B2"));
  EXPECT_EQ(p.CalcFieldNames(), (std::vector<std::string>{"A", "BA", "Z_1"}));
  EXPECT_EQ(CalcFieldName("CF~Expr~NAME"), "NAME");
  EXPECT_EQ(CalcFieldName("Plain"), "Plain");
}

// ------------------------------------------------------------------ attachments

TEST(ProjectAttachments, CrLfJoiningCases) {
  TProject p;
  EXPECT_TRUE(LoadAttachList(p).empty());
  EnsureAttachEntry(p);
  EXPECT_TRUE(p.Has(KeyAttach));
  EXPECT_TRUE(LoadAttachList(p).empty());

  // Two files into an empty list: one CR LF between, none at the end; names as chosen.
  EXPECT_EQ(AddAttachments(p, {"/home/u/Report.pdf", "/home/u/photo.JPG"}), 1);
  std::string text;
  p.GetString(KeyAttach, text);
  EXPECT_EQ(text, "/home/u/Report.pdf\r\n/home/u/photo.JPG");

  // Removing the first leaves the second followed by CR LF.
  bool removed = false;
  EXPECT_EQ(RemoveAttachment(p, 0, removed), 0);
  EXPECT_TRUE(removed);
  p.GetString(KeyAttach, text);
  EXPECT_EQ(text, "/home/u/photo.JPG\r\n");

  // A further Add appends without an extra line break.
  EXPECT_EQ(AddAttachments(p, {"/tmp/c.txt"}), 1);
  p.GetString(KeyAttach, text);
  EXPECT_EQ(text, "/home/u/photo.JPG\r\n/tmp/c.txt");
  EXPECT_EQ(LoadAttachList(p), (std::vector<std::string>{"/home/u/photo.JPG", "/tmp/c.txt"}));

  // Removing the last selects the new last; removing the only one leaves none selected.
  EXPECT_EQ(RemoveAttachment(p, 1, removed), 0);
  EXPECT_EQ(RemoveAttachment(p, 0, removed), -1);
  EXPECT_TRUE(LoadAttachList(p).empty());
  p.GetString(KeyAttach, text);
  EXPECT_EQ(text, "");

  // Nothing selected, or no entry: nothing changes.
  EXPECT_EQ(RemoveAttachment(p, 3, removed), 3);
  EXPECT_FALSE(removed);
  TProject none;
  EXPECT_EQ(RemoveAttachment(none, 0, removed), 0);
  EXPECT_FALSE(removed);
  EXPECT_FALSE(none.Has(KeyAttach));
}

TEST(ProjectAttachments, LinesAsAListTakesThem) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r\n", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\r\n", {""}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitLines(text), lines) << text;
  EXPECT_EQ(LinesText({"a", "b"}), "a\r\nb\r\n");
  EXPECT_EQ(LinesText({}), "");
}
