// The connection check: a host name resolved through the system's resolver
// (only names answered locally here), and the dial-up setting held at zero
// and put back around it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "mailing/Internet.h"
#include "platform/Registry.h"
#include "support/MailTestSupport.h"

namespace {

const char* const Key = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class InternetCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir = FreshDir("internet");
    setenv("LARKPOST_REGISTRY", (dir + "registry.reg").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string dir;
};

TEST_F(InternetCheckTest, ResolvesOrNot) {
  EXPECT_TRUE(IsInternetReachable("localhost"));
  // An empty label is refused by the resolver before any query leaves.
  EXPECT_FALSE(IsInternetReachable("unreachable..invalid"));
}

TEST_F(InternetCheckTest, HostNameCanBeOverridden) {
  setenv("LARKPOST_CHECK_HOST", "check.example", 1);
  EXPECT_EQ(ConnectionCheckHost(), "check.example");
  setenv("LARKPOST_CHECK_HOST", "", 1);
  EXPECT_FALSE(ConnectionCheckHost().empty());
  EXPECT_NE(ConnectionCheckHost(), "check.example");
  unsetenv("LARKPOST_CHECK_HOST");
}

TEST_F(InternetCheckTest, DialUpSettingIsPutBack) {
  {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(Key, true));
    reg.WriteBinaryData("EnableAutodial", {1, 0, 0, 0});
  }
  for (const char* host : {"localhost", "unreachable..invalid"}) {
    IsInternetReachable(host);
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKeyReadOnly(Key));
    EXPECT_EQ(reg.ReadBinaryData("EnableAutodial"), (std::vector<uint8_t>{1, 0, 0, 0})) << host;
  }
}

TEST_F(InternetCheckTest, MissingKeyIsNotCreated) {
  EXPECT_TRUE(IsInternetReachable("localhost"));
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.KeyExists(Key));
}

}  // namespace
