#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "mailing/DomCommands.h"
#include "mailing/EditorSync.h"
#include "mailing/MetaCharset.h"
#include "mailing/TableMarkup.h"

namespace {

// ---------------------------------------------------------------- command tables

TEST(DomCommands, TableRowsAndLookups) {
  const std::vector<std::pair<int, std::string>> expected = {
      {5000, "Bold"},          {5002, "Copy"},          {5003, "Cut"},
      {5004, "Delete"},        {5008, "Find"},          {5009, "FontName"},
      {5014, "FontSize"},      {5016, "CreateLink"},    {5017, "InsertImage"},
      {5018, "Indent"},        {5023, "Italic"},        {5024, "JustifyCenter"},
      {5025, "JustifyLeft"},   {5026, "JustifyRight"},  {5030, "InsertOrderedList"},
      {5031, "Outdent"},       {5032, "Paste"},         {5033, "Redo"},
      {5035, "SelectAll"},     {5044, "FontName"},      {5045, "FontSize"},
      {5046, "ForeColor"},     {5048, "Underline"},     {5049, "Undo"},
      {5050, "Unlink"},        {5051, "InsertUnorderedList"}};
  ASSERT_EQ(expected.size(), static_cast<size_t>(DomCommandCount));
  std::set<int> numbers;
  for (int i = 0; i < DomCommandCount; ++i) {
    EXPECT_EQ(DomCommandTable()[i].Number, expected[i].first);
    EXPECT_EQ(DomCommandTable()[i].Name, expected[i].second);
    ASSERT_NE(DomCommandName(expected[i].first), nullptr);
    EXPECT_EQ(DomCommandName(expected[i].first), expected[i].second);
    numbers.insert(DomCommandTable()[i].Number);
  }
  EXPECT_EQ(numbers.size(), expected.size());
  for (int missing : {0, 4999, 5001, 5034, 5052, -1}) EXPECT_EQ(DomCommandName(missing), nullptr) << missing;
}

TEST(DomCommands, HtmlCommandIdentifiersMapToEngineNames) {
  const std::vector<std::pair<int, std::string>> rows = {
      {hcOrderedList, "insertOrderedList"}, {hcUnorderedList, "insertUnorderedList"},
      {hcIndent, "indent"},                 {hcOutdent, "outdent"},
      {hcHorizontalLine, "insertHorizontalRule"}, {hcBlockFormat, "formatBlock"},
      {hcImage, "insertImage"},             {hcHyperlink, "createLink"},
      {hcFont, "fontName"}};
  for (const auto& [id, name] : rows) {
    ASSERT_NE(HtmlCommandName(id), nullptr) << id;
    EXPECT_EQ(HtmlCommandName(id), name);
  }
  EXPECT_EQ(HtmlCommandName(1), nullptr);
  for (int id : {hcImage, hcHyperlink, hcFont}) EXPECT_TRUE(HtmlCommandPrompts(id));
  for (int id : {hcHorizontalLine, hcOrderedList, hcIndent, hcBlockFormat}) EXPECT_FALSE(HtmlCommandPrompts(id));
}

TEST(DomCommands, BlockFormatItems) {
  struct Row {
    const char* item;
    const char* command;
    const char* tag;
  };
  const Row rows[] = {{"Normal", "formatBlock", "p"},           {"Paragraph", "formatBlock", "p"},
                      {"Formatted", "formatBlock", "pre"},      {"Address", "formatBlock", "address"},
                      {"Heading 1", "formatBlock", "h1"},       {"Heading 6", "formatBlock", "h6"},
                      {"Definition Term", "formatBlock", "dt"}, {"Definition", "formatBlock", "dd"},
                      {"Numbered List", "insertOrderedList", nullptr},
                      {"Bulleted List", "insertUnorderedList", nullptr},
                      {"Directory List", "insertUnorderedList", nullptr},
                      {"Menu List", "insertUnorderedList", nullptr}};
  for (const Row& r : rows) {
    const TBlockFormatAction a = BlockFormatFor(r.item);
    ASSERT_NE(a.Command, nullptr) << r.item;
    EXPECT_STREQ(a.Command, r.command) << r.item;
    if (r.tag) {
      EXPECT_STREQ(a.Tag, r.tag) << r.item;
    }
  }
  for (int h = 1; h <= 6; ++h)
    EXPECT_EQ(std::string(BlockFormatFor("Heading " + std::to_string(h)).Tag), "h" + std::to_string(h));
  EXPECT_EQ(BlockFormatFor("heading 1").Command, nullptr);
  EXPECT_EQ(BlockFormatFor("").Command, nullptr);
}

// ---------------------------------------------------------------- META rewrite

TEST(MetaCharset, Cases) {
  const std::string tag = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">";
  struct Row {
    const char* name;
    std::string in;
    std::string out;
  };
  const std::vector<Row> rows = {
      {"none", "<html><head></head><body>x</body></html>", "<html><head></head><body>x</body></html>"},
      {"charset only", "<meta charset=\"utf-8\"><p>", "<meta charset=\"utf-8\"><p>"},
      {"as the engine writes it",
       "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head></html>",
       "<html><head>" + tag + "</head></html>"},
      {"upper case", "a<META http-equiv=\"x\" content=\"y\">b", "a" + tag + "b"},
      {"mixed case", "<Meta HTTP-Equiv=refresh>", tag},
      {"only the first",
       "<meta http-equiv=\"a\"><meta http-equiv=\"b\">",
       tag + "<meta http-equiv=\"b\">"},
      {"no end", "<meta http-equiv=\"a\"", "<meta http-equiv=\"a\""},
      {"lt before gt", "<meta http-equiv=\"a\" <b>", "<meta http-equiv=\"a\" <b>"},
      {"at the very end", "x<meta http-equiv", "x<meta http-equiv"},
      {"empty", "", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(RewriteMetaCharset(r.in, "windows-1251"), r.out) << r.name;
}

// ---------------------------------------------------------------- Insert Table

TEST(TableMarkup, WidthText) {
  EXPECT_EQ(TableWidthText(false, false, "55"), "100%");
  EXPECT_EQ(TableWidthText(false, true, "55"), "100%");
  EXPECT_EQ(TableWidthText(true, true, "55"), "55");
  EXPECT_EQ(TableWidthText(true, false, "55"), "55%");
  EXPECT_EQ(TableWidthText(true, false, ""), "%");
  EXPECT_EQ(TableWidthText(true, true, ""), "");
}

std::string Cells(const std::vector<std::string>& widths) {
  std::string s = "<tr>";
  for (const auto& w : widths) s += w.empty() ? "<td>&nbsp;</td>" : "<td width=\"" + w + "\">&nbsp;</td>";
  return s + "</tr>";
}

TEST(TableMarkup, Cases) {
  struct Row {
    const char* name;
    int rows, cols;
    std::string width;
    std::vector<std::string> cells;
    bool invalid;
  };
  const std::vector<Row> rows = {
      {"percent shares", 2, 3, "100%", {"33%", "33%", "34%"}, false},
      {"pixels", 1, 3, "7", {"2", "2", "3"}, false},
      {"empty percent", 2, 2, "%", {"", ""}, true},
      {"empty", 1, 2, "", {"", ""}, false},
      {"not a number", 1, 2, "abc", {"", ""}, true},
      {"zero", 1, 2, "0", {"", ""}, false},
      {"one column", 3, 1, "50%", {"50%"}, false},
      {"fewer than columns", 1, 3, "2", {"0", "0", "2"}, false},
  };
  for (const Row& r : rows) {
    const TTableMarkup m = BuildTableMarkup(r.rows, r.cols, "1", "2", "3", r.width);
    std::string body;
    for (int i = 0; i < r.rows; ++i) body += Cells(r.cells);
    EXPECT_EQ(m.Html, "<table border=1 cellpadding=2 cellspacing=3 width=\"" + r.width + "\">" + body + "</table>")
        << r.name;
    EXPECT_EQ(m.InvalidWidth, r.invalid) << r.name;
  }
}

TEST(TableMarkup, NothingWithoutRowsOrColumns) {
  for (auto [r, c] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{0, 0}, std::pair{-1, 2}}) {
    const TTableMarkup m = BuildTableMarkup(r, c, "1", "1", "1", "x");
    EXPECT_TRUE(m.Html.empty());
    EXPECT_FALSE(m.InvalidWidth);
  }
}

TEST(TableMarkup, CellsAddUpToTheWidth) {
  for (int w = 1; w <= 200; w += 7)
    for (int cols = 1; cols <= 25; ++cols) {
      const std::string html = BuildTableMarkup(1, cols, "0", "0", "0", std::to_string(w)).Html;
      int sum = 0, count = 0;
      for (size_t p = html.find("<td width=\""); p != std::string::npos; p = html.find("<td width=\"", p + 1)) {
        sum += std::stoi(html.substr(p + 11));
        ++count;
      }
      EXPECT_EQ(count, cols);
      EXPECT_EQ(sum, w) << w << " over " << cols;
    }
}

// ---------------------------------------------------------------- synchronisation

class TFakeHost : public IEditorSyncHost {
public:
  std::vector<std::string> calls;
  std::string source = "<p>src</p>";
  std::string document = "<p>doc</p>";
  std::string snapshot;
  bool throwOnLoad = false;
  TEditorSync* sync = nullptr;  // completes the document like the browser does

  void LoadSourceIntoBrowser() override {
    calls.push_back("load");
    if (throwOnLoad) throw std::runtime_error("load");
    document = source;
    if (sync) sync->DocumentComplete();
  }
  std::string GetHtmlStr() override {
    calls.push_back("get");
    return document;
  }
  void SetSourceText(const std::string& t) override {
    calls.push_back("set");
    source = t;
  }
  void RefreshCommands() override { calls.push_back("refresh"); }
  void RefreshEditCommands() override { calls.push_back("edit"); }
  void EnableEditorViews() override { calls.push_back("views"); }
  void StartTimer1() override { calls.push_back("timer1"); }
  void TakeProjectSnapshot() override { calls.push_back("snapshot"); }
  bool HtmlSnapshotEmpty() override { return snapshot.empty(); }
  void SetHtmlSnapshot(const std::string& h) override { snapshot = h; }
};

TEST(EditorSync, FirstDocumentLoadsTwiceAndStartsTimer1) {
  TFakeHost host;
  TEditorSync s(host);
  host.sync = &s;
  EXPECT_TRUE(s.EditorLoading);
  s.DocumentComplete();
  EXPECT_FALSE(s.EditorLoading);
  EXPECT_TRUE(s.DocumentReady);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"load", "load", "views", "timer1"}));
  host.calls.clear();
  s.DocumentComplete();  // later documents do nothing more
  EXPECT_TRUE(host.calls.empty());
  s.Timer1Fired();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"get", "set", "snapshot"}));
}

TEST(EditorSync, LeavingEditCopiesOnlyEditedDocument) {
  TFakeHost host;
  TEditorSync s(host);
  s.EditorLoading = false;
  s.DocumentReady = true;
  s.DocumentHoldsSource = true;
  s.LeaveEditTab();
  EXPECT_EQ(host.source, "<p>src</p>");
  host.snapshot = "x";
  s.UpdateUI();
  EXPECT_TRUE(s.HtmlEdited);
  EXPECT_FALSE(s.SourceEdited);
  s.LeaveEditTab();
  EXPECT_EQ(host.source, "<p>doc</p>");
  EXPECT_FALSE(s.HtmlEdited);
  EXPECT_FALSE(s.SourceEdited);
}

TEST(EditorSync, LeavingSourceReloadsOnlyTypedSource) {
  TFakeHost host;
  TEditorSync s(host);
  host.sync = &s;
  s.EditorLoading = false;
  s.LeaveSourceTab();
  EXPECT_TRUE(host.calls.empty());
  s.UpdateUI();
  s.SourceChanged();
  EXPECT_TRUE(s.SourceEdited);
  EXPECT_FALSE(s.HtmlEdited);
  host.calls.clear();
  s.LeaveSourceTab();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"load"}));
  EXPECT_EQ(host.document, "<p>src</p>");
  EXPECT_FALSE(s.SourceEdited);
  EXPECT_FALSE(s.HtmlEdited);
}

TEST(EditorSync, SnapshotTakenAtFirstUpdateWhenReady) {
  TFakeHost host;
  TEditorSync s(host);
  s.UpdateUI();  // not ready: no snapshot
  EXPECT_TRUE(host.snapshot.empty());
  s.DocumentReady = true;
  s.UpdateUI();
  EXPECT_EQ(host.snapshot, "<p>doc</p>");
  host.document = "<p>other</p>";
  s.UpdateUI();
  EXPECT_EQ(host.snapshot, "<p>doc</p>");
}

TEST(EditorSync, FailedLoadClearsSourceEditedAndRaises) {
  TFakeHost host;
  TEditorSync s(host);
  s.DocumentReady = true;
  s.SourceEdited = true;
  host.throwOnLoad = true;
  EXPECT_THROW(s.AssignHTML(), std::runtime_error);
  EXPECT_FALSE(s.SourceEdited);
  EXPECT_FALSE(s.DocumentReady);
}

TEST(EditorSync, PreviewAndTimer2CopyTheDocument) {
  TFakeHost host;
  TEditorSync s(host);
  s.DocumentHoldsSource = true;
  s.SyncEditedHtml();
  EXPECT_EQ(host.source, "<p>src</p>");
  s.HtmlEdited = true;
  s.SyncEditedHtml();
  EXPECT_EQ(host.source, "<p>doc</p>");
  EXPECT_FALSE(s.HtmlEdited);
  host.document = "<p>charset</p>";
  host.calls.clear();
  s.Timer2Fired();
  EXPECT_EQ(host.source, "<p>charset</p>");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"get", "set"}));
}

// A Source text set from a project while the document still holds an older
// one: no copy may put that older document over it; Timer1 loads it instead.
TEST(EditorSync, StaleDocumentNeverReplacesTheSource) {
  TFakeHost host;
  TEditorSync s(host);
  host.sync = &s;
  s.DocumentComplete();
  ASSERT_TRUE(s.DocumentHoldsSource);
  host.document = "<p>old</p>";
  host.SetSourceText("<p>project</p>");
  s.SourceReplaced();
  const std::vector<std::function<void()>> copies = {
      [&] {
        s.HtmlEdited = true;
        s.LeaveEditTab();
      },
      [&] {
        s.HtmlEdited = true;
        s.SyncEditedHtml();
      },
      [&] { s.Timer2Fired(); }};
  for (const auto& copy : copies) {
    copy();
    EXPECT_EQ(host.source, "<p>project</p>");
  }
  host.calls.clear();
  s.Timer1Fired();
  EXPECT_EQ(host.source, "<p>project</p>");
  EXPECT_EQ(host.document, "<p>project</p>");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"load", "snapshot"}));
  EXPECT_TRUE(s.DocumentHoldsSource);
  // Typing into the Source makes the document stale too.
  s.SourceChanged();
  host.source = "<p>typed</p>";
  s.Timer2Fired();
  EXPECT_EQ(host.source, "<p>typed</p>");
  // Once loaded, the document is copied again.
  s.AssignHTML();
  host.document = "<p>edited</p>";
  s.Timer2Fired();
  EXPECT_EQ(host.source, "<p>edited</p>");
}

// A project's text set while the view was hidden reaches the document before
// the document is shown or changed, and the HTML snapshot is taken before the
// first change, so that a typed key counts as a modification.
TEST(EditorSync, DocumentHoldsTheSourceBeforeUse) {
  TFakeHost host;
  TEditorSync s(host);
  host.sync = &s;
  s.EnsureDocument();  // before the first document: the first document loads it
  EXPECT_TRUE(host.calls.empty());
  s.DocumentComplete();
  host.calls.clear();
  s.EnsureDocument();  // already there
  EXPECT_TRUE(host.calls.empty());
  host.document = "<p>old, edited</p>";
  s.HtmlEdited = true;
  host.SetSourceText("<p>project</p>");
  s.SourceReplaced();
  EXPECT_FALSE(s.HtmlEdited);  // the edits were the old text's
  host.calls.clear();
  s.BeforeUserChange();
  EXPECT_EQ(host.document, "<p>project</p>");
  EXPECT_EQ(host.snapshot, "<p>project</p>");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"load", "get"}));
  // The snapshot is kept until the project's next snapshot empties it.
  host.document = "<p>project, typed</p>";
  host.calls.clear();
  s.BeforeUserChange();
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(host.snapshot, "<p>project</p>");
  // A failed load is shown by the caller; no snapshot of a stale document.
  host.snapshot.clear();
  s.SourceReplaced();
  host.throwOnLoad = true;
  EXPECT_THROW(s.BeforeUserChange(), std::runtime_error);
  EXPECT_TRUE(host.snapshot.empty());
}

}  // namespace
