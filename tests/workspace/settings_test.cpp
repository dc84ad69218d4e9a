#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

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
    DataBaseDir = MailDir = SQLFileDir = SQLDataBase = ReportDir = "";
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

  std::string dir;
  TRegistry reg;
  TAppSettings settings{reg};
};

TEST_F(SettingsTest, MissingFolderValuesBecomeTheProgramFolder) {
  std::string scheme = "old";
  ASSERT_TRUE(settings.LoadSettings(scheme));
  EXPECT_EQ(scheme, "");
  EXPECT_EQ(DataBaseDir, "");
  TAppSettings::ReplaceEmptyFolders("/app/");
  for (const std::string* s : {&DataBaseDir, &MailDir, &SQLFileDir, &SQLDataBase, &ReportDir}) EXPECT_EQ(*s, "/app/");
}

TEST_F(SettingsTest, FolderValuesAreReadAndWrittenOneAtATime) {
  Key().WriteString("DataBaseDir", "/d/");
  reg.WriteString("MailDir", "/m/");
  reg.WriteString("SQLFileDir", "/s/");
  reg.WriteString("SQLDataBase", "/s/db.mdb");
  reg.WriteString("ReportDir", "/r/");
  reg.WriteString("ActiveScheme", "Replies");
  reg.CloseKey();
  std::string scheme;
  ASSERT_TRUE(settings.LoadSettings(scheme));
  EXPECT_EQ(DataBaseDir, "/d/");
  EXPECT_EQ(MailDir, "/m/");
  EXPECT_EQ(SQLFileDir, "/s/");
  EXPECT_EQ(SQLDataBase, "/s/db.mdb");
  EXPECT_EQ(ReportDir, "/r/");
  EXPECT_EQ(scheme, "Replies");
  TAppSettings::ReplaceEmptyFolders("/app/");
  EXPECT_EQ(DataBaseDir, "/d/");
  EXPECT_FALSE(reg.HasCurrentKey()) << "the key is closed after every group";

  struct TWriter {
    void (TAppSettings::*save)();
    std::string* global;
    const char* name;
  };
  const TWriter writers[] = {
      {&TAppSettings::SaveDataBaseDir, &DataBaseDir, "DataBaseDir"},
      {&TAppSettings::SaveMailDir, &MailDir, "MailDir"},
      {&TAppSettings::SaveSQLFileDir, &SQLFileDir, "SQLFileDir"},
      {&TAppSettings::SaveSQLDataBase, &SQLDataBase, "SQLDataBase"},
      {&TAppSettings::SaveReportDir, &ReportDir, "ReportDir"},
  };
  for (const auto& w : writers) {
    *w.global = std::string("/new/") + w.name;
    (settings.*w.save)();
    EXPECT_FALSE(reg.HasCurrentKey());
    TRegistry r(reg.FileName());
    ASSERT_TRUE(r.OpenKey("\\" + RegKeyPath, false));
    EXPECT_EQ(r.ReadString(w.name), *w.global);
  }
  settings.SaveActiveScheme("Orders");
  settings.LoadSettings(scheme);
  EXPECT_EQ(scheme, "Orders");
}

TEST_F(SettingsTest, MistypedStringReadsAsEmptyAndStartUpGoesOn) {
  Key().WriteInteger("DataBaseDir", 5);
  reg.WriteBinaryData("MailDir", {1, 2});
  reg.CloseKey();
  std::string scheme;
  EXPECT_TRUE(settings.LoadSettings(scheme));
  EXPECT_EQ(DataBaseDir, "");
  EXPECT_EQ(MailDir, "");
}

TEST_F(SettingsTest, KeyThatCannotBeOpenedSkipsTheGroup) {
  SQLFileDir = "/kept/";
  DataBaseDir = "/cleared/";
  BreakTheFile();
  std::string scheme = "kept";
  EXPECT_FALSE(settings.LoadSettings(scheme));
  EXPECT_EQ(scheme, "kept");
  EXPECT_EQ(SQLFileDir, "/kept/");
  EXPECT_EQ(DataBaseDir, "");  // cleared before the key is opened
  TOptionValues v;
  v.Threads = 42;
  EXPECT_FALSE(settings.LoadOptions(v));
  EXPECT_EQ(v.Threads, 42);
  settings.SaveMailDir();  // silent
  TOptionMarks marks{};
  marks[omThreads] = true;
  EXPECT_FALSE(settings.WriteMarkedOptions(v, marks));
  EXPECT_EQ(settings.ReadDefaultCharset(), 15);
}

TEST_F(SettingsTest, OptionsWithoutStoredValuesReadAsTheInitialState) {
  TOptionValues v;
  v.Threads = 99;
  v.ActiveProfile = "x";
  ASSERT_TRUE(settings.LoadOptions(v));
  EXPECT_EQ(v, TOptionValues());
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
  TOptionValues v;
  ASSERT_TRUE(settings.LoadOptions(v));
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
  ASSERT_TRUE(settings.LoadOptions(v));
  EXPECT_TRUE(v.ConfirmDel);
  EXPECT_EQ(v.Threads, 15);
  EXPECT_EQ(v.DefaultCharset, -1);
  EXPECT_EQ(v.ActiveProfile, "");
  EXPECT_EQ(v.SortColor, 14);
  EXPECT_EQ(v.DBFont, "");
  EXPECT_EQ(v.TagSign, 0);
  Key().WriteInteger("Threads", 101);
  reg.CloseKey();
  ASSERT_TRUE(settings.LoadOptions(v));
  EXPECT_EQ(v.Threads, 15);
}

TEST_F(SettingsTest, OnlyMarkedOptionsAreWrittenWithTheirTypes) {
  TOptionValues v;
  v.ConfirmDel = true;
  v.Threads = 7;
  v.DefaultCharset = 14;
  v.ActiveProfile = "Home";
  v.SortColor = 9;
  v.DBFont = "Mono";
  v.TagSign = 3;
  TOptionMarks none{};
  ASSERT_TRUE(settings.WriteMarkedOptions(v, none));
  EXPECT_FALSE(fs::exists(reg.FileName())) << "nothing to write: the key is not even opened";

  TOptionMarks marks{};
  marks[omThreads] = true;
  ASSERT_TRUE(settings.WriteMarkedOptions(v, marks));
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Threads"});

  marks.fill(true);
  ASSERT_TRUE(settings.WriteMarkedOptions(v, marks));
  TRegistry r(reg.FileName());
  ASSERT_TRUE(r.OpenKey("\\" + RegKeyPath, false));
  EXPECT_EQ(r.GetDataType("ConfirmDel"), TRegDataType::Integer);
  EXPECT_EQ(r.ReadInteger("ConfirmDel"), 1);
  EXPECT_EQ(r.ReadInteger("DefaultCharset"), 14);
  EXPECT_EQ(r.ReadString("ActiveProfile"), "Home");
  EXPECT_EQ(r.ReadInteger("SortColor"), 9);
  EXPECT_EQ(r.ReadString("DBFont"), "Mono");
  EXPECT_EQ(r.ReadInteger("TagSign"), 3);
  TOptionValues back;
  ASSERT_TRUE(settings.LoadOptions(back));
  EXPECT_EQ(back, v);

  settings.SaveConfirmDel(false);
  ASSERT_TRUE(settings.LoadOptions(back));
  EXPECT_FALSE(back.ConfirmDel);
}

// A dialog stand-in: ShowModal applies the user's edits and answers.
class TFakeView : public IOptionsView {
public:
  TOptionValues Values() const override { return shown; }
  void ShowValues(const TOptionValues& v) override { shown = v; ++showCount; }
  bool ShowModal() override {
    marks = {};
    if (edit) edit(*this);
    return ok;
  }
  TOptionMarks Marks() const override { return marks; }

  TOptionValues shown;
  TOptionMarks marks{};
  bool ok = true;
  std::function<void(TFakeView&)> edit;
  int showCount = 0;
};

TEST_F(SettingsTest, Options1ClickWritesOnlyTheChangedOption) {
  Key().WriteInteger("SortColor", 2);
  reg.CloseKey();
  TFakeView view;
  view.edit = [](TFakeView& v) {
    v.shown.Threads = 33;
    v.marks[omThreads] = true;
    v.shown.SortColor = 5;  // changed without its mark: not written
  };
  int repaints = 0;
  EXPECT_TRUE(settings.Options1Click(view, [&] { ++repaints; }));
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"SortColor", "Threads"}));
  EXPECT_EQ(repaints, 0);
  EXPECT_EQ(view.shown.Threads, 33);
  EXPECT_EQ(view.shown.SortColor, 2) << "reloaded from the store after the dialog";
  EXPECT_EQ(view.showCount, 2);

  view.edit = [](TFakeView& v) {
    v.shown.SortColor = 5;
    v.marks[omSortColor] = true;
  };
  settings.Options1Click(view, [&] { ++repaints; });
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
