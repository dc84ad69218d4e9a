#pragma once
// A small, forgiving HTML splitter: cuts a buffer into a flat list of items
// (text, tag with its parameters, comment, server script) without building a
// tree and without decoding entities. It is fed received mail, so every scan
// is bounded by the buffer and each byte is looked at a bounded number of
// times: the work is linear in the input, and bad markup only ends parsing.
//
// Positions are 0-based byte offsets into the buffer. Items copy nothing:
// they point into THTMLParser::Buffer, so they are valid until the buffer
// changes or the next Parse.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A stretch of the buffer. Its text is empty when Text is null or Len < 1
// (a comment such as "<!-->" is an item with a negative length).
struct THTMLSpan {
  const char* Text = nullptr;
  int64_t Len = 0;

  std::string_view View() const {
    return Text && Len > 0 ? std::string_view(Text, static_cast<size_t>(Len)) : std::string_view();
  }
  std::string GetText() const { return std::string(View()); }
};

enum class THTMLItemKind : uint8_t { Text, Comment, ServerScript, Tag };

// Whole: the parameter as written, from the position after the previous one
// up to the end of its value. Value is null when there is no "=".
struct THTMLParam {
  THTMLSpan Whole;
  THTMLSpan Key;
  THTMLSpan Value;
};

// Name, Text (everything between "<" and ">") and the parameters in order.
struct THTMLTag {
  THTMLSpan Name;
  THTMLSpan Text;
  std::vector<THTMLParam> Params;  // stays unallocated for a tag without parameters
};

// One item in document order. For a tag, Text/Len is the tag's text and
// Tag indexes THTMLParser::Tags.
struct THTMLItem : THTMLSpan {
  THTMLItemKind Kind = THTMLItemKind::Text;
  int32_t Tag = -1;
};

// Message ("> not found", "</script> not match", "</style> not match",
// "key not defined in tag") and the offending text.
using THTMLParseError = std::function<void(const std::string& Message, std::string_view Text)>;

// The scanning routines. All take the buffer, its size and a start position
// and return a position or -1. "Blank" is tab, LF, CR or space.
namespace HtmlScan {
bool IsBlank(char c);
// Pattern's ASCII letters match either case; other bytes exactly.
int64_t FindText(const char* buf, int64_t size, std::string_view pattern, int64_t start);
int64_t FindChar(const char* buf, int64_t size, char c, int64_t start);
// A double or single quote opens a section skipped up to the next quote of
// the same kind not preceded by a backslash; an unterminated one gives -1.
int64_t FindCharOutsideQuotes(const char* buf, int64_t size, char c, int64_t start);
int64_t FindBlankOutsideQuotes(const char* buf, int64_t size, int64_t start);
// First non-blank at or after start.
int64_t SkipBlanks(const char* buf, int64_t size, int64_t start);
// Last non-blank at or before start, down to position 0.
int64_t SkipBlanksBack(const char* buf, int64_t size, int64_t start);
}  // namespace HtmlScan

// Splits the Len bytes at Text (what stands between "<" and ">") into a tag.
// onError (may be empty) hears of a "=" with no key before it; whole is what
// it is shown (the tag with its brackets).
void ParseHTMLTag(const char* text, int64_t len, THTMLTag& tag, const THTMLParseError& onError, std::string_view whole);

class THTMLParser {
public:
  THTMLParseError OnParseError;  // may be empty
  std::string LastTagName;       // name of the last tag read
  int64_t Pos = 0;
  int64_t EndPos = 0;
  int64_t PrevEnd = -1;
  std::string Buffer;  // the caller loads the input here
  std::vector<THTMLItem> Items;
  std::vector<THTMLTag> Tags;

  // Fills Items (and Tags) from Buffer; previous items are dropped first.
  void Parse();

  const THTMLTag& TagOf(const THTMLItem& item) const { return Tags[static_cast<size_t>(item.Tag)]; }

private:
  void AddText();
  void AddMarkup();
  void Report(const char* message, int64_t from);
};

// The text items of an HTML body that hold more than blanks, CR and LF, each
// followed by CR LF. Entities stay as they are; line breaks inside a text
// item are kept.
void HtmlToTextLines(const std::string& Html, std::string& Text);
