// Cutting values out of texts: the cases of the two phases, non-ASCII markers
// and texts, and a cross-check against a literal reading of the steps.

#include "withdrawal/ValueParser.h"

#include <gtest/gtest.h>

#include <random>

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

const std::string BOT = BeginningOfTextMarker, EOL = EndOfLineMarker, ANY = AnyMarkerMarker, EOT = EndOfTextMarker;

TEST(ValueParser, Cases) {
  struct Case {
    const char* what;
    std::vector<std::string> markers;
    std::string text;
    std::vector<TRule> rules;
    std::vector<std::string> values;
  };
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

// The steps read literally, positions 1-based, on ASCII text (where
// lower-casing keeps every position).
std::vector<std::string> Reference(const std::vector<std::string>& markers, const std::vector<TRule>& rules,
                                   const std::string& T) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  auto blank = [&](int i) { return static_cast<unsigned char>(T[size_t(i - 1)]) < 14 || T[size_t(i - 1)] == ' '; };
  auto lineBreak = [&](int i) { return T[size_t(i - 1)] == '\n' || T[size_t(i - 1)] == '\r'; };
  const int L = static_cast<int>(T.size());
  struct Occ {
    std::string Marker;
    int Start, ValueStart;
    bool LineBreak;
  };
  std::vector<Occ> occ;
  const std::string lt = lower(T);
  for (const std::string& m : markers) {
    if (m.empty()) continue;
    int p = 0;
    for (;;) {
      size_t f = p < L ? lt.find(lower(m), size_t(p)) : std::string::npos;  // from position p + 1
      if (f == std::string::npos) break;
      int start = int(f) + 1, vs = start + int(m.size());
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
        for (const Occ& o : occ)
          if ((r.UpTo == ANY || lower(o.Marker) == lower(r.UpTo)) && V <= o.Start && o.Start <= E) E = o.Start - 1;
      }
      while (E >= V && blank(E)) --E;
      while (V <= E && blank(V)) ++V;
      if (V <= E) value = T.substr(size_t(V - 1), size_t(E - V + 1));
    }
    out.push_back(value);
  }
  return out;
}

TEST(ValueParser, AgreesWithTheStepsReadLiterally) {
  std::mt19937 rng(11);
  const std::string alphabet = "aAbB: \r\n\t";
  const std::vector<std::string> pool = {"a:", "A:", "b", "ab", "B:", "a", ":", "bA"};
  for (int round = 0; round < 3000; ++round) {
    std::string text(rng() % 60, ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
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
    ASSERT_EQ(Parse(markers, rules, text), Reference(markers, rules, text))
        << "round " << round << " text [" << text << "]";
  }
}

}  // namespace
