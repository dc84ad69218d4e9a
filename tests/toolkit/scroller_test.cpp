#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Reader.h"

namespace {

class Scroller : public ::testing::Test {
protected:
  void SetUp() override {
    r.SetDefaultBlanks();
    r.SetStandardDelimiters();
  }
  std::vector<std::string> WindowTexts() const {
    std::vector<std::string> out;
    for (const auto& t : s.Window) out.push_back(t.Text);
    return out;
  }
  TReader r;
  TScroller s{&r};
};

}  // namespace

TEST_F(Scroller, EmptyText) {
  s.SetText("", 0);
  EXPECT_EQ(s.Window[0].Status, tsEnd);
  EXPECT_EQ(s.Previous.Status, tsEnd);
  EXPECT_EQ(s.Previous.Position, 0);
  EXPECT_EQ(s.Previous.KeyNum, -1);
  EXPECT_EQ(s.Length, 0);
}

TEST_F(Scroller, StartPosition) {
  struct Case {
    int start;
    std::string text, blank;
    int position;
  };
  const std::vector<Case> cases = {
      {4, "def", "", 7},   // reading starts at index 5
      {3, "def", " ", 7},
      {0, "abc", "", 3},
      {-5, "abc", "", 3},  // clamped to the text
  };
  for (const auto& c : cases) {
    s.SetText("abc def", c.start);
    EXPECT_EQ(s.Window[0].Text, c.text) << c.start;
    EXPECT_EQ(s.Window[0].Blank, c.blank) << c.start;
    EXPECT_EQ(s.Window[0].Position, c.position) << c.start;
    EXPECT_EQ(s.Previous.Position, c.start < 0 ? 0 : c.start);
  }
  s.SetText("abc", 99);
  EXPECT_EQ(s.Window[0].Status, tsEnd);
  EXPECT_EQ(s.Window[0].Position, 3);
}

TEST_F(Scroller, WindowAndNumberPieces) {
  s.SetText("x=1.5;", 0);
  EXPECT_EQ(WindowTexts(), (std::vector<std::string>{"x", "=", "1", ".", "5", ";"}));
  s.Next();
  EXPECT_EQ(s.Previous.Text, "x");
  EXPECT_EQ(s.Window[0].Text, "=");
  EXPECT_EQ(s.Window[1].Text, "1");  // still in pieces in the look-ahead
  s.Next();
  EXPECT_EQ(s.Window[0].Text, "1.5");
  EXPECT_EQ(s.Window[0].Status, tsDecimal);
  EXPECT_EQ(s.Window[0].Position, 5);
  EXPECT_EQ(s.Window[0].Structure, 0);
  EXPECT_EQ(s.Window[0].Properties, nullptr);
  EXPECT_EQ(s.Window[1].Text, ";");
  EXPECT_EQ(s.Window[2].Status, tsEnd);
  s.Next();
  EXPECT_EQ(s.Previous.Text, "1.5");
  EXPECT_EQ(s.Window[0].Text, ";");
  s.Next();
  EXPECT_EQ(s.Window[0].Status, tsEnd);
  EXPECT_EQ(s.Window[0].Position, 6);
}

TEST_F(Scroller, DeleteToken) {
  struct Case {
    int index;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {1, {"a", "c", "d", "e", "f", "g"}},
      {0, {"b", "c", "d", "e", "f", "g"}},
      {4, {"a", "b", "c", "d", "f", "g"}},
      {5, {"a", "b", "c", "d", "e", "g"}},
      {9, {"a", "b", "c", "d", "e", "g"}},
      {-1, {"a", "b", "c", "d", "e", "f"}},
  };
  for (const auto& c : cases) {
    s.SetText("a b c d e f g h", 0);
    TPosition before = s.Previous;
    s.DeleteToken(c.index);
    EXPECT_EQ(WindowTexts(), c.expected) << c.index;
    EXPECT_EQ(s.Previous.Position, before.Position);
  }
}

TEST_F(Scroller, EndOfText) {
  s.SetText("a b   ", 0);
  s.Next();
  EXPECT_EQ(s.Window[0].Text, "b");
  EXPECT_EQ(s.Window[1].Status, tsEnd);
  EXPECT_EQ(s.Window[1].Blank, "");  // trailing blanks belong to no token
  EXPECT_EQ(s.Window[1].Position, 3);
  for (int i = 0; i < 10; ++i) s.Next();
  EXPECT_EQ(s.Window[0].Status, tsEnd);
  EXPECT_EQ(s.Window[0].Text, "");
  EXPECT_EQ(s.Window[0].Position, 3);
  EXPECT_EQ(s.Window[5].Position, 3);
}

TEST_F(Scroller, CustomStatus) {
  std::vector<std::string> seen;
  r.OnCustomStatus = [&](TScroller* sender) {
    EXPECT_EQ(sender, &s);
    TPosition& t = sender->Window[0];
    seen.push_back(t.Text);
    if (t.Text == "<") {
      t.Status = 7;
      t.KeyNum = 1;
    }
    if (t.Text == "skip") sender->DeleteToken(1);  // the host may drop tokens
  };
  s.SetText("<b> skip gone 2.5", 0);
  EXPECT_EQ(s.Window[0].Status, 7);
  EXPECT_EQ(s.Window[0].KeyNum, 1);
  while (s.Window[0].Status != tsEnd) s.Next();
  // Fired once per token at hand, after numbers are joined, and at the end.
  EXPECT_EQ(seen, (std::vector<std::string>{"<", "b", ">", "skip", "2.5", ""}));
}

TEST_F(Scroller, RegistrationsTakeEffectForLaterTokens) {
  s.SetText("one two three four five six seven eight", 0);
  r.AddKeyWord("seven", 3, 0, false, nullptr);
  r.AddKeyWord("two", 3, 0, false, nullptr);
  s.Next();
  EXPECT_EQ(s.Window[0].Text, "two");
  EXPECT_EQ(s.Window[0].Status, tsWord);  // read before the change
  while (s.Window[0].Text != "seven") s.Next();
  EXPECT_EQ(s.Window[0].Status, tsKeyWord);
  r.DeleteWord("seven");
  r.DeleteWord("two");
  s.Next();
  EXPECT_EQ(s.Window[0].Text, "eight");
}

TEST_F(Scroller, LongTextInOnePass) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "w" + std::to_string(i) + (i % 2 ? "+" : " ") + "3.25 ";
  s.SetText(text, 0);
  int words = 0, numbers = 0, delims = 0;
  for (; s.Window[0].Status != tsEnd; s.Next()) {
    words += s.Window[0].Status == tsWord;
    numbers += s.Window[0].Status == tsDecimal;
    delims += s.Window[0].Status == tsDelimiter;
  }
  EXPECT_EQ(words, 2000);
  EXPECT_EQ(numbers, 2000);
  EXPECT_EQ(delims, 1000);
  EXPECT_EQ(s.Window[0].Position, static_cast<int>(text.size()) - 1);
}
