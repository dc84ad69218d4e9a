#include "toolkit/Synbuild.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/SysUtils.h"

namespace {

struct El {
  int flags, blockNum, status, keyNum, a;
  bool operator==(const El&) const = default;
};

std::vector<El> Elements(const TPatternBlock& b) {
  std::vector<El> out;
  for (const auto& e : b.Elements) out.push_back({e.Flags, e.BlockNum, e.Status, e.KeyNum, e.A});
  return out;
}

int Build(TSyntaxBuilder& sb, const std::vector<std::string>& lines, int& pos) {
  sb.SyntaxDescr = lines;
  pos = -1;
  return sb.Build(pos);
}

// Index of the last character of the n-th occurrence of what in text.
int At(const std::string& text, const std::string& what, int n = 1) {
  size_t p = std::string::npos;
  for (int i = 0; i < n; ++i) p = text.find(what, p == std::string::npos ? 0 : p + 1);
  return static_cast<int>(p + what.size());
}

}  // namespace

TEST(SyntaxBuilder, ErrorTexts) {
  EXPECT_STREQ(SyntaxErrorText[0], "No Error");
  EXPECT_STREQ(SyntaxErrorText[6], "\"Block\" or \"Status\" expected");
  EXPECT_STREQ(SyntaxErrorText[12], ", or ; expected");
  EXPECT_STREQ(SyntaxErrorText[13], ". expected");
}

TEST(SyntaxBuilder, Errors) {
  struct Case {
    std::string text;
    int error;
    std::string at;  // the token the error is reported at
    int occurrence;
  };
  const std::vector<Case> cases = {
      {"x{A} = Status(N:1).", 1, "x", 1},
      {"1.5{A} = Status(N:1).", 1, "1.5", 1},
      {"10 A} = Status(N:1).", 2, "A", 1},
      {"10{;} = Status(N:1).", 3, ";", 1},
      {"10{A = Status(N:1).", 4, "=", 1},
      {"10{A} Status(N:1).", 5, "Status", 1},
      {"10{A} = State(N:1).", 6, "State", 1},
      {"10{A} = Status N:1).", 7, "N", 1},
      {"10{A} = Status(K:1).", 8, ")", 1},
      {"10{A} = Status(N 1).", 9, "1", 2},
      {"10{A} = Status(N:x).", 10, "x", 1},
      {"10{A} = Status(N:-1).", 10, "-", 1},
      {"10{A} = Status(N:1 N:2).", 11, "N", 2},
      {"10{A} = Block(N:20 K:1).", 11, "K", 1},
      {"10{A} = Block(N:20 F).", 11, "F", 1},
      {"10{A} = Status(N:1) Status(N:2).", 12, "Status", 2},
      {"10{A} = Status(N:1)", 13, ")", 1},
      {"10{A} = Status(N:1);", 13, ";", 1},
      {"10{A} = Status(N:1), ", 13, ",", 1},
  };
  for (const auto& c : cases) {
    TSyntaxBuilder sb;
    int pos;
    EXPECT_EQ(Build(sb, {c.text}, pos), c.error) << c.text;
    EXPECT_EQ(pos, At(c.text, c.at, c.occurrence)) << c.text;
    EXPECT_TRUE(sb.Pattern.empty()) << c.text;
  }
}

TEST(SyntaxBuilder, Accepted) {
  TSyntaxBuilder sb;
  int pos;
  ASSERT_EQ(Build(sb, {"10{A} = Status(N:1)."}, pos), 0);
  ASSERT_EQ(sb.Pattern.size(), 1u);
  EXPECT_EQ(sb.Pattern[0].Number, 10);
  EXPECT_EQ(sb.Pattern[0].Name, "A");
  EXPECT_EQ(Elements(sb.Pattern[0]), (std::vector<El>{{1, -1, 1, -1, 1}}));

  ASSERT_EQ(Build(sb, {"10{A} = Status(N:1), block(n:20 a:0 i)."}, pos), 0);
  EXPECT_EQ(Elements(sb.Pattern[0]), (std::vector<El>{{1, -1, 1, -1, 1}, {4, 20, -1, -1, 0}}));

  ASSERT_EQ(Build(sb, {"10{A} = Status(N:1) or Status(N:2); 20{B} = Block(N:10)."}, pos), 0);
  ASSERT_EQ(sb.Pattern.size(), 2u);
  EXPECT_EQ(Elements(sb.Pattern[0]), (std::vector<El>{{3, -1, 1, -1, 1}, {1, -1, 2, -1, 1}}));
  EXPECT_EQ(sb.Pattern[1].Number, 20);
  EXPECT_EQ(Elements(sb.Pattern[1]), (std::vector<El>{{0, 10, -1, -1, 1}}));

  // Attributes in any order, over several lines, "OR" in capitals.
  ASSERT_EQ(Build(sb, {"7{X} =", "Status(F K:3 I A:2 N:6)", "OR Block(I N:7)."}, pos), 0);
  EXPECT_EQ(Elements(sb.Pattern[0]), (std::vector<El>{{1 | 2 | 4 | 8, -1, 6, 3, 2}, {4, 7, -1, -1, 1}}));

  // A failed build empties what an earlier one compiled.
  ASSERT_EQ(Build(sb, {"10{A} = Status(N:1)"}, pos), 13);
  EXPECT_TRUE(sb.Pattern.empty());

  // No token at all: no error, one block without a number.
  ASSERT_EQ(Build(sb, {}, pos), 0);
  ASSERT_EQ(sb.Pattern.size(), 1u);
  EXPECT_EQ(sb.Pattern[0].Number, -1);
  EXPECT_TRUE(sb.Pattern[0].Elements.empty());
}

TEST(SyntaxBuilder, ManyBlocksAndElements) {
  std::string text;
  for (int b = 1; b <= 40; ++b) {
    text += std::to_string(b) + "{B" + std::to_string(b) + "} = ";
    for (int e = 0; e < 35; ++e) text += std::string(e ? ", " : "") + "Status(N:" + std::to_string(e) + ")";
    text += b == 40 ? "." : ";";
  }
  TSyntaxBuilder sb;
  int pos;
  ASSERT_EQ(Build(sb, {text}, pos), 0);
  ASSERT_EQ(sb.Pattern.size(), 40u);
  EXPECT_EQ(sb.Pattern[39].Number, 40);
  ASSERT_EQ(sb.Pattern[39].Elements.size(), 35u);
  EXPECT_EQ(sb.Pattern[39].Elements[34].Status, 34);
}

TEST(SyntaxBuilder, NumberBeyond32BitsThrows) {
  TSyntaxBuilder sb;
  int pos;
  EXPECT_THROW(Build(sb, {"10{A} = Status(N:99999999999)."}, pos), EConvertError);
  EXPECT_TRUE(sb.Pattern.empty());
}

TEST(SyntaxBuilder, OwnReaderIsIgnoredByBuild) {
  TSyntaxBuilder sb;
  bool called = false;
  sb.OnCustomStatus() = [&](TScroller*) { called = true; };
  sb.SetNumericFormat(nfNone);  // would turn every number into a word
  EXPECT_EQ(sb.SyntaxReader().NumericFormat(), nfNone);
  sb.SetScientificNumber(false);
  EXPECT_FALSE(sb.SyntaxReader().ScientificNumber);
  int pos;
  EXPECT_EQ(Build(sb, {"10{A} = Status(N:1)."}, pos), 0);
  EXPECT_FALSE(called);
}

TEST(SyntaxBuilder, MainWindowHtmlGrammar) {
  TSyntaxBuilder sb;
  sb.SyntaxReader().SetDefaultBlanks();
  sb.SyntaxReader().SetStandardDelimiters();
  int pos;
  ASSERT_EQ(Build(sb, HtmlSyntaxDescr(), pos), 0);
  ASSERT_EQ(sb.Pattern.size(), 5u);
  std::vector<int> numbers;
  for (const auto& b : sb.Pattern) numbers.push_back(b.Number);
  EXPECT_EQ(numbers, (std::vector<int>{10, 20, 30, 40, 50}));
  EXPECT_EQ(sb.Pattern[0].Name, "Word_Or_Delimiter_Or_KeyWord");
  std::vector<El> words;
  for (int s = 1; s <= 6; ++s) words.push_back({s < 6 ? 3 : 1, -1, s, -1, 1});
  EXPECT_EQ(Elements(sb.Pattern[0]), words);
  EXPECT_EQ(sb.Pattern[1].Name, "Tag");
  EXPECT_EQ(Elements(sb.Pattern[1]), (std::vector<El>{{1, -1, 7, 1, 1}, {0, 50, -1, -1, 0}, {1, -1, 7, 2, 1}}));
  EXPECT_EQ(sb.Pattern[2].Name, "Html_part_1");
  EXPECT_EQ(Elements(sb.Pattern[2]), (std::vector<El>{{0, 20, -1, -1, 0}, {4, 10, -1, -1, 0}}));
  EXPECT_EQ(sb.Pattern[3].Name, "Html");
  EXPECT_EQ(Elements(sb.Pattern[3]), (std::vector<El>{{0, 30, -1, -1, 0}}));
  EXPECT_EQ(sb.Pattern[4].Name, "Tag_Content");
  EXPECT_EQ(Elements(sb.Pattern[4]), (std::vector<El>{{2, 20, -1, -1, 1}, {0, 10, -1, -1, 1}}));
}
