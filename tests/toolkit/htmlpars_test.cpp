#include "toolkit/HTMLPars.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// One item as the tests compare it: kind letter and text; a tag adds its
// parameters as "key=value" ("key" alone without "=").
std::string Describe(const THTMLParser& p, const THTMLItem& item) {
  switch (item.Kind) {
    case THTMLItemKind::Text: return "T:" + item.GetText();
    case THTMLItemKind::Comment: return "C:" + item.GetText();
    case THTMLItemKind::ServerScript: return "S:" + item.GetText();
    case THTMLItemKind::Tag: break;
  }
  const THTMLTag& tag = p.TagOf(item);
  std::string s = "<" + tag.Name.GetText();
  for (const THTMLParam& prm : tag.Params) {
    s += " " + prm.Key.GetText();
    if (prm.Value.Text) s += "=" + prm.Value.GetText();
  }
  return s + ">";
}

struct TParsed {
  std::vector<std::string> items;
  std::vector<std::pair<std::string, std::string>> errors;
};

TParsed ParseAll(const std::string& html) {
  THTMLParser p;
  TParsed r;
  p.OnParseError = [&](const std::string& msg, std::string_view text) {
    r.errors.emplace_back(msg, std::string(text));
  };
  p.Buffer = html;
  p.Parse();
  for (const THTMLItem& item : p.Items) {
    // Every item lies inside the buffer.
    if (item.Len > 0) {
      EXPECT_GE(item.Text, p.Buffer.data());
      EXPECT_LE(item.Text + item.Len, p.Buffer.data() + p.Buffer.size());
    }
    r.items.push_back(Describe(p, item));
  }
  return r;
}

using Items = std::vector<std::string>;
using Errors = std::vector<std::pair<std::string, std::string>>;

struct TParseCase {
  const char* name;
  std::string html;
  Items items;
  Errors errors;
};

class ParseCases : public ::testing::TestWithParam<TParseCase> {};

TEST_P(ParseCases, GivesTheItems) {
  const TParseCase& c = GetParam();
  TParsed r = ParseAll(c.html);
  EXPECT_EQ(r.items, c.items);
  EXPECT_EQ(r.errors, c.errors);
}

const TParseCase kParseCases[] = {
    {"NoStartMarkerIsOneText", "Dear <b>John</b>,\r\nsee you", {"T:Dear <b>John</b>,\r\nsee you"}, {}},
    {"Empty", "", {}, {}},
    {"ParagraphInBody", "<body><p>Hello</p></body>", {"<body>", "<p>", "T:Hello", "</p>", "</body>"}, {}},
    {"MarkerFoundWithoutRegardToCase", "x<BODY>y", {"T:x", "<BODY>", "T:y"}, {}},
    {"QuotedValuesHoldGreaterThanAndBlanks",
     "<body><a href=\"x > y\" title='it\\'s > here' id=z>t</a>",
     {"<body>", "<a href=x > y title=it\\'s > here id=z>", "T:t", "</a>"},
     {}},
    {"UnterminatedTagEndsWithTheLastCompleteItem", "<body>Hello<b", {"<body>", "T:Hello"}, {{"> not found", "<b"}}},
    {"UnterminatedQuoteInsideTag",
     "<body>a<p title=\"x>b</p>",
     {"<body>", "T:a"},
     {{"> not found", "<p title=\"x>b</p>"}}},
    {"LessThanAtTheVeryEnd", "<body>a<", {"<body>", "T:a"}, {{"> not found", "<"}}},
    {"ScriptAndStyleBodiesAreText",
     "<html><script>if (a<b) x='</p>';</script><style> </style><p>t</p>",
     {"<html>", "<script>", "T:if (a<b) x='</p>';", "</script>", "<style>", "T: ", "</style>", "<p>", "T:t", "</p>"},
     {}},
    {"ScriptTagWithParameters",
     "<SCRIPT type=\"text/javascript\">a>b</Script>",
     {"<SCRIPT type=text/javascript>", "T:a>b", "</Script>"},
     {}},
    {"UnclosedScript", "<script>var a;", {"<script>"}, {{"</script> not match", "var a;"}}},
    {"UnclosedStyle", "<body><style>p{}", {"<body>", "<style>"}, {{"</style> not match", "p{}"}}},
    {"Comments",
     "<body><!-- a > b --><!----><!-->x<!DOCTYPE html>",
     {"<body>", "C: a > b ", "C:", "C:", "T:x", "<!DOCTYPE html>"},
     {}},
    {"UnterminatedComment",
     "<body>a<!-- never closed > here",
     {"<body>", "T:a"},
     {{"> not found", "<!-- never closed > here"}}},
    {"ServerScript", "<body><% x > 1 %>t", {"<body>", "S: x > 1 ", "T:t"}, {}},
    {"UnterminatedServerScript", "<body><% x > 1", {"<body>"}, {{"> not found", "<% x > 1"}}},
    {"EmptyTagAddsNothing", "<body><>a", {"<body>", "T:a"}, {}},
    {"KeyNotDefinedKeepsTheOtherParameters",
     "<body><a =x b=1>",
     {"<body>", "<a b=1>"},
     {{"key not defined in tag", "<a =x b=1>"}}},
    {"TrailingWordsWithoutValue",
     "<body><input type=checkbox checked  disabled >",
     {"<body>", "<input type=checkbox checked  disabled>"},
     {}},
    {"BlanksAroundTheEquals", "<body><a  x = \"1\"  y>", {"<body>", "<a x=1 y>"}, {}},
    {"EmptyValue", "<body><a x= >", {"<body>", "<a x=>"}, {}},
    {"LoneQuoteValue", "<body><a x=\"\">", {"<body>", "<a x=>"}, {}},
    {"NulBytes",
     std::string("<body>a\0b<p\0q=1>c", 17),
     {"<body>", std::string("T:a\0b", 5), std::string("<p\0q=1>", 7), "T:c"},
     {}},
};

INSTANTIATE_TEST_SUITE_P(HtmlParser, ParseCases, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HtmlParser, ParameterSpans) {
  THTMLParser p;
  p.Buffer = "<body><a  x = \"1\"  y>";
  p.Parse();
  ASSERT_EQ(p.Items.size(), 2u);
  const THTMLTag& tag = p.TagOf(p.Items[1]);
  EXPECT_EQ(tag.Text.GetText(), "a  x = \"1\"  y");
  EXPECT_EQ(tag.Name.GetText(), "a");
  ASSERT_EQ(tag.Params.size(), 2u);
  EXPECT_EQ(tag.Params[0].Whole.GetText(), " x = \"1\"");
  EXPECT_EQ(tag.Params[0].Key.GetText(), "x");
  EXPECT_EQ(tag.Params[0].Value.GetText(), "1");
  EXPECT_EQ(tag.Params[1].Whole.GetText(), " y");
  EXPECT_EQ(tag.Params[1].Value.Text, nullptr);
  EXPECT_TRUE(p.TagOf(p.Items[0]).Params.empty());
}

TEST(HtmlParser, ErrorWithoutHandlerKeepsTheItemsSoFar) {
  THTMLParser p;
  p.Buffer = "<body><p>a</p><a =1><b";
  p.Parse();
  ASSERT_EQ(p.Items.size(), 5u);
  EXPECT_EQ(p.Items[4].Kind, THTMLItemKind::Tag);
  EXPECT_TRUE(p.TagOf(p.Items[4]).Params.empty());
}

TEST(HtmlParser, ParseAgainStartsAfresh) {
  THTMLParser p;
  p.Buffer = "<body><script>never closed";
  p.Parse();
  EXPECT_EQ(p.LastTagName, "script");
  p.Buffer = "<body>a<b>c";
  p.Parse();
  ASSERT_EQ(p.Items.size(), 4u);
  EXPECT_EQ(p.Items[1].GetText(), "a");
  EXPECT_EQ(p.Items[3].GetText(), "c");
  p.Buffer.clear();
  p.Parse();
  EXPECT_TRUE(p.Items.empty());
  EXPECT_TRUE(p.Tags.empty());
}

TEST(HtmlScanning, Routines) {
  using namespace HtmlScan;
  const std::string s = "ab \"c>\\\"d>\" e'>'>\tf";
  const char* b = s.data();
  const auto n = static_cast<int64_t>(s.size());
  EXPECT_EQ(FindText(b, n, "AB", 0), 0);
  EXPECT_EQ(FindText(b, n, "e'", 0), 12);
  EXPECT_EQ(FindText(b, n, "ab", 1), -1);
  EXPECT_EQ(FindText(b, n, "xyz", 0), -1);
  EXPECT_EQ(FindText(b, n, "f", n), -1);
  EXPECT_EQ(FindChar(b, n, '>', 0), 5);
  EXPECT_EQ(FindChar(b, n, '>', n), -1);
  EXPECT_EQ(FindChar(b, n, '>', -3), -1);
  // The escaped quote does not end the section; the single-quoted ">" is skipped too.
  EXPECT_EQ(FindCharOutsideQuotes(b, n, '>', 0), 16);
  EXPECT_EQ(FindCharOutsideQuotes(b, n, '>', 17), -1);
  EXPECT_EQ(FindBlankOutsideQuotes(b, n, 3), 11);
  EXPECT_EQ(FindBlankOutsideQuotes(b, n, 13), 17);
  const std::string open = "a 'b c";
  EXPECT_EQ(FindBlankOutsideQuotes(open.data(), 6, 2), -1);
  EXPECT_EQ(FindCharOutsideQuotes(open.data(), 6, 'c', 0), -1);
  const std::string blanks = " \t\r\nx \n";
  EXPECT_EQ(SkipBlanks(blanks.data(), 7, 0), 4);
  EXPECT_EQ(SkipBlanks(blanks.data(), 7, 5), -1);
  EXPECT_EQ(SkipBlanks(blanks.data(), 7, 7), -1);
  EXPECT_EQ(SkipBlanksBack(blanks.data(), 7, 6), 4);
  EXPECT_EQ(SkipBlanksBack(blanks.data(), 7, 3), -1);
  EXPECT_EQ(SkipBlanksBack(blanks.data(), 7, 7), -1);
  EXPECT_EQ(SkipBlanksBack(blanks.data(), 7, -1), -1);
}

struct TLinesCase {
  const char* name;
  std::string html;
  std::string text;
};

class LinesCases : public ::testing::TestWithParam<TLinesCase> {};

TEST_P(LinesCases, GiveTheText) {
  std::string text = "old";
  HtmlToTextLines(GetParam().html, text);
  EXPECT_EQ(text, GetParam().text);
}

const TLinesCase kLinesCases[] = {
    {"PlainTextWhole", "no markup\r\nat all", "no markup\r\nat all\r\n"},
    {"BlankPlainText", " \r\n ", ""},
    {"OnlyHelloOfAParagraph", "<body><p>Hello</p></body>", "Hello\r\n"},
    {"EntitiesStayAndBreaksAreKept", "<html><body>a&nbsp;b<br>\r\n<p>line one\r\nline two</p> \r\n</body></html>",
     "a&nbsp;b\r\nline one\r\nline two\r\n"},
    {"TabCountsAsText", "<body>\t<p> </p>", "\t\r\n"},
    {"CommentsAndTagsAreNotText", "<body><!-- hidden --><%x%><b>seen</b>", "seen\r\n"},
    {"ScriptBodyIsALine", "<html><script>var a = 1;</script><style>\r\n</style>x", "var a = 1;\r\nx\r\n"},
    {"UnterminatedTagDropsTheRest", "<body>one<p>two<a href=\"x>three", "one\r\ntwo\r\n"},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(HtmlToTextLines, LinesCases, ::testing::ValuesIn(kLinesCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Hostile shapes at 50 MB: nothing crashes, every item stays inside the
// buffer, and what is complete is kept.
TEST(HtmlParserLarge, FiftyMegabyteInputs) {
  constexpr size_t kSize = 50u << 20;
  auto checkSpans = [](const THTMLParser& p) {
    const char* lo = p.Buffer.data();
    const char* hi = lo + p.Buffer.size();
    for (const THTMLItem& item : p.Items)
      if (item.Len > 0) {
        ASSERT_TRUE(item.Text >= lo && item.Text + item.Len <= hi);
      }
    for (const THTMLTag& tag : p.Tags)
      for (const THTMLParam& prm : tag.Params)
        for (const THTMLSpan* s : {&prm.Whole, &prm.Key, &prm.Value})
          if (s->Len > 0) {
            ASSERT_TRUE(s->Text >= lo && s->Text + s->Len <= hi);
          }
  };
  {
    // An ordinary message body, repeated.
    THTMLParser p;
    const std::string chunk = "<p class=\"x\" id='y'>Hello &nbsp; world</p>\r\n";
    p.Buffer = "<html><body>";
    while (p.Buffer.size() < kSize) p.Buffer += chunk;
    p.Parse();
    const size_t chunks = (p.Buffer.size() - 12) / chunk.size();
    EXPECT_EQ(p.Items.size(), 2 + chunks * 4);
    checkSpans(p);
  }
  struct TShape {
    const char* name;
    std::string head;
    char fill;
    size_t items;
    const char* error;
  };
  const TShape shapes[] = {
      {"unterminated quote", "<html><a href=\"", 'x', 1, "> not found"},
      {"unterminated comment", "<body><!--", '-', 1, "> not found"},
      {"unterminated server script", "<body><%", '%', 1, "> not found"},
      {"unterminated script", "<script>", '<', 1, "</script> not match"},
      {"NUL bytes", "<body>", '\0', 2, nullptr},
      {"quotes only", "<body><a ", '"', 1, nullptr},
      {"blanks inside a tag", "<body><a", ' ', 1, "> not found"},
  };
  for (const TShape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    THTMLParser p;
    std::string error;
    p.OnParseError = [&](const std::string& msg, std::string_view) { error = msg; };
    p.Buffer = shape.head;
    p.Buffer.resize(kSize, shape.fill);
    p.Parse();
    EXPECT_EQ(p.Items.size(), shape.items);
    if (shape.error) {
      EXPECT_EQ(error, shape.error);
    }
    checkSpans(p);
  }
  {
    // Many small tags, each with an "=" and no key (fewer: each tag costs
    // far more memory than its ten bytes).
    THTMLParser p;
    p.Buffer = "<body>";
    while (p.Buffer.size() < kSize / 10) p.Buffer += "<a =\"1\" b>";
    int errors = 0;
    p.OnParseError = [&](const std::string&, std::string_view) { ++errors; };
    p.Parse();
    EXPECT_EQ(static_cast<size_t>(errors), p.Tags.size() - 1);
    checkSpans(p);
  }
}

}  // namespace
