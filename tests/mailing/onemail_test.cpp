// Send Current: the checks before anything starts, the merge of the current
// record on the caller's thread, the result box, direct delivery through the
// exchangers in order, and the window's state returning to idle every time.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "db/DataSet.h"
#include "mailing/MailRun.h"
#include "mailing/OneMail.h"
#include "net/IdMessage.h"
#include "platform/MessageBox.h"
#include "support/MailTestSupport.h"
#include "support/MergeFakes.h"
#include "support/RunServers.h"
#include "support/RunTestKit.h"

namespace fs = std::filesystem;

namespace {

// Fields ID, EMAIL, NAME; row 2 has no address.
void OpenPeople(TDataSet& ds, int rows, const std::string& domain) {
  TTableData d;
  d.Fields = {{"ID", ftInteger, 0, 0}, {"EMAIL", ftString, 40, 0}, {"NAME", ftString, 20, 0}};
  for (int i = 1; i <= rows; ++i)
    d.Rows.push_back(PackRow(
        {int64_t{i}, i == 2 ? std::string() : "p" + std::to_string(i) + "@" + domain, "Name" + std::to_string(i)}));
  d.ReadOnlyReason = "read-only";
  ds.OpenData(std::move(d));
}

TPrepareProject Project() {
  TPrepareProject p;
  p.Charset = "utf-8";
  p.MailMode = mmPlainText;
  p.Subject = "For %NAME";
  p.PlainText = "Dear %NAME,\r\nhello.";
  p.ToAddr = "EMAIL";
  return p;
}

class SendCurrentTest : public ::testing::Test {
protected:
  SendCurrentTest() { SetUpMergeReader(reader); }
  void SetUp() override { InitMailLibraries(); }
  void TearDown() override {
    run.reset();
    sendCurrent.reset();
    fs::remove_all(dir);
  }

  // Send Current, then the event loop until the window is idle again and the thread is done.
  void SendCurrent(TDataSet* table, const TPrepareProject& project, const TProfile* account) {
    sendCurrent->Click(table, project, account, merger);
    ASSERT_TRUE(Drive(*run, dispatcher, [&] {
      return state.State() == ssIdle &&
             (!sendCurrent->Mail() || !sendCurrent->Mail()->Started() || sendCurrent->Mail()->Stopped());
    }));
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes.shown) t.push_back(b.text);
    return t;
  }

  TManualDispatcher dispatcher;
  TScopedDispatcher scoped{&dispatcher};
  TScopedScriptedMessages boxes;
  std::string dir = FreshDir("onemail");
  TPreparedMailing mailing{dir, "utf-8"};
  TRecordingSendView view;
  TSendStateOwner state{mailing, view};
  std::unique_ptr<TMailRun> run = std::make_unique<TMailRun>(mailing, state, view);
  std::unique_ptr<TSendCurrent> sendCurrent = std::make_unique<TSendCurrent>(state, view);
  TReader reader;
  TFakeTableTagSource values;
  TFakeSign sign{'%'};
  TBoxedMergeWarnings warnings;
  TMerger merger{reader, values, sign, warnings};
  TDataSet table;
};

TEST_F(SendCurrentTest, ChecksComeFirstInOrderAndLeaveTheStateIdle) {
  TDataSet closed, empty;
  OpenPeople(table, 3, "sink.test");
  OpenPeople(empty, 0, "sink.test");
  const TProfile good = ServerAccount(25);
  TProfile badPort = good;
  badPort.SmtpPort = "2x5";
  struct Case {
    TDataSet* table;
    const TProfile* account;
    std::string box;  // contained in the one error box
  };
  const Case cases[] = {
      {nullptr, nullptr, "Table is Closed"},   {&closed, &good, "Table is Closed"},
      {&empty, nullptr, "Table is Empty"},     {&table, nullptr, "Account is not selected"},
      {&table, &badPort, "SMTP port \"2x5\""},
  };
  for (const auto& c : cases) {
    boxes.shown.clear();
    SendCurrent(c.table, Project(), c.account);
    ASSERT_EQ(boxes.shown.size(), 1u) << c.box;
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
    EXPECT_NE(boxes.shown[0].text.find(c.box), std::string::npos) << boxes.shown[0].text;
    EXPECT_TRUE(view.states.empty()) << c.box;
    EXPECT_FALSE(sendCurrent->Mail());
  }
  // Busy: nothing at all.
  boxes.shown.clear();
  for (TSendState busy : {ssPreparing, ssSending}) {
    state.Set(busy);
    sendCurrent->Click(nullptr, Project(), nullptr, merger);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(state.State(), busy);
  }
  state.Set(ssIdle);
}

TEST_F(SendCurrentTest, NothingToSendReturnsToIdleAtOnce) {
  OpenPeople(table, 3, "sink.test");
  const TProfile account = ServerAccount(25);
  TPrepareProject noField = Project();
  noField.ToAddr.clear();
  SendCurrent(&table, noField, &account);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Email address not found"});
  EXPECT_EQ(view.states, (std::vector<int>{ssSending, ssIdle}));

  boxes.shown.clear();
  view.states.clear();
  values.stopAt = 1;  // the merge reported an error
  SendCurrent(&table, Project(), &account);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(view.states, (std::vector<int>{ssSending, ssIdle}));

  boxes.shown.clear();
  view.states.clear();
  values.stopAt = -1;
  values.throwAt = 1;  // the message cannot be built
  SendCurrent(&table, Project(), &account);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"merge broke"});
  EXPECT_EQ(view.states, (std::vector<int>{ssSending, ssIdle}));
}

TEST_F(SendCurrentTest, ThroughTheServerShowsTheResult) {
  TSinkServer::Options o;
  o.store = true;
  TSinkServer sink(o);
  TSinkServer::Options r;
  r.refuseAll = true;
  TSinkServer refusing(r);
  ASSERT_TRUE(sink.Ok() && refusing.Ok());
  OpenPeople(table, 3, "sink.test");
  TPrepareProject project = Project();
  project.Subject = "For %NAME %NOSUCH";
  const TProfile account = ServerAccount(sink.Port());
  SendCurrent(&table, project, &account);
  // Warnings come with every Send Current, unlike Prepare after its first record.
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Warning: field %NOSUCH not found", "Email is Sent Successfully"}));
  EXPECT_EQ(boxes.shown.back().kind, TMsgKind::Information);
  ASSERT_EQ(sink.Messages().size(), 1u);
  TIdMessage got;
  got.LoadFromString(sink.Messages()[0]);
  EXPECT_EQ(got.Subject, "For Name1 %NOSUCH");
  EXPECT_EQ(got.Recipients[0].Address, "p1@sink.test");
  EXPECT_EQ(got.From.Address, "sender@sink.test");
  EXPECT_EQ(view.states, (std::vector<int>{ssSending, ssIdle}));

  struct Case {
    int record;
    int port;
    std::string result;  // contained
  };
  const Case cases[] = {{1, refusing.Port(), "550"}, {2, sink.Port(), "No recipient address"}};
  for (const auto& c : cases) {
    boxes.shown.clear();
    table.SetRecNo(c.record);
    const TProfile a = ServerAccount(c.port);
    SendCurrent(&table, Project(), &a);
    ASSERT_EQ(boxes.shown.size(), 1u) << c.result;
    EXPECT_NE(boxes.shown[0].text.find(c.result), std::string::npos) << boxes.shown[0].text;
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Information);
    EXPECT_EQ(state.State(), ssIdle);
  }
}

// A message the mail layer cannot encode shows why, and nothing reaches the server.
TEST_F(SendCurrentTest, AMessageThatCannotBeBuiltShowsWhy) {
  TSinkServer sink({});
  ASSERT_TRUE(sink.Ok());
  OpenPeople(table, 1, "sink.test");
  TPrepareProject project = Project();
  project.Attachments = {dir + "missing.pdf"};
  const TProfile account = ServerAccount(sink.Port());
  SendCurrent(&table, project, &account);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].text, "Email is Sent Successfully");
  EXPECT_FALSE(boxes.shown[0].text.empty());
  EXPECT_TRUE(sink.Log("delivered").empty());
  EXPECT_EQ(view.states, (std::vector<int>{ssSending, ssIdle}));
}

TEST_F(SendCurrentTest, DirectDeliveryTriesTheExchangersInOrder) {
  std::unique_ptr<TSinkServer> accepting, refusing;
  for (int attempt = 0; attempt < 5 && !(refusing && refusing->Ok()); ++attempt) {
    accepting = std::make_unique<TSinkServer>(TSinkServer::Options{});
    ASSERT_TRUE(accepting->Ok());
    TSinkServer::Options r;
    r.host = "127.0.0.2";
    r.port = accepting->Port();
    r.refuseAll = true;
    refusing = std::make_unique<TSinkServer>(r);
  }
  ASSERT_TRUE(refusing && refusing->Ok());
  TMxServer dns({"--mx-host=two.test,127.0.0.2,10", "--mx-host=two.test,127.0.0.1,20"});
  ASSERT_TRUE(dns.Ok());
  TProfile account = ServerAccount(accepting->Port());
  account.DirectDelivery = true;
  account.DnsServer = dns.Address();

  struct Case {
    std::string domain;
    int record;
    std::string result;
  };
  const Case cases[] = {{"two.test", 1, "Email is Sent Successfully"},
                        {"nomx.test", 1, "Mail Server not found"},
                        {"two.test", 2, "No recipient address"}};
  for (const auto& c : cases) {
    OpenPeople(table, 3, c.domain);
    table.SetRecNo(c.record);
    boxes.shown.clear();
    view.states.clear();
    SendCurrent(&table, Project(), &account);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.result}) << c.domain;
    EXPECT_EQ(view.states, (std::vector<int>{ssSending, ssIdle})) << c.domain;
  }
  EXPECT_EQ(refusing->Log("refused"), std::vector<std::string>{"p1@two.test"});
  EXPECT_EQ(accepting->Log("delivered"), std::vector<std::string>{"p1@two.test"});
}

}  // namespace
