// Cutting values out of texts: the cases of the two phases, non-ASCII markers
// and texts, and a cross-check against a literal reading of the steps.

#include "withdrawal/ValueParser.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/SysUtils.h"
#include "platform/Utf8.h"

namespace {

struct TRule {
  std::string After, UpTo;
};

std::vector<std::string> Parse(const std::vector<std::string>& markers, const std::vector<TRule>& rules,
                               const std::string& text) {
  TScheme s;
  s.Markers = markers;
  for (const TRule& r : rules) s.Values.push_back({r.After, r.UpTo, "", "stale"});
  ParseSchemeText(s, text);
  std::vector<std::string> values;
  for (const auto& v : s.Values) values.push_back(v.Value);
  return values;
}

struct Case {
  const char* what;
  std::vector<std::string> markers;
  std::string text;
  std::vector<TRule> rules;
  std::vector<std::string> values;
};

const std::string BOT = BeginningOfTextMarker, EOL = EndOfLineMarker, ANY = AnyMarkerMarker, EOT = EndOfTextMarker;

TEST(ValueParser, Cases) {
  const std::string nameCity = "Name: John Smith\r\nCity: Paris";
  const Case cases[] = {
      {"the three up-to kinds", {"Name:", "City:"}, nameCity, {{"Name:", EOL}, {"Name:", ANY}, {"City:", EOT}},
       {"John Smith", "John Smith", "Paris"}},
      {"up to a marker, ignoring its case", {"Name:", "City:"}, nameCity, {{"Name:", "CITY:"}}, {"John Smith"}},
      {"up to a text that is no marker runs to the end", {"Name:"}, nameCity, {{"Name:", "Zip:"}},
       {"John Smith\r\nCity: Paris"}},
      {"marker, blanks, line break: up to the line end is empty", {"Name:"}, "Name:  \t\r\nJohn", {{"Name:", EOL}},
       {""}},
      {"but up to the text end takes the next line", {"Name:"}, "Name:  \r\nJohn \r\n", {{"Name:", EOT}}, {"John"}},
      {"markers are found whatever the case", {"name:"}, "NAME: Bob", {{"name:", EOL}}, {"Bob"}},
      {"the rule names the marker exactly", {"name:"}, "NAME: Bob", {{"Name:", EOL}}, {""}},
      {"after-marker missing", {"Name:", "City:"}, "City: Rome", {{"Name:", EOT}}, {""}},
      {"after-marker at the very end", {"Name:"}, "abc Name:", {{"Name:", EOT}, {"Name:", EOL}}, {"", ""}},
      {"beginning of text over blank lines", {}, "\r\n\r\n  Hello\r\nWorld ", {{BOT, EOL}, {BOT, EOT}},
       {"", "Hello\r\nWorld"}},
      {"beginning of text on the first line", {"x"}, "  Hello x\r\nWorld", {{BOT, EOL}, {BOT, ANY}},
       {"Hello x", "Hello"}},
      {"only the first occurrence counts", {"Name:"}, "Name: A\r\nName: B", {{"Name:", EOL}}, {"A"}},
      {"a directly following occurrence is not found", {"X:"}, "X:  X: tail X: end", {{"X:", "X:"}},
       {"X: tail"}},
      {"any marker: the nearest at or after the value", {"a=", "b=", "c="}, "c= 3 a= 1 b= 2",
       {{"a=", ANY}, {"c=", ANY}, {"b=", ANY}}, {"1", "3", "2"}},
      {"empty text", {"a"}, "", {{"a", EOT}, {BOT, EOL}, {BOT, ANY}}, {"", "", ""}},
      {"an empty marker occurs nowhere", {""}, "abc", {{"", EOT}}, {""}},
      {"Cyrillic marker, other case", {"Город:"}, "ГОРОД: Москва\nдалее", {{"Город:", EOL}}, {"Москва"}},
      {"accented text", {"ärger:", "ende"}, "ÄRGER: grün ENDE", {{"ärger:", "ende"}}, {"grün"}},
      {"a character whose lower case is shorter", {"id:", "ende"}, "Preis İD: 42 Ende",
       {{"id:", "ende"}, {"id:", ANY}, {"id:", EOL}}, {"42", "42", "42 Ende"}},
      {"a marker that is part of a character is no marker", {"\xC3"}, "café: 1", {{"\xC3", EOT}}, {""}},
      {"a marker ending inside a character", {"caf\xC3"}, "café: 1", {{"caf\xC3", EOT}}, {""}},
      {"invalid bytes are characters of their own", {"\xFF:"}, "a\xFF: v\xFE", {{"\xFF:", EOT}}, {"v\xFE"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(Parse(k.markers, k.rules, k.text), k.values);
  }
}

// The steps read literally, positions 1-based, one position per character
// (code point) of valid UTF-8 text, each lower-cased on its own; the value is
// the original characters V..E.
std::u32string CodePoints(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    i += Utf8DecodeAt(s, i, cp);
    out.push_back(cp);
  }
  return out;
}

std::string Utf8Of(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) AppendUtf8(out, c);
  return out;
}

std::vector<std::string> Reference(const std::vector<std::string>& markers, const std::vector<TRule>& rules,
                                   const std::string& text) {
  auto lower = [](std::u32string s) {
    for (char32_t& c : s) c = Utf8LowerChar(c);
    return s;
  };
  const std::u32string T = CodePoints(text);
  auto blank = [&](int i) { return T[size_t(i - 1)] < 14 || T[size_t(i - 1)] == ' '; };
  auto lineBreak = [&](int i) { return T[size_t(i - 1)] == '\n' || T[size_t(i - 1)] == '\r'; };
  const int L = static_cast<int>(T.size());
  struct Occ {
    std::string Marker;
    int Start, ValueStart;
    bool LineBreak;
  };
  std::vector<Occ> occ;
  const std::u32string lt = lower(T);
  for (const std::string& m : markers) {
    if (m.empty()) continue;
    const std::u32string lm = lower(CodePoints(m));
    int p = 0;
    for (;;) {
      size_t f = p < L ? lt.find(lm, size_t(p)) : std::u32string::npos;  // from position p + 1
      if (f == std::u32string::npos) break;
      int start = int(f) + 1, vs = start + int(lm.size());
      bool lb = false;
      while (vs <= L && blank(vs)) {
        if (lineBreak(vs)) lb = true;
        ++vs;
      }
      occ.push_back({m, start, vs, lb});
      p = vs;
    }
  }
  std::vector<std::string> out;
  for (const TRule& r : rules) {
    std::string value;
    int V = 1;
    bool NL = false;
    bool found = true;
    if (r.After == BOT) {
      while (V <= L && blank(V)) {
        if (lineBreak(V)) NL = true;
        ++V;
      }
    } else {
      found = false;
      for (const Occ& o : occ)
        if (o.Marker == r.After) {
          V = o.ValueStart;
          NL = o.LineBreak;
          found = true;
          break;
        }
    }
    if (found) {
      int E;
      if (r.UpTo == EOL) {
        E = V - 1;
        if (!NL)
          while (E + 1 <= L && !lineBreak(E + 1)) ++E;
      } else {
        E = L;
        const std::u32string upTo = lower(CodePoints(r.UpTo));
        for (const Occ& o : occ)
          if ((r.UpTo == ANY || lower(CodePoints(o.Marker)) == upTo) && V <= o.Start && o.Start <= E)
            E = o.Start - 1;
      }
      while (E >= V && blank(E)) --E;
      while (V <= E && blank(V)) ++V;
      if (V <= E) value = Utf8Of(T.substr(size_t(V - 1), size_t(E - V + 1)));
    }
    out.push_back(value);
  }
  return out;
}

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    size_t n = Utf8DecodeAt(s, i, cp);
    if (n == 1 && static_cast<unsigned char>(s[i]) >= 0x80) return false;
    i += n;
  }
  return true;
}

// Random rules over random texts drawn from an alphabet and a marker pool.
void CheckAgainstReference(unsigned seed, int rounds, const std::vector<std::string>& alphabet,
                           const std::vector<std::string>& pool, const std::vector<std::string>& edges) {
  std::mt19937 rng(seed);
  for (int round = 0; round < rounds; ++round) {
    std::string text;
    if (!edges.empty()) text += edges[rng() % edges.size()];
    for (int n = int(rng() % 60); n > 0; --n) text += alphabet[rng() % alphabet.size()];
    if (!edges.empty()) text += edges[rng() % edges.size()];
    std::vector<std::string> markers;
    for (int k = int(rng() % 4); k > 0; --k) markers.push_back(pool[rng() % pool.size()]);
    std::vector<std::string> places = markers;
    for (const std::string& p : {BOT, EOL, ANY, EOT, std::string("b:")}) places.push_back(p);
    std::vector<TRule> rules;
    for (int k = 0; k < 4; ++k) {
      std::string after = places[rng() % places.size()];
      if (after == EOL || after == ANY || after == EOT) after = BOT;
      std::string upTo = places[rng() % places.size()];
      if (upTo == BOT) upTo = EOL;
      rules.push_back({after, upTo});
    }
    const std::vector<std::string> values = Parse(markers, rules, text);
    ASSERT_EQ(values, Reference(markers, rules, text)) << "round " << round << " text [" << text << "]";
    for (const std::string& v : values) ASSERT_TRUE(ValidUtf8(v)) << "round " << round << " value [" << v << "]";
  }
}

TEST(ValueParser, AgreesWithTheStepsReadLiterally) {
  CheckAgainstReference(11, 3000, {"a", "A", "b", "B", ":", " ", "\r", "\n", "\t"},
                        {"a:", "A:", "b", "ab", "B:", "a", ":", "bA"}, {});
}

// Characters whose lower case is shorter ("İ" 2 bytes -> "i", "ẞ" 3 -> "ß",
// the Kelvin sign 3 -> "k") or longer ("Ⱥ" 2 -> "ⱥ" 3), also as the text's
// first and last character, where the byte positions shift from the start.
TEST(ValueParser, AgreesWithTheStepsOnCharactersThatChangeLength) {
  const std::vector<std::string> changing = {"İ", "ẞ", "\u212A", "Ⱥ"};
  std::vector<std::string> alphabet = {"a", "A", "i", "ß", "k", ":", " ", "\r", "\n", "é"};
  alphabet.insert(alphabet.end(), changing.begin(), changing.end());
  CheckAgainstReference(29, 3000, alphabet, {"i:", "İ:", "ß", "ẞa", "k", "a:", "ⱥ", ":", "Ai"}, changing);
}

TEST(ValueParser, ATextStartingWithACharacterThatChangesLength) {
  const Case cases[] = {
      {"İ first, value on the next line", {"Name:"}, "İstanbul office\r\nName: Ali", {{"Name:", EOL}}, {"Ali"}},
      {"İ first, marker right after it", {"→"}, "İ→ Ali", {{"→", EOT}}, {"Ali"}},
      {"ẞ first", {"Name:"}, "ẞtraße\r\nNAME: Ali\r\n", {{"Name:", EOL}, {BOT, EOL}}, {"Ali", "ẞtraße"}},
      {"Ⱥ first (longer in lower case)", {"Name:"}, "Ⱥ\nName: Ali", {{"Name:", EOT}}, {"Ali"}},
      {"the changed character ends the value", {"x:"}, "İ x: aİ", {{"x:", EOT}, {BOT, "x:"}}, {"aİ", "İ"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(Parse(k.markers, k.rules, k.text), k.values);
  }
}

}  // namespace
