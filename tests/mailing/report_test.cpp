// The report: item lines, header, the saved text, the viewer's body files,
// and the report configuration's rules and project entry.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "db/DataSet.h"
#include "mailing/Report.h"
#include "mailing/ReportConfig.h"
#include "platform/SysUtils.h"
#include "support/MailTestSupport.h"

namespace fs = std::filesystem;

namespace {

class ReportTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFormatSettings(TFormatSettings::Default());
    dir = FreshDir("report");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string dir;
};

TEST_F(ReportTest, ItemLinesAreLaidOutByState) {
  const TDateTime t = EncodeDate(2026, 12, 10) + EncodeTime(14, 5, 9, 0);
  const std::string time = DateTimeToStr(t);
  ASSERT_EQ(time, "12/10/2026 2:05:09 PM");
  struct Case {
    int number;
    TMailItem item;
    std::string expected;
  };
  TMailItem sent, failed, waiting, plain, waitingWithError;
  sent.Sent = true, sent.SentTime = t, sent.ReportText = " | Paris | 3.5";
  failed.Failed = true, failed.SentTime = t, failed.ReportText = " | Oslo", failed.ErrorText = "Timeout";
  waiting.ReportText = " | Rome";
  waitingWithError.ErrorText = "old";
  const Case cases[] = {
      {7, sent, "7      Sent     12/10/2026 2:05:09 PM  | Paris | 3.5"},
      {12, failed, "12     Failed   12/10/2026 2:05:09 PM  | Oslo - \"Timeout\""},
      {1, waiting, "1      Not Sent                    | Rome"},
      {3, plain, "3      Not Sent " + std::string(17, ' ') + " "},
      {1234567, plain, "1234567 Not Sent " + std::string(17, ' ') + " "},
      {2, waitingWithError, "2      Not Sent " + std::string(17, ' ') + "  - \"old\""},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportItemLine(c.number, c.item), c.expected) << c.number;
  TMailList l;
  l.Items = {waiting, sent};
  EXPECT_EQ(ReportItemLines(l), (std::vector<std::string>{ReportItemLine(1, waiting), ReportItemLine(2, sent)}));
}

TEST_F(ReportTest, HeaderShowsTheListAndItsCounters) {
  TMailList l;
  l.Description = "\"News\" Using \"Clients\"";
  l.Prepared = EncodeDate(2026, 12, 1) + EncodeTime(9, 30, 0, 0);
  l.Charset = "utf-8";
  l.ContentType = "text/html";
  l.Attachments = {"/a/x.pdf"};
  l.Items.resize(5);
  TReportHeader h = BuildReportHeader(l, 3, 1);
  EXPECT_EQ(h.Caption, "Report - \"News\" Using \"Clients\"");
  EXPECT_EQ(h.Values(), (std::vector<std::string>{"12/1/2026 9:30:00 AM", "utf-8", "text/html", "5", "3", "1"}));
  EXPECT_EQ(h.Attachments, l.Attachments);
  EXPECT_STREQ(ReportHeaderLabels[2], "Mail Type -");
}

TEST_F(ReportTest, SavedReportOfAnEmptyListEndsWithList) {
  TMailList l;
  l.Description = "(NONAME) Using (NONAME)";
  const std::vector<std::string> lines = ReportFileLines(BuildReportHeader(l, 0, 0), ReportItemLines(l));
  const std::string zeroDate = DateTimeToStr(0);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"Report - (NONAME) Using (NONAME)", "", "Prepared - " + zeroDate, "Encoding - ",
                                      "Mail Type - ", "Amount - 0", "Sent - 0", "Failed - 0", "", "List"}));
  const std::string file = ReportSaveFileName(dir + "report");
  EXPECT_EQ(file, dir + "report.txt");
  EXPECT_EQ(SaveTextLines(file, lines), "");
  const std::string bytes = FileBytes(file);
  EXPECT_EQ(bytes.substr(bytes.size() - 8), "\r\nList\r\n");
}

TEST_F(ReportTest, SavedReportListsAttachmentsAndItems) {
  TMailList l;
  l.Description = "d";
  l.Attachments = {"/a/x.pdf", "/a/y.png"};
  l.Items.resize(2);
  l.Items[1].Failed = true;
  l.Items[1].ErrorText = "Timeout";
  const auto items = ReportItemLines(l);
  const auto lines = ReportFileLines(BuildReportHeader(l, 0, 1), items);
  const std::vector<std::string> tail = {"", "Attachments", "/a/x.pdf", "/a/y.png", "", "List", items[0], items[1]};
  ASSERT_EQ(lines.size(), 8 + tail.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 8, lines.end()), tail);
}

TEST_F(ReportTest, SaveNamesAndFolder) {
  struct Case {
    std::string chosen, file, folder;
  };
  const Case cases[] = {
      {"/home/u/Reports/june", "/home/u/Reports/june.txt", "/home/u/Reports/"},
      {"/home/u/Reports/june.log", "/home/u/Reports/june.log", "/home/u/Reports/"},
      {"/home/u/my.reports/june", "/home/u/my.reports/june.txt", "/home/u/my.reports/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReportSaveFileName(c.chosen), c.file);
    EXPECT_EQ(ReportFolderOf(ReportSaveFileName(c.chosen)), c.folder);
  }
  EXPECT_NE(SaveTextLines(dir + "missing/r.txt", {"x"}), "");
  EXPECT_FALSE(fs::exists(dir + "missing"));
}

TEST_F(ReportTest, ViewerFilesAreNumberedAndReplaced) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", dir.c_str(), 1);
  PutFileBytes(dir + "$repv_0.html", "someone else's");
  TReportViewerFile viewer;
  const std::string first = viewer.Write("<p>one</p>\r\n<p>two</p>");
  EXPECT_EQ(first, dir + "$repv_1.html");
  EXPECT_EQ(viewer.TempFile(), first);
  EXPECT_EQ(FileBytes(first), "<p>one</p>\r\n<p>two</p>\r\n");
  const std::string second = viewer.Write("");
  EXPECT_EQ(second, dir + "$repv_2.html");
  EXPECT_EQ(FileBytes(second), "\r\n");  // an empty body is one empty line
  EXPECT_FALSE(fs::exists(first));
  EXPECT_EQ(FileBytes(dir + "$repv_0.html"), "someone else's");
  viewer.Remove();
  EXPECT_FALSE(fs::exists(second));
  EXPECT_EQ(viewer.TempFile(), "");
  ::setenv("TMPDIR", (dir + "missing").c_str(), 1);
  EXPECT_EQ(viewer.Write("x"), "");
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

TEST_F(ReportTest, TextLinesSplitAtEveryLineEnd) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {""}}, {"a", {"a"}}, {"a\r\nb", {"a", "b"}}, {"a\nb\rc\r\n", {"a", "b", "c"}}, {"a\r\n\r\n", {"a", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToLines(c.text), c.lines) << c.text;
}

TEST_F(ReportTest, FieldChoicesLeaveOutBooleanAndMemoFields) {
  TDataSet table;
  EXPECT_TRUE(ReportFieldChoices(&table).empty());
  EXPECT_TRUE(ReportFieldChoices(nullptr).empty());
  TTableData d;
  d.Fields = {{"NAME", ftString, 20, 0}, {"PAID", ftBoolean, 0, 0}, {"AMOUNT", ftFloat, 0, 0},
              {"NOTES", ftMemo, 0, 0},   {"DAY", ftDate, 0, 0},     {"E_MAIL", ftString, 40, 0}};
  table.OpenData(std::move(d));
  EXPECT_EQ(ReportFieldChoices(&table), (std::vector<std::string>{"NAME", "AMOUNT", "DAY", "E_MAIL"}));
}

TEST_F(ReportTest, AddingAFieldTwiceIsRefused) {
  std::vector<std::string> fields = {"E_MAIL"};
  EXPECT_EQ(AddReportField(fields, "e_mail"), -1);
  EXPECT_EQ(AddReportField(fields, "ÄRGER"), 1);
  EXPECT_EQ(AddReportField(fields, "ärger"), -1);
  EXPECT_EQ(AddReportField(fields, "CITY"), 2);
  EXPECT_EQ(fields, (std::vector<std::string>{"E_MAIL", "ÄRGER", "CITY"}));
}

TEST_F(ReportTest, DeleteKeepsThePositionOrTakesTheLast) {
  std::vector<std::string> fields = {"A", "B", "C"};
  EXPECT_EQ(DeleteReportField(fields, 0), 0);
  EXPECT_EQ(fields, (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(DeleteReportField(fields, 1), 0);
  EXPECT_EQ(DeleteReportField(fields, 5), -1);
  EXPECT_EQ(fields, std::vector<std::string>{"B"});
  EXPECT_EQ(DeleteReportField(fields, 0), -1);
  EXPECT_TRUE(fields.empty());
}

TEST_F(ReportTest, ButtonsFollowTheChoices) {
  for (bool chosen : {false, true})
    for (bool selected : {false, true}) {
      TLogButtons b = UpdateLogButtons(chosen, selected);
      EXPECT_EQ(b.AddField, chosen);
      EXPECT_EQ(b.Delete, selected);
    }
}

TEST_F(ReportTest, ReportEntryJoinsTheNamesByCrLf) {
  EXPECT_EQ(ReportEntryText({"CITY", "AMOUNT"}), "CITY\r\nAMOUNT");
  EXPECT_EQ(ReportEntryText({}), "");
  EXPECT_EQ(ReportFieldsFromEntry("CITY\r\nAMOUNT"), (std::vector<std::string>{"CITY", "AMOUNT"}));
  EXPECT_EQ(ReportFieldsFromEntry("CITY\r\nAMOUNT\r\n"), (std::vector<std::string>{"CITY", "AMOUNT"}));
  EXPECT_TRUE(ReportFieldsFromEntry("").empty());
}

}  // namespace
