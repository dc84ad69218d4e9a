#include "withdrawal/GetList.h"
#include "withdrawal/MailView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include "TestServers.h"
#include "platform/MessageBox.h"
#include "support/FakePop3Server.h"
#include "support/WithdrawalTestSupport.h"

namespace {

using TFault = TFakePop3Server::TFault;

std::string Mail(const std::string& id, const std::string& subject, int second = 0,
                 const std::string& body = "Hello there.") {
  std::string s = "From: Sender <sender@x.test>\r\nTo: Larkpost <me@y.test>\r\nSubject: " + subject + "\r\n";
  s += "Date: Mon, 07 Dec 2026 10:00:" + std::string(second < 10 ? "0" : "") + std::to_string(second) + " +0000\r\n";
  if (!id.empty()) s += "Message-Id: " + id + "\r\n";
  return s + "\r\n" + body + "\r\n";
}

class TTestView : public IGetListView {
public:
  std::vector<std::string> statuses;
  std::vector<bool> running;
  std::vector<int> stored;
  int pumps = 0;
  std::function<void(int)> onPump;  // the pump's number, from 1
  std::function<void(int)> onStored;

  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void SetRunning(bool on) override { running.push_back(on); }
  void ProcessPendingEvents() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void MessageStored(int index) override {
    stored.push_back(index);
    if (onStored) onStored(index);
  }
  // As the page shows them: through the scripted message boxes.
  void ShowError(const std::string& text) override { ErrorBox(text); }
  bool GoOnWithoutCredentials(const std::string& question) override {
    return MessageService().Show(TMsgKind::Error, question, "Error", TMsgButtons::YesNo) == TMsgResult::Yes;
  }
  std::vector<std::string> Counters() const {
    std::vector<std::string> out;
    for (auto& s : statuses)
      if (s.rfind(" Messsage ", 0) == 0) out.push_back(s);
    return out;
  }
};

class GetListTest : public ::testing::Test {
protected:
  GetListTest() {
    getList.AttachmentFolder = folder.Path() / "Attachments";
    // Faults must not take the default half-minute.
    getList.ReplyTimeoutMs = 5000;
    account.AccountName = "test";
    account.Pop3Server = "127.0.0.1";
    account.UserId = "alice";
    account.Password = "secret";
  }

  TGetListResult Run() { return getList.Run(*data, &account, view); }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (auto& b : boxes.shown) out.push_back(b.text);
    return out;
  }
  // The known ids as the store keeps them.
  TUniqueIds SavedIds() const { return TExtractData(folder.Path()).KnownIds; }
  std::vector<std::string> StoredSubjects() const {
    TExtractData d(folder.Path());
    d.ReadMailList();
    std::vector<std::string> out;
    for (auto& m : d.MailList) out.push_back(m.Message->Subject);
    std::sort(out.begin(), out.end());
    return out;
  }

  TTempFolder folder;
  std::unique_ptr<TExtractData> data = std::make_unique<TExtractData>(folder.Path());
  TGetList getList;
  TTestView view;
  TScopedScriptedMessages boxes;
  TProfile account;
};

// ---- the boxes before connecting

struct TRefusal {
  const char* name;
  std::function<void(TProfile&)> change;
  std::vector<TMsgResult> answers;
  std::string box;
  bool goesOn;
};

TEST_F(GetListTest, BoxesBeforeConnecting) {
  TFakePop3Server fake;
  ASSERT_TRUE(fake.Ok());
  const std::string noCredentials = "The POP3 Username or Password is absent, do you want to continue?";
  const std::vector<TRefusal> cases = {
      {"no server", [](TProfile& p) { p.Pop3Server.clear(); }, {}, "Please, enter POP3 settings", false},
      {"no port", [](TProfile& p) { p.Pop3Port.clear(); }, {}, "Please, enter POP3 settings", false},
      {"no user, No", [](TProfile& p) { p.UserId.clear(); }, {TMsgResult::No}, noCredentials, false},
      {"no password, dismissed", [](TProfile& p) { p.Password.clear(); }, {}, noCredentials, false},
      {"no user, Yes", [](TProfile& p) { p.UserId.clear(); }, {TMsgResult::Yes}, noCredentials, true},
  };
  for (const TRefusal& c : cases) {
    SCOPED_TRACE(c.name);
    TProfile p = account;
    p.Pop3Port = std::to_string(fake.Port());
    c.change(p);
    TTestView v;
    boxes.shown.clear();
    boxes.answers.assign(c.answers.begin(), c.answers.end());
    const int sessions = fake.Sessions();
    TGetListResult r = getList.Run(*data, &p, v);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown[0].text, c.box);
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
    if (c.goesOn) {
      EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
      EXPECT_EQ(v.statuses, (std::vector<std::string>{" Connecting....", " Connected", " No messages"}));
    } else {
      EXPECT_EQ(r.Outcome, TGetListOutcome::Refused);
      EXPECT_EQ(boxes.shown.size(), 1u);
      EXPECT_TRUE(v.statuses.empty());
      EXPECT_TRUE(v.running.empty());
      EXPECT_EQ(fake.Sessions(), sessions);
    }
    EXPECT_EQ(boxes.shown[0].buttons, c.box == noCredentials ? TMsgButtons::YesNo : TMsgButtons::OK);
  }
}

TEST_F(GetListTest, NoAccountSelectedOnlySays) {
  TGetListResult r = getList.Run(*data, nullptr, view);
  EXPECT_EQ(r.Outcome, TGetListOutcome::Refused);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Please, Select an Account"}));
  EXPECT_TRUE(view.statuses.empty());
  EXPECT_TRUE(view.running.empty());
  EXPECT_EQ(data->Pop3, nullptr);
}

// The window closes while the credentials box is open.
TEST_F(GetListTest, StopWhileTheBoxIsOpenConnectsNowhere) {
  struct TClosingBox : IMessageService {
    TGetList* run;
    TMsgResult Show(TMsgKind, const std::string&, const std::string&, TMsgButtons) override {
      run->RequestStop();
      return TMsgResult::Yes;
    }
  } box;
  box.run = &getList;
  SetMessageService(&box);
  TFakePop3Server fake;
  ASSERT_TRUE(fake.Ok());
  account.Pop3Port = std::to_string(fake.Port());
  account.Password.clear();
  TGetListResult r = Run();
  SetMessageService(&boxes);
  EXPECT_EQ(r.Outcome, TGetListOutcome::Stopped);
  EXPECT_TRUE(view.statuses.empty());
  EXPECT_EQ(fake.Sessions(), 0);
  EXPECT_FALSE(getList.Running());
}

TEST_F(GetListTest, PortNotANumberKeepsConnectingText) {
  account.Pop3Port = "11o";
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Failed);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(view.statuses, (std::vector<std::string>{" Connecting...."}));
  EXPECT_EQ(view.running, (std::vector<bool>{true, false}));
}

TEST_F(GetListTest, ConnectionFailureSaysNotConnected) {
  account.Pop3Port = std::to_string(FreePort());
  data->KnownIds = {"<old@x.test>"};
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::NotConnected);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].text.find("127.0.0.1"), std::string::npos) << boxes.shown[0].text;
  EXPECT_EQ(view.statuses, (std::vector<std::string>{" Connecting....", " Not connected"}));
  EXPECT_EQ(view.running, (std::vector<bool>{true, false}));
  EXPECT_EQ(data->KnownIds, (TUniqueIds{"<old@x.test>"}));
  EXPECT_FALSE(getList.Running());
  // The client got the run's bounds.
  EXPECT_EQ(data->Pop3->ConnectTimeoutMs, getList.ConnectTimeoutMs);
  EXPECT_EQ(data->Pop3->ReadTimeoutMs, getList.ReplyTimeoutMs);
  EXPECT_EQ(data->Pop3->MaxMessageSize, GetListMaxMessageSize);
  EXPECT_LE(TGetList().ReplyTimeoutMs, 30000);
  EXPECT_LE(TGetList().ConnectTimeoutMs, 30000);
}

TEST(InsertNewestFirstTest, TakesThePlaceOfANewEntry) {
  struct TCase {
    double date;
    int index;
  };
  const double nan = std::nan("");
  for (TCase c : std::vector<TCase>{{6, 0}, {5, 0}, {4, 1}, {3, 1}, {2, 3}, {1, 3}, {0, 4}, {nan, 4}}) {
    SCOPED_TRACE(c.date);
    TPop3MailList list;
    for (double d : {5.0, 3.0, 3.0, 1.0}) {
      auto m = std::make_unique<TIdMessage>();
      m->Date = d;
      list.push_back({std::to_string(list.size()), std::move(m)});
    }
    auto m = std::make_unique<TIdMessage>();
    m->Date = c.date;
    EXPECT_EQ(InsertMailNewestFirst(list, {"new", std::move(m)}), c.index);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[static_cast<size_t>(c.index)].EntryName, "new");
  }
}

// ---- against dovecot

class GetListDovecotTest : public GetListTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(server.Ok()) << server.Log();
    account.Pop3Port = std::to_string(server.Port());
  }
  TPop3TestServer server{"alice", "secret"};
};

TEST_F(GetListDovecotTest, EmptyMailboxLeavesKnownIds) {
  data->KnownIds = {"<old@x.test>"};
  data->SaveMessageIds();
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(view.statuses, (std::vector<std::string>{" Connecting....", " Connected", " No messages"}));
  EXPECT_EQ(data->MessageCount, 0);
  EXPECT_EQ(data->KnownIds, (TUniqueIds{"<old@x.test>"}));
  EXPECT_EQ(SavedIds(), (TUniqueIds{"<old@x.test>"}));
  EXPECT_EQ(view.running, (std::vector<bool>{true, false}));
  EXPECT_FALSE(data->Pop3->Connected());
}

TEST_F(GetListDovecotTest, TwoNewMessagesCountOneByOne) {
  server.AddMessage("001", Mail("<a@x.test>", "first", 1));
  server.AddMessage("002", Mail("<b@x.test>", "second", 2));
  account.LeaveCopyOnServer = true;
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_EQ(r.Received, 2);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(view.Counters(), (std::vector<std::string>{" Messsage 1 of 2", " Messsage 2 of 2"}));
  EXPECT_EQ(view.statuses.back(), " 2 Message(s) received");
  EXPECT_EQ(StoredSubjects(), (std::vector<std::string>{"first", "second"}));
  // The list grew one message at a time, newest first, as a fresh read has it.
  EXPECT_EQ(view.stored, (std::vector<int>{0, 0}));
  TExtractData fresh(folder.Path());
  fresh.ReadMailList();
  ASSERT_EQ(data->MailList.size(), fresh.MailList.size());
  for (size_t i = 0; i < fresh.MailList.size(); ++i) {
    EXPECT_EQ(data->MailList[i].EntryName, fresh.MailList[i].EntryName);
    EXPECT_TRUE(data->MailList[i].Message->Body.empty());
  }
  auto full = fresh.ReadFullMessage(fresh.MailList[0].EntryName);
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(full->Subject, "second");
  EXPECT_EQ(full->Body, (TIdStrings{"Hello there."}));
  EXPECT_EQ(SavedIds(), (TUniqueIds{"<a@x.test>", "<b@x.test>"}));
  EXPECT_EQ(server.MessageFiles(), 2u);
}

TEST_F(GetListDovecotTest, FirstOfTwoKnownCountsOnlyTheFetched) {
  server.AddMessage("001", Mail("<a@x.test>", "first", 1));
  server.AddMessage("002", Mail("<b@x.test>", "second", 2));
  account.LeaveCopyOnServer = true;
  data->KnownIds = {"<a@x.test>"};
  TGetListResult r = Run();
  EXPECT_EQ(r.Received, 1);
  EXPECT_EQ(view.Counters(), (std::vector<std::string>{" Messsage 1 of 2"}));
  EXPECT_EQ(view.statuses.back(), " 1 Message(s) received");
  EXPECT_EQ(StoredSubjects(), (std::vector<std::string>{"second"}));
}

TEST_F(GetListDovecotTest, LeftOnServerNothingNewKnowsExactlyTheServersIds) {
  for (int i = 1; i <= 3; ++i)
    server.AddMessage("00" + std::to_string(i), Mail("<m" + std::to_string(i) + "@x.test>", "m", i));
  account.LeaveCopyOnServer = true;
  // One of them gone from the server since: it is dropped from the known list.
  data->KnownIds = {"<gone@x.test>", "<m3@x.test>", "<m1@x.test>", "<m2@x.test>"};
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_EQ(r.Received, 0);
  EXPECT_TRUE(view.Counters().empty());
  EXPECT_TRUE(view.stored.empty());
  EXPECT_EQ(view.statuses.back(), " No messages");
  EXPECT_EQ(data->KnownIds, (TUniqueIds{"<m1@x.test>", "<m2@x.test>", "<m3@x.test>"}));
  EXPECT_EQ(SavedIds(), data->KnownIds);
  EXPECT_EQ(server.MessageFiles(), 3u);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Attachments"));
}

TEST_F(GetListDovecotTest, NotLeftOnServerDeletesFetchedAndKnown) {
  server.AddMessage("001", Mail("<a@x.test>", "first", 1));
  server.AddMessage("002", Mail("<b@x.test>", "second", 2));
  data->KnownIds = {"<a@x.test>"};
  data->SaveMessageIds();
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_EQ(r.Received, 1);
  EXPECT_EQ(StoredSubjects(), (std::vector<std::string>{"second"}));
  EXPECT_EQ(server.MessageFiles(), 0u) << server.Log();
  EXPECT_TRUE(data->KnownIds.empty());
  EXPECT_TRUE(SavedIds().empty());
  // The next run finds an empty mailbox.
  view = TTestView();
  EXPECT_EQ(Run().Received, 0);
  EXPECT_EQ(view.statuses.back(), " No messages");
}

// A reply without a Message-Id has an empty id, which would stand for every
// such reply: it never joins the known ids, so each one is fetched before the
// server may delete it (left on the server, it is fetched by every run).
TEST_F(GetListDovecotTest, RepliesWithoutIdAreNeverTakenAsKnown) {
  // An earlier version left an empty id in the store: it does not count.
  data->KnownIds = {"", "<old@x.test>"};
  data->SaveMessageIds();
  data = std::make_unique<TExtractData>(folder.Path());
  EXPECT_EQ(data->KnownIds, (TUniqueIds{"<old@x.test>"}));
  data->KnownIds.push_back("");
  EXPECT_FALSE(data->IsKnownMessageId(""));
  data->KnownIds.pop_back();

  server.AddMessage("001", Mail("", "no id one", 1));
  server.AddMessage("002", Mail("<a@x.test>", "with id", 2));
  server.AddMessage("003", Mail("", "no id two", 3));
  account.LeaveCopyOnServer = true;
  EXPECT_EQ(Run().Received, 3);
  EXPECT_EQ(data->KnownIds, (TUniqueIds{"<a@x.test>"}));
  EXPECT_EQ(SavedIds(), (TUniqueIds{"<a@x.test>"}));
  EXPECT_EQ(server.MessageFiles(), 3u);

  // A new reply without an id, then a run that does not leave mail on the
  // server: every reply it deletes has been fetched, in this run or the first.
  server.AddMessage("004", Mail("", "no id three", 4));
  account.LeaveCopyOnServer = false;
  view = TTestView();
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(r.Received, 3);
  EXPECT_EQ(StoredSubjects(),
            (std::vector<std::string>{"no id one", "no id one", "no id three", "no id two", "no id two", "with id"}));
  EXPECT_EQ(server.MessageFiles(), 0u) << server.Log();
  EXPECT_TRUE(SavedIds().empty());
}

TEST_F(GetListDovecotTest, SecondRunWhileRunningDoesNothing) {
  server.AddMessage("001", Mail("<a@x.test>", "first", 1));
  server.AddMessage("002", Mail("<b@x.test>", "second", 2));
  account.LeaveCopyOnServer = true;
  std::vector<TGetListOutcome> nested;
  view.onPump = [&](int) {
    TTestView other;
    nested.push_back(getList.Run(*data, &account, other).Outcome);
    EXPECT_TRUE(other.statuses.empty());
    EXPECT_TRUE(other.running.empty());
  };
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_EQ(r.Received, 2);
  EXPECT_TRUE(boxes.shown.empty());
  ASSERT_FALSE(nested.empty());
  for (TGetListOutcome o : nested) EXPECT_EQ(o, TGetListOutcome::Busy);
  EXPECT_FALSE(getList.Running());
}

// The window closes while the second message is on its way.
TEST_F(GetListDovecotTest, StopEndsTheRunAndKeepsWhatWasStored) {
  for (int i = 1; i <= 3; ++i)
    server.AddMessage("00" + std::to_string(i),
                      Mail("<m" + std::to_string(i) + "@x.test>", "m" + std::to_string(i), i));
  data->KnownIds = {"<old@x.test>"};
  data->SaveMessageIds();
  view.onStored = [&](int) {
    if (view.stored.size() == 2) getList.RequestStop();
  };
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Stopped);
  EXPECT_EQ(r.Received, 2);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(StoredSubjects(), (std::vector<std::string>{"m1", "m2"}));
  EXPECT_EQ(view.running, (std::vector<bool>{true, false}));
  EXPECT_FALSE(data->Pop3->Connected());
  // Not replaced: the two stored join the known ids; they were deleted on the
  // server, the third stays.
  EXPECT_EQ(SavedIds(), (TUniqueIds{"<old@x.test>", "<m1@x.test>", "<m2@x.test>"}));
  EXPECT_EQ(server.MessageFiles(), 1u);
  EXPECT_FALSE(getList.Running());
  // A later run starts afresh.
  view = TTestView();
  EXPECT_EQ(Run().Outcome, TGetListOutcome::Completed);
}

// ---- faults, with the fake server

void AddThree(TFakePop3Server& f, TFault second, TFault secondTop = TFault::None, TFault secondList = TFault::None,
              long long secondStatedSize = -1) {
  f.AddMessage(Mail("<m1@x.test>", "m1", 1));
  TFakePop3Server::TMessage m2;
  m2.text = Mail("<m2@x.test>", "m2", 2);
  m2.retr = second;
  m2.top = secondTop;
  m2.list = secondList;
  m2.statedSize = secondStatedSize;
  f.AddMessage(m2);
  f.AddMessage(Mail("<m3@x.test>", "m3", 3));
}

std::vector<std::string> ServerSubjects(const TFakePop3Server& f) {
  std::vector<std::string> out;
  for (auto& m : f.Mailbox()) out.push_back(m.substr(m.find("Subject: ") + 9, 2));
  return out;
}

class GetListFaultTest : public GetListTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(fake.Ok());
    account.Pop3Port = std::to_string(fake.Port());
    data->KnownIds = {"<old@x.test>"};
    data->SaveMessageIds();
  }
  TFakePop3Server fake;
};

TEST_F(GetListFaultTest, RefusedRetrieveGoesOnWithTheNext) {
  AddThree(fake, TFault::Refuse);
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_EQ(r.Received, 2);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"-ERR refused by the test"}));
  EXPECT_EQ(view.Counters(), (std::vector<std::string>{" Messsage 1 of 3", " Messsage 2 of 3"}));
  EXPECT_EQ(view.statuses.back(), " 2 Message(s) received");
  EXPECT_EQ(StoredSubjects(), (std::vector<std::string>{"m1", "m3"}));
  EXPECT_EQ(ServerSubjects(fake), (std::vector<std::string>{"m2"}));
  EXPECT_EQ(fake.CommandCount("DELE 2"), 0);
  EXPECT_TRUE(SavedIds().empty());
}

// Left on the server, the failed message is not taken as known: the next run fetches it.
TEST_F(GetListFaultTest, RefusedRetrieveLeftOnServerIsFetchedNextTime) {
  AddThree(fake, TFault::Refuse);
  account.LeaveCopyOnServer = true;
  EXPECT_EQ(Run().Received, 2);
  EXPECT_EQ(SavedIds(), (TUniqueIds{"<m1@x.test>", "<m3@x.test>"}));
  EXPECT_EQ(fake.CommandCount("DELE"), 0);
}

struct THugeCase {
  const char* name;
  TFault retr;
  TFault list;
  long long statedSize;  // negative: the true size
  bool leaveOnServer;
  bool transferred;  // RETR sent: the limit is met while the message arrives
};

// 200 MB: refused with a clear reason and left on the server, the run goes on. When the
// server states the size the message is not fetched at all; when it understates it or
// does not say, the limit stops it while it arrives and the rest is read past.
TEST_F(GetListFaultTest, HugeMessageIsRefusedAndTheRunGoesOn) {
  const std::vector<THugeCase> cases = {
      {"size stated", TFault::Huge, TFault::None, -1, false, false},
      {"size stated, left on server", TFault::Huge, TFault::None, -1, true, false},
      {"size understated", TFault::Huge, TFault::None, 1000, false, true},
      {"LIST refused", TFault::Huge, TFault::Refuse, -1, false, true},
      {"garbage to LIST", TFault::Huge, TFault::Garbage, -1, true, true},
      // The server's word is taken: a small message said to be too large stays there.
      {"small, size overstated", TFault::None, TFault::None, (64LL << 20) + 1, false, false},
  };
  for (const THugeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFakePop3Server f;
    ASSERT_TRUE(f.Ok());
    AddThree(f, c.retr, TFault::None, c.list, c.statedSize);
    TTempFolder store;
    TExtractData d(store.Path());
    d.KnownIds = {"<old@x.test>"};
    d.SaveMessageIds();
    TProfile p = account;
    p.Pop3Port = std::to_string(f.Port());
    p.LeaveCopyOnServer = c.leaveOnServer;
    TTestView v;
    boxes.shown.clear();
    TGetListResult r = getList.Run(d, &p, v);
    EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
    EXPECT_EQ(r.Received, 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "The message is larger than 64 MB (67108864 bytes)");
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
    EXPECT_EQ(v.Counters(), (std::vector<std::string>{" Messsage 1 of 3", " Messsage 2 of 3"}));
    TExtractData after(store.Path());
    after.ReadMailList();
    std::vector<std::string> stored;
    for (auto& m : after.MailList) stored.push_back(m.Message->Subject);
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<std::string>{"m1", "m3"}));
    EXPECT_EQ(ServerSubjects(f),
              c.leaveOnServer ? (std::vector<std::string>{"m1", "m2", "m3"}) : (std::vector<std::string>{"m2"}));
    EXPECT_EQ(f.CommandCount("DELE 2"), 0);
    // Not taken as seen: a later run asks for it again.
    EXPECT_EQ(after.KnownIds, c.leaveOnServer ? (TUniqueIds{"<m1@x.test>", "<m3@x.test>"}) : TUniqueIds{});
    // The size is asked before the message is fetched, and only for new messages.
    const std::vector<std::string> commands = f.Commands();
    const auto list2 = std::find(commands.begin(), commands.end(), "LIST 2");
    ASSERT_NE(list2, commands.end()) << ::testing::PrintToString(commands);
    EXPECT_EQ(f.CommandCount("LIST"), 3);
    EXPECT_EQ(f.CommandCount("RETR 2"), c.transferred ? 1 : 0) << ::testing::PrintToString(commands);
    if (c.transferred) {
      EXPECT_EQ(*(list2 + 1), "RETR 2");
    }
    EXPECT_EQ(f.CommandCount("RETR"), c.transferred ? 3 : 2);
  }
}

// How a reply to LIST is read: only a listing of the message asked for, with a size
// over the limit, keeps the message from being fetched.
TEST_F(GetListFaultTest, ListingsAsTheyAreRead) {
  struct TCase {
    const char* reply;
    bool fetched;
  };
  for (const TCase& c : std::vector<TCase>{{"+OK 2 67108865", false},
                                           {"+OK 2 67108865 more words", false},
                                           {"+OK  2   67108865", false},
                                           {"+OK 2 99999999999999999999999999", false},
                                           {"+OK 2 67108864", true},
                                           {"+OK 3 67108865", true},
                                           {"+OK 2 67108865x", true},
                                           {"+OK 2 -67108865", true},
                                           {"+OK 2", true},
                                           {"+OK", true},
                                           {"+OK2 67108865", true},
                                           {"2 67108865", true}}) {
    SCOPED_TRACE(c.reply);
    TFakePop3Server f;
    ASSERT_TRUE(f.Ok());
    f.AddMessage(Mail("<m1@x.test>", "m1", 1));
    TFakePop3Server::TMessage m2;
    m2.text = Mail("<m2@x.test>", "m2", 2);
    m2.listReply = c.reply;
    f.AddMessage(m2);
    TTempFolder store;
    TExtractData d(store.Path());
    TProfile p = account;
    p.Pop3Port = std::to_string(f.Port());
    boxes.shown.clear();
    TTestView v;
    TGetListResult r = getList.Run(d, &p, v);
    EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
    EXPECT_EQ(r.Received, c.fetched ? 2 : 1);
    EXPECT_EQ(boxes.shown.size(), c.fetched ? 0u : 1u);
    EXPECT_EQ(f.CommandCount("RETR 2"), c.fetched ? 1 : 0);
    EXPECT_EQ(ServerSubjects(f), c.fetched ? std::vector<std::string>{} : std::vector<std::string>{"m2"});
  }
}

// A size within the limit, or none, and the message is fetched.
TEST_F(GetListFaultTest, SizeWithinTheLimitOrUnknownFetchesTheMessage) {
  struct TCase {
    const char* name;
    TFault list;
    long long statedSize;
  };
  for (const TCase& c : std::vector<TCase>{{"true size", TFault::None, -1},
                                           {"overstated within the limit", TFault::None, 60 << 20},
                                           {"size zero", TFault::None, 0},
                                           {"refused", TFault::Refuse, -1},
                                           {"garbage", TFault::Garbage, -1}}) {
    SCOPED_TRACE(c.name);
    TFakePop3Server f;
    ASSERT_TRUE(f.Ok());
    AddThree(f, TFault::None, TFault::None, c.list, c.statedSize);
    TTempFolder store;
    TExtractData d(store.Path());
    TProfile p = account;
    p.Pop3Port = std::to_string(f.Port());
    boxes.shown.clear();
    TTestView v;
    TGetListResult r = getList.Run(d, &p, v);
    EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
    EXPECT_EQ(r.Received, 3);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
    EXPECT_TRUE(f.Mailbox().empty());
    EXPECT_EQ(f.CommandCount("RETR"), 3);
  }
}

// The MIME layer fails on the message (its attachment cannot be saved): it is stored
// as its text.
TEST_F(GetListFaultTest, MessageTheMimeLayerCannotTakeIsStoredAsText) {
  WriteFileBytes(getList.AttachmentFolder.string(), "a file where the folder should be");
  const std::string mixed =
      "From: a@x.test\r\nSubject: mixed\r\nMessage-Id: <mx@x.test>\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nthe text\r\n"
      "--b\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"a.bin\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n--b--\r\n";
  fake.AddMessage(mixed);
  fake.AddMessage(Mail("<m2@x.test>", "m2", 2));
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_EQ(r.Received, 2);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
  TExtractData d(folder.Path());
  d.ReadMailList();
  ASSERT_EQ(d.MailList.size(), 2u);
  for (auto& m : d.MailList) {
    if (m.Message->Subject != "mixed") continue;
    auto full = d.ReadFullMessage(m.EntryName);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->MessageParts.Count(), 0);
    EXPECT_NE(std::find(full->Body.begin(), full->Body.end(), "the text"), full->Body.end());
  }
  EXPECT_TRUE(fake.Mailbox().empty());
}

TEST_F(GetListFaultTest, StoreThatFailsDeletesNothing) {
  AddThree(fake, TFault::None);
  // The store's folder is a file: nothing can be written there.
  std::filesystem::path blocked = folder.Path() / "blocked";
  WriteFileBytes(blocked.string(), "x");
  TExtractData d(blocked);
  TGetListResult r = getList.Run(d, &account, view);
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_NE(boxes.shown[0].text.find("could not be written"), std::string::npos) << boxes.shown[0].text;
  EXPECT_TRUE(view.stored.empty());
  EXPECT_EQ(ServerSubjects(fake), (std::vector<std::string>{"m1", "m2", "m3"}));
  EXPECT_EQ(fake.CommandCount("DELE"), 0);
}

TEST_F(GetListFaultTest, PageRefreshThatFailsKeepsTheMessageOnTheServer) {
  AddThree(fake, TFault::None);
  view.onStored = [&](int) {
    if (view.stored.size() == 2) throw std::runtime_error("the list is gone");
  };
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"the list is gone"}));
  EXPECT_EQ(StoredSubjects(), (std::vector<std::string>{"m1", "m2", "m3"}));
  EXPECT_EQ(ServerSubjects(fake), (std::vector<std::string>{"m2"}));
}

struct TRunFault {
  const char* name;
  std::function<void(TFakePop3Server&)> arrange;
  TGetListOutcome outcome;
  std::vector<std::string> stored;    // in the local store afterwards
  std::vector<std::string> onServer;  // on the server afterwards
  std::string boxHolds;
};

// A fault that ends the run: what was stored stays and its ids join the known ids
// (which are not replaced), and the server deletes only messages that were stored.
// A greeting that is not POP3's fails at once, not after the time-out.
TEST_F(GetListFaultTest, FaultsThatEndTheRun) {
  getList.ReplyTimeoutMs = 1500;
  const std::vector<std::string> all = {"m1", "m2", "m3"};
  const std::vector<TRunFault> cases = {
      {"garbage greeting",
       [](TFakePop3Server& f) {
         f.SetGreetingFault(TFault::Garbage);
         AddThree(f, TFault::None);
       },
       TGetListOutcome::NotConnected,
       {},
       all,
       "Not a POP3 server"},
      {"silent greeting",
       [](TFakePop3Server& f) {
         f.SetGreetingFault(TFault::Silent);
         AddThree(f, TFault::None);
       },
       TGetListOutcome::NotConnected,
       {},
       all,
       "timed out"},
      {"garbage to STAT",
       [](TFakePop3Server& f) {
         f.SetStatFault(TFault::Garbage);
         AddThree(f, TFault::None);
       },
       TGetListOutcome::Failed,
       {},
       all,
       "Unexpected reply"},
      {"refused STAT",
       [](TFakePop3Server& f) {
         f.SetStatFault(TFault::Refuse);
         AddThree(f, TFault::None);
       },
       TGetListOutcome::Failed,
       {},
       all,
       "-ERR refused"},
      {"silent after log-on",
       [](TFakePop3Server& f) {
         f.SetStatFault(TFault::Silent);
         AddThree(f, TFault::None);
       },
       TGetListOutcome::Failed,
       {},
       all,
       "timed out"},
      {"garbage to RETR",
       [](TFakePop3Server& f) { AddThree(f, TFault::Garbage); },
       TGetListOutcome::Failed,
       {"m1"},
       all,
       "Unexpected reply"},
      {"closed in the middle of RETR",
       [](TFakePop3Server& f) { AddThree(f, TFault::CloseMidway); },
       TGetListOutcome::Failed,
       {"m1"},
       all,
       "closed"},
      {"silent RETR",
       [](TFakePop3Server& f) { AddThree(f, TFault::Silent); },
       TGetListOutcome::Failed,
       {"m1"},
       all,
       "timed out"},
      {"silent LIST",
       [](TFakePop3Server& f) { AddThree(f, TFault::None, TFault::None, TFault::Silent); },
       TGetListOutcome::Failed,
       {"m1"},
       all,
       "timed out"},
      {"garbage to TOP",
       [](TFakePop3Server& f) { AddThree(f, TFault::None, TFault::Garbage); },
       TGetListOutcome::Failed,
       {"m1"},
       all,
       "Unexpected reply"},
      {"closed in the middle of TOP",
       [](TFakePop3Server& f) { AddThree(f, TFault::None, TFault::CloseMidway); },
       TGetListOutcome::Failed,
       {"m1"},
       all,
       "closed"},
      // The connection stands: QUIT removes the one stored message.
      {"refused TOP",
       [](TFakePop3Server& f) { AddThree(f, TFault::None, TFault::Refuse); },
       TGetListOutcome::Failed,
       {"m1"},
       {"m2", "m3"},
       "-ERR refused"},
  };
  for (const TRunFault& c : cases) {
    SCOPED_TRACE(c.name);
    TFakePop3Server f;
    ASSERT_TRUE(f.Ok());
    c.arrange(f);
    TTempFolder store;
    TExtractData d(store.Path());
    d.KnownIds = {"<old@x.test>"};
    d.SaveMessageIds();
    TProfile p = account;
    p.Pop3Port = std::to_string(f.Port());
    TTestView v;
    boxes.shown.clear();
    TGetListResult r = getList.Run(d, &p, v);
    EXPECT_EQ(r.Outcome, c.outcome);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find(c.boxHolds), std::string::npos) << boxes.shown[0].text;
    TExtractData after(store.Path());
    TUniqueIds known = {"<old@x.test>"};
    for (const std::string& subject : c.stored) known.push_back("<" + subject + "@x.test>");
    EXPECT_EQ(after.KnownIds, known);
    after.ReadMailList();
    std::vector<std::string> stored;
    for (auto& m : after.MailList) stored.push_back(m.Message->Subject);
    EXPECT_EQ(stored, c.stored);
    EXPECT_EQ(ServerSubjects(f), c.onServer);
    EXPECT_EQ(v.running, (std::vector<bool>{true, false}));
    EXPECT_FALSE(d.Pop3->Connected());
    if (c.outcome == TGetListOutcome::NotConnected) {
      EXPECT_EQ(v.statuses.back(), " Not connected");
    }
  }
}

// The connection is lost while the second message arrives; the next run on the
// same mailbox (the lost session's deletions never reached the server) must not
// store the first one again.
TEST_F(GetListFaultTest, RunCutInsideRetrieveThenASecondRunStoresNothingTwice) {
  for (bool leaveOnServer : {false, true}) {
    SCOPED_TRACE(leaveOnServer ? "left on server" : "deleted on the server");
    TTempFolder store;
    TExtractData d(store.Path());
    TProfile p = account;
    p.LeaveCopyOnServer = leaveOnServer;
    {
      TFakePop3Server cut;
      ASSERT_TRUE(cut.Ok());
      AddThree(cut, TFault::CloseMidway);
      p.Pop3Port = std::to_string(cut.Port());
      TTestView v;
      boxes.shown.clear();
      TGetListResult r = getList.Run(d, &p, v);
      EXPECT_EQ(r.Outcome, TGetListOutcome::Failed);
      EXPECT_EQ(r.Received, 1);
      ASSERT_EQ(boxes.shown.size(), 1u);
      EXPECT_EQ(ServerSubjects(cut), (std::vector<std::string>{"m1", "m2", "m3"}));
    }
    EXPECT_EQ(TExtractData(store.Path()).KnownIds, (TUniqueIds{"<m1@x.test>"}));
    TFakePop3Server again;
    ASSERT_TRUE(again.Ok());
    AddThree(again, TFault::None);
    p.Pop3Port = std::to_string(again.Port());
    TTestView v;
    boxes.shown.clear();
    TGetListResult r = getList.Run(d, &p, v);
    EXPECT_EQ(r.Outcome, TGetListOutcome::Completed);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(r.Received, 2);
    EXPECT_EQ(again.CommandCount("RETR 1"), 0);
    TExtractData after(store.Path());
    after.ReadMailList();
    std::vector<std::string> stored;
    for (auto& m : after.MailList) stored.push_back(m.Message->Subject);
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<std::string>{"m1", "m2", "m3"}));
    EXPECT_EQ(ServerSubjects(again),
              leaveOnServer ? (std::vector<std::string>{"m1", "m2", "m3"}) : std::vector<std::string>{});
    EXPECT_EQ(after.KnownIds, leaveOnServer ? (TUniqueIds{"<m1@x.test>", "<m2@x.test>", "<m3@x.test>"}) : TUniqueIds{});
  }
}

// A server that says nothing: " Connecting...." is shown before the wait, the
// window's events are processed while it lasts, and closing the window ends it
// at once, without a box.
TEST_F(GetListFaultTest, SilentGreetingKeepsTheWindowAliveAndAStopEndsTheWait) {
  fake.SetGreetingFault(TFault::Silent);
  getList.ReplyTimeoutMs = 20000;
  std::vector<std::string> shownAtPump;
  view.onPump = [&](int n) {
    shownAtPump.push_back(view.statuses.empty() ? std::string() : view.statuses.back());
    // Well into the wait for the greeting.
    if (n == 20) getList.RequestStop();
  };
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Stopped);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
  ASSERT_GE(shownAtPump.size(), 20u);
  for (const std::string& s : shownAtPump) EXPECT_EQ(s, " Connecting....");
  EXPECT_EQ(fake.Sessions(), 1);
  EXPECT_FALSE(data->Pop3->Connected());
  EXPECT_EQ(view.running, (std::vector<bool>{true, false}));
  EXPECT_EQ(SavedIds(), (TUniqueIds{"<old@x.test>"}));
}

// The same while a message is on its way.
TEST_F(GetListFaultTest, SilentRetrieveKeepsTheWindowAlive) {
  AddThree(fake, TFault::Silent);
  getList.ReplyTimeoutMs = 20000;
  int pumpsInRetrieve = 0;
  view.onPump = [&](int) {
    if (fake.CommandCount("RETR 2") == 1 && ++pumpsInRetrieve == 10) getList.RequestStop();
  };
  TGetListResult r = Run();
  EXPECT_EQ(r.Outcome, TGetListOutcome::Stopped);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
  EXPECT_EQ(pumpsInRetrieve, 10);
  EXPECT_EQ(r.Received, 1);
  EXPECT_EQ(StoredSubjects(), (std::vector<std::string>{"m1"}));
  EXPECT_EQ(SavedIds(), (TUniqueIds{"<old@x.test>", "<m1@x.test>"}));
}

}  // namespace
