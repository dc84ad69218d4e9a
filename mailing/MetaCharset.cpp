#include "mailing/MetaCharset.h"

#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The first position of the lower-case pattern, letters compared without case.
size_t FindNoCase(const std::string& s, const char* pattern) {
  const size_t n = std::strlen(pattern);
  if (s.size() < n) return std::string::npos;
  for (size_t i = 0; i + n <= s.size(); ++i) {
    size_t k = 0;
    while (k < n && Lower(s[i + k]) == pattern[k]) ++k;
    if (k == n) return i;
  }
  return std::string::npos;
}

}  // namespace

std::string MetaCharsetTag(const std::string& mimeName) {
  return "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" + mimeName + "\">";
}

std::string RewriteMetaCharset(const std::string& html, const std::string& mimeName) {
  const size_t start = FindNoCase(html, "<meta http-equiv");
  if (start == std::string::npos) return html;
  for (size_t i = start + 1; i < html.size(); ++i) {
    if (html[i] == '<') return html;
    if (html[i] == '>') {
      std::string out;
      out.reserve(html.size() + 64);
      out.append(html, 0, start);
      out += MetaCharsetTag(mimeName);
      out.append(html, i + 1, std::string::npos);
      return out;
    }
  }
  return html;
}
