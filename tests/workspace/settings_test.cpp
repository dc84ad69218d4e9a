#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <variant>
#include <vector>

#include "workspace/AppSettings.h"
#include "workspace/CharsetTable.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lp-set-XXXXXX";
    dir = mkdtemp(tmpl);
    reg.SetFileName(dir + "/registry.reg");
  }
  void TearDown() override { fs::remove_all(dir); }

  TRegistry& Key() {
    reg.CloseKey();
    EXPECT_TRUE(reg.OpenKey("\\" + RegKeyPath, true));
    return reg;
  }
  std::vector<std::string> StoredNames() {
    TRegistry r(reg.FileName());
    if (!r.OpenKey("\\" + RegKeyPath, false)) return {};
    auto names = r.GetValueNames();
    std::sort(names.begin(), names.end());
    return names;
  }
  void BreakTheFile() {
    std::ofstream(dir + "/blocker") << "x";
    reg.SetFileName(dir + "/blocker/registry.reg");
  }

  const TSettingValues& Now() const { return settings.Values(); }

  std::string dir;
  TRegistry reg;
  TAppSettings settings{reg};
};

TEST_F(SettingsTest, MissingFolderValuesBecomeTheProgramFolder) {
  settings.Set(stActiveScheme, std::string("old"));
  ASSERT_TRUE(settings.LoadSettings());
  EXPECT_EQ(Now().ActiveScheme, "");
  EXPECT_EQ(Now().DataBaseDir, "");
  settings.ReplaceEmptyFolders("/app/");
  const TSettingValues& v = Now();
  for (const std::string* s : {&v.DataBaseDir, &v.MailDir, &v.SQLFileDir, &v.SQLDataBase, &v.ReportDir})
    EXPECT_EQ(*s, "/app/");
}

TEST_F(SettingsTest, FolderValuesAreReadAndWrittenOneAtATime) {
  Key().WriteString("DataBaseDir", "/d/");
  reg.WriteString("MailDir", "/m/");
  reg.WriteString("SQLFileDir", "/s/");
  reg.WriteString("SQLDataBase", "/s/db.mdb");
  reg.WriteString("ReportDir", "/r/");
  reg.WriteString("ActiveScheme", "Replies");
  reg.CloseKey();
  ASSERT_TRUE(settings.LoadSettings());
  EXPECT_EQ(Now().DataBaseDir, "/d/");
  EXPECT_EQ(Now().MailDir, "/m/");
  EXPECT_EQ(Now().SQLFileDir, "/s/");
  EXPECT_EQ(Now().SQLDataBase, "/s/db.mdb");
  EXPECT_EQ(Now().ReportDir, "/r/");
  EXPECT_EQ(Now().ActiveScheme, "Replies");
  settings.ReplaceEmptyFolders("/app/");
  EXPECT_EQ(Now().DataBaseDir, "/d/");
  EXPECT_FALSE(reg.HasCurrentKey()) << "the key is closed after every group";

  struct TWriter {
    TSetting key;
    const std::string* value;
    const char* name;
  };
  const TWriter writers[] = {
      {stDataBaseDir, &Now().DataBaseDir, "DataBaseDir"}, {stMailDir, &Now().MailDir, "MailDir"},
      {stSQLFileDir, &Now().SQLFileDir, "SQLFileDir"},    {stSQLDataBase, &Now().SQLDataBase, "SQLDataBase"},
      {stReportDir, &Now().ReportDir, "ReportDir"},
  };
  for (const auto& w : writers) {
    settings.Set(w.key, std::string("/new/") + w.name);
    settings.Save(w.key);
    EXPECT_FALSE(reg.HasCurrentKey());
    TRegistry r(reg.FileName());
    ASSERT_TRUE(r.OpenKey("\\" + RegKeyPath, false));
    EXPECT_EQ(r.ReadString(w.name), *w.value);
  }
  settings.SetAndSave(stActiveScheme, "Orders");
  settings.Set(stActiveScheme, std::string());
  settings.LoadSettings();
  EXPECT_EQ(Now().ActiveScheme, "Orders");
}

TEST_F(SettingsTest, MistypedStringReadsAsEmptyAndStartUpGoesOn) {
  Key().WriteInteger("DataBaseDir", 5);
  reg.WriteBinaryData("MailDir", {1, 2});
  reg.CloseKey();
  EXPECT_TRUE(settings.LoadSettings());
  EXPECT_EQ(Now().DataBaseDir, "");
  EXPECT_EQ(Now().MailDir, "");
}

TEST_F(SettingsTest, KeyThatCannotBeOpenedSkipsTheGroup) {
  settings.Set(stSQLFileDir, std::string("/kept/"));
  settings.Set(stDataBaseDir, std::string("/cleared/"));
  BreakTheFile();
  settings.Set(stActiveScheme, std::string("kept"));
  EXPECT_FALSE(settings.LoadSettings());
  EXPECT_EQ(Now().ActiveScheme, "kept");
  EXPECT_EQ(Now().SQLFileDir, "/kept/");
  EXPECT_EQ(Now().DataBaseDir, "");  // cleared before the key is opened
  settings.Set(stThreads, 42);
  EXPECT_FALSE(settings.LoadOptions());
  EXPECT_EQ(Now().Threads, 42);
  settings.Save(stMailDir);  // silent
  TSettingMarks marks{};
  marks[stThreads] = true;
  EXPECT_FALSE(settings.WriteMarkedOptions(marks));
  EXPECT_EQ(settings.ReadDefaultCharset(), 15);
}

TEST_F(SettingsTest, OptionsWithoutStoredValuesReadAsTheInitialState) {
  settings.Set(stThreads, 99);
  settings.Set(stActiveProfile, std::string("x"));
  ASSERT_TRUE(settings.LoadOptions());
  const TSettingValues& v = Now();
  EXPECT_EQ(v, TSettingValues());
  EXPECT_FALSE(v.ConfirmDel);
  EXPECT_EQ(v.Threads, 15);
  EXPECT_EQ(v.DefaultCharset, -1);
  EXPECT_EQ(v.SortColor, 14);
  EXPECT_EQ(v.TagSign, 0);
}

TEST_F(SettingsTest, StoredOptionsAreReadAndOddOnesFallBack) {
  Key().WriteBool("ConfirmDel", true);
  reg.WriteInteger("Threads", 40);
  reg.WriteInteger("DefaultCharset", 18);
  reg.WriteString("ActiveProfile", "Office");
  reg.WriteInteger("SortColor", 3);
  reg.WriteString("DBFont", "DejaVu Sans");
  reg.WriteInteger("TagSign", 2);
  reg.CloseKey();
  const TSettingValues& v = Now();
  ASSERT_TRUE(settings.LoadOptions());
  EXPECT_TRUE(v.ConfirmDel);
  EXPECT_EQ(v.Threads, 40);
  EXPECT_EQ(v.DefaultCharset, 18);
  EXPECT_EQ(v.ActiveProfile, "Office");
  EXPECT_EQ(v.SortColor, 3);
  EXPECT_EQ(v.DBFont, "DejaVu Sans");
  EXPECT_EQ(std::string(TagSigns[static_cast<size_t>(v.TagSign)]), "$");

  // Out of range or of another type: the initial state, never a failure.
  Key().WriteInteger("ConfirmDel", 7);  // "not 0" is true
  reg.WriteInteger("Threads", 0);
  reg.WriteInteger("DefaultCharset", 19);
  reg.WriteInteger("ActiveProfile", 1);
  reg.WriteInteger("SortColor", -1);
  reg.WriteString("DBFont", "");
  reg.WriteString("TagSign", "2");
  reg.CloseKey();
  ASSERT_TRUE(settings.LoadOptions());
  EXPECT_TRUE(v.ConfirmDel);
  EXPECT_EQ(v.Threads, 15);
  EXPECT_EQ(v.DefaultCharset, -1);
  EXPECT_EQ(v.ActiveProfile, "");
  EXPECT_EQ(v.SortColor, 14);
  EXPECT_EQ(v.DBFont, "");
  EXPECT_EQ(v.TagSign, 0);
  Key().WriteInteger("Threads", 101);
  reg.CloseKey();
  ASSERT_TRUE(settings.LoadOptions());
  EXPECT_EQ(v.Threads, 15);
}

TEST_F(SettingsTest, OnlyMarkedOptionsAreWrittenWithTheirTypes) {
  settings.Set(stConfirmDel, true);
  settings.Set(stThreads, 7);
  settings.Set(stDefaultCharset, 14);
  settings.Set(stActiveProfile, std::string("Home"));
  settings.Set(stSortColor, 9);
  settings.Set(stDBFont, std::string("Mono"));
  settings.Set(stTagSign, 3);
  const TSettingValues v = Now();
  TSettingMarks none{};
  ASSERT_TRUE(settings.WriteMarkedOptions(none));
  EXPECT_FALSE(fs::exists(reg.FileName())) << "nothing to write: the key is not even opened";

  TSettingMarks marks{};
  marks[stThreads] = true;
  ASSERT_TRUE(settings.WriteMarkedOptions(marks));
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Threads"});

  marks.fill(true);
  ASSERT_TRUE(settings.WriteMarkedOptions(marks));
  TRegistry r(reg.FileName());
  ASSERT_TRUE(r.OpenKey("\\" + RegKeyPath, false));
  EXPECT_EQ(r.GetDataType("ConfirmDel"), TRegDataType::Integer);
  EXPECT_EQ(r.ReadInteger("ConfirmDel"), 1);
  EXPECT_EQ(r.ReadInteger("DefaultCharset"), 14);
  EXPECT_EQ(r.ReadString("ActiveProfile"), "Home");
  EXPECT_EQ(r.ReadInteger("SortColor"), 9);
  EXPECT_EQ(r.ReadString("DBFont"), "Mono");
  EXPECT_EQ(r.ReadInteger("TagSign"), 3);
  TAppSettings fresh(reg);
  ASSERT_TRUE(fresh.LoadOptions());
  EXPECT_EQ(fresh.Values(), v);

  settings.SaveConfirmDel(false);
  ASSERT_TRUE(fresh.LoadOptions());
  EXPECT_FALSE(fresh.Values().ConfirmDel);
}

// A dialog stand-in: ShowModal applies the user's edits and answers.
class TFakeView : public IOptionsView {
public:
  TSettingValues Values() const override { return shown; }
  void ShowValues(const TSettingValues& v) override {
    shown = v;
    ++showCount;
  }
  bool ShowModal() override {
    marks = {};
    if (edit) edit(*this);
    return ok;
  }
  TSettingMarks Marks() const override { return marks; }

  TSettingValues shown;
  TSettingMarks marks{};
  bool ok = true;
  std::function<void(TFakeView&)> edit;
  int showCount = 0;
};

TEST_F(SettingsTest, Options1ClickWritesOnlyTheChangedOption) {
  Key().WriteInteger("SortColor", 2);
  reg.CloseKey();
  settings.LoadOptions();  // as at start-up
  TFakeView view;
  view.edit = [](TFakeView& v) {
    v.shown.Threads = 33;
    v.marks[stThreads] = true;
    v.shown.SortColor = 5;  // changed without its mark: not written
  };
  int repaints = 0;
  const auto repaint = settings.Subscribe(stSortColor, [&] { ++repaints; });
  EXPECT_TRUE(settings.Options1Click(view));
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"SortColor", "Threads"}));
  EXPECT_EQ(repaints, 0);
  EXPECT_EQ(view.shown.Threads, 33);
  EXPECT_EQ(view.shown.SortColor, 2) << "reloaded from the store after the dialog";
  EXPECT_EQ(view.showCount, 2);

  view.edit = [](TFakeView& v) {
    v.shown.SortColor = 5;
    v.marks[stSortColor] = true;
  };
  settings.Options1Click(view);
  EXPECT_EQ(repaints, 1);
  EXPECT_EQ(view.shown.SortColor, 5);
}

TEST_F(SettingsTest, CancelWritesNothingAndRestoresTheStoredValues) {
  Key().WriteInteger("Threads", 20);
  reg.CloseKey();
  const auto before = StoredNames();
  TFakeView view;
  view.ok = false;
  view.edit = [](TFakeView& v) {
    v.shown.Threads = 77;
    v.shown.ActiveProfile = "Other";
    v.marks.fill(true);
  };
  EXPECT_FALSE(settings.Options1Click(view));
  EXPECT_EQ(StoredNames(), before);
  EXPECT_EQ(view.shown.Threads, 20);
  EXPECT_EQ(view.shown.ActiveProfile, "");
}

TEST_F(SettingsTest, DefaultCharsetForProjectsAndSchemes) {
  EXPECT_EQ(settings.ReadDefaultCharset(), 15);
  Key().WriteInteger("DefaultCharset", 18);
  reg.CloseKey();
  EXPECT_EQ(settings.ReadDefaultCharset(), 18);
  Key().WriteInteger("DefaultCharset", 40);
  reg.CloseKey();
  EXPECT_EQ(settings.ReadDefaultCharset(15), 15);
  Key().WriteString("DefaultCharset", "18");
  reg.CloseKey();
  EXPECT_EQ(settings.ReadDefaultCharset(3), 3);
}

// Every registry value the program keeps: its type, its default, and what a
// stored, missing, mistyped or out-of-range value reads as.
using TValue = std::variant<std::string, int32_t, bool>;

struct TValueCase {
  TSetting key;
  const char* name;
  TRegDataType type;
  TValue initial;
  TValue stored;
  std::vector<int32_t> outOfRange;
};

const TValueCase ValueCases[] = {
    {stDataBaseDir, "DataBaseDir", TRegDataType::String, std::string(), std::string("/d/"), {}},
    {stMailDir, "MailDir", TRegDataType::String, std::string(), std::string("/m/"), {}},
    {stSQLFileDir, "SQLFileDir", TRegDataType::String, std::string(), std::string("/s/"), {}},
    {stSQLDataBase, "SQLDataBase", TRegDataType::String, std::string(), std::string("/s/db.mdb"), {}},
    {stReportDir, "ReportDir", TRegDataType::String, std::string(), std::string("/r/"), {}},
    {stActiveScheme, "ActiveScheme", TRegDataType::String, std::string(), std::string("Replies"), {}},
    {stConfirmDel, "ConfirmDel", TRegDataType::Integer, false, true, {}},
    {stThreads, "Threads", TRegDataType::Integer, int32_t{15}, int32_t{100}, {0, 101}},
    {stDefaultCharset, "DefaultCharset", TRegDataType::Integer, int32_t{-1}, int32_t{18}, {-1, 19}},
    {stActiveProfile, "ActiveProfile", TRegDataType::String, std::string(), std::string("Office"), {}},
    {stSortColor, "SortColor", TRegDataType::Integer, int32_t{14}, int32_t{0}, {-1, 16}},
    {stDBFont, "DBFont", TRegDataType::String, std::string(), std::string("DejaVu Sans"), {}},
    {stTagSign, "TagSign", TRegDataType::Integer, int32_t{0}, int32_t{3}, {-1, 4}},
};

TValue ValueOf(const TAppSettings& s, TSetting key) {
  const TSettingValues& v = s.Values();
  switch (key) {
    case stDataBaseDir: return v.DataBaseDir;
    case stMailDir: return v.MailDir;
    case stSQLFileDir: return v.SQLFileDir;
    case stSQLDataBase: return v.SQLDataBase;
    case stReportDir: return v.ReportDir;
    case stActiveScheme: return v.ActiveScheme;
    case stConfirmDel: return v.ConfirmDel;
    case stThreads: return v.Threads;
    case stDefaultCharset: return v.DefaultCharset;
    case stActiveProfile: return v.ActiveProfile;
    case stSortColor: return v.SortColor;
    case stDBFont: return v.DBFont;
    case stTagSign: return v.TagSign;
    case stCount: break;
  }
  return {};
}

void LoadAll(TAppSettings& s) {
  ASSERT_TRUE(s.LoadSettings());
  ASSERT_TRUE(s.LoadOptions());
}

TEST_F(SettingsTest, EveryValueHasItsTypeDefaultAndRoundTrip) {
  ASSERT_EQ(std::size(ValueCases), size_t(stCount));
  for (const auto& c : ValueCases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(SettingDef(c.key).Name, c.name);
    EXPECT_EQ(SettingRegType(c.key), c.type);
    EXPECT_EQ(ValueOf(TAppSettings(reg), c.key), c.initial) << "a new store holds the default";

    // Missing: the default.
    fs::remove(reg.FileName());
    TAppSettings missing(reg);
    std::visit([&](const auto& v) { missing.Set(c.key, v); }, c.stored);
    LoadAll(missing);
    EXPECT_EQ(ValueOf(missing, c.key), c.initial);

    // Stored and read back by a store of the next run, with its registry type.
    TAppSettings writer(reg);
    std::visit([&](const auto& v) { writer.Set(c.key, v); }, c.stored);
    writer.Save(c.key);
    EXPECT_EQ(StoredNames(), std::vector<std::string>{c.name});
    {
      TRegistry r(reg.FileName());
      ASSERT_TRUE(r.OpenKey("\\" + RegKeyPath, false));
      EXPECT_EQ(r.GetDataType(c.name), c.type);
    }
    TAppSettings reader(reg);
    LoadAll(reader);
    EXPECT_EQ(ValueOf(reader, c.key), c.stored);

    // Of the other type: the default, never a failure.
    if (c.type == TRegDataType::String)
      Key().WriteInteger(c.name, 1);
    else
      Key().WriteString(c.name, "1");
    reg.CloseKey();
    LoadAll(reader);
    EXPECT_EQ(ValueOf(reader, c.key), c.initial);

    for (int32_t odd : c.outOfRange) {
      Key().WriteInteger(c.name, odd);
      reg.CloseKey();
      reader.Set(c.key, std::get<int32_t>(c.stored));
      LoadAll(reader);
      EXPECT_EQ(ValueOf(reader, c.key), c.initial) << odd;
    }
  }
}

TEST_F(SettingsTest, ListenersHearOfTheirValueOnly) {
  int threads = 0, folders = 0;
  auto a = settings.Subscribe(stThreads, [&] { ++threads; });
  {
    auto b = settings.Subscribe(stMailDir, [&] { ++folders; });
    settings.Set(stThreads, 30);
    settings.Set(stThreads, 30);  // no change
    settings.Set(stMailDir, std::string("/m/"));
  }
  settings.Set(stMailDir, std::string("/n/"));  // no longer listened to
  EXPECT_EQ(threads, 1);
  EXPECT_EQ(folders, 1);
  Key().WriteInteger("Threads", 40);
  reg.CloseKey();
  ASSERT_TRUE(settings.LoadOptions());
  EXPECT_EQ(threads, 2) << "a load that changes the value is a change";
}

TEST_F(SettingsTest, ATextWithChoicesReadsAsNoneWhenNotAmongThem) {
  settings.Set(stActiveProfile, std::string("Home"));
  settings.SetChoices(stActiveProfile, {"Home", "Office"});
  EXPECT_EQ(Now().ActiveProfile, "Home");
  settings.Set(stActiveProfile, std::string("home"));
  EXPECT_EQ(Now().ActiveProfile, "");
  settings.Set(stActiveProfile, std::string("Office"));
  settings.SetChoices(stActiveProfile, {"Home"});
  EXPECT_EQ(Now().ActiveProfile, "");
  Key().WriteString("ActiveProfile", "Other");
  reg.CloseKey();
  ASSERT_TRUE(settings.LoadOptions());
  EXPECT_EQ(Now().ActiveProfile, "");
}

TEST(CharsetTable, NineteenRowsInDescriptionOrder) {
  const std::pair<const char*, const char*> rows[] = {
      {"Arabic (Windows)", "windows-1256"},
      {"Baltic (Windows)", "windows-1257"},
      {"Central European (ISO)", "iso-8859-2"},
      {"Central European (Windows)", "windows-1250"},
      {"Cyrillic (ISO)", "iso-8859-5"},
      {"Cyrillic (KOI8-R)", "koi8-r"},
      {"Cyrillic (KOI8-U)", "koi8-u"},
      {"Cyrillic (Windows)", "windows-1251"},
      {"Greek (ISO)", "iso-8859-7"},
      {"Greek (Windows)", "windows-1253"},
      {"Hebrew (Windows)", "windows-1255"},
      {"Thai (Windows)", "windows-874"},
      {"Turkish (Windows)", "windows-1254"},
      {"Unicode (UTF-7)", "utf-7"},
      {"Unicode (UTF-8)", "utf-8"},
      {"User Defined", "x-user-defined"},
      {"Vietnamese (Windows)", "windows-1258"},
      {"Western European (ISO)", "iso-8859-1"},
      {"Western European (Windows)", "windows-1252"},
  };
  ASSERT_EQ(CharsetTable.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_STREQ(CharsetTable[i].Description, rows[i].first) << i;
    EXPECT_STREQ(CharsetTable[i].Charset, rows[i].second) << i;
    EXPECT_EQ(CharsetMimeName(static_cast<int>(i)), rows[i].second) << i;
  }
  EXPECT_EQ(UserDefinedCharset, 15);
  EXPECT_STREQ(CharsetTable[0].Description, "Arabic (Windows)");
  EXPECT_STREQ(CharsetTable[0].Charset, "windows-1256");
  EXPECT_EQ(CharsetLine(18), "Western European (Windows), windows-1252");
  EXPECT_EQ(CharsetLine(15), "User Defined, x-user-defined");
  EXPECT_EQ(CharsetLine(14), "Unicode (UTF-8), utf-8");
  EXPECT_EQ(CharsetLine(11), "Thai (Windows), windows-874");
  for (size_t i = 1; i < CharsetTable.size(); ++i)
    EXPECT_LT(std::string(CharsetTable[i - 1].Description), std::string(CharsetTable[i].Description)) << i;
  EXPECT_EQ(CharsetMimeName(18), "windows-1252");
  EXPECT_EQ(CharsetMimeName(-1), "x-user-defined");
  EXPECT_EQ(CharsetMimeName(19), "x-user-defined");
  EXPECT_EQ(CharsetLine(19), "");
}

}  // namespace
