#include "withdrawal/ValueParser.h"

#include <algorithm>
#include <cstdint>
#include <string.h>  // memmem
#include <vector>

#include "platform/SysUtils.h"
#include "platform/Utf8.h"

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
  std::vector<uint32_t> Origin;    // folded byte -> original byte, once Shifted
  std::vector<uint8_t> CharStart;  // one more than Text (its end is a start); empty: every byte is one
  // Set at the first character whose length changed; until then every byte
  // keeps its place. Origin alone cannot tell: it is still empty when the
  // first character of the text is the one that changed.
  bool Shifted = false;

  size_t OriginOf(size_t folded) const { return Shifted ? Origin[folded] : folded; }
  bool IsCharStart(size_t folded) const { return CharStart.empty() || CharStart[folded] != 0; }
};

TFoldedText Fold(const std::string& s, bool keepPositions) {
  TFoldedText f;
  f.Text.resize(s.size());
  size_t i = 0;
  // ASCII text folds byte for byte: every byte keeps its place and starts a character.
  for (; i < s.size() && static_cast<unsigned char>(s[i]) < 0x80; ++i) {
    char c = s[i];
    f.Text[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  if (i == s.size()) return f;
  f.Text.resize(i);
  if (keepPositions) f.CharStart.assign(i, 1);
  std::string encoded;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = 1;
    encoded.clear();
    if (c < 0x80) {
      encoded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
    } else {
      uint32_t cp;
      n = Utf8DecodeAt(s, i, cp);
      if (n == 1)
        encoded += static_cast<char>(c);  // no valid sequence: the byte stands for itself
      else
        AppendUtf8(encoded, Utf8LowerChar(cp));
    }
    if (keepPositions) {
      if (encoded.size() != n && !f.Shifted) {
        f.Shifted = true;
        f.Origin.resize(f.Text.size());
        for (size_t k = 0; k < f.Origin.size(); ++k) f.Origin[k] = static_cast<uint32_t>(k);
      }
      for (size_t k = 0; k < encoded.size(); ++k) {
        f.CharStart.push_back(k == 0 ? 1 : 0);
        if (f.Shifted) f.Origin.push_back(static_cast<uint32_t>(i));
      }
    }
    f.Text += encoded;
    i += n;
  }
  if (keepPositions) {
    f.CharStart.push_back(1);
    if (f.Shifted) f.Origin.push_back(static_cast<uint32_t>(s.size()));
  }
  return f;
}

struct TOccurrence {
  size_t Start;       // first byte of the occurrence
  size_t ValueStart;  // first non-blank byte after it, or the text's length
  bool LineBreak;     // a line break lies between the two
};

// Phase 1 for one marker: its occurrences in text order; the search for the
// next one resumes one byte after the last value start.
std::vector<TOccurrence> FindOccurrences(const std::string& needle, const std::string& text,
                                         const TFoldedText& folded) {
  std::vector<TOccurrence> list;
  if (needle.empty()) return list;  // an empty marker occurs nowhere
  const std::string& f = folded.Text;
  size_t from = 0;
  while (from + needle.size() <= f.size()) {
    const void* hit = ::memmem(f.data() + from, f.size() - from, needle.data(), needle.size());
    if (!hit) break;
    size_t at = static_cast<size_t>(static_cast<const char*>(hit) - f.data());
    size_t end = at + needle.size();
    if (!folded.IsCharStart(at) || !folded.IsCharStart(end)) {
      from = at + 1;
      continue;
    }
    TOccurrence o{folded.OriginOf(at), folded.OriginOf(end), false};
    // Blanks are single bytes that fold to themselves: both texts advance together.
    while (o.ValueStart < text.size() && IsBlank(text[o.ValueStart])) {
      if (IsLineBreak(text[o.ValueStart])) o.LineBreak = true;
      ++o.ValueStart;
      ++end;
    }
    list.push_back(o);
    from = end + 1;
  }
  return list;
}

// The first start at or after from among a marker's occurrences, or fallback.
size_t FirstAtOrAfter(const std::vector<TOccurrence>& list, size_t from, size_t fallback) {
  auto it = std::lower_bound(list.begin(), list.end(), from,
                             [](const TOccurrence& o, size_t p) { return o.Start < p; });
  return it == list.end() ? fallback : std::min(fallback, it->Start);
}

}  // namespace

void ParseSchemeText(TScheme& scheme, const std::string& text) {
  const size_t L = text.size();
  const TFoldedText folded = Fold(text, true);
  const size_t markerCount = scheme.Markers.size();
  std::vector<std::string> foldedMarkers;
  std::vector<std::vector<TOccurrence>> occurrences;  // per marker, in list order
  for (const std::string& m : scheme.Markers) {
    foldedMarkers.push_back(Fold(m, false).Text);
    occurrences.push_back(FindOccurrences(foldedMarkers.back(), text, folded));
  }
  std::vector<size_t> lineBreaks;
  bool lineBreaksFound = false;
  // Where the text's first non-blank lies, found once for every rule that reads from the beginning.
  size_t textStart = 0;
  bool textStartLineBreak = false;
  while (textStart < L && IsBlank(text[textStart])) {
    if (IsLineBreak(text[textStart])) textStartLineBreak = true;
    ++textStart;
  }

  for (TScheme::TValue& rule : scheme.Values) {
    rule.Value.clear();
    size_t v = 0;
    bool newLine = false;
    if (rule.AfterMarker == BeginningOfTextMarker) {
      v = textStart;
      newLine = textStartLineBreak;
    } else {
      // The first occurrence in list order of that exact marker text.
      const TOccurrence* first = nullptr;
      for (size_t i = 0; i < markerCount && !first; ++i)
        if (scheme.Markers[i] == rule.AfterMarker && !occurrences[i].empty()) first = &occurrences[i].front();
      if (!first) continue;
      v = first->ValueStart;
      newLine = first->LineBreak;
    }
    size_t e = L;  // one past the value's last byte
    if (rule.UpToMarker == EndOfLineMarker) {
      if (newLine) {
        e = v;
      } else {
        if (!lineBreaksFound) {
          for (size_t i = 0; i < L; ++i)
            if (IsLineBreak(text[i])) lineBreaks.push_back(i);
          lineBreaksFound = true;
        }
        auto it = std::lower_bound(lineBreaks.begin(), lineBreaks.end(), v);
        e = it == lineBreaks.end() ? L : *it;
      }
    } else {
      // The nearest occurrence at or after the value of any marker, or of the
      // markers equal to the up-to text ignoring case.
      const bool any = rule.UpToMarker == AnyMarkerMarker;
      const std::string upTo = any ? std::string() : Fold(rule.UpToMarker, false).Text;
      for (size_t i = 0; i < markerCount; ++i)
        if (any || foldedMarkers[i] == upTo) e = FirstAtOrAfter(occurrences[i], v, e);
    }
    while (e > v && IsBlank(text[e - 1])) --e;
    while (v < e && IsBlank(text[v])) ++v;
    if (v < e) rule.Value = text.substr(v, e - v);
  }
}
