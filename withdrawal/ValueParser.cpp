#include "withdrawal/ValueParser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string.h>
#include <unordered_map>
#include <vector>

#include "platform/SysUtils.h"
#include "platform/Utf8.h"
#include "withdrawal/ExtractData.h"

namespace {

bool IsBlank(char c) {
  auto u = static_cast<unsigned char>(c);
  return u < 14 || u == ' ';
}

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

// The text with every character lower-cased. Lower-casing may change a
// character's byte length, so each folded byte keeps the position of the
// character it came from, and the character starts are marked: a match is a
// match only from a character start to a character start.
struct TFoldedText {
  std::string Text;
  std::vector<uint32_t> Origin;  // folded byte -> original byte; empty while the lengths agree
  std::vector<bool> CharStart;   // one more than Text: its end is a start too

  size_t OriginOf(size_t folded) const { return Origin.empty() ? folded : Origin[folded]; }
};

TFoldedText Fold(const std::string& s, bool keepPositions) {
  TFoldedText f;
  f.Text.reserve(s.size());
  if (keepPositions) f.CharStart.reserve(s.size() + 1);
  std::string encoded;
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = 1;
    if (c < 0x80) {
      f.Text += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
    } else {
      uint32_t cp;
      n = Utf8DecodeAt(s, i, cp);
      encoded.clear();
      if (n == 1)
        encoded += static_cast<char>(c);  // no valid sequence: the byte stands for itself
      else
        AppendUtf8(encoded, Utf8LowerChar(cp));
      if (keepPositions && encoded.size() != n && f.Origin.empty()) {
        f.Origin.resize(f.Text.size());
        for (size_t k = 0; k < f.Origin.size(); ++k) f.Origin[k] = static_cast<uint32_t>(k);
      }
      f.Text += encoded;
    }
    if (keepPositions) {
      size_t added = f.Text.size() - f.CharStart.size();
      for (size_t k = 0; k < added; ++k) {
        f.CharStart.push_back(k == 0);
        if (!f.Origin.empty()) f.Origin.push_back(static_cast<uint32_t>(i));
      }
    }
    i += n;
  }
  if (keepPositions) {
    f.CharStart.push_back(true);
    if (!f.Origin.empty()) f.Origin.push_back(static_cast<uint32_t>(s.size()));
  }
  return f;
}

struct TOccurrence {
  size_t Marker;      // index in the scheme's marker list
  size_t Start;       // first byte of the occurrence
  size_t ValueStart;  // first non-blank byte after it, or the text's length
  bool LineBreak;     // a line break lies between the two
};

// Phase 1: for each marker in list order, its occurrences in text order; the
// search for the next one resumes one byte after the last value start.
std::vector<TOccurrence> FindOccurrences(const std::vector<std::string>& markers, const std::string& text,
                                         const TFoldedText& folded) {
  std::vector<TOccurrence> list;
  const std::string& f = folded.Text;
  for (size_t mi = 0; mi < markers.size(); ++mi) {
    const std::string needle = Fold(markers[mi], false).Text;
    if (needle.empty()) continue;  // an empty marker occurs nowhere
    size_t from = 0;
    while (from + needle.size() <= f.size()) {
      const void* hit = ::memmem(f.data() + from, f.size() - from, needle.data(), needle.size());
      if (!hit) break;
      size_t at = static_cast<size_t>(static_cast<const char*>(hit) - f.data());
      size_t end = at + needle.size();
      if (!folded.CharStart[at] || !folded.CharStart[end]) {
        from = at + 1;
        continue;
      }
      TOccurrence o{mi, folded.OriginOf(at), folded.OriginOf(end), false};
      // Blanks are single bytes that fold to themselves: both texts advance together.
      while (o.ValueStart < text.size() && IsBlank(text[o.ValueStart])) {
        if (IsLineBreak(text[o.ValueStart])) o.LineBreak = true;
        ++o.ValueStart;
        ++end;
      }
      list.push_back(o);
      from = end + 1;
    }
  }
  return list;
}

// The first start at or after from in an ascending list, or fallback.
size_t FirstAtOrAfter(const std::vector<size_t>& starts, size_t from, size_t fallback) {
  auto it = std::lower_bound(starts.begin(), starts.end(), from);
  return it == starts.end() ? fallback : *it;
}

}  // namespace

void ParseSchemeText(TScheme& scheme, const std::string& text) {
  const size_t L = text.size();
  const TFoldedText folded = Fold(text, true);
  const std::vector<TOccurrence> occurrences = FindOccurrences(scheme.Markers, text, folded);

  // Look-ups for phase 2, each built once: the first occurrence of each exact
  // marker text, the starts of all occurrences, the starts per marker text
  // compared ignoring case, and the line breaks.
  std::unordered_map<std::string, size_t> firstOf;
  std::vector<size_t> allStarts;
  std::unordered_map<std::string, std::vector<size_t>> startsOf;
  std::vector<std::string> foldedMarkers;
  for (const std::string& m : scheme.Markers) foldedMarkers.push_back(Fold(m, false).Text);
  for (size_t i = 0; i < occurrences.size(); ++i) {
    const TOccurrence& o = occurrences[i];
    firstOf.emplace(scheme.Markers[o.Marker], i);
    allStarts.push_back(o.Start);
    startsOf[foldedMarkers[o.Marker]].push_back(o.Start);
  }
  std::sort(allStarts.begin(), allStarts.end());
  for (auto& [key, starts] : startsOf) std::sort(starts.begin(), starts.end());
  std::vector<size_t> lineBreaks;
  bool lineBreaksFound = false;

  for (TScheme::TValue& rule : scheme.Values) {
    rule.Value.clear();
    size_t v = 0;
    bool newLine = false;
    if (rule.AfterMarker == BeginningOfTextMarker) {
      while (v < L && IsBlank(text[v])) {
        if (IsLineBreak(text[v])) newLine = true;
        ++v;
      }
    } else {
      auto it = firstOf.find(rule.AfterMarker);
      if (it == firstOf.end()) continue;
      v = occurrences[it->second].ValueStart;
      newLine = occurrences[it->second].LineBreak;
    }
    size_t e;  // one past the value's last byte
    if (rule.UpToMarker == EndOfLineMarker) {
      if (newLine) {
        e = v;
      } else {
        if (!lineBreaksFound) {
          for (size_t i = 0; i < L; ++i)
            if (IsLineBreak(text[i])) lineBreaks.push_back(i);
          lineBreaksFound = true;
        }
        e = FirstAtOrAfter(lineBreaks, v, L);
      }
    } else if (rule.UpToMarker == AnyMarkerMarker) {
      e = FirstAtOrAfter(allStarts, v, L);
    } else {
      auto it = startsOf.find(Fold(rule.UpToMarker, false).Text);
      e = it == startsOf.end() ? L : FirstAtOrAfter(it->second, v, L);
    }
    while (e > v && IsBlank(text[e - 1])) --e;
    while (v < e && IsBlank(text[v])) ++v;
    if (v < e) rule.Value = text.substr(v, e - v);
  }
}

void TExtractData::ParseText(int schemeIndex, const std::string& text) {
  if (TScheme* s = SchemeAt(schemeIndex)) ParseSchemeText(*s, text);
}
