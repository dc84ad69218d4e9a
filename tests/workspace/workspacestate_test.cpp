// The shared state without a window: the filter it holds decides the rows of
// the next open and of a filtered copy, and its listeners hear each change once.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/SysUtils.h"
#include "support/TableFiles.h"
#include "workspace/Multicast.h"
#include "workspace/WorkspaceState.h"

namespace {

class WorkspaceStateTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFormatSettings(TFormatSettings{});
    dir = MakeTestFolder("state");
    path = dir + "Clients.dbf";
    WriteTestDbf(path, {{"NAME", 'C', 10}, {"NUM", 'N', 5}}, {{"Ann", "1"}, {"Bob", "2"}, {"Cid", "3"}, {"Dee", "4"}});
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string dir, path;
};

TEST_F(WorkspaceStateTest, TheFilterDecidesTheRowsOfTheNextOpen) {
  struct TCase {
    TRowFilterSettings filter;
    int rows;
  };
  const TCase cases[] = {
      {{"", false, false}, 4},
      {{"NUM > 2", false, false}, 4},
      {{"NUM > 2", true, false}, 2},
      {{"(NAME = 'Bob') or (NUM = 4)", true, true}, 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.filter.Text + (c.filter.UseFilter ? " (on)" : " (off)"));
    TWorkspaceState state{SettingsRegistry()};
    state.SetFilter(c.filter);
    EXPECT_EQ(state.Filter(), c.filter);
    EXPECT_EQ(state.RowRules.UseHighlight, c.filter.UseHighlight);
    state.Table.OpenDBFFile(path);
    ASSERT_TRUE(state.Table.IsOpen());
    EXPECT_EQ(state.Table.ADOQuery1.RecordCount(), c.rows);
    state.Table.CloseTable();
  }
}

TEST_F(WorkspaceStateTest, TheCopyFilterReadsTheTextAtTheTimeOfTheCopy) {
  TWorkspaceState state{SettingsRegistry()};
  state.Table.OpenDBFFile(path);
  ASSERT_TRUE(state.Table.IsOpen());
  TDataSet& rows = state.Table.ADOQuery1;
  auto accepted = [&] {
    state.CopyFilter.CompileCopyFilter();
    int n = 0;
    for (rows.First(); !rows.Eof(); rows.Next())
      if (state.CopyFilter.AcceptCopyRow(rows)) ++n;
    state.CopyFilter.FreeCopyFilter();
    return n;
  };
  state.SetFilter({"NUM > 3", false, false});
  EXPECT_EQ(accepted(), 1);
  state.SetFilter({"NUM < 3", false, false});
  EXPECT_EQ(accepted(), 2);
  state.Table.CloseTable();
}

TEST(WorkspaceState, ListenersHearEachChangeOnceWhileSubscribed) {
  TWorkspaceState state{SettingsRegistry()};
  int heard = 0;
  auto subscription = state.FilterChanged.Subscribe([&] { ++heard; });
  state.SetFilter({});
  EXPECT_EQ(heard, 0);  // nothing changed
  state.SetFilter({"NUM > 1", false, false});
  state.SetFilter({"NUM > 1", true, false});
  state.SetFilter({"NUM > 1", true, true});
  EXPECT_EQ(heard, 3);
  subscription.Reset();
  state.SetFilter({});
  EXPECT_EQ(heard, 3);
}

TEST(Multicast, AListenerMayEndItsOwnSubscriptionAndOneMayOutliveTheAnnouncer) {
  TMulticast<int> announce;
  std::vector<std::string> heard;
  TMulticast<int>::TSubscription first;
  first = announce.Subscribe([&](int v) {
    heard.push_back("first " + std::to_string(v));
    first.Reset();
  });
  auto second = announce.Subscribe([&](int v) { heard.push_back("second " + std::to_string(v)); });
  announce(1);
  announce(2);
  EXPECT_EQ(heard, (std::vector<std::string>{"first 1", "second 1", "second 2"}));

  TMulticast<int>::TSubscription late;
  {
    TMulticast<int> gone;
    late = gone.Subscribe([](int) {});
  }
  late.Reset();  // the announcer went first: nothing to end
}

}  // namespace
