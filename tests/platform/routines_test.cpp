#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/Paths.h"
#include "platform/Routines.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
  TempFolder() {
    char tmpl[] = "/tmp/lp-rt-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempFolder() { fs::remove_all(path); }
  void Touch(const std::string& name) const { std::ofstream(path + "/" + name) << "x"; }
  std::string path;
};

// Sets an environment variable for one scope.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    if (value) setenv(name, value, 1); else unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1); else unsetenv(name_);
  }

private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(MakeTempFileName, TakesTheFirstFreeNumberInTheTemporaryFolder) {
  TempFolder tmp;
  ScopedEnv env("TMPDIR", tmp.path.c_str());
  EXPECT_EQ(MakeTempFileName("", "$repv_", "html"), tmp.path + "/$repv_0.html");
  tmp.Touch("$repv_0.html");
  EXPECT_EQ(MakeTempFileName("", "$repv_", "html"), tmp.path + "/$repv_1.html");
  tmp.Touch("$repv_1.html");
  tmp.Touch("$repv_3.html");
  EXPECT_EQ(MakeTempFileName("", "$repv_", "html"), tmp.path + "/$repv_2.html");
  // A dangling link is not a free name.
  fs::create_symlink(tmp.path + "/nowhere", tmp.path + "/$repv_2.html");
  EXPECT_EQ(MakeTempFileName("", "$repv_", "html"), tmp.path + "/$repv_4.html");
}

TEST(MakeTempFileName, FolderSeparatorAndLongPrefix) {
  TempFolder tmp;
  EXPECT_EQ(MakeTempFileName(tmp.path, "tmp", "dbf"), tmp.path + "/tmp0.dbf");
  EXPECT_EQ(MakeTempFileName(tmp.path + "/", "tmp", "dbf"), tmp.path + "/tmp0.dbf");
  tmp.Touch("$lpprev_.html");
  // Eight characters or more: the name is given untested.
  EXPECT_EQ(MakeTempFileName(tmp.path, "$lpprev_", "html"), tmp.path + "/$lpprev_.html");
  // Characters, not bytes: seven letters with accents are still a short prefix.
  EXPECT_EQ(MakeTempFileName(tmp.path, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "x"),
            tmp.path + "/\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9" "0.x");
}

TEST(RemoveFileExt, CutsAtTheLastFullStopOfTheName) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.b.c", "a.b"},          {"news.lkp", "news"},         {"Clients", "Clients"},
      {"", ""},                  {".hidden", ""},              {"a.", "a"},
      {"/x.y/news", "/x.y/news"}, {"/x.y/news.lkp", "/x.y/news"}, {"C:\\P.Q\\news", "C:\\P.Q\\news"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(RemoveFileExt(in), out) << in;
}

TEST(HasNonBlank, OnlyBlankCarriageReturnAndLineFeedAreBlank) {
  const std::pair<const char*, bool> cases[] = {
      {"", false}, {" ", false}, {" \r\n \n", false}, {"x", true}, {"  x  ", true}, {"\t", true}, {"\r\n.", true},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(HasNonBlank(in), out) << '"' << in << '"';
}

TEST(MaxMin, OfTwoIntegers) {
  EXPECT_EQ(Max(3, -4), 3);
  EXPECT_EQ(Min(3, -4), -4);
  EXPECT_EQ(Max(INT32_MIN, INT32_MAX), INT32_MAX);
  EXPECT_EQ(Min(5, 5), 5);
}

TEST(Paths, AppDirFromTheEnvironmentCreatedWithTrailingSlash) {
  TempFolder tmp;
  {
    ScopedEnv home("LARKPOST_HOME", (tmp.path + "/home").c_str());
    EXPECT_EQ(ResolveAppDir(), tmp.path + "/home/");
    EXPECT_TRUE(fs::is_directory(tmp.path + "/home"));
  }
  {
    ScopedEnv home("LARKPOST_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", tmp.path.c_str());
    EXPECT_EQ(ResolveAppDir(), tmp.path + "/larkpost/");
    EXPECT_TRUE(fs::is_directory(tmp.path + "/larkpost"));
  }
  {
    ScopedEnv home("LARKPOST_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv user("HOME", tmp.path.c_str());
    EXPECT_EQ(ResolveAppDir(), tmp.path + "/.local/share/larkpost/");
  }
}

TEST(Paths, SystemTempDir) {
  {
    ScopedEnv t("TMPDIR", "/var/tmp");
    EXPECT_EQ(SystemTempDir(), "/var/tmp/");
  }
  {
    ScopedEnv t("TMPDIR", nullptr);
    EXPECT_EQ(SystemTempDir(), "/tmp/");
  }
  EXPECT_EQ(IncludeTrailingSlash(""), "");
  EXPECT_EQ(IncludeTrailingSlash("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingSlash("/a/"), "/a/");
}

}  // namespace
