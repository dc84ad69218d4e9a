// Times the value parse: a 1 MB text with 20 markers and 20 rules; a 5 MB
// message with 50 markers, many of them occurring thousands of times; and
// hostile texts (a long run that almost matches a marker everywhere, non-ASCII
// text whose lower case is shorter). Each should stay well under a second.

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "withdrawal/ValueParser.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Lines of filler words with "Key<i>: value" lines among them.
std::string Text(size_t bytes, int markers, int everyLines, const std::string& filler) {
  std::mt19937 rng(1);
  std::string t;
  for (int line = 0; t.size() < bytes; ++line) {
    if (line % everyLines == 0)
      t += "KEY" + std::to_string(rng() % markers) + ": value " + std::to_string(line) + "\r\n";
    else
      t += filler + std::to_string(line) + "\r\n";
  }
  return t;
}

TScheme Scheme(int markers, int rules) {
  const std::string places[] = {EndOfLineMarker, AnyMarkerMarker, EndOfTextMarker};
  TScheme s;
  for (int i = 0; i < markers; ++i) s.Markers.push_back("key" + std::to_string(i) + ":");
  for (int i = 0; i < rules; ++i)
    s.Values.push_back({s.Markers[size_t(i % markers)], i % 4 == 3 ? s.Markers[size_t((i + 1) % markers)]
                                                                    : places[i % 3], "", ""});
  return s;
}

void Run(const char* what, TScheme scheme, const std::string& text) {
  auto t0 = std::chrono::steady_clock::now();
  ParseSchemeText(scheme, text);
  size_t found = 0;
  for (const auto& v : scheme.Values) found += !v.Value.empty();
  std::printf("%-58s %8.3f s  (%zu bytes, %zu of %zu values)\n", what, Seconds(t0), text.size(), found,
              scheme.Values.size());
}

}  // namespace

int main() {
  Run("1 MB, 20 markers, 20 rules", Scheme(20, 20),
      Text(1 << 20, 20, 8, "Lorem ipsum dolor sit amet, consectetur adipiscing elit "));
  Run("5 MB, 50 markers each thousands of times, 50 rules", Scheme(50, 50),
      Text(5 << 20, 50, 2, "filler "));

  TScheme near;
  near.Markers = {std::string(40, 'a') + "b", "a", "aa:"};
  near.Values = {{near.Markers[0], AnyMarkerMarker, "", ""}, {"a", EndOfLineMarker, "", ""}};
  Run("5 MB of 'a', a marker that almost matches everywhere", near, std::string(5 << 20, 'a'));

  std::string wide;
  while (wide.size() < (5u << 20)) wide += "İÄÖ Größe: 42 ";
  TScheme folded;
  folded.Markers = {"größe:", "i̇äö", "ä"};
  folded.Values = {{"größe:", AnyMarkerMarker, "", ""}};
  Run("5 MB non-ASCII, lower case of a different length", folded, wide);

  std::string lines(5 << 20, '\n');
  TScheme many = Scheme(50, 50);
  for (int i = 0; i < 50; ++i) many.Values.push_back({BeginningOfTextMarker, EndOfLineMarker, "", ""});
  Run("5 MB of line breaks, 100 rules", many, lines);
  return 0;
}
