#include "toolkit/Reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

// (text, status) of every token of a text.
using Tokens = std::vector<std::pair<std::string, int>>;

Tokens Read(TReader& r, const std::string& text) {
  Tokens out;
  TScroller s(&r);
  s.SetText(text, 0);
  for (int guard = 0; s.Window[0].Status != tsEnd && guard < 1000; ++guard, s.Next())
    out.emplace_back(s.Window[0].Text, s.Window[0].Status);
  return out;
}

void Standard(TReader& r) {
  r.SetDefaultBlanks();
  r.SetStandardDelimiters();
}

// Payloads are heap ints; the log records what the reader let go.
struct Host {
  std::vector<int> disposed;
  TReader r;
  Host() {
    r.OnDisposeProperties = [this](TReader*, int, void* p) {
      disposed.push_back(*static_cast<int*>(p));
      delete static_cast<int*>(p);
    };
  }
};

struct Found {
  bool ok;
  int status, structure, keyNum;
};

Found Look(const TReader& r, const std::string& s) {
  Found f{false, -9, -9, -9};
  void* p = nullptr;
  f.ok = r.FindWord(s, f.status, f.structure, f.keyNum, p);
  return f;
}

}  // namespace

TEST(Reader, Defaults) {
  TReader r;
  EXPECT_FALSE(r.WildCardEnabled);
  EXPECT_EQ(r.OrWildCard, '~');
  EXPECT_EQ(r.AndWildCard, '`');
  EXPECT_EQ(r.NumericFormat(), nfPeriod);
  EXPECT_EQ(r.DecimalSeparator(), '.');
  EXPECT_TRUE(r.ScientificNumber);
  EXPECT_FALSE(r.IsBlankChar(' '));
  EXPECT_EQ(Read(r, "a b"), (Tokens{{"a b", tsWord}}));  // no blanks until asked for
  r.SetDefaultBlanks();
  EXPECT_TRUE(r.IsBlankChar('\0'));
  EXPECT_TRUE(r.IsBlankChar(' '));
  EXPECT_FALSE(r.IsBlankChar('!'));
  r.RemoveBlankChar('\n');
  EXPECT_FALSE(r.IsBlankChar('\n'));
  struct {
    TNumericFormat f;
    char sep;
  } formats[] = {{nfNone, '.'}, {nfInteger, '.'}, {nfComma, ','}, {nfPeriod, '.'}};
  for (auto f : formats) {
    r.SetNumericFormat(f.f);
    EXPECT_EQ(r.DecimalSeparator(), f.sep);
  }
}

TEST(Reader, StandardDelimiters) {
  TReader r;
  r.SetStandardDelimiters();
  const std::string all = "!@#$%^&*()+|-=\\[]{};':\",./<>?";
  std::vector<int> listed;
  r.OnRegList = [&](TReader*, const std::string& s, int status, int keyNum, int structure, void*) {
    EXPECT_EQ(status, tsDelimiter);
    EXPECT_EQ(structure, 0);
    EXPECT_EQ(keyNum, static_cast<unsigned char>(s[0]));
    listed.push_back(keyNum);
  };
  r.ListWords();
  EXPECT_EQ(listed.size(), all.size());
  for (char c : all) EXPECT_TRUE(r.IsDelimiter(std::string(1, c))) << c;
  for (char c : std::string("_~`a0 ")) EXPECT_FALSE(r.IsDelimiter(std::string(1, c))) << c;
  // Calling it again replaces, and drops delimiters added in between.
  r.AddDelimiter("<>", 1, 2, nullptr);
  r.SetStandardDelimiters();
  EXPECT_FALSE(r.IsDelimiter("<>"));
  EXPECT_TRUE(r.IsDelimiter("<"));
}

TEST(Reader, Tokenizing) {
  struct Case {
    std::string text;
    std::function<void(TReader&)> setup;
    Tokens expected;
  };
  auto andWord = [](TReader& r) { r.AddKeyWord("And", 1, 10, false, nullptr); };
  auto now = [](TReader& r) {
    r.AddKeyWord("Now", 1, 1, true, nullptr);
    r.AddKeyWord("NOW", 1, 2, true, nullptr);
  };
  const std::vector<Case> cases = {
      {"a<=b", nullptr, {{"a", 1}, {"<", 6}, {"=", 6}, {"b", 1}}},
      {"a<=b", [](TReader& r) { r.AddDelimiter("<=", 0, 1, nullptr); }, {{"a", 1}, {"<=", 6}, {"b", 1}}},
      {"a<>=b", [](TReader& r) { r.AddDelimiter("<>=", 0, 1, nullptr); }, {{"a", 1}, {"<>=", 6}, {"b", 1}}},
      {"a<>b", [](TReader& r) { r.AddDelimiter("<>=", 0, 1, nullptr); }, {{"a", 1}, {"<", 6}, {">", 6}, {"b", 1}}},
      {"AND and aNd andy", andWord, {{"AND", 5}, {"and", 5}, {"aNd", 5}, {"andy", 1}}},
      {"an(and)", andWord, {{"an", 1}, {"(", 6}, {"and", 5}, {")", 6}}},
      {"Now NOW now nOw", now, {{"Now", 5}, {"NOW", 5}, {"now", 1}, {"nOw", 1}}},
      {"x_y~z`w", nullptr, {{"x_y~z`w", 1}}},
      {"  lead  trail  ", nullptr, {{"lead", 1}, {"trail", 1}}},
      {"a\nb", [](TReader& r) { r.RemoveBlankChar('\n'); }, {{"a\nb", 1}}},
      {"a\nb", [](TReader& r) {
         r.RemoveBlankChar('\n');
         r.AddDelimiter("\n", 0, 0, nullptr);
       }, {{"a", 1}, {"\n", 6}, {"b", 1}}},
      {"Ärger ärger", [](TReader& r) { r.AddKeyWord("ÄRGER", 1, 1, false, nullptr); },
       {{"Ärger", 5}, {"ärger", 5}}},
      {"a§b", [](TReader& r) { r.AddDelimiter("§", 0, 1, nullptr); }, {{"a", 1}, {"§", 6}, {"b", 1}}},
      {"x+Y+z", [](TReader& r) { r.AddDelimiter("Y", 0, 1, nullptr); },  // a capital delimiter
       {{"x", 1}, {"+", 6}, {"Y", 6}, {"+", 6}, {"z", 1}}},
      {"", nullptr, {}},
      {"   ", nullptr, {}},
  };
  for (const auto& c : cases) {
    TReader r;
    Standard(r);
    if (c.setup) c.setup(r);
    EXPECT_EQ(Read(r, c.text), c.expected) << c.text;
  }
}

// A run without blanks or delimiters (a damaged file, an encoded blob in a
// text) is one word however long it is, read in one pass.
TEST(Reader, VeryLongWord) {
  TReader r;
  Standard(r);
  r.AddKeyWord("an", 0, 0, false, nullptr);
  const std::string word = "an" + std::string(4 << 20, 'x');
  TScroller s(&r);
  s.SetText(word + "+" + word + " y", 0);
  EXPECT_EQ(s.Window[0].Status, tsWord);
  EXPECT_EQ(s.Window[0].Text.size(), word.size());
  EXPECT_EQ(s.Window[0].Position, static_cast<int>(word.size()));
  EXPECT_EQ(s.Window[1].Text, "+");
  EXPECT_EQ(s.Window[2].Text.size(), word.size());
  EXPECT_EQ(s.Window[3].Text, "y");
}

TEST(Reader, TokenValues) {
  TReader r;
  Standard(r);
  int payload = 0;
  r.AddKeyWord("Begin", 7, 42, false, &payload);
  TScroller s(&r);
  s.SetText(" x  BEGIN", 0);
  EXPECT_EQ(s.Window[0].Blank, " ");
  EXPECT_EQ(s.Window[0].Position, 2);
  EXPECT_EQ(s.Window[0].KeyNum, -1);
  const TPosition& b = s.Window[1];
  EXPECT_EQ(b.Text, "BEGIN");
  EXPECT_EQ(b.Blank, "  ");
  EXPECT_EQ(b.Position, 9);
  EXPECT_EQ(b.Structure, 7);
  EXPECT_EQ(b.KeyNum, 42);
  EXPECT_EQ(b.Status, tsKeyWord);
  EXPECT_EQ(b.Properties, &payload);
}

TEST(Reader, Numbers) {
  struct Case {
    std::string text;
    TNumericFormat format;
    bool scientific;
    Tokens expected;
  };
  const std::vector<Case> cases = {
      {"1.5", nfPeriod, true, {{"1.5", tsDecimal}}},
      {"2e-3", nfPeriod, true, {{"2e-3", tsExponent}}},
      {"2E+3", nfPeriod, true, {{"2E+3", tsExponent}}},
      {"1e5", nfPeriod, true, {{"1e5", tsExponent}}},
      {"1.5e3", nfPeriod, true, {{"1.5e3", tsExponent}}},
      {"12abc", nfPeriod, true, {{"12abc", tsWord}}},
      {"-5", nfPeriod, true, {{"-", tsDelimiter}, {"5", tsInteger}}},
      {"1 .5", nfPeriod, true, {{"1", tsInteger}, {".", tsDelimiter}, {"5", tsInteger}}},
      {"1.", nfPeriod, true, {{"1", tsInteger}, {".", tsDelimiter}}},
      {"1.x", nfPeriod, true, {{"1", tsInteger}, {".", tsDelimiter}, {"x", tsWord}}},
      {"1.2.3", nfPeriod, true, {{"1.2", tsDecimal}, {".", tsDelimiter}, {"3", tsInteger}}},
      {"2e", nfPeriod, true, {{"2e", tsWord}}},
      {"2e-", nfPeriod, true, {{"2e", tsWord}, {"-", tsDelimiter}}},
      {"1e5e6", nfPeriod, true, {{"1e5e6", tsWord}}},
      {"3,25", nfComma, true, {{"3,25", tsDecimal}}},
      {"3.25", nfComma, true, {{"3", tsInteger}, {".", tsDelimiter}, {"25", tsInteger}}},
      {"3.25", nfInteger, true, {{"3", tsInteger}, {".", tsDelimiter}, {"25", tsInteger}}},
      {"3", nfNone, true, {{"3", tsWord}}},
      {"1e5", nfPeriod, false, {{"1e5", tsWord}}},
      {"x=1.5;", nfPeriod, true, {{"x", 1}, {"=", 6}, {"1.5", tsDecimal}, {";", 6}}},
      {"007", nfPeriod, true, {{"007", tsInteger}}},
  };
  for (const auto& c : cases) {
    TReader r;
    Standard(r);
    r.SetNumericFormat(c.format);
    r.ScientificNumber = c.scientific;
    EXPECT_EQ(Read(r, c.text), c.expected) << c.text;
  }
}

TEST(Reader, SignInsideAWord) {
  TReader r;
  r.SetDefaultBlanks();
  r.AddDelimiter(";", 0, 0, nullptr);
  EXPECT_EQ(Read(r, "-5;+2.5 -x"), (Tokens{{"-5", tsInteger}, {";", 6}, {"+2.5", tsDecimal}, {"-x", 1}}));
}

TEST(Reader, NumberJoiningStopsAtKeyWords) {
  TReader r;
  Standard(r);
  r.AddKeyWord("e5", 0, 0, false, nullptr);
  EXPECT_EQ(Read(r, "1.e5"), (Tokens{{"1", tsInteger}, {".", 6}, {"e5", tsKeyWord}}));
}

TEST(Reader, Registrations) {
  Host h;
  TReader& r = h.r;
  // Case-insensitive over case-sensitive: the additions go.
  r.AddKeyWord("Now", 1, 1, true, new int(1));
  r.AddKeyWord("NOW", 1, 2, true, new int(2));
  EXPECT_EQ(Look(r, "Now").keyNum, 1);
  EXPECT_EQ(Look(r, "NOW").keyNum, 2);
  EXPECT_FALSE(Look(r, "now").ok);
  r.AddKeyWord("now", 3, 3, false, new int(3));
  EXPECT_EQ(h.disposed, (std::vector<int>{1, 2}));
  for (const char* s : {"now", "NOW", "nOw"}) EXPECT_EQ(Look(r, s).keyNum, 3) << s;

  // Case-sensitive over case-insensitive: the main registration goes.
  r.AddKeyWord("Now", 4, 4, true, new int(4));
  EXPECT_EQ(h.disposed.back(), 3);
  EXPECT_FALSE(Look(r, "now").ok);
  r.AddKeyWord("Now", 5, 5, true, new int(5));  // same written form: updated in place
  EXPECT_EQ(h.disposed.back(), 4);
  Found f = Look(r, "Now");
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.status, tsKeyWord);
  EXPECT_EQ(f.structure, 5);

  // Delimiters: the characters of a pair become delimiters, replacing key words.
  r.AddKeyWord("<", 1, 9, false, new int(9));
  r.AddDelimiter("<=", 2, 7, new int(7));
  EXPECT_EQ(h.disposed.back(), 9);
  EXPECT_TRUE(r.IsDelimiter("<"));
  EXPECT_TRUE(r.IsDelimiter("="));
  EXPECT_TRUE(r.IsDelimiter("<="));
  EXPECT_FALSE(r.IsDelimiter("Now"));
  f = Look(r, "<");
  EXPECT_EQ(f.status, tsDelimiter);
  EXPECT_EQ(f.keyNum, -1);
  f = Look(r, "<=");
  EXPECT_EQ(f.keyNum, 7);
  r.AddDelimiter("<=", 3, 8, new int(8));
  EXPECT_EQ(h.disposed.back(), 7);

  // Empty texts register nothing, and their payloads are not lost.
  r.AddKeyWord("", 0, 0, false, new int(100));
  r.AddDelimiter("", 0, 0, new int(101));
  EXPECT_EQ(h.disposed.back(), 101);
}

TEST(Reader, Deleting) {
  Host h;
  TReader& r = h.r;
  r.AddKeyWord("Now", 1, 1, true, new int(1));
  r.AddKeyWord("NOW", 1, 2, true, new int(2));
  r.DeleteWord("Now");
  EXPECT_EQ(h.disposed, (std::vector<int>{1}));
  EXPECT_FALSE(Look(r, "Now").ok);
  EXPECT_TRUE(Look(r, "NOW").ok);
  r.DeleteWord("now");  // no addition of that form, none main: the additions stay
  EXPECT_TRUE(Look(r, "NOW").ok);
  r.DeleteWord("NOW");  // the last addition takes the key with it
  EXPECT_FALSE(Look(r, "NOW").ok);
  int s, k;
  void* p;
  EXPECT_FALSE(r.Dictionary.Find("now", s, p));

  r.AddKeyWord("Word", 1, 1, false, new int(3));
  r.DeleteWord("WORD");
  EXPECT_EQ(h.disposed.back(), 3);
  EXPECT_FALSE(Look(r, "word").ok);
  r.DeleteWord("absent");
  r.DeleteWord("");

  r.AddDelimiter("+", 0, 0, new int(4));
  r.AddDelimiter("-", 0, 0, new int(5));
  r.AddKeyWord("keep", 0, 0, false, new int(6));
  r.DeleteStatus(tsDelimiter);
  EXPECT_EQ(h.disposed, (std::vector<int>{1, 2, 3, 4, 5}));  // delimiters in key order
  EXPECT_FALSE(r.IsDelimiter("+"));
  EXPECT_TRUE(Look(r, "keep").ok);
  EXPECT_FALSE(r.FindWord("+", s, s, k, p));
}

TEST(Reader, ListWordsAndDestruction) {
  std::vector<std::tuple<std::string, int, int>> listed;
  std::vector<int> disposed;
  {
    TReader r;
    r.OnDisposeProperties = [&](TReader*, int, void* p) {
      disposed.push_back(*static_cast<int*>(p));
      delete static_cast<int*>(p);
    };
    r.AddKeyWord("Beta", 1, 1, false, new int(1));
    r.AddKeyWord("Alpha", 1, 2, true, new int(2));
    r.AddKeyWord("ALPHA", 1, 3, true, new int(3));
    r.AddDelimiter(";", 1, 4, new int(4));
    // A filter installed by a host for its file must not hide registrations.
    r.Dictionary.OnFilter = [](TDList*, const std::string&, int, int, void*, bool& en) { en = false; };
    r.OnRegList = [&](TReader*, const std::string& s, int status, int keyNum, int, void*) {
      listed.emplace_back(s, status, keyNum);
    };
    r.ListWords();
  }
  EXPECT_EQ(listed, (std::vector<std::tuple<std::string, int, int>>{
                        {";", 6, 4}, {"Alpha", 5, 2}, {"ALPHA", 5, 3}, {"Beta", 5, 1}}));
  EXPECT_EQ(disposed.size(), 4u);
}

TEST(Reader, WildCards) {
  struct Case {
    std::vector<std::string> words;
    std::string text;
    Tokens expected;
  };
  const std::vector<Case> cases = {
      {{"ab~"}, "abxyz ab q", {{"abxyz", 5}, {"ab", 5}, {"q", 1}}},
      {{"a`c"}, "abc ac abbc", {{"abc", 5}, {"ac", 1}, {"abbc", 1}}},
      {{"~end"}, "theend end endx", {{"theend", 5}, {"end", 5}, {"endx", 1}}},
      {{"x~y`"}, "xaayb xyb xy", {{"xaayb", 5}, {"xyb", 5}, {"xy", 1}}},
      {{"plain"}, "PLAIN plainer", {{"PLAIN", 5}, {"plainer", 1}}},
      {{"a~~b"}, "axxb ab " + std::string(30000, 'a') + "b", {{"axxb", 5}, {"ab", 5}, {std::string(30000, 'a') + "b", 5}}},
      {{"a~~b"}, std::string(30000, 'a'), {{std::string(30000, 'a'), 1}}},
  };
  for (const auto& c : cases) {
    TReader r;
    Standard(r);
    r.WildCardEnabled = true;
    for (const auto& w : c.words) r.AddKeyWord(w, 0, 0, false, nullptr);
    EXPECT_EQ(Read(r, c.text), c.expected) << c.text;
  }
  TReader r;
  Standard(r);
  r.WildCardEnabled = true;
  r.AddDelimiter("<=", 0, 0, nullptr);
  EXPECT_EQ(Read(r, "a<=b<c"), (Tokens{{"a", 1}, {"<=", 6}, {"b", 1}, {"<", 6}, {"c", 1}}));
}
