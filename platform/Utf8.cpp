// Character-wise handling of UTF-8 text and case conversion. Bytes that do not
// form a valid UTF-8 sequence count as one character each and pass unchanged.

#include <cstdint>
#include <string>

#include "platform/SysUtils.h"
#include "platform/Utf8.h"

namespace {

// Length in bytes of the character starting at s[i]; cp receives its code point
// (the byte itself for an invalid sequence).
size_t DecodeAt(const std::string& s, size_t i, uint32_t& cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  cp = c;
  if (c < 0x80) return 1;
  size_t n;
  uint32_t min;
  if ((c & 0xE0) == 0xC0) {
    n = 2;
    min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3;
    min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4;
    min = 0x10000;
  } else {
    return 1;
  }
  if (i + n > s.size()) return 1;
  uint32_t v = c & (0x7Fu >> n);
  for (size_t k = 1; k < n; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 1;
    v = (v << 6) | (b & 0x3Fu);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 1;
  cp = v;
  return n;
}

size_t CharLen(const std::string& s, size_t i) {
  uint32_t cp;
  return DecodeAt(s, i, cp);
}


// Upper-case blocks that map to lower case by a fixed distance.
struct TShiftRange {
  uint32_t first, last;  // upper-case letters
  uint32_t delta;        // lower = upper + delta
};
constexpr TShiftRange ShiftRanges[] = {
    {0x0041, 0x005A, 32},   {0x00C0, 0x00D6, 32},   {0x00D8, 0x00DE, 32},  {0x0388, 0x038A, 37},
    {0x038E, 0x038F, 63},   {0x0391, 0x03A1, 32},   {0x03A3, 0x03AB, 32},  {0x0400, 0x040F, 80},
    {0x0410, 0x042F, 32},   {0x0531, 0x0556, 48},   {0x2160, 0x216F, 16},  {0x24B6, 0x24CF, 26},
    {0xFF21, 0xFF3A, 32},   {0x0386, 0x0386, 38},   {0x038C, 0x038C, 64},
};

// Blocks of alternating upper/lower pairs; upperEven tells which of the pair is upper case.
struct TPairRange {
  uint32_t first, last;
  bool upperEven;
};
constexpr TPairRange PairRanges[] = {
    {0x0100, 0x012F, true},  {0x0132, 0x0137, true},  {0x0139, 0x0148, false}, {0x014A, 0x0177, true},
    {0x0179, 0x017E, false}, {0x0182, 0x0185, true},  {0x01A0, 0x01A5, true},  {0x01CD, 0x01DC, false},
    {0x01DE, 0x01EF, true},  {0x01F8, 0x021F, true},  {0x0222, 0x0233, true},  {0x03D8, 0x03EF, true},
    {0x0460, 0x0481, true},  {0x048A, 0x04BF, true},  {0x04C1, 0x04CE, false}, {0x04D0, 0x052F, true},
    {0x1E00, 0x1E95, true},  {0x1EA0, 0x1EFF, true},
};

uint32_t LowerOf(uint32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c == 0x0178) return 0x00FF;
  if (c == 0x0130) return 'i';
  if (c == 0x1E9E) return 0x00DF;
  for (const auto& r : ShiftRanges)
    if (c >= r.first && c <= r.last) return c + r.delta;
  for (const auto& r : PairRanges)
    if (c >= r.first && c <= r.last && ((c % 2 == 0) == r.upperEven)) return c + 1;
  return c;
}

uint32_t UpperOf(uint32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c == 0x00FF) return 0x0178;
  if (c == 0x0131) return 'I';
  if (c == 0x03C2) return 0x03A3;
  if (c == 0x00B5) return 0x039C;
  if (c == 0x017F) return 'S';
  for (const auto& r : ShiftRanges)
    if (c >= r.first + r.delta && c <= r.last + r.delta) return c - r.delta;
  for (const auto& r : PairRanges)
    if (c > r.first && c <= r.last && ((c % 2 == 0) != r.upperEven)) return c - 1;
  return c;
}

template <typename F>
std::string MapChars(const std::string& s, F map) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    const size_t n = DecodeAt(s, i, cp);
    if (n == 1 && cp >= 0x80)
      out += s[i];  // invalid byte: kept as it is
    else
      AppendUtf8(out, map(cp));
    i += n;
  }
  return out;
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

std::string AnsiUpperCase(const std::string& s) { return MapChars(s, UpperOf); }
std::string AnsiLowerCase(const std::string& s) { return MapChars(s, LowerOf); }

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

int AnsiCompareText(const std::string& a, const std::string& b) {
  return Sign(AnsiLowerCase(a).compare(AnsiLowerCase(b)));
}

// Letters compare without regard to case first; of two texts that differ only in
// case, the one whose first differing letter is lower case sorts first.
int AnsiCompareStr(const std::string& a, const std::string& b) {
  const int r = AnsiCompareText(a, b);
  if (r != 0) return r;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    uint32_t ca, cb;
    const size_t na = DecodeAt(a, i, ca), nb = DecodeAt(b, j, cb);
    if (ca != cb) {
      const bool aLower = LowerOf(ca) == ca, bLower = LowerOf(cb) == cb;
      if (aLower != bLower) return aLower ? -1 : 1;
      return ca < cb ? -1 : 1;
    }
    i += na;
    j += nb;
  }
  return Sign(a.compare(b));
}

int CompareText(const std::string& a, const std::string& b) { return Sign(LowerCase(a).compare(LowerCase(b))); }

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

int Utf8Length(const std::string& s) {
  int n = 0;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) ++n;
  return n;
}

std::string Utf8Copy(const std::string& s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0) return {};
  size_t i = 0;
  for (int k = 1; k < index && i < s.size(); ++k) i += CharLen(s, i);
  size_t j = i;
  for (int k = 0; k < count && j < s.size(); ++k) j += CharLen(s, j);
  return s.substr(i, j - i);
}

int Utf8Pos(const std::string& sub, const std::string& s) {
  if (sub.empty()) return 0;
  // Walk character by character so a match never starts inside a character.
  int index = 1;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i), ++index)
    if (s.compare(i, sub.size(), sub) == 0) return index;
  return 0;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

size_t Utf8DecodeAt(const std::string& s, size_t i, uint32_t& cp) { return DecodeAt(s, i, cp); }

uint32_t Utf8LowerChar(uint32_t cp) { return LowerOf(cp); }
