// "Schemes.dat" and the scheme table: the file's bytes, old formats, damaged
// files, the edits and their index rules, and saving at once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "support/WithdrawalTestSupport.h"
#include "withdrawal/ExtractData.h"
#include "withdrawal/SchemeCommands.h"
#include "withdrawal/SchemesFile.h"
#include "workspace/AppSettings.h"

namespace {

std::string Str(const std::string& s) { return LE32(static_cast<int32_t>(s.size())) + s; }

// Answers a delete question the way the withdrawal page does: with a Yes/No
// confirmation box, which the tests script.
class TConfirmingView : public ISchemeCommandsView {
public:
  bool ConfirmDelete(const std::string& question) override {
    return ConfirmBox(question, TMsgButtons::YesNo) == TMsgResult::Yes;
  }
};

class SchemesTest : public ::testing::Test {
protected:
  SchemesTest() : data(temp.Path()) {
    data.DefaultCharset = [] { return DefaultSchemeCharsetRow; };
  }
  std::string File() const { return temp.File("Schemes.dat"); }

  TTempFolder temp;
  TExtractData data;
};

TScheme Sample(const std::string& name) {
  TScheme s;
  s.Name = name;
  s.Account = "Work";
  s.Reserved = "r";
  s.ContentField = "BODY";
  s.TimeField = "WHEN";
  s.FromNameField = "WHO";
  s.FromEmailField = "MAIL";
  s.SubjectField = "SUBJ";
  s.Flag1 = false;
  s.Flag2 = true;
  s.Response = {false, true, "a@x.test", "Re", "b@x.test", "Fw", "Thanks\r\nÜbersicht", 3};
  s.Markers = {"Name:", "name:", "Город:"};
  s.Values = {{"Name:", EndOfLineMarker, "NAME", ""}, {BeginningOfTextMarker, AnyMarkerMarker, "", ""}};
  return s;
}

TEST_F(SchemesTest, RoundTripKeepsEveryFieldButTheValues) {
  data.Schemes = {Sample("FIRST"), Sample("SECOND"), TScheme{}};
  data.Schemes[0].Values[0].Value = "parsed, never stored";
  ASSERT_TRUE(data.SaveSchemes(File()));
  TExtractData back(temp.Path());
  back.LoadSchemes(File());
  data.Schemes[0].Values[0].Value.clear();
  EXPECT_EQ(back.Schemes, data.Schemes);
}

TEST_F(SchemesTest, NewSchemeBytes) {
  data.AddScheme("ORDERS");
  ASSERT_TRUE(data.SaveSchemes(File()));
  const std::string expected = LE32(2) + LE32(1) + Str("ORDERS") + std::string(7 * 4, '\0') +
                               std::string("\x01\x00\x01\x01", 4) + std::string(5 * 4, '\0') + LE32(15) + LE32(0) +
                               LE32(0);
  EXPECT_EQ(ReadFileBytes(File()), expected);
}

TEST_F(SchemesTest, NewSchemeTakesTheDefaultCharsetSetting) {
  if (!std::getenv("LARKPOST_REGISTRY")) GTEST_SKIP() << "needs the test registry";
  TRegistry& reg = SettingsRegistry();
  ASSERT_TRUE(reg.OpenKey(RegKeyPath, true));
  reg.WriteInteger("DefaultCharset", 7);
  reg.CloseKey();
  TAppSettings settings(reg);
  EXPECT_EQ(DefaultSchemeCharset(settings), 7);
  TExtractData fresh(temp.Path());
  fresh.DefaultCharset = [&] { return DefaultSchemeCharset(settings); };
  fresh.AddScheme("A");
  EXPECT_EQ(fresh.Schemes[0].Response.Charset, 7);
  ASSERT_TRUE(reg.OpenKey(RegKeyPath, false));
  reg.DeleteValue("DefaultCharset");
  reg.CloseKey();
  EXPECT_EQ(DefaultSchemeCharset(settings), 15);
}

TEST_F(SchemesTest, FormatOneHasNoSenderOrSubjectFieldsAndIsRewrittenAsTwo) {
  std::string bytes = LE32(1) + LE32(1) + Str("OLD") + Str("Acc") + Str("") + Str("MEMO") + Str("DATE") +
                      std::string("\x01\x00\x00\x01", 4) + Str("to") + Str("rs") + Str("fw") + Str("fs") + Str("tx") +
                      LE32(4) + LE32(2) + Str("A:") + Str("B:") + LE32(1) + Str("A:") + Str("B:") + Str("F");
  WriteFileBytes(File(), bytes);
  data.LoadSchemes(File());
  ASSERT_EQ(data.Schemes.size(), 1u);
  const TScheme& s = data.Schemes[0];
  EXPECT_EQ(s.Name, "OLD");
  EXPECT_EQ(s.TimeField, "DATE");
  EXPECT_EQ(s.FromNameField, "");
  EXPECT_EQ(s.FromEmailField, "");
  EXPECT_EQ(s.SubjectField, "");
  EXPECT_FALSE(s.Response.RespondTo);
  EXPECT_TRUE(s.Response.ForwardTo);
  EXPECT_EQ(s.Response.ResponseText, "tx");
  EXPECT_EQ(s.Response.Charset, 4);
  EXPECT_EQ(s.Markers, (std::vector<std::string>{"A:", "B:"}));
  ASSERT_EQ(s.Values.size(), 1u);
  EXPECT_EQ(s.Values[0], (TScheme::TValue{"A:", "B:", "F", ""}));
  ASSERT_TRUE(data.SaveSchemes(File()));
  std::string saved = ReadFileBytes(File());
  EXPECT_EQ(Int32At(saved, 0), 2);
  EXPECT_EQ(DecodeSchemes(saved), data.Schemes);
}

TEST_F(SchemesTest, FormatZeroOrLessAndMissingFilesGiveNoScheme) {
  for (int32_t format : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(format);
    WriteFileBytes(File(), LE32(format) + LE32(1) + EncodeSchemes({Sample("X")}).substr(8));
    data.Schemes = {Sample("STALE")};
    data.LoadSchemes(File());
    EXPECT_TRUE(data.Schemes.empty());
  }
  data.Schemes = {Sample("STALE")};
  data.LoadSchemes(temp.File("missing.dat"));
  EXPECT_TRUE(data.Schemes.empty());
}

TEST_F(SchemesTest, DamagedFilesKeepTheSchemesBeforeTheDamage) {
  const TSchemes three = {Sample("ONE"), Sample("TWO"), Sample("SIX")};
  const std::string good = EncodeSchemes(three);
  const size_t one = EncodeSchemes({three[0]}).size() - 8;  // bytes of one scheme
  // Cut anywhere: the complete schemes before the cut, never more.
  for (size_t cut = 0; cut < good.size(); ++cut) {
    TSchemes got = DecodeSchemes(good.substr(0, cut));
    size_t complete = cut < 8 ? 0 : (cut - 8) / one;
    ASSERT_EQ(got.size(), complete) << "cut at " << cut;
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], three[i]);
  }
  struct Case {
    const char* what;
    size_t at;
    int32_t value;
    size_t schemes;
  };
  const size_t secondName = 8 + one;
  const Case cases[] = {
      {"count far beyond the file", 4, INT32_MAX, 3},
      {"negative count", 4, -5, 0},
      {"name length beyond the file", secondName, INT32_MAX, 1},
      {"negative name length", secondName, -1, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::string bad = good;
    PutInt32At(bad, k.at, k.value);
    EXPECT_EQ(DecodeSchemes(bad).size(), k.schemes);
  }
  // Random bytes never crash or allocate without bound.
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; ++i) {
    std::string bad = good;
    for (int k = 0; k < 4; ++k) bad[rng() % bad.size()] = static_cast<char>(rng());
    bad.resize(rng() % (bad.size() + 1));
    EXPECT_LE(DecodeSchemes(bad).size(), 3u);
  }
}

// A marker or rule count of 0 or less is an empty list, and the schemes
// after it are read as usual.
TEST_F(SchemesTest, CountsOfZeroOrLessAreEmptyLists) {
  TScheme bare = Sample("BARE");
  bare.Markers.clear();
  bare.Values.clear();
  const TSchemes three = {bare, Sample("TWO"), Sample("SIX")};
  const size_t bareEnd = EncodeSchemes({bare}).size();  // its marker and rule counts are the last 8 bytes
  for (int32_t count : {-1, INT32_MIN}) {
    for (size_t at : {bareEnd - 8, bareEnd - 4}) {
      SCOPED_TRACE(std::to_string(count) + " at " + std::to_string(at));
      std::string bytes = EncodeSchemes(three);
      PutInt32At(bytes, at, count);
      TSchemesDamage damage;
      EXPECT_EQ(DecodeSchemes(bytes, &damage), three);
      EXPECT_FALSE(damage.Damaged);
    }
  }
}

// A damaged file says once what was kept; the first save keeps the file as
// it was beside the new one, so the schemes past the damage are not lost.
TEST_F(SchemesTest, DamagedFileIsReportedAndKeptBeforeTheFirstSave) {
  TScheme bare = Sample("ONE");
  bare.Markers.clear();
  bare.Values.clear();
  const TSchemes three = {bare, Sample("TWO"), Sample("SIX")};
  const std::string good = EncodeSchemes(three);
  const size_t second = EncodeSchemes({bare}).size();
  std::string negativeMarkers = good;
  PutInt32At(negativeMarkers, second - 8, -1);
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> kept;
    std::string message;  // empty: not damaged
  };
  const std::string name = File();
  const Case cases[] = {
      {"a negative marker count is an empty list", negativeMarkers, {"ONE", "TWO", "SIX"}, ""},
      {"cut inside the second scheme",
       good.substr(0, second + 30),
       {"ONE"},
       "The schemes file " + name + " is damaged: 1 of 3 schemes could be read (ONE). The file is kept as " + name +
           ".damaged when the schemes are next saved."},
      {"cut inside the count",
       good.substr(0, 6),
       {},
       "The schemes file " + name + " is damaged: 0 of 0 schemes could be read. The file is kept as " + name +
           ".damaged when the schemes are next saved."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::filesystem::remove(DamagedCopyName(name));
    WriteFileBytes(name, k.bytes);
    TExtractData loaded(temp.Path());
    loaded.DefaultCharset = [] { return DefaultSchemeCharsetRow; };
    TScopedScriptedMessages boxes;
    TConfirmingView view;
    TSchemeCommands commands{loaded, view, name};
    const std::string damage = commands.Load();
    std::vector<std::string> names;
    for (const TScheme& s : loaded.Schemes) names.push_back(s.Name);
    EXPECT_EQ(names, k.kept);
    EXPECT_EQ(damage, k.message);  // the page shows it as an error
    EXPECT_TRUE(boxes.shown.empty());
    // The first edit saves: the unread file first goes beside the new one.
    commands.AddScheme("NEW");
    TSchemes expected = loaded.Schemes;
    EXPECT_EQ(DecodeSchemes(ReadFileBytes(name)), expected);
    if (k.message.empty()) {
      EXPECT_FALSE(std::filesystem::exists(DamagedCopyName(name)));
      EXPECT_EQ(expected.size(), 4u);
      continue;
    }
    EXPECT_EQ(ReadFileBytes(DamagedCopyName(name)), k.bytes);
    // Later saves leave the copy alone and say nothing more.
    commands.AddMarker(0, "Zip:");
    EXPECT_EQ(ReadFileBytes(DamagedCopyName(name)), k.bytes);
    EXPECT_EQ(DecodeSchemes(ReadFileBytes(name)), loaded.Schemes);
    EXPECT_TRUE(boxes.shown.empty());
  }
}

TEST_F(SchemesTest, ZeroByteEndsTheTextButTheWholeLengthIsConsumed) {
  std::string bytes = EncodeSchemes({Sample("AB")});
  bytes.replace(12, 2, std::string("A\0", 2));
  TSchemes got = DecodeSchemes(bytes);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Name, "A");
  EXPECT_EQ(got[0].Account, "Work");
}

TEST_F(SchemesTest, FailedSaveLeavesTheOldFileAndNoTemporary) {
  data.Schemes = {Sample("KEPT")};
  ASSERT_TRUE(data.SaveSchemes(File()));
  const std::string before = ReadFileBytes(File());
  data.Schemes = {Sample("NEW")};
  EXPECT_FALSE(data.SaveSchemes(temp.File("no-such-folder/Schemes.dat")));
  std::filesystem::create_directory(temp.File("Schemes.dat.dir"));
  EXPECT_FALSE(data.SaveSchemes(temp.File("Schemes.dat.dir")));  // a folder in the way
  EXPECT_EQ(ReadFileBytes(File()), before);
  for (auto& e : std::filesystem::directory_iterator(temp.Path()))
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(SchemesTest, OperationsOutsideTheListDoNothing) {
  data.AddScheme("A");
  const TSchemes before = data.Schemes;
  for (int i : {-1, 1, 99}) {
    data.DeleteScheme(i);
    data.AddMarker(i, "m");
    data.AddValueRule(i, {});
    data.SetContentField(i, "x");
    data.SetResponse(i, {});
    data.ParseText(i, "text");
    data.DeleteValueRule(0, i);
    data.SetRuleField(0, i, "x");
    data.DeleteMarker(0, i);
  }
  EXPECT_EQ(data.Schemes, before);
}

TEST_F(SchemesTest, DeleteValueRuleMovesTheLaterRulesDown) {
  data.AddScheme("A");
  for (const char* f : {"F1", "F2", "F3"}) data.AddValueRule(0, {"a", "b", f, std::string("v") + f});
  data.DeleteValueRule(0, 0);
  ASSERT_EQ(data.Schemes[0].Values.size(), 2u);
  EXPECT_EQ(data.Schemes[0].Values[0].Field, "F2");
  EXPECT_EQ(data.Schemes[0].Values[1].Field, "F3");
  data.DeleteValueRule(0, 1);
  data.DeleteValueRule(0, 0);
  EXPECT_TRUE(data.Schemes[0].Values.empty());
}

TEST_F(SchemesTest, DeletingAMarkerKeepsTheRulesThatNameIt) {
  data.AddScheme("A");
  data.AddMarker(0, "Name:");
  data.AddValueRule(0, {"Name:", EndOfLineMarker, "F", ""});
  data.DeleteMarker(0, 0);
  EXPECT_TRUE(data.Schemes[0].Markers.empty());
  EXPECT_EQ(data.Schemes[0].Values[0].AfterMarker, "Name:");
  data.ParseText(0, "Name: John");
  EXPECT_EQ(data.Schemes[0].Values[0].Value, "");
}

class SchemeCommandsTest : public SchemesTest {
protected:
  TSchemes Saved() {
    TSchemes s;
    ReadSchemesFile(File(), s);
    return s;
  }
  TScopedScriptedMessages boxes;
  TConfirmingView view;
  TSchemeCommands commands{data, view, File()};
};

TEST_F(SchemeCommandsTest, EveryEditIsSavedAtOnce) {
  int s = commands.AddScheme("ORDERS");
  EXPECT_EQ(Saved(), data.Schemes);
  commands.AddMarker(s, "Name:");
  EXPECT_EQ(commands.AddMarker(s, "name:"), 1);  // differing only in case: both kept
  int r = commands.AddValueRule(s);
  EXPECT_EQ(data.Schemes[0].Values[size_t(r)], (TScheme::TValue{BeginningOfTextMarker, EndOfLineMarker, "", ""}));
  commands.SetRuleAfterMarker(s, r, "Name:");
  commands.SetRuleUpToMarker(s, r, EndOfTextMarker);
  commands.SetRuleField(s, r, "N");
  commands.SetField(s, TSchemeField::Content, "BODY");
  commands.SetField(s, TSchemeField::Time, "WHEN");
  commands.SetField(s, TSchemeField::FromName, "WHO");
  commands.SetField(s, TSchemeField::FromEmail, "MAIL");
  commands.SetField(s, TSchemeField::Subject, "SUBJ");
  commands.SetAccount(s, "Work");
  TResponseOptions resp{false, false, "a", "b", "c", "d", "e", 2};
  commands.SetResponse(s, resp);
  TSchemes saved = Saved();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved, data.Schemes);
  const TScheme& k = saved[0];
  EXPECT_EQ(k.Markers, (std::vector<std::string>{"Name:", "name:"}));
  EXPECT_EQ(k.Values[0], (TScheme::TValue{"Name:", EndOfTextMarker, "N", ""}));
  EXPECT_EQ(k.ContentField + k.TimeField + k.FromNameField + k.FromEmailField + k.SubjectField, "BODYWHENWHOMAILSUBJ");
  EXPECT_EQ(k.Account, "Work");
  EXPECT_EQ(k.Response, resp);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SchemeCommandsTest, DeletingAsksAndSelectsTheSameOrTheLast) {
  for (const char* n : {"A", "B", "C"}) commands.AddScheme(n);
  boxes.Answer(TMsgResult::No);
  EXPECT_EQ(commands.DeleteScheme(1), std::nullopt);
  EXPECT_EQ(data.Schemes.size(), 3u);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Are You Sure to Delete the Scheme \"B\"");
  EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Confirmation);
  EXPECT_EQ(boxes.shown[0].buttons, TMsgButtons::YesNo);
  boxes.Answer(TMsgResult::Yes);
  EXPECT_EQ(commands.DeleteScheme(1), 1);  // C moves into place
  EXPECT_EQ(data.Schemes[1].Name, "C");
  boxes.Answer(TMsgResult::Yes);
  EXPECT_EQ(commands.DeleteScheme(1), 0);  // the last: the new last is selected
  boxes.Answer(TMsgResult::Yes);
  EXPECT_EQ(commands.DeleteScheme(0), -1);  // the only one: nothing left
  EXPECT_TRUE(Saved().empty());
  EXPECT_EQ(Int32At(ReadFileBytes(File()), 0), 2);

  int s = commands.AddScheme("M");
  commands.AddMarker(s, "x:");
  commands.AddMarker(s, "y:");
  commands.AddValueRule(s);
  commands.AddValueRule(s);
  boxes.shown.clear();
  boxes.Answer(TMsgResult::Yes);
  EXPECT_EQ(commands.DeleteMarker(s, 1), 0);
  boxes.Answer(TMsgResult::Yes);
  EXPECT_EQ(commands.DeleteValueRule(s, 1), 0);
  boxes.Answer(TMsgResult::Yes);
  EXPECT_EQ(commands.DeleteValueRule(s, 0), -1);
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[0].text, "Are You Sure to Delete the Marker \"y:\"");
  EXPECT_EQ(boxes.shown[1].text, "Are You Sure to Delete \"Value-2\"");
  EXPECT_EQ(Saved(), data.Schemes);
}

}  // namespace
