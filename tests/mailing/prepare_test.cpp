// Preparing the mailing from the open table, Clear List and the first-show
// load, with a fake merge and a recording window.

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "db/DataSet.h"
#include "mailing/MailListFiles.h"
#include "mailing/Merge.h"
#include "mailing/PreparedMailing.h"
#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "support/MailTestSupport.h"
#include "support/MergeFakes.h"

namespace fs = std::filesystem;

namespace {

// Fields: ID, EMAIL, CITY, AMOUNT, BORN, ACTIVE, NOTES.
void OpenClients(TDataSet& ds, int rows) {
  TTableData d;
  d.Fields = {{"ID", ftInteger, 0, 0},   {"EMAIL", ftString, 40, 0}, {"CITY", ftString, 20, 0},
              {"AMOUNT", ftFloat, 0, 0}, {"BORN", ftDateTime, 0, 0}, {"ACTIVE", ftBoolean, 0, 0},
              {"NOTES", ftMemo, 0, 0}};
  for (int i = 1; i <= rows; ++i) {
    std::vector<TValue> r = {int64_t{i},
                             i == 3 ? std::string() : "c" + std::to_string(i) + "@example.com",
                             std::string(i % 2 ? "Paris" : "Oslo"),
                             i + 0.5,
                             EncodeDate(1990, 1, 1) + i + 0.25,
                             i % 2 == 0,
                             std::string("memo text")};
    d.Rows.push_back(PackRow(r));
  }
  d.ReadOnlyReason = "read-only";
  ds.OpenData(std::move(d));
}

class TRecordingView : public IMailingView {
public:
  TSendState SendState() const override { return state; }
  void SetSendState(TSendState s) override {
    state = s;
    states.push_back(s);
  }
  void SetWaitCursor(bool on) override { waitCursor = on; }
  void ShowDescription(const std::string& t) override { description = t; }
  void ShowStatus(const std::string& t) override {
    status = t;
    statuses.push_back(t);
  }
  void ShowCounters() override { ++counters; }
  void ResetProgress() override { bar = 0; }
  void ShowProgress(int done, int total) override {
    if (total > 0 && 100 * done / total > bar) bar = 100 * done / total;
  }
  void UpdateCaption() override { ++captions; }
  // The boxes as the window shows them.
  void ShowError(const std::string& t) override { ErrorBox(t); }
  bool Confirm(const std::string& q) override { return ConfirmBox(q) == TMsgResult::Yes; }

  TSendState state = ssIdle;
  std::vector<int> states;
  bool waitCursor = false;
  std::string description, status;
  std::vector<std::string> statuses;
  int counters = 0, bar = 0, captions = 0;
};

TPrepareProject Project() {
  TPrepareProject p;
  p.ProjectFileName = "/home/u/Projects/News.lkp";
  p.TableName = "Clients.dbf";
  p.Charset = "utf-8";
  p.MailMode = mmHtml;
  p.Subject = "Hello %CITY";
  p.HtmlSource = "<p>Dear %EMAIL</p>";
  p.PlainText = "Dear %EMAIL (plain)";
  p.ToAddr = "EMAIL";
  p.Attachments = {"/tmp/a.pdf"};
  return p;
}

class PrepareTest : public ::testing::Test {
protected:
  PrepareTest() { SetUpMergeReader(reader); }
  void SetUp() override {
    SetFormatSettings(TFormatSettings::Default());
    dir = FreshDir("prepare");
  }
  void TearDown() override { fs::remove_all(dir); }

  // What the files hold now.
  TPreparedMailing Reloaded() {
    TPreparedMailing m(dir, "utf-8");
    TRecordingView v;
    m.LoadList(v);
    return m;
  }

  std::string dir;
  TScopedScriptedMessages boxes;
  TDataSet table;
  TFakeTableTagSource values;
  TReader reader;
  TFakeSign sign{'%'};
  TBoxedMergeWarnings warnings;
  TMerger merge{reader, values, sign, warnings};
  TRecordingView view;
};

TEST_F(PrepareTest, FromRecordFiveOfTenGivesSixItemsAndKeepsTheRecord) {
  OpenClients(table, 10);
  table.SetRecNo(5);
  TPreparedMailing m(dir, "utf-8");
  const TDateTime before = Now();
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(table.RecNo(), 5);
  ASSERT_EQ(m.MailList.Items.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    const TMailItem& it = m.MailList.Items[static_cast<size_t>(i)];
    const int rec = 5 + i;
    EXPECT_EQ(it.To, "c" + std::to_string(rec) + "@example.com");
    EXPECT_EQ(it.Subject, std::string("Hello ") + (rec % 2 ? "Paris" : "Oslo"));
    EXPECT_EQ(it.Body, "<p>Dear c" + std::to_string(rec) + "@example.com</p>");
    EXPECT_EQ(it.ReportText, "");
    EXPECT_FALSE(it.Sent || it.Failed);
  }
  EXPECT_EQ(m.MailList.Description, "\"News\" Using \"Clients\"");
  EXPECT_EQ(m.MailList.ContentType, "text/html");
  EXPECT_EQ(m.MailList.Charset, "utf-8");
  EXPECT_EQ(m.MailList.Reserved, 0);
  EXPECT_EQ(m.MailList.Attachments, std::vector<std::string>{"/tmp/a.pdf"});
  EXPECT_GE(m.MailList.Prepared, before);
  EXPECT_TRUE(m.ListLoaded);
  // The window saw every step.
  EXPECT_EQ(view.states, (std::vector<int>{ssPreparing, ssIdle}));
  EXPECT_EQ(view.statuses, (std::vector<std::string>{"Preparing the list...", "Saving the List...",
                                                     "The list is prepared successfully"}));
  EXPECT_EQ(view.description, "\"News\" Using \"Clients\"");
  EXPECT_FALSE(view.waitCursor);
  EXPECT_FALSE(table.ControlsDisabled());
  EXPECT_EQ(view.captions, 1);
  // The files hold the same list.
  TPreparedMailing back = Reloaded();
  ASSERT_EQ(back.MailList.Items.size(), 6u);
  EXPECT_EQ(back.MailList.Items[5].To, "c10@example.com");
  EXPECT_EQ(back.MailList.Description, m.MailList.Description);
}

// The merge warns about names it cannot resolve only while the first record is merged.
TEST_F(PrepareTest, MergeWarningsOnlyForTheFirstRecord) {
  OpenClients(table, 4);
  table.SetRecNo(2);
  TPrepareProject p = Project();
  p.ToAddr = "MAIL";
  p.Subject = "Hi %NOSUCH";
  p.HtmlSource = "<p>%OTHER %CITY</p>";
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, p, merge, view));
  std::vector<std::string> texts;
  for (const auto& b : boxes.shown) texts.push_back(b.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Warning: field %MAIL not found", "Warning: field %NOSUCH not found",
                                             "Warning: field %OTHER not found"}));
  ASSERT_EQ(m.MailList.Items.size(), 3u);
  EXPECT_EQ(m.MailList.Items[1].To, "");
  EXPECT_EQ(m.MailList.Items[1].Subject, "Hi %NOSUCH");
  EXPECT_EQ(m.MailList.Items[1].Body, "<p>%OTHER Paris</p>");
}

TEST_F(PrepareTest, OnlyRowsTheFilterAcceptsBecomeItems) {
  OpenClients(table, 10);
  table.OnFilterRecord = [](TDataSet& ds, bool& accept) { accept = ds.FieldByName("CITY").AsString() == "Oslo"; };
  table.SetFiltered(true);
  table.First();
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  std::vector<std::string> to;
  for (const auto& it : m.MailList.Items) to.push_back(it.To);
  EXPECT_EQ(to, (std::vector<std::string>{"c2@example.com", "c4@example.com", "c6@example.com", "c8@example.com",
                                          "c10@example.com"}));
  EXPECT_EQ(table.RecNo(), 1);
}

TEST_F(PrepareTest, EmptyAddressGivesAnEmptyTo) {
  OpenClients(table, 4);
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  ASSERT_EQ(m.MailList.Items.size(), 4u);
  EXPECT_EQ(m.MailList.Items[2].To, "");
  EXPECT_EQ(m.MailList.Items[3].To, "c4@example.com");
}

TEST_F(PrepareTest, ReportTextTakesTextNumberAndDateFieldsOnly) {
  OpenClients(table, 2);
  TPrepareProject p = Project();
  p.ReportFields = {"CITY", "AMOUNT", "BORN", "ACTIVE", "NOTES", "NOSUCH", "city"};
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, p, merge, view));
  const std::string born = DateTimeToStr(EncodeDate(1990, 1, 1) + 1.25);
  EXPECT_EQ(m.MailList.Items[0].ReportText, " | Paris | 1.5 | " + born + " | Paris");
  p.ReportFields = {"ACTIVE", "NOTES"};
  ASSERT_TRUE(m.Prepare(&table, p, merge, view));
  EXPECT_EQ(m.MailList.Items[0].ReportText, "");
}

TEST_F(PrepareTest, PlainMailMergesThePlainText) {
  OpenClients(table, 1);
  TPrepareProject p = Project();
  p.MailMode = mmPlainText;
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, p, merge, view));
  EXPECT_EQ(m.MailList.ContentType, "text/plain");
  EXPECT_EQ(m.MailList.Items[0].Body, "Dear c1@example.com (plain)");
}

TEST_F(PrepareTest, MoreThanAThousandRecords) {
  OpenClients(table, 2500);
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  ASSERT_EQ(m.MailList.Items.size(), 2500u);
  EXPECT_EQ(m.MailList.Items[999].To, "c1000@example.com");
  EXPECT_EQ(m.MailList.Items[1000].To, "c1001@example.com");
  EXPECT_EQ(m.MailList.Items[2499].To, "c2500@example.com");
  EXPECT_EQ(view.bar, 0);  // reset at the end
  EXPECT_EQ(Reloaded().MailList.Items.size(), 2500u);
}

// The unsuccessful endings: the list and its files are emptied, the record restored.
TEST_F(PrepareTest, FailedPreparationEmptiesTheList) {
  struct Case {
    const char* what;
    int stopAt, throwAt;
    bool noAddressField;
    std::vector<std::string> boxTexts;
  };
  const Case cases[] = {
      {"stop flag", 7, -1, false, {}},
      {"no address field", -1, -1, true, {"Email address not found"}},
      {"merge exception", -1, 8, false, {"merge broke"}},
  };
  for (const auto& c : cases) {
    OpenClients(table, 10);
    TPreparedMailing m(dir, "iso-8859-1");
    values.stopAt = -1, values.throwAt = -1, values.stop = false;
    ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
    table.SetRecNo(6);
    values.stopAt = c.stopAt;
    values.throwAt = c.throwAt;
    TPrepareProject p = Project();
    p.Charset = "koi8-r";
    if (c.noAddressField) p.ToAddr.clear();
    boxes.shown.clear();
    view.statuses.clear();
    EXPECT_FALSE(m.Prepare(&table, p, merge, view)) << c.what;
    std::vector<std::string> texts;
    for (const auto& b : boxes.shown) texts.push_back(b.text);
    EXPECT_EQ(texts, c.boxTexts) << c.what;
    EXPECT_EQ(table.RecNo(), 6) << c.what;
    EXPECT_TRUE(m.MailList.Items.empty());
    EXPECT_EQ(m.MailList.Description, "");
    EXPECT_EQ(m.MailList.ContentType, "");
    EXPECT_EQ(m.MailList.Charset, "koi8-r");
    EXPECT_TRUE(m.MailList.Attachments.empty());
    EXPECT_EQ(m.MailList.Prepared, 0);
    EXPECT_EQ(view.status, "The list is not prepared");
    EXPECT_EQ(view.description, "");
    EXPECT_EQ(view.state, ssIdle);
    EXPECT_TRUE(m.ListLoaded);
    TPreparedMailing back = Reloaded();
    EXPECT_TRUE(back.MailList.Items.empty()) << c.what;
    EXPECT_EQ(back.MailList.Charset, "koi8-r");
  }
}

TEST_F(PrepareTest, ClosedOrEmptyTableOrBusyWindowChangesNothing) {
  OpenClients(table, 3);
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  const std::string before = FileBytes(dir + MailListFileName);
  view.states.clear();

  TDataSet closed, empty;
  OpenClients(empty, 0);
  struct Case {
    TDataSet* table;
    const char* box;
  };
  for (const Case c :
       {Case{nullptr, "Table is Closed"}, Case{&closed, "Table is Closed"}, Case{&empty, "Table is Empty"}}) {
    boxes.shown.clear();
    EXPECT_FALSE(m.Prepare(c.table, Project(), merge, view));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, c.box);
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
  }
  boxes.shown.clear();
  view.state = ssSending;
  EXPECT_FALSE(m.Prepare(&table, Project(), merge, view));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(view.states.empty());
  EXPECT_EQ(m.MailList.Items.size(), 3u);
  EXPECT_EQ(FileBytes(dir + MailListFileName), before);
}

TEST_F(PrepareTest, UnwritableFolderReportsTheError) {
  OpenClients(table, 3);
  TPreparedMailing m(dir + "missing/", "utf-8");
  EXPECT_FALSE(m.Prepare(&table, Project(), merge, view));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].text.find("Cannot write"), std::string::npos);
  EXPECT_EQ(view.status, "The list is not prepared");
  EXPECT_TRUE(m.MailList.Items.empty());
}

TEST_F(PrepareTest, DescriptionNamesProjectAndTable) {
  struct Case {
    std::string project, table;
    bool sql;
    std::string expected;
  };
  const Case cases[] = {
      {"/p/News.lkp", "Clients.dbf", false, "\"News\" Using \"Clients\""},
      {"/p/News", "Clients", false, "\"News\" Using \"Clients\""},
      {"", "", true, "(NONAME) Using (SQL QUERY)"},
      {"", "", false, "(NONAME) Using (NONAME)"},
  };
  for (const auto& c : cases) {
    TPrepareProject p;
    p.ProjectFileName = c.project;
    p.TableName = c.table;
    p.SqlQueryMode = c.sql;
    EXPECT_EQ(ListDescription(p), c.expected);
  }
}

TEST_F(PrepareTest, ClearListAsksFirst) {
  OpenClients(table, 3);
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  boxes.Answer(TMsgResult::No);
  m.ClearList("windows-1252", view);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Clear the List?");
  EXPECT_EQ(boxes.shown[0].buttons, TMsgButtons::YesNo);
  EXPECT_EQ(m.MailList.Items.size(), 3u);
  EXPECT_EQ(Reloaded().MailList.Items.size(), 3u);

  view.state = ssSending;
  m.ClearList("windows-1252", view);
  EXPECT_EQ(boxes.shown.size(), 1u);  // not even asked

  view.state = ssIdle;
  boxes.Answer(TMsgResult::Yes);
  m.ClearList("windows-1252", view);
  EXPECT_TRUE(m.MailList.Items.empty());
  EXPECT_EQ(m.MailList.Description, "");
  EXPECT_EQ(m.MailList.Charset, "windows-1252");
  EXPECT_EQ(view.status, "");
  EXPECT_EQ(view.description, "");
  EXPECT_EQ(view.state, ssIdle);
  TPreparedMailing back = Reloaded();
  EXPECT_TRUE(back.MailList.Items.empty());
  EXPECT_EQ(back.MailList.Charset, "windows-1252");
}

TEST_F(PrepareTest, LoadingShowsTheStoredList) {
  OpenClients(table, 4);
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  m.MailList.Items[1].Sent = true;
  m.MailList.Items[2].Failed = true;
  m.MailList.Items[2].ErrorText = "Timeout";
  SaveListFiles(dir, m.MailList);

  TPreparedMailing fresh(dir, "utf-8");
  TRecordingView v;
  fresh.LoadList(v);
  EXPECT_TRUE(fresh.ListLoaded);
  EXPECT_EQ(fresh.MailList.Items.size(), 4u);
  EXPECT_EQ(fresh.SentCount, 1);
  EXPECT_EQ(fresh.FailedCount, 1);
  EXPECT_EQ(fresh.MailList.Items[2].ErrorText, "Timeout");
  EXPECT_EQ(v.statuses, (std::vector<std::string>{"Loading the list...", "The list is loaded successfully"}));
  EXPECT_EQ(v.description, m.MailList.Description);
  EXPECT_EQ(v.states, (std::vector<int>{ssPreparing, ssIdle}));
  EXPECT_FALSE(v.waitCursor);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PrepareTest, LoadingWithoutFilesGivesAnEmptyList) {
  TPreparedMailing m(dir, "utf-8");
  m.LoadList(view);
  EXPECT_TRUE(m.MailList.Items.empty());
  EXPECT_EQ(view.status, "");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PrepareTest, DamagedFileIsNotLoaded) {
  OpenClients(table, 4);
  TPreparedMailing m(dir, "utf-8");
  ASSERT_TRUE(m.Prepare(&table, Project(), merge, view));
  for (const char* file : {MailListFileName, MailIndexFileName, FailedListFileName}) {
    SaveListFiles(dir, m.MailList);
    std::string bytes = FileBytes(dir + file);
    PutFileBytes(dir + file, bytes.empty() ? Le32(0) + Le32(99) : bytes.substr(0, bytes.size() - 1));
    TPreparedMailing fresh(dir, "utf-8");
    TRecordingView v;
    boxes.shown.clear();
    fresh.LoadList(v);
    ASSERT_EQ(boxes.shown.size(), 1u) << file;
    EXPECT_NE(boxes.shown[0].text.find(file), std::string::npos);
    EXPECT_NE(boxes.shown[0].text.find("damaged"), std::string::npos);
    EXPECT_EQ(v.status, "The list is not loaded");
    EXPECT_TRUE(fresh.MailList.Items.empty());
    EXPECT_EQ(fresh.SentCount + fresh.FailedCount, 0);
    EXPECT_EQ(v.state, ssIdle);
  }
}

}  // namespace
