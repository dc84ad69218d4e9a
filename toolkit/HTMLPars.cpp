#include "toolkit/HTMLPars.h"

#include <cstring>

#include "platform/Routines.h"
#include "platform/SysUtils.h"

namespace HtmlScan {

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// Position of the quote that closes the one at open, or -1.
int64_t QuoteEnd(const char* buf, int64_t size, int64_t open) {
  const char q = buf[open];
  for (int64_t i = open + 1; i < size; ++i) {
    const void* hit = std::memchr(buf + i, q, static_cast<size_t>(size - i));
    if (!hit) return -1;
    i = static_cast<const char*>(hit) - buf;
    if (buf[i - 1] != '\\') return i;
  }
  return -1;
}

template <class Stop>
int64_t FindOutsideQuotes(const char* buf, int64_t size, int64_t start, Stop stop) {
  if (start < 0) return -1;
  for (int64_t i = start; i < size; ++i) {
    const char c = buf[i];
    if (IsQuote(c)) {
      i = QuoteEnd(buf, size, i);
      if (i < 0) return -1;
    } else if (stop(c)) {
      return i;
    }
  }
  return -1;
}

}  // namespace

int64_t FindText(const char* buf, int64_t size, std::string_view pattern, int64_t start) {
  const auto m = static_cast<int64_t>(pattern.size());
  if (start < 0 || m == 0 || m > size) return -1;
  const char first = LowerAscii(pattern[0]);
  const char firstUpper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
  for (int64_t i = start; i + m <= size; ++i) {
    if (buf[i] != first && buf[i] != firstUpper) continue;
    int64_t k = 1;
    while (k < m && LowerAscii(buf[i + k]) == LowerAscii(pattern[static_cast<size_t>(k)])) ++k;
    if (k == m) return i;
  }
  return -1;
}

int64_t FindChar(const char* buf, int64_t size, char c, int64_t start) {
  if (start < 0 || start >= size) return -1;
  const void* hit = std::memchr(buf + start, c, static_cast<size_t>(size - start));
  return hit ? static_cast<const char*>(hit) - buf : -1;
}

int64_t FindCharOutsideQuotes(const char* buf, int64_t size, char c, int64_t start) {
  return FindOutsideQuotes(buf, size, start, [c](char x) { return x == c; });
}

int64_t FindBlankOutsideQuotes(const char* buf, int64_t size, int64_t start) {
  return FindOutsideQuotes(buf, size, start, IsBlank);
}

int64_t SkipBlanks(const char* buf, int64_t size, int64_t start) {
  if (start < 0) return -1;
  for (int64_t i = start; i < size; ++i)
    if (!IsBlank(buf[i])) return i;
  return -1;
}

int64_t SkipBlanksBack(const char* buf, int64_t size, int64_t start) {
  if (start < 0 || start >= size) return -1;
  for (int64_t i = start; i >= 0; --i)
    if (!IsBlank(buf[i])) return i;
  return -1;
}

}  // namespace HtmlScan

using namespace HtmlScan;

namespace {

THTMLSpan Span(const char* text, int64_t from, int64_t len) { return THTMLSpan{text + from, len}; }

}  // namespace

void ParseHTMLTag(const char* T, int64_t L, THTMLTag& tag, const THTMLParseError& onError, std::string_view whole) {
  tag.Text = THTMLSpan{T, L};
  const int64_t B = FindBlankOutsideQuotes(T, L, 0);
  if (B < 0) {
    tag.Name = THTMLSpan{T, L};
    return;
  }
  tag.Name = THTMLSpan{T, B};
  int64_t P = B;
  for (;;) {
    P += 1;
    const int64_t K = SkipBlanks(T, L, P);
    if (K < 0) return;
    const int64_t E = FindCharOutsideQuotes(T, L, '=', K);
    if (E < 0) {
      // A trailing word without "=".
      const int64_t KE = SkipBlanksBack(T, L, L - 1);
      if (K <= KE) tag.Params.push_back({Span(T, P, L - P), Span(T, K, KE - K + 1), THTMLSpan{}});
      return;
    }
    int64_t V = SkipBlanks(T, L, E + 1);
    if (V < 0) V = L;
    int64_t VE = FindBlankOutsideQuotes(T, L, V);
    if (VE < 0) VE = L;
    int64_t vs = V, ve = VE;  // [vs, ve)
    if (vs < ve && IsQuote(T[vs])) ++vs;
    if (vs < ve && IsQuote(T[ve - 1])) --ve;
    const int64_t KE = SkipBlanksBack(T, L, E - 1);
    if (K <= KE) {
      // Whole stops where the value does: the blank after it (or the ">")
      // is not part of the parameter.
      tag.Params.push_back({Span(T, P, VE - P), Span(T, K, KE - K + 1), Span(T, vs, ve - vs)});
    } else if (onError) {
      onError("key not defined in tag", whole);
    }
    P = VE;
  }
}

void THTMLParser::Report(const char* message, int64_t from) {
  if (!OnParseError) return;
  const auto size = static_cast<int64_t>(Buffer.size());
  if (from < 0) from = 0;
  if (from > size) from = size;
  OnParseError(message, std::string_view(Buffer.data() + from, static_cast<size_t>(size - from)));
}

void THTMLParser::AddText() {
  const int64_t from = PrevEnd + 1;
  if (Pos - from < 1) return;
  THTMLItem item;
  item.Text = Buffer.data() + from;
  item.Len = Pos - from;
  item.Kind = THTMLItemKind::Text;
  Items.push_back(item);
}

void THTMLParser::AddMarkup() {
  const char* buf = Buffer.data();
  const int64_t len = EndPos - Pos - 1;
  if (len >= 1) {
    const char* inner = buf + Pos + 1;
    THTMLItem item;
    if (inner[0] == '%') {
      item.Kind = THTMLItemKind::ServerScript;
      item.Text = buf + Pos + 2;
      item.Len = len - 2;
      Items.push_back(item);
    } else if (len >= 3 && FindText(inner, 3, "!--", 0) == 0) {
      item.Kind = THTMLItemKind::Comment;
      item.Text = buf + Pos + 4;
      item.Len = len - 5;
      Items.push_back(item);
    } else {
      THTMLTag& tag = Tags.emplace_back();
      ParseHTMLTag(inner, len, tag, OnParseError, std::string_view(buf + Pos, static_cast<size_t>(EndPos - Pos + 1)));
      item.Kind = THTMLItemKind::Tag;
      item.Text = tag.Text.Text;
      item.Len = tag.Text.Len;
      item.Tag = static_cast<int32_t>(Tags.size() - 1);
      Items.push_back(item);
      LastTagName.assign(tag.Name.View());
    }
  }
  PrevEnd = EndPos;
  Pos = EndPos;
}

void THTMLParser::Parse() {
  Items.clear();
  Tags.clear();
  // A new document starts outside any script or style.
  LastTagName.clear();
  Pos = 0;
  EndPos = 0;
  PrevEnd = -1;
  const char* buf = Buffer.data();
  const auto size = static_cast<int64_t>(Buffer.size());
  if (size == 0) return;

  if (FindText(buf, size, "<html", 0) < 0 && FindText(buf, size, "<script", 0) < 0 &&
      FindText(buf, size, "<body", 0) < 0) {
    Pos = size;
    AddText();
    return;
  }

  while (Pos < size) {
    if (buf[Pos] == '<') {
      const char next = Pos + 1 < size ? buf[Pos + 1] : '\0';
      if (Pos + 1 < size && next == '%') {
        EndPos = FindText(buf, size, "%>", Pos + 2);
        if (EndPos >= 0) EndPos += 1;
      } else if (Pos + 3 < size && FindText(buf + Pos + 1, 3, "!--", 0) == 0) {
        EndPos = FindText(buf, size, "-->", Pos + 2);
        if (EndPos >= 0) EndPos += 2;
      } else {
        EndPos = FindCharOutsideQuotes(buf, size, '>', Pos + 1);
      }
      if (EndPos < 0) {
        Report("> not found", Pos);
        return;
      }
      AddMarkup();
      continue;
    }
    const char* closing = nullptr;
    const char* message = nullptr;
    if (SameText(LastTagName, "script")) {
      closing = "</script";
      message = "</script> not match";
    } else if (SameText(LastTagName, "style")) {
      closing = "</style";
      message = "</style> not match";
    }
    if (closing) {
      Pos = FindText(buf, size, closing, EndPos + 1);
      if (Pos < 0) {
        Report(message, EndPos + 1);
        return;
      }
      AddText();
      continue;
    }
    Pos = FindChar(buf, size, '<', EndPos + 1);
    if (Pos < 0) {
      Pos = size;
      AddText();
      return;
    }
    AddText();
  }
}

void HtmlToTextLines(const std::string& Html, std::string& Text) {
  THTMLParser parser;
  parser.Buffer = Html;
  parser.Parse();
  Text.clear();
  for (const THTMLItem& item : parser.Items) {
    if (item.Kind != THTMLItemKind::Text) continue;
    std::string line = item.GetText();
    if (!HasNonBlank(line)) continue;
    Text += line;
    Text += "\r\n";
  }
}
