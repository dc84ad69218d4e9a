// Feeds arbitrary bytes to the HTML splitter and to the text extraction of
// received mail, and checks that every item and parameter lies inside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "toolkit/HTMLPars.h"

namespace {

void Inside(const THTMLSpan& s, const std::string& buf) {
  if (s.Len < 1) return;
  const char* lo = buf.data();
  if (s.Text < lo || s.Text + s.Len > lo + buf.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  THTMLParser parser;
  size_t errors = 0;
  parser.OnParseError = [&](const std::string&, std::string_view text) {
    if (text.size() > parser.Buffer.size()) std::abort();
    ++errors;
  };
  parser.Buffer = input;
  parser.Parse();
  for (const THTMLItem& item : parser.Items) {
    Inside(item, parser.Buffer);
    if (item.Kind == THTMLItemKind::Tag) {
      const THTMLTag& tag = parser.TagOf(item);
      Inside(tag.Name, parser.Buffer);
      for (const THTMLParam& p : tag.Params) {
        Inside(p.Whole, parser.Buffer);
        Inside(p.Key, parser.Buffer);
        Inside(p.Value, parser.Buffer);
      }
    }
  }
  std::string text;
  HtmlToTextLines(input, text);
  // Lines come from the input's bytes plus a CR LF each.
  if (text.size() > input.size() * 3 + 2) std::abort();
  return 0;
}
