#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/StartupEnvironment.h"

namespace {

// Puts the variable back as the test found it.
struct TSavedVariable {
  const char* name;
  bool had;
  std::string value;
  explicit TSavedVariable(const char* n) : name(n), had(std::getenv(n) != nullptr), value(had ? std::getenv(n) : "") {}
  ~TSavedVariable() {
    if (had)
      ::setenv(name, value.c_str(), 1);
    else
      ::unsetenv(name);
  }
};

TEST(EngineSandbox, TurnedOffOnlyForRootAndOnlyWhenNotChosen) {
  const char* var = "QTWEBENGINE_DISABLE_SANDBOX";
  TSavedVariable saved(var);

  ::unsetenv(var);
  EXPECT_EQ(DisableEngineSandboxForRoot(false), "");
  EXPECT_EQ(std::getenv(var), nullptr);

  const std::string notice = DisableEngineSandboxForRoot(true);
  ASSERT_NE(std::getenv(var), nullptr);
  EXPECT_STREQ(std::getenv(var), "1");
  EXPECT_NE(notice.find(var), std::string::npos) << notice;
  EXPECT_EQ(notice.find('\n'), std::string::npos) << "one line";

  // Set by the user (whatever the value): left alone, nothing said.
  ::setenv(var, "0", 1);
  EXPECT_EQ(DisableEngineSandboxForRoot(true), "");
  EXPECT_STREQ(std::getenv(var), "0");
}

}  // namespace
