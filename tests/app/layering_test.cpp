// Every include of the tree against the design's folder table: lower folders
// never include higher ones, core folders include no Qt, and the mail, DNS,
// SQL and browser libraries stay in their folders.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Layering.h"

namespace fs = std::filesystem;

namespace {

std::string SourceDir() {
  const char* dir = std::getenv("LARKPOST_SOURCE_DIR");
  return dir ? dir : "";
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// A small tree of its own, written under the test's temporary folder.
class LayeringScratch : public ::testing::Test {
protected:
  fs::path root_;
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("lp_layering_" + std::to_string(::getpid()));
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  void Write(const std::string& rel, const std::string& text) {
    fs::create_directories((root_ / rel).parent_path());
    std::ofstream(root_ / rel) << text;
  }
};

}  // namespace

TEST(Layering, TheTreeFollowsTheTable) {
  const std::string root = SourceDir();
  ASSERT_FALSE(root.empty()) << "LARKPOST_SOURCE_DIR is not set";
  ASSERT_TRUE(fs::is_directory(fs::path(root) / "workspace")) << root;
  const std::vector<std::string> v = LayeringViolations(root);
  EXPECT_TRUE(v.empty()) << Joined(v);
}

TEST_F(LayeringScratch, EachBrokenRuleIsFound) {
  struct {
    const char* file;
    const char* text;
    const char* expected;  // part of the one message, or "" for none
  } cases[] = {
      {"db/Dbf.cpp", "#include \"workspace/AppSettings.h\"\n", "db/ may not include \"workspace/AppSettings.h\""},
      {"platform/Paths.cpp", "#include \"toolkit/Reader.h\"\n", "platform/ may not include"},
      {"workspace/Rules.cpp", "#include \"workspace/ui/LPMain.h\"\n", "workspace/ may not include"},
      {"workspace/Rules.h", "#include <QString>\n", "core folder workspace/ includes the Qt header <QString>"},
      {"withdrawal/Store.h", "  #  include <QtCore/QFile>\n", "Qt header"},
      {"withdrawal/Store.cpp", "#include \"mailing/Project.h\"\n", "withdrawal/ may not include \"mailing/Project.h\""},
      {"withdrawal/ui/Page.cpp", "#include \"mailing/ui/SendForm.h\"\n", "withdrawal/ui/ may not include"},
      {"workspace/ui/Page.cpp", "#include \"mailing/Merge.h\"\n", "workspace/ui/ may not include"},
      {"mailing/Merge.cpp", "#include \"platform/ui/QtText.h\"\n", "mailing/ may not include"},
      {"workspace/ui/View.cpp", "#include <QWebEngineView>\n", "only mailing/ui/ may include"},
      {"mailing/Smtp.cpp", "#include <curl/curl.h>\n", "only net/ may include"},
      {"toolkit/Sql.cpp", "#include <sqlite3.h>\n", "only db/ may include"},
      {"net/Mime.cpp", "#include \"elsewhere/Thing.h\"\n", "in no folder of the table"},
      // What the table allows.
      {"withdrawal/Pop.cpp", "#include \"workspace/Profile.h\"\n#include \"net/IdPOP3.h\"\n", ""},
      {"db/DataSet.h", "#include \"toolkit/FieldSource.h\"\n", ""},
      {"mailing/ui/Editor.cpp", "#include <QWebEngineView>\n#include \"workspace/ui/LPMain.h\"\n", ""},
      {"workspace/ui/Page.h", "#include <QWidget>\n#include \"platform/ui/QtText.h\"\n", ""},
      {"app/main.cpp", "#include \"withdrawal/ui/RespForm.h\"\n#include \"mailing/ui/SendForm.h\"\n", ""},
      {"net/IdMime.cpp", "#include <gmime/gmime.h>\n#include \"NetInternal.h\"\n", ""},
      {"workspace/Rules.cpp", "// #include \"mailing/Merge.h\" would be wrong\n", ""},
  };
  for (const auto& c : cases) {
    fs::remove_all(root_);
    Write(c.file, c.text);
    const std::vector<std::string> v = LayeringViolations(root_.string());
    if (*c.expected == '\0') {
      EXPECT_TRUE(v.empty()) << c.file << ": " << Joined(v);
    } else {
      ASSERT_EQ(v.size(), 1u) << c.file << ": " << Joined(v);
      EXPECT_NE(v[0].find(c.expected), std::string::npos) << v[0];
      EXPECT_EQ(v[0].rfind(std::string(c.file) + ":1: ", 0), 0u) << v[0];
    }
  }
}

TEST_F(LayeringScratch, FilesOutsideTheFoldersAreNotRead) {
  Write("tests/workspace/x_test.cpp", "#include \"mailing/ui/SendForm.h\"\n#include <QWidget>\n");
  Write("bench/workspace_open.cpp", "#include \"workspace/ui/TableUi.h\"\n");
  Write("workspace/notes.txt", "#include <QWidget>\n");
  EXPECT_TRUE(LayeringViolations(root_.string()).empty());
}
