#include <gtest/gtest.h>

#include "platform/CommandLine.h"
#include "platform/InstanceFrames.h"

namespace {

struct TClassifyCase {
  std::vector<std::string> args;  // without the program path
  std::string project, access, dbase, table;
};

TEST(ClassifyCommandLine, TableOfCommandLines) {
  const TClassifyCase cases[] = {
      {{}, "", "", "", ""},
      {{"a.lkp", "b.dbf"}, "a.lkp", "", "b.dbf", "b.dbf"},
      {{"x.MDB", "y.dbf"}, "", "x.MDB", "y.dbf", "x.MDB"},
      {{"y.dbf", "x.mdb"}, "", "x.mdb", "y.dbf", "x.mdb"},  // Access wins whatever the order
      {{"p.LKP"}, "p.LKP", "", "", ""},
      {{"notes.txt"}, "", "", "", ""},
      {{"README"}, "README", "", "", ""},  // no extension: a project
      {{"one.lkp", "two.lkp", "a.dbf", "b.dbf"}, "one.lkp", "", "a.dbf", "a.dbf"},
      {{"first", "second.lkp"}, "first", "", "", ""},
      {{"/home/u/My Projects/news.Lkp"}, "/home/u/My Projects/news.Lkp", "", "", ""},
      {{"/home/u/v1.2/clients"}, "/home/u/v1.2/clients", "", "", ""},  // the dot is in a folder
      {{"a.dbf.bak", "c.mdb"}, "", "c.mdb", "", "c.mdb"},
      {{"", "t.DbF"}, "", "", "t.DbF", "t.DbF"},
      {{"a."}, "", "", "", ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> params{"/usr/bin/larkpost"};
    params.insert(params.end(), c.args.begin(), c.args.end());
    const TCommandLineFiles r = ClassifyCommandLine(params);
    std::string label;
    for (const auto& a : c.args) label += "[" + a + "]";
    EXPECT_EQ(r.Project, c.project) << label;
    EXPECT_EQ(r.Access, c.access) << label;
    EXPECT_EQ(r.DBase, c.dbase) << label;
    EXPECT_EQ(r.Table(), c.table) << label;
    EXPECT_EQ(r.TableIsAccess(), !c.access.empty()) << label;
  }
}

TEST(ClassifyCommandLine, ProgramPathAloneOrNothingOpensNothing) {
  EXPECT_TRUE(ClassifyCommandLine({}).Empty());
  EXPECT_TRUE(ClassifyCommandLine({"/usr/bin/larkpost"}).Empty());
}

TEST(SplitOpenFilesText, QuotesAndBlanks) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"a.lkp", {"a.lkp"}},
      {"/home/u/My Projects/news.lkp", {"/home/u/My Projects/news.lkp"}},  // blanks stay inside
      {"name  with   runs ", {"name  with   runs "}},
      {"\"a b\" c", {"a b", "c"}},
      {"\"a\"   b   ", {"a", "b"}},  // trailing blanks give no empty argument
      {"\"\"", {}},
      {"\"x\"y\" z\"", {"xy z"}},
      {"\"unclosed quote", {"unclosed quote"}},
      {"\"a\"\"b\"", {"ab"}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(SplitOpenFilesText(text), expected) << text;
}

TEST(SplitOpenFilesText, TextIsCutAt1024Characters) {
  const std::string longName(1500, 'x');
  auto r = SplitOpenFilesText(longName);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].size(), 1024u);
  // Two-byte characters: 1024 of them, never half of one.
  std::string wide;
  for (int i = 0; i < 1100; ++i) wide += "\xC3\xA9";
  r = SplitOpenFilesText(wide);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].size(), 2048u);
}

TEST(AbsoluteArguments, RelativeNamesTakeTheFolderTheyWereGivenIn) {
  const std::pair<std::string, std::string> cases[] = {
      {"clients.dbf", "/home/u/tables/clients.dbf"},
      {"mine/clients.dbf", "/home/u/tables/mine/clients.dbf"},
      {"./news.lkp", "/home/u/tables/news.lkp"},
      {"../Projects/news", "/home/u/Projects/news"},
      {"My Projects/a b.lkp", "/home/u/tables/My Projects/a b.lkp"},
      {"/srv/x.mdb", "/srv/x.mdb"},
      {"", ""},
  };
  std::vector<std::string> given, expected;
  for (const auto& [in, out] : cases) {
    given.push_back(in);
    expected.push_back(out);
  }
  EXPECT_EQ(AbsoluteArguments(given, "/home/u/tables"), expected);
  EXPECT_EQ(AbsoluteArguments(given, "/home/u/tables/"), expected);
  // Without a folder to go by, the names stay as given.
  EXPECT_EQ(AbsoluteArguments(given, ""), given);
}

TEST(InstanceFrames, EncodedFramesReadBackAndOversizedOnesAreRefused) {
  const std::string frame = EncodeInstanceFrame(1026, "/home/u/My Projects/news.lkp");
  ASSERT_EQ(frame.size(), 8u + 28);
  EXPECT_EQ(frame.substr(0, 8), std::string("\x02\x04\0\0\x1c\0\0\0", 8));
  // Nothing to go by until the header is whole; then the whole frame's size.
  for (size_t n = 0; n < 8; ++n) EXPECT_EQ(InstanceFrameSize(frame.data(), n), 0) << n;
  EXPECT_EQ(InstanceFrameSize(frame.data(), 8), static_cast<int64_t>(frame.size()));
  const TInstanceFrame f = DecodeInstanceFrame(frame.data(), frame.size());
  EXPECT_EQ(f.Message, 1026u);
  EXPECT_EQ(f.Text, "/home/u/My Projects/news.lkp");
  EXPECT_EQ(DecodeInstanceAck(EncodeInstanceAck(1025).data()), 1025u);

  // A text of 1100 two-byte characters goes as 1024 of them; a longer length is no frame of ours.
  std::string wide;
  for (int i = 0; i < 1100; ++i) wide += "\xC3\xA9";
  EXPECT_EQ(EncodeInstanceFrame(1026, wide).size(), 8u + 2048);
  const std::string hostile("\x02\x04\0\0\0\0\0\x7f", 8);
  EXPECT_EQ(InstanceFrameSize(hostile.data(), hostile.size()), -1);
}

TEST(CutToChars, NeverSplitsACharacter) {
  EXPECT_EQ(CutToChars("abc", 2), "ab");
  EXPECT_EQ(CutToChars("abc", 5), "abc");
  EXPECT_EQ(CutToChars("\xC3\xA9\xC3\xA9", 1), "\xC3\xA9");
  EXPECT_EQ(CutToChars("\xE2\x82\xAC" "a", 1), "\xE2\x82\xAC");
  EXPECT_EQ(CutToChars("abc", 0), "");
}

}  // namespace
