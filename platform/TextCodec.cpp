#include "platform/TextCodec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>

namespace {

std::string IconvName(int codePage) {
  switch (codePage) {
    case CP_UTF8_PAGE: return "UTF-8";
    case 10000: return "MACINTOSH";
    case 10006: return "MAC-GREEK";
    case 10007: return "MAC-CYRILLIC";
    case 10029: return "MAC-CENTRALEUROPE";
    case 936: return "GBK";
    case 950: return "BIG5";
    default: return "CP" + std::to_string(codePage);
  }
}

class TIconv {
public:
  TIconv(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~TIconv() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t cd() const { return cd_; }

private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence at s[i], 0 when it is not a valid one.
size_t Utf8SeqLen(const std::string& s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n;
  uint32_t cp;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) { n = 2; cp = c & 0x1F; }
  else if (c >= 0xE0 && c <= 0xEF) { n = 3; cp = c & 0x0F; }
  else if (c >= 0xF0 && c <= 0xF4) { n = 4; cp = c & 0x07; }
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

// Converts, replacing what cannot be converted by `replacement` and skipping
// `skip(in, pos)` bytes of the input.
template <typename Skip>
std::string Convert(iconv_t cd, const std::string& in, const std::string& replacement, Skip skip) {
  std::string out;
  out.reserve(in.size() + in.size() / 2);
  char buf[4096];
  size_t pos = 0;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (pos < in.size()) {
    char* src = const_cast<char*>(in.data()) + pos;
    size_t srcLeft = in.size() - pos;
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, static_cast<size_t>(dst - buf));
    pos = in.size() - srcLeft;
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (incomplete at the end): replace and step over.
      out += replacement;
      pos += skip(in, pos);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

}  // namespace

bool IsValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = Utf8SeqLen(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool CodePageSupported(int codePage) {
  if (codePage == CP_UTF8_PAGE) return true;
  TIconv cv("UTF-8", IconvName(codePage));
  return cv.ok();
}

std::string CodePageToUtf8(const std::string& bytes, int codePage) {
  bool ascii = true;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
  if (ascii) return bytes;
  if (codePage == CP_UTF8_PAGE) {
    TIconv self("UTF-8", "UTF-8");
    return Convert(self.cd(), bytes, "\xEF\xBF\xBD", [](const std::string&, size_t) { return size_t(1); });
  }
  TIconv cv("UTF-8", IconvName(codePage));
  if (!cv.ok()) {
    if (codePage != 1252) return CodePageToUtf8(bytes, 1252);
    // Not even Windows-1252 (iconv without its modules): Latin-1, which needs none.
    std::string out;
    for (char c : bytes) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x80) {
        out += c;
      } else {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
      }
    }
    return out;
  }
  return Convert(cv.cd(), bytes, "\xEF\xBF\xBD", [](const std::string&, size_t) { return size_t(1); });
}

std::string Utf8ToCodePage(const std::string& text, int codePage) {
  auto skipChar = [](const std::string& s, size_t pos) {
    size_t n = Utf8SeqLen(s, pos);
    return n == 0 ? size_t(1) : n;
  };
  bool ascii = true;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
  if (ascii) return text;
  if (codePage == CP_UTF8_PAGE) {
    TIconv self("UTF-8", "UTF-8");
    return Convert(self.cd(), text, "?", skipChar);
  }
  TIconv cv(IconvName(codePage), "UTF-8");
  if (!cv.ok() && codePage != 1252) return Utf8ToCodePage(text, 1252);
  if (!cv.ok()) {
    // Latin-1 by hand, as above.
    std::string out;
    for (size_t i = 0; i < text.size();) {
      const size_t n = std::max<size_t>(1, Utf8SeqLen(text, i));
      const unsigned char u = static_cast<unsigned char>(text[i]);
      if (n == 1) out += u < 0x80 ? text[i] : '?';
      else if (n == 2 && u <= 0xC3) out += static_cast<char>(((u & 0x1F) << 6) | (text[i + 1] & 0x3F));
      else out += '?';
      i += n;
    }
    return out;
  }
  return Convert(cv.cd(), text, "?", skipChar);
}

std::string GuessToUtf8(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return bytes;
  return CodePageToUtf8(bytes, 1252);
}

std::string Utf8CutBytes(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}
