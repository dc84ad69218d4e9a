// "Maillist.ind" is the resume point: a run killed in the middle (SIGKILL, a
// child process running this binary) and then continued delivers every
// item, and only an item accepted but not yet recorded (at most one per
// sender) goes twice.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "mailing/MailRun.h"
#include "net/IdMessage.h"
#include "platform/MessageBox.h"
#include "support/MailTestSupport.h"
#include "support/RunServers.h"
#include "support/RunTestKit.h"

namespace fs = std::filesystem;

namespace {

constexpr int Items = 2000;
constexpr int Threads = 15;

void LoadList(TPreparedMailing& m) {
  LoadMailList(m.Dir() + MailListFileName, m.MailList);
  LoadFailedList(m.Dir() + FailedListFileName, m.MailList);
  LoadMailIndex(m.Dir() + MailIndexFileName, m.MailList, m.SentCount, m.FailedCount);
}

// The run of the list in LARKPOST_RUN_CHILD_DIR to the sink on
// LARKPOST_RUN_CHILD_PORT; started by the test below, which kills it.
TEST(MailRunChild, DISABLED_RunTheList) {
  const char* dir = std::getenv("LARKPOST_RUN_CHILD_DIR");
  const char* port = std::getenv("LARKPOST_RUN_CHILD_PORT");
  if (!dir || !port) GTEST_SKIP();
  InitMailLibraries();
  TManualDispatcher dispatcher;
  TScopedDispatcher scoped(&dispatcher);
  TScopedScriptedMessages boxes;
  TPreparedMailing mailing(dir, "utf-8");
  LoadList(mailing);
  TRecordingSendView view;
  TSendStateOwner state(mailing, view);
  TMailRun run(mailing, state, view);
  ASSERT_TRUE(run.Start(ServerAccount(std::atoi(port)), Threads));
  Drive(
      run, dispatcher, [&] { return state.State() == ssIdle; }, 120000);
}

TEST(MailRunDurability, KilledThenContinuedDeliversEveryItem) {
  InitMailLibraries();
  TSinkServer sink({});
  ASSERT_TRUE(sink.Ok());
  const std::string dir = FreshDir("mailrun-kill");
  {
    TPreparedMailing m(dir, "utf-8");
    PutList(m, RunList(Items));
  }

  TChildProcess child;
  setenv("LARKPOST_RUN_CHILD_DIR", dir.c_str(), 1);
  setenv("LARKPOST_RUN_CHILD_PORT", std::to_string(sink.Port()).c_str(), 1);
  ASSERT_TRUE(child.Start({fs::read_symlink("/proc/self/exe").string(), "--gtest_also_run_disabled_tests",
                           "--gtest_filter=MailRunChild.DISABLED_RunTheList"},
                          150, false, dir + "child.log"));
  unsetenv("LARKPOST_RUN_CHILD_DIR");
  unsetenv("LARKPOST_RUN_CHILD_PORT");
  ASSERT_TRUE(sink.WaitFor("delivered", Items / 4, 60000));
  kill(-child.Pid(), SIGKILL);
  child.Stop();

  TManualDispatcher dispatcher;
  TScopedDispatcher scoped(&dispatcher);
  TScopedScriptedMessages boxes;
  TPreparedMailing mailing(dir, "utf-8");
  LoadList(mailing);
  ASSERT_EQ(mailing.MailList.Items.size(), static_cast<size_t>(Items));
  const int recorded = mailing.SentCount;
  EXPECT_GE(recorded, Items / 4 - Threads);
  EXPECT_LT(recorded, Items) << "the child finished before it was killed";
  EXPECT_EQ(mailing.FailedCount, 0);

  TRecordingSendView view;
  TSendStateOwner state(mailing, view);
  TMailRun run(mailing, state, view);
  ASSERT_TRUE(run.Start(ServerAccount(sink.Port()), Threads));
  ASSERT_TRUE(Drive(
      run, dispatcher, [&] { return state.State() == ssIdle && !run.Timer3Enabled(); }, 120000));
  EXPECT_EQ(view.status, "Mailing Completed");
  EXPECT_EQ(mailing.SentCount, Items);

  const auto counts = sink.Counts("delivered");
  int duplicates = 0;
  for (int i = 0; i < Items; ++i) {
    const auto it = counts.find("r" + std::to_string(i) + "@sink.test");
    ASSERT_NE(it, counts.end()) << "item " << i << " never delivered";
    EXPECT_LE(it->second, 2) << "item " << i;
    duplicates += it->second - 1;
  }
  EXPECT_LE(duplicates, Threads);
  EXPECT_EQ(counts.size(), static_cast<size_t>(Items));
  int sent = 0, failed = 0;
  TMailList reread;
  LoadMailList(dir + MailListFileName, reread);
  LoadMailIndex(dir + MailIndexFileName, reread, sent, failed);
  EXPECT_EQ(sent, Items);
  fs::remove_all(dir);
}

}  // namespace
