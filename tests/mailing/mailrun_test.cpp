// The mailing run against real servers on loopback: the senders, the
// supervision with its retries, the abort with its cut, direct delivery
// through MX look-ups, the connection check's box and Reset Failed Items.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "mailing/MailRun.h"
#include "mailing/MailSender.h"
#include "mailing/Report.h"
#include "net/IdMessage.h"
#include "platform/MessageBox.h"
#include "support/MailTestSupport.h"
#include "support/RunServers.h"
#include "support/RunTestKit.h"

namespace fs = std::filesystem;

namespace {

TSinkServer::Options Sink(const std::function<void(TSinkServer::Options&)>& set) {
  TSinkServer::Options o;
  set(o);
  return o;
}

// Holds the first worker thread that posts to the main thread after Arm
// (a sender inside RecordSuccess, once its result is recorded) until Release.
class TPausingDispatcher : public TDispatcher {
public:
  void Arm() {
    std::lock_guard<std::mutex> g(m_);
    armed_ = true;
  }
  bool WaitPaused(int timeoutMs) {
    std::unique_lock<std::mutex> g(m_);
    return cv_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return paused_; });
  }
  void Release() {
    std::lock_guard<std::mutex> g(m_);
    released_ = true;
    cv_.notify_all();
  }

protected:
  void Wake() override {
    if (IsMainThread()) return;
    std::unique_lock<std::mutex> g(m_);
    if (!armed_) return;
    armed_ = false;
    paused_ = true;
    cv_.notify_all();
    cv_.wait(g, [&] { return released_; });
  }

private:
  std::mutex m_;
  std::condition_variable cv_;
  bool armed_ = false, paused_ = false, released_ = false;
};

class MailRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitMailLibraries();
    setenv("LARKPOST_CHECK_HOST", "localhost", 1);
    run = std::make_unique<TMailRun>(mailing, state, view, clock);
  }
  void TearDown() override {
    dispatcher.Release();
    run.reset();
    fs::remove_all(dir);
  }

  bool Finish(int timeoutMs = 60000) {
    return Drive(
        *run, dispatcher, [&] { return state.State() == ssIdle && !run->Timer3Enabled(); }, timeoutMs);
  }
  // The sent / failed bytes of "Maillist.ind" record i.
  std::pair<int, int> IndexFlags(int i) {
    const std::string b = FileBytes(dir + MailIndexFileName);
    const size_t at = 4 + 10 * static_cast<size_t>(i) + 8;
    return {b.at(at), b.at(at + 1)};
  }

  TPausingDispatcher dispatcher;
  TScopedDispatcher scoped{&dispatcher};
  TScopedScriptedMessages boxes;
  std::string dir = FreshDir("mailrun");
  TPreparedMailing mailing{dir, "utf-8"};
  TRecordingSendView view;
  TSendStateOwner state{mailing, view};
  TFakeRunClock clock;
  std::unique_ptr<TMailRun> run;
};

TEST(SendStateTable, ControlsFollowTheStateAndTheList) {
  struct Case {
    TSendState state;
    int items, sent, failed;
    bool start;
    const char* caption;
    bool resetFailed, clearList;
  };
  const Case cases[] = {
      {ssIdle, 0, 0, 0, false, "Start", false, false},      {ssIdle, 5, 0, 0, true, "Start", false, true},
      {ssIdle, 5, 2, 1, true, "Continue", true, true},      {ssIdle, 5, 4, 1, false, "Start", true, true},
      {ssPreparing, 5, 1, 1, false, "Start", false, false}, {ssSending, 5, 1, 0, true, "Stop", false, false},
  };
  for (const auto& c : cases) {
    const TSendControls k = SendControls(c.state, c.items, c.sent, c.failed);
    EXPECT_EQ(k.Start, c.start) << c.state << " " << c.items;
    EXPECT_EQ(k.StartCaption, c.caption) << c.state << " " << c.items;
    EXPECT_EQ(k.ResetFailed, c.resetFailed) << c.state << " " << c.items;
    EXPECT_EQ(k.ClearList, c.clearList) << c.state << " " << c.items;
    EXPECT_EQ(k.Report, c.clearList);
    EXPECT_EQ(k.Prepare, c.state == ssIdle);
    EXPECT_EQ(k.SendCurrent, c.state == ssIdle);
    EXPECT_EQ(k.Help, c.state != ssPreparing);
    EXPECT_EQ(k.Hide, c.state != ssPreparing);
  }
  EXPECT_EQ(SendCounters(3, 1, 7, 2), (TSendCounters{"3 Sent of 7", "1 Failed", "2 Active Threads"}));
}

TEST(SendStateTable, ProgressRoundsHalvesToEvenAndNeverMovesBack) {
  TSendProgress p;
  EXPECT_TRUE(p.Apply(1, 8));  // 12.5
  EXPECT_EQ(p.Position(), 12);
  EXPECT_TRUE(p.Apply(3, 8));  // 37.5
  EXPECT_EQ(p.Position(), 38);
  EXPECT_FALSE(p.Apply(1, 8));
  EXPECT_EQ(p.Position(), 38);
  EXPECT_EQ(p.Caption(), "38% Completed");
  EXPECT_TRUE(p.Apply(0, 0));
  EXPECT_EQ(p.Position(), 0);
}

// A worker that reports faster than the window paints leaves one call queued,
// which shows the latest values.
TEST(DisplayRelay, OneQueuedCallShowsTheLatestValues) {
  TManualDispatcher dispatcher;
  TScopedDispatcher scoped(&dispatcher);
  std::vector<std::string> shown;
  int countersShown = 0;
  TDisplayRelay* self = nullptr;
  TDisplayRelay relay([&] {
    std::optional<std::string> status;
    bool counters = false;
    if (self->Take(status, counters, true)) {
      if (status) shown.push_back(*status);
      countersShown += counters;
    }
  });
  self = &relay;
  std::thread worker([&] {
    for (int i = 0; i < 10000; ++i) {
      relay.Status("Success: " + std::to_string(i));
      relay.Counters();
    }
  });
  worker.join();
  EXPECT_LE(dispatcher.PendingCount(), 1u);
  dispatcher.ProcessPending();
  std::optional<std::string> status;
  bool counters = false;
  relay.Take(status, counters, true);
  if (status) shown.push_back(*status);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), "Success: 9999");
  EXPECT_LE(shown.size(), 2u);
}

// As many senders as pending items, at most the thread count; every item goes once.
TEST_F(MailRunTest, SendersFollowThePendingItemsAndTheThreadCount) {
  TSinkServer sink({});
  ASSERT_TRUE(sink.Ok());
  struct Case {
    int items, threads, senders;
  };
  for (const Case c : {Case{4, 15, 4}, Case{40, 15, 15}}) {
    PutList(mailing, RunList(c.items));
    view.statuses.clear();
    ASSERT_TRUE(run->Start(ServerAccount(sink.Port()), c.threads));
    EXPECT_EQ(run->SenderSlots(), c.senders);
    EXPECT_EQ(run->ActiveThreads(), c.senders);
    EXPECT_EQ(view.state, ssSending);
    EXPECT_EQ(view.controls.StartCaption, "Stop");
    ASSERT_TRUE(Finish());
    EXPECT_EQ(view.RunStatuses(),
              (std::vector<std::string>{"Connecting to SMTP Server...", "Connected", "Mailing Completed"}));
    EXPECT_EQ(view.counters.Sent, std::to_string(c.items) + " Sent of " + std::to_string(c.items));
    EXPECT_EQ(view.counters.Active, "0 Active Threads");
    EXPECT_EQ(view.position, 100);
    EXPECT_EQ(mailing.SentCount, c.items);
    for (int i = 0; i < c.items; ++i) EXPECT_EQ(IndexFlags(i), std::make_pair(1, 0)) << i;
  }
  const auto counts = sink.Counts("delivered");
  EXPECT_EQ(counts.size(), 40u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(counts.at("r" + std::to_string(i) + "@sink.test"), 2);
  for (int i = 4; i < 40; ++i) EXPECT_EQ(counts.at("r" + std::to_string(i) + "@sink.test"), 1);
  EXPECT_TRUE(boxes.shown.empty());
}

// Stop, then Continue: only items neither sent nor failed go, each once.
TEST_F(MailRunTest, ContinueAfterAnAbortSendsOnlyWhatIsLeft) {
  TSinkServer sink({});
  ASSERT_TRUE(sink.Ok());
  TMailList list = RunList(60);
  list.Items[3].Sent = true;
  list.Items[5].Failed = true;
  list.Items[5].ErrorText = "Timeout";
  PutList(mailing, list);
  ASSERT_TRUE(run->Start(ServerAccount(sink.Port()), 3));
  ASSERT_TRUE(Drive(*run, dispatcher, [&] { return run->SentCount() >= 10; }));
  run->Stop();
  EXPECT_EQ(view.startDisabled, 1);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(view.status, "Mailing Aborted");
  EXPECT_GE(view.broughtToFront, 1);
  const int sentBefore = mailing.SentCount;
  EXPECT_LT(sentBefore, 60);
  EXPECT_EQ(view.controls.StartCaption, "Continue");

  ASSERT_TRUE(run->Start(ServerAccount(sink.Port()), 3));
  ASSERT_TRUE(Finish());
  EXPECT_EQ(view.status, "Mailing Completed");
  EXPECT_EQ(mailing.SentCount, 59);
  EXPECT_EQ(mailing.FailedCount, 1);
  const auto counts = sink.Counts("delivered");
  EXPECT_EQ(counts.size(), 58u);
  EXPECT_FALSE(counts.count("r3@sink.test"));
  EXPECT_FALSE(counts.count("r5@sink.test"));
  for (const auto& [to, n] : counts) EXPECT_EQ(n, 1) << to;
  EXPECT_EQ(IndexFlags(5), std::make_pair(0, 1));
}

// Six attempts, then the item is failed with the last error; the run goes on.
// A recipient the mail layer refuses fails the same way.
TEST_F(MailRunTest, AFailingItemIsTriedSixTimesThenRecorded) {
  const std::string reply = "554 5.7.1 refused\tfor\x07 you";
  TSinkServer sink(Sink([&](auto& o) {
    o.reject = "FAILME";
    o.reply = reply;
  }));
  ASSERT_TRUE(sink.Ok());
  TMailList list = RunList(5);
  list.Items[1].Body = "FAILME please";
  list.Items[3].To = "bad<angle>@sink.test";
  list.Items[4].To = "r4@sink.test>\r\nRCPT TO:<evil@sink.test";
  PutList(mailing, list);
  ASSERT_TRUE(run->Start(ServerAccount(sink.Port()), 2));
  ASSERT_TRUE(Finish());
  EXPECT_EQ(view.status, "Mailing Completed");
  EXPECT_EQ(mailing.SentCount, 2);
  EXPECT_EQ(mailing.FailedCount, 3);
  EXPECT_TRUE(mailing.MailList.Items[4].Failed);
  for (const char* log : {"delivered", "rejected"})
    for (const auto& to : sink.Log(log)) EXPECT_EQ(to.find("evil"), std::string::npos) << to;
  EXPECT_EQ(sink.Counts("rejected").at("r1@sink.test"), 6);
  const TMailItem& failed = mailing.MailList.Items[1];
  EXPECT_TRUE(failed.Failed);
  EXPECT_FALSE(failed.Sent);
  EXPECT_EQ(failed.ErrorText, "554 5.7.1 refusedfor you");
  EXPECT_TRUE(mailing.MailList.Items[3].Failed);
  EXPECT_FALSE(mailing.MailList.Items[3].ErrorText.empty());
  EXPECT_EQ(IndexFlags(1), std::make_pair(0, 1));
  EXPECT_EQ(IndexFlags(3), std::make_pair(0, 1));
  // The file keeps the text as the server gave it.
  TMailList back = RunList(5);
  LoadFailedList(dir + FailedListFileName, back);
  EXPECT_EQ(back.Items[1].ErrorText, reply);
  EXPECT_EQ(view.counters.Failed, "3 Failed");
  EXPECT_TRUE(boxes.shown.empty());
}

// A refusal of several lines is kept whole: every line, CR LF between them,
// in "Failed.dat"; in memory and in the report without the line ends.
TEST_F(MailRunTest, ARefusalOfSeveralLinesIsRecordedWhole) {
  const std::string reply = "550-5.1.1 first line\r\n550 5.1.1 second line";
  TSinkServer sink(Sink([&](auto& o) {
    o.reject = "FAILME";
    o.reply = reply;
  }));
  ASSERT_TRUE(sink.Ok());
  TMailList list = RunList(2);
  list.Items[0].Body = "FAILME";
  PutList(mailing, list);
  ASSERT_TRUE(run->Start(ServerAccount(sink.Port()), 1));
  ASSERT_TRUE(Finish());
  EXPECT_EQ(mailing.FailedCount, 1);
  const TMailItem& failed = mailing.MailList.Items[0];
  EXPECT_EQ(failed.ErrorText, "550-5.1.1 first line550 5.1.1 second line");
  EXPECT_EQ(ReportItemLine(1, failed).substr(ReportItemLine(1, failed).find(" - ")),
            " - \"550-5.1.1 first line550 5.1.1 second line\"");
  EXPECT_EQ(FileBytes(dir + FailedListFileName), FailedRecord(0, reply));
  TMailList back = RunList(2);
  LoadFailedList(dir + FailedListFileName, back);
  EXPECT_EQ(back.Items[0].ErrorText, reply);
}

// Every sender stalled inside DATA: after Stop nothing moves until 15 s have
// passed on the run's clock; then the cut frees them one by one. Both
// delivery modes.
TEST_F(MailRunTest, StopWhileEverySenderIsStalledCutsAfterFifteenSeconds) {
  for (const bool direct : {false, true}) {
    TSinkServer sink(Sink([](auto& o) { o.stall = true; }));
    ASSERT_TRUE(sink.Ok());
    TMxServer dns({"--mx-host=sink.test,127.0.0.1,10"});
    ASSERT_TRUE(dns.Ok());
    PutList(mailing, RunList(3));
    view.statuses.clear();
    TProfile account = ServerAccount(sink.Port());
    account.DirectDelivery = direct;
    account.DnsServer = dns.Address();
    ASSERT_TRUE(run->Start(account, 3));
    ASSERT_TRUE(Drive(*run, dispatcher, [&] { return sink.Log("stalled").size() == 3; })) << direct;
    run->Stop();
    clock.AddSeconds(14);
    for (int pass = 0; pass < 20; ++pass) {
      dispatcher.ProcessPending();
      run->Timer3Timer();
    }
    EXPECT_EQ(run->ActiveThreads(), 3) << direct;
    EXPECT_EQ(view.state, ssSending);
    clock.AddSeconds(2);
    ASSERT_TRUE(Finish(30000)) << direct;
    const auto statuses = view.RunStatuses();
    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(statuses.end() - 3, statuses.end()),
              (std::vector<std::string>{"Aborting...", "Aborting...", "Mailing Aborted"}))
        << direct;
    EXPECT_EQ(mailing.SentCount + mailing.FailedCount, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(IndexFlags(i), std::make_pair(0, 0)) << i;
    EXPECT_EQ(view.controls.StartCaption, "Start");
  }
}

// Stop while the connector is still connecting: the run ends there, or at the
// senders' first pass; nothing is sent either way.
TEST_F(MailRunTest, StopAtOnceSendsNothing) {
  TSinkServer sink({});
  ASSERT_TRUE(sink.Ok());
  PutList(mailing, RunList(30));
  ASSERT_TRUE(run->Start(ServerAccount(sink.Port()), 10));
  run->Stop();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(view.status, "Mailing Aborted");
  EXPECT_EQ(view.state, ssIdle);
  EXPECT_EQ(run->ActiveThreads(), 0);
  EXPECT_EQ(mailing.SentCount, 0);
  EXPECT_TRUE(sink.Log("delivered").empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MailRunTest, StartRefusesAPortThatIsNotANumber) {
  PutList(mailing, RunList(2));
  for (const char* port : {"abc", "", "25x", "0", "70000"}) {
    TProfile account = ServerAccount(25);
    account.SmtpPort = port;
    boxes.shown.clear();
    EXPECT_FALSE(run->Start(account, 5)) << port;
    ASSERT_EQ(boxes.shown.size(), 1u) << port;
    EXPECT_NE(boxes.shown[0].text.find("SMTP port"), std::string::npos);
    EXPECT_EQ(state.State(), ssIdle);
    EXPECT_TRUE(view.states.empty());
    EXPECT_EQ(run->SenderSlots(), 0);
  }
}

TEST_F(MailRunTest, RunFilesThatCannotBeOpenedStopTheStart) {
  PutList(mailing, RunList(2));
  fs::remove(dir + MailIndexFileName);
  EXPECT_FALSE(run->Start(ServerAccount(25), 5));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].text.find(MailIndexFileName), std::string::npos);
  EXPECT_EQ(state.State(), ssIdle);
}

TEST_F(MailRunTest, AServerThatCannotBeReachedEndsTheRunAtConnecting) {
  PutList(mailing, RunList(3));
  ASSERT_TRUE(run->Start(ServerAccount(FreeLoopbackPort()), 5));
  ASSERT_TRUE(Finish());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
  EXPECT_EQ(view.status, "failure of Connection to SMTP Server");
  EXPECT_EQ(run->SenderSlots(), 0);
  EXPECT_EQ(mailing.SentCount + mailing.FailedCount, 0);
}

// Two exchangers on the same port: the first refuses, the second accepts.
TEST_F(MailRunTest, DirectDeliveryTriesTheExchangersInOrder) {
  std::unique_ptr<TSinkServer> acceptingSink, refusingSink;
  for (int attempt = 0; attempt < 5 && !(refusingSink && refusingSink->Ok()); ++attempt) {
    acceptingSink = std::make_unique<TSinkServer>(TSinkServer::Options{});
    ASSERT_TRUE(acceptingSink->Ok());
    refusingSink = std::make_unique<TSinkServer>(Sink([&](auto& o) {
      o.host = "127.0.0.2";
      o.port = acceptingSink->Port();
      o.refuseAll = true;
    }));
  }
  ASSERT_TRUE(refusingSink && refusingSink->Ok());
  TSinkServer& accepting = *acceptingSink;
  TSinkServer& refusing = *refusingSink;
  TMxServer dns({"--mx-host=second.test,127.0.0.2,10", "--mx-host=second.test,127.0.0.1,20",
                 "--mx-host=first.test,127.0.0.1,10", "--mx-host=first.test,127.0.0.2,20"});
  ASSERT_TRUE(dns.Ok());
  TMailList list = RunList(2, "second.test");
  list.Items[1].To = "r1@first.test";
  list.Items.push_back(RunList(1, "nomx.test").Items[0]);
  PutList(mailing, list);
  const int refusingBefore = refusing.Connections();  // the start-up probe's
  TProfile account = ServerAccount(accepting.Port());
  account.DirectDelivery = true;
  account.DnsServer = dns.Address();
  ASSERT_TRUE(run->Start(account, 1));
  ASSERT_TRUE(Finish());
  EXPECT_TRUE(mailing.MailList.Items[0].Sent);
  EXPECT_TRUE(mailing.MailList.Items[1].Sent);
  EXPECT_EQ(refusing.Log("refused"), std::vector<std::string>{"r0@second.test"});
  EXPECT_EQ(refusing.Connections() - refusingBefore, 1);  // never for first.test
  EXPECT_EQ(accepting.Log("delivered"), (std::vector<std::string>{"r0@second.test", "r1@first.test"}));
  // A domain without exchangers: six attempts, then failed.
  EXPECT_TRUE(mailing.MailList.Items[2].Failed);
  EXPECT_EQ(mailing.MailList.Items[2].ErrorText, "No response from DNS server");
  EXPECT_EQ(view.status, "Mailing Completed");
}

// Without a connection the user chooses: Retry gives the item further
// attempts, Abort winds the run down and the item stays pending.
TEST_F(MailRunTest, NoConnectionToInternetAnsweredRetryThenAbort) {
  setenv("LARKPOST_CHECK_HOST", "unreachable..invalid", 1);
  TSinkServer sink(Sink([](auto& o) { o.reject = "FAILME"; }));
  ASSERT_TRUE(sink.Ok());
  TMailList list = RunList(1);
  list.Items[0].Body = "FAILME";
  PutList(mailing, list);
  boxes.Answer(TMsgResult::Retry);
  boxes.Answer(TMsgResult::Abort);
  ASSERT_TRUE(run->Start(ServerAccount(sink.Port()), 4));
  ASSERT_TRUE(Finish());
  ASSERT_EQ(boxes.shown.size(), 2u);
  for (const auto& b : boxes.shown) {
    EXPECT_EQ(b.text, "No connection to Internet");
    EXPECT_EQ(b.buttons, TMsgButtons::AbortRetry);
    EXPECT_EQ(b.kind, TMsgKind::Error);
  }
  EXPECT_EQ(sink.Counts("rejected").at("r0@sink.test"), 6 + 5);
  EXPECT_EQ(view.status, "Mailing Aborted");
  EXPECT_EQ(view.startDisabled, 1);
  EXPECT_FALSE(mailing.MailList.Items[0].Failed);
  EXPECT_FALSE(mailing.MailList.Items[0].Sent);
  EXPECT_EQ(IndexFlags(0), std::make_pair(0, 0));
}

// Retry while another sender has recorded its success and not yet taken its
// next item (held there): only the failed sender goes again; the held one
// takes its next item, so every item goes once and counts once, and the
// counters agree with "Maillist.ind".
TEST_F(MailRunTest, RetryLeavesASenderThatHasJustSucceededAlone) {
  TSinkServer sink(Sink([](auto& o) { o.reject = "FAILME"; }));
  ASSERT_TRUE(sink.Ok());
  TMxServer dns({"--mx-host=sink.test,127.0.0.1,10"});
  ASSERT_TRUE(dns.Ok());
  TMailList list = RunList(2);
  list.Items[1].Body = "FAILME";
  PutList(mailing, list);
  TProfile account = ServerAccount(sink.Port());
  account.DirectDelivery = true;  // no connector: the first success is the first post
  account.DnsServer = dns.Address();
  int checks = 0;
  bool heldAtCheck = false;
  run->InternetCheck = [&] {
    if (checks++ > 0) return true;
    heldAtCheck = dispatcher.WaitPaused(30000);
    return false;
  };
  boxes.Answer(TMsgResult::Retry);
  dispatcher.Arm();
  ASSERT_TRUE(run->Start(account, 2));
  ASSERT_TRUE(Drive(*run, dispatcher, [&] { return !boxes.shown.empty(); }));
  EXPECT_TRUE(heldAtCheck);
  dispatcher.Release();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(view.status, "Mailing Completed");
  EXPECT_EQ(sink.Counts("delivered"), (std::map<std::string, int>{{"r0@sink.test", 1}}));
  EXPECT_EQ(sink.Counts("rejected").at("r1@sink.test"), 6 + 5);
  EXPECT_EQ(mailing.SentCount, 1);
  EXPECT_EQ(mailing.FailedCount, 1);
  EXPECT_EQ(view.counters.Sent, "1 Sent of 2");
  TMailList onDisk = RunList(2);
  int sent = -1, failed = -1;
  LoadMailIndex(dir + MailIndexFileName, onDisk, sent, failed);
  EXPECT_EQ(sent, mailing.SentCount);
  EXPECT_EQ(failed, mailing.FailedCount);
  EXPECT_EQ(IndexFlags(0), std::make_pair(1, 0));
  EXPECT_EQ(IndexFlags(1), std::make_pair(0, 1));
  // A success reported again for a sent item changes nothing.
  run->RecordSuccess(0);
  EXPECT_EQ(mailing.SentCount, 1);
  EXPECT_EQ(run->Counters().Sent, "1 Sent of 2");
}

// Loading the list goes through the run's state machine like Prepare does.
TEST_F(MailRunTest, TheListsOperationsDriveTheSameState) {
  TMailList list = RunList(3);
  list.Items[0].Sent = true;
  SaveListFiles(dir, list);
  TListOperationsView listView(state, *run, view);
  mailing.LoadList(listView);
  EXPECT_EQ(view.states, (std::vector<int>{ssPreparing, ssIdle}));
  EXPECT_EQ(view.controls, SendControls(ssIdle, 3, 1, 0));
  EXPECT_EQ(view.controls.StartCaption, "Continue");
  EXPECT_EQ(view.counters.Sent, "1 Sent of 3");
  EXPECT_EQ(view.position, 33);
  EXPECT_EQ(view.caption, "33% Completed");
  EXPECT_EQ(view.status, "The list is loaded successfully");

  // Send Current on its way: the load leaves its state alone.
  mailing.MailList = TMailList{};
  state.Set(ssSending);
  view.states.clear();
  mailing.LoadList(listView);
  EXPECT_EQ(mailing.MailList.Items.size(), 3u);
  EXPECT_EQ(state.State(), ssSending);
  for (int s : view.states) EXPECT_EQ(s, ssSending);
  EXPECT_EQ(view.controls, SendControls(ssSending, 3, 1, 0));
  state.Set(ssIdle);
  EXPECT_EQ(view.controls.StartCaption, "Continue");
}

TEST_F(MailRunTest, ResetFailedItemsRewritesBothFiles) {
  TMailList list = RunList(4);
  list.Items[0].Sent = true;
  list.Items[0].SentTime = 46001;
  for (int i : {1, 3}) {
    list.Items[static_cast<size_t>(i)].Failed = true;
    list.Items[static_cast<size_t>(i)].SentTime = 46002;
    list.Items[static_cast<size_t>(i)].ErrorText = "550 no";
  }
  PutList(mailing, list);
  ASSERT_EQ(mailing.FailedCount, 2);
  EXPECT_FALSE(FileBytes(dir + FailedListFileName).empty());
  state.Set(ssPreparing);  // only when idle
  run->ResetFailedItems();
  EXPECT_EQ(mailing.FailedCount, 2);
  state.Set(ssIdle);
  run->ResetFailedItems();
  EXPECT_EQ(mailing.FailedCount, 0);
  EXPECT_EQ(mailing.SentCount, 1);
  EXPECT_EQ(view.counters.Failed, "0 Failed");
  EXPECT_FALSE(view.controls.ResetFailed);
  EXPECT_EQ(view.controls.StartCaption, "Continue");
  EXPECT_EQ(FileBytes(dir + FailedListFileName), "");
  TMailList reread;
  LoadMailList(dir + MailListFileName, reread);
  int sent = 0, failed = 0;
  LoadMailIndex(dir + MailIndexFileName, reread, sent, failed);
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(reread.Items[1].SentTime, 0);
  EXPECT_EQ(reread.Items[0].SentTime, 46001);
}

}  // namespace
