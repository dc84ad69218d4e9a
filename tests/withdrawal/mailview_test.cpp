// What the withdrawal page shows: the viewer's choice of text, a stored
// message joining the newest-first list without reading the store again, and
// the page's enabling table.

#include "withdrawal/MailView.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/SysUtils.h"
#include "platform/TextLines.h"
#include "support/WithdrawalTestSupport.h"
#include "withdrawal/WithdrawalEnabling.h"

namespace {

struct TPartSpec {
  bool Text;
  std::string Body;  // lines joined by CR LF
};

struct TViewerCase {
  const char* Name;
  std::string Body;  // the message body, used without parts
  std::vector<TPartSpec> Parts;
  std::string Expected;
};

TIdMessage Build(const TViewerCase& c) {
  TIdMessage m;
  m.SetBodyText(c.Body);
  for (const TPartSpec& p : c.Parts) {
    if (p.Text)
      m.MessageParts.AddText(SplitLines(p.Body));
    else
      m.MessageParts.AddAttachment("a.bin");
  }
  return m;
}

TEST(MessageViewerText, ChoosesThePartToShow) {
  const std::string html = "<html><body><p>Hello</p>\r\n<p>World</p></body></html>";
  const TViewerCase cases[] = {
      {"no parts: the body", "line 1\r\nline 2", {}, "line 1\r\nline 2"},
      {"plain first, html after", "", {{true, "plain text"}, {true, html}}, "plain text"},
      {"html first, plain after", "", {{true, html}, {true, "plain text"}}, "plain text"},
      {"html only: converted", "", {{true, html}}, "Hello\r\nWorld\r\n"},
      {"blank lines then <: html", "", {{true, "\r\n  \r\n<body><div>Shown</div>"}}, "Shown\r\n"},
      {"an empty text part is passed over", "", {{true, ""}, {true, "second"}}, "second"},
      {"only blanks is text", "", {{true, " \t "}, {true, "second"}}, " \t "},
      {"attachments only: nothing", "body", {{false, ""}, {false, ""}}, ""},
      {"the last html part is converted",
       "",
       {{true, "<body><b>one</b>"}, {false, ""}, {true, "<body><i>two</i>"}},
       "two\r\n"},
      {"markup without text: the raw part", "", {{true, "<html><br><hr></html>"}}, "<html><br><hr></html>"},
      {"script text is only text", "", {{true, "<html><script>alert(1)</script>"}}, "alert(1)\r\n"},
  };
  for (const TViewerCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(MessageViewerText(Build(c)), c.Expected);
  }
}

// A single-part message: its body, converted when the message is declared HTML
// (the usual reply from web mail), as the mail layer reads it from the wire.
TEST(MessageViewerText, SinglePartHtmlIsConverted) {
  struct TCase {
    const char* Name;
    std::string ContentType;
    std::string Body;
    std::string Expected;
  };
  const TCase cases[] = {
      {"text/html", "text/html; charset=utf-8", "<html><body><p>Name: Jane Doe<br>City: Lyon</p></body></html>",
       "Name: Jane Doe\r\nCity: Lyon\r\n"},
      {"upper case type", "TEXT/HTML", "<html><body><p>Jane</p></body></html>", "Jane\r\n"},
      {"html without text: as it is", "text/html", "<html><br></html>", "<html><br></html>"},
      {"plain text that starts with <", "text/plain", "<Jane> wrote:\r\nhi", "<Jane> wrote:\r\nhi"},
      {"no type given", "", "<p>Jane</p>", "<p>Jane</p>"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string raw = "From: Jane <jane@x.test>\r\nSubject: reply\r\nMIME-Version: 1.0\r\n";
    if (!c.ContentType.empty()) raw += "Content-Type: " + c.ContentType + "\r\n";
    raw += "\r\n" + c.Body + "\r\n";
    TIdMessage m;
    m.LoadFromString(raw);
    ASSERT_EQ(m.MessageParts.Count(), 0);
    EXPECT_EQ(MessageViewerText(m), c.Expected);
  }
}

TPop3Mail Mail(const std::string& name, double date) {
  TPop3Mail m{name, std::make_unique<TIdMessage>()};
  m.Message->Date = date;
  return m;
}

std::vector<std::string> Names(const TPop3MailList& list) {
  std::vector<std::string> names;
  for (const TPop3Mail& m : list) names.push_back(m.EntryName);
  return names;
}

// Inserting one by one gives the order sorting the whole list gives.
TEST(InsertMailNewestFirst, MatchesSortingTheWholeList) {
  std::mt19937 random(18);
  std::uniform_int_distribution<int> dates(0, 12);
  for (int round = 0; round < 200; ++round) {
    TPop3MailList inserted, sorted;
    const int count = 1 + round % 25;
    for (int i = 0; i < count; ++i) {
      const double date = dates(random) == 0 ? std::nan("") : 46000 + dates(random) / 4.0;
      const std::string name = std::to_string(round) + "-" + std::to_string(i);
      const int at = InsertMailNewestFirst(inserted, Mail(name, date));
      ASSERT_EQ(inserted[static_cast<size_t>(at)].EntryName, name);
      sorted.push_back(Mail(name, date));
    }
    SortMessagesByDate(sorted);
    ASSERT_EQ(Names(inserted), Names(sorted)) << "round " << round;
  }
}

TEST(StoredEntries, StoreNamesTheEntryTheListReads) {
  TTempFolder temp;
  TExtractData data(temp.Path());
  double clock = 46001.25;
  data.Clock = [&] { return clock; };
  TIdMessage m;
  m.Subject = "Order 1";
  m.Date = 46001;
  m.SetBodyText("Name: Ann");
  const std::string first = data.StoreMessage(m, InboxFolderName);
  clock += 0.5;
  m.Subject = "Order 2";
  const std::string second = data.StoreMessage(m, InboxFolderName);
  EXPECT_NE(first, second);
  data.ReadMailList();
  ASSERT_EQ(data.MailList.size(), 2u);
  EXPECT_EQ(data.MailList[0].EntryName, second);
  EXPECT_EQ(data.MailList[1].EntryName, first);

  auto listed = data.ReadStoredMessage(second, true);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->Subject, "Order 2");
  EXPECT_TRUE(listed->Body.empty());
  auto full = data.ReadStoredMessage(second, false);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->BodyText(), "Name: Ann");
  EXPECT_FALSE(data.ReadStoredMessage("46999.5", true));
}

// ------------------------------------------------------------------ enabling

struct TEnablingCase {
  const char* Name;
  TWithdrawalState State;
  TWithdrawalEnabling Expected;
};

TWithdrawalState Schemed() {
  TWithdrawalState s;
  s.SchemeCount = 2;
  s.SchemeSelected = true;
  return s;
}

TEST(WithdrawalEnabling, EveryRowOfTheTable) {
  std::vector<TEnablingCase> cases;
  {
    TEnablingCase c{"nothing at all", {}, {}};
    c.Expected.GetList = false;  // no runner
    cases.push_back(c);
  }
  {
    TEnablingCase c{"schemes but none selected", {}, {}};
    c.State.SchemeCount = 1;
    c.Expected.SchemeCombo = true;
    c.Expected.GetList = false;
    cases.push_back(c);
  }
  {
    TEnablingCase c{"a scheme selected", Schemed(), {}};
    c.Expected.SchemeCombo = c.Expected.SchemeCommands = c.Expected.Response = c.Expected.Extract = true;
    c.Expected.GetList = false;
    cases.push_back(c);
  }
  {
    TEnablingCase c{"runner, no mailing window: Get List left alone", Schemed(), {}};
    c.State.GetListAvailable = true;
    c.Expected.SchemeCombo = c.Expected.SchemeCommands = c.Expected.Response = c.Expected.Extract = true;
    cases.push_back(c);
  }
  for (TSendState state : {ssIdle, ssPreparing, ssSending}) {
    TEnablingCase c{"runner and mailing window", Schemed(), {}};
    c.State.GetListAvailable = true;
    c.State.MailingWindowExists = true;
    c.State.MailingState = state;
    c.Expected.SchemeCombo = c.Expected.SchemeCommands = c.Expected.Response = c.Expected.Extract = true;
    c.Expected.GetList = state != ssSending;
    cases.push_back(c);
  }
  {
    TEnablingCase c{"while Get List runs", Schemed(), {}};
    c.State.GetListAvailable = true;
    c.State.GetListRunning = true;
    c.Expected.SchemeCombo = c.Expected.SchemeCommands = true;
    c.Expected.GetList = false;
    c.Expected.DeleteMail = false;
    cases.push_back(c);
  }
  {
    TEnablingCase c{"lists with items, nothing selected", Schemed(), {}};
    c.State.MarkerCount = 2;
    c.State.RuleCount = 3;
    c.State.ValueCount = 3;
    c.Expected.SchemeCombo = c.Expected.SchemeCommands = c.Expected.Response = c.Expected.Extract = true;
    c.Expected.GetList = false;
    c.Expected.MarkerList = c.Expected.RuleList = c.Expected.ValueCombo = true;
    cases.push_back(c);
  }
  {
    TEnablingCase c{"a marker and a rule selected", Schemed(), {}};
    c.State.MarkerCount = 1;
    c.State.MarkerSelected = true;
    c.State.RuleCount = 1;
    c.State.RuleSelected = true;
    c.State.ValueCount = 1;
    c.Expected.SchemeCombo = c.Expected.SchemeCommands = c.Expected.Response = c.Expected.Extract = true;
    c.Expected.GetList = false;
    c.Expected.MarkerList = c.Expected.RuleList = c.Expected.ValueCombo = true;
    c.Expected.DeleteMarker = c.Expected.RuleControls = true;
    cases.push_back(c);
  }
  for (const TEnablingCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ComputeWithdrawalEnabling(c.State), c.Expected);
  }
}

}  // namespace
