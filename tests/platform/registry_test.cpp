#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/Registry.h"

namespace fs = std::filesystem;

namespace {

class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lp-reg-XXXXXX";
    dir = mkdtemp(tmpl);
    file = dir + "/registry.reg";
  }
  void TearDown() override { fs::remove_all(dir); }

  void WriteFile(const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  std::string ReadFile() {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string dir;
  std::string file;
};

TEST_F(RegistryTest, RoundTripOfAllThreeTypes) {
  const std::vector<uint8_t> blob = [] {
    std::vector<uint8_t> b;
    for (int i = 0; i < 300; ++i) b.push_back(static_cast<uint8_t>(i * 7));
    return b;
  }();
  const std::string tricky = "C:\\Program Files\\\"quoted\" line1\nline2\r\xC3\xA9t\xC3\xA9 end\\";
  {
    TRegistry reg(file);
    ASSERT_TRUE(reg.OpenKey("\\" + RegKeyPath, true));
    reg.WriteString("DataBaseDir", "/home/u/db/");
    reg.WriteString("Tricky", tricky);
    reg.WriteString("Empty", "");
    reg.WriteInteger("Threads", 15);
    reg.WriteInteger("Negative", -2);
    reg.WriteBool("ConfirmDel", true);
    reg.WriteBinaryData("Blob", blob);
    reg.WriteBinaryData("NoBytes", {});
    reg.CloseKey();
  }
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey(RegKeyPath, false));
  EXPECT_EQ(reg.ReadString("DataBaseDir"), "/home/u/db/");
  EXPECT_EQ(reg.ReadString("Tricky"), tricky);
  EXPECT_EQ(reg.ReadString("Empty"), "");
  EXPECT_TRUE(reg.ValueExists("Empty"));
  EXPECT_EQ(reg.ReadInteger("Threads"), 15);
  EXPECT_EQ(reg.ReadInteger("Negative"), -2);
  EXPECT_TRUE(reg.ReadBool("ConfirmDel"));
  EXPECT_EQ(reg.ReadBinaryData("Blob"), blob);
  EXPECT_EQ(reg.GetDataType("NoBytes"), TRegDataType::Binary);
  EXPECT_TRUE(reg.ReadBinaryData("NoBytes").empty());
  EXPECT_EQ(reg.GetDataType("Threads"), TRegDataType::Integer);
  EXPECT_EQ(reg.GetDataType("DataBaseDir"), TRegDataType::String);

  const std::string text = ReadFile();
  EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Larkpost 3]"), std::string::npos);
  EXPECT_NE(text.find("\"Threads\"=dword:0000000f"), std::string::npos);
  EXPECT_NE(text.find("\"Negative\"=dword:fffffffe"), std::string::npos);
}

TEST_F(RegistryTest, AbsentKeysAndValuesReadAsAbsent) {
  TRegistry reg(file);
  EXPECT_FALSE(reg.OpenKey("\\Software\\Nothing", false));
  EXPECT_FALSE(fs::exists(file)) << "opening without create must not make the file";
  EXPECT_FALSE(reg.KeyExists("\\Software\\Nothing"));
  ASSERT_TRUE(reg.OpenKey("\\Software\\Made", true));
  EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(reg.ValueExists("X"));
  EXPECT_EQ(reg.ReadString("X"), "");
  EXPECT_THROW(reg.ReadInteger("X"), ERegistryException);
  int32_t i = 7;
  EXPECT_FALSE(reg.TryReadInteger("X", i));
  EXPECT_EQ(i, 7);
  reg.CloseKey();
  TRegistry other(file);
  EXPECT_TRUE(other.OpenKey("\\software\\MADE", false)) << "key names ignore case";
  EXPECT_TRUE(other.KeyExists("\\Software"));
}

TEST_F(RegistryTest, WrongTypeIsAnErrorOfTheThrowingReadsOnly) {
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\K", true));
  reg.WriteString("S", "12");
  reg.WriteInteger("I", 1);
  EXPECT_THROW(reg.ReadInteger("S"), ERegistryException);
  EXPECT_THROW(reg.ReadString("I"), ERegistryException);
  EXPECT_THROW(reg.ReadBinaryData("I"), ERegistryException);
  std::string s;
  int32_t i = 0;
  bool b = false;
  EXPECT_FALSE(reg.TryReadString("I", s));
  EXPECT_FALSE(reg.TryReadInteger("S", i));
  EXPECT_FALSE(reg.TryReadBool("S", b));
  EXPECT_TRUE(reg.TryReadBool("i", b)) << "value names ignore case";
  EXPECT_TRUE(b);
}

TEST_F(RegistryTest, HandEditedFileIsReadAsFarAsItIsSound) {
  WriteFile(
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "; a comment\r\n"
      "\"Orphan\"=\"before any key\"\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Larkpost 3]\r\n"
      "  \"Threads\" = dword:00000020  \r\n"
      "\"ConfirmDel\"=dword:1\r\n"
      "\"BadDword\"=dword:xyz\r\n"
      "\"TooLong\"=dword:123456789\r\n"
      "\"Unclosed\"=\"no end\r\n"
      "\"Trailing\"=\"ok\" junk\r\n"
      "garbage line without meaning\r\n"
      "\"DataBaseDir\"=\"C:\\\\Data\\\\\"\r\n"
      "\"Bin\"=hex:01,02,\\\r\n"
      "  03,ff\r\n"
      "\"BadBin\"=hex:01,zz\r\n"
      "\"Expand\"=hex(2):25,00,00,00\r\n"
      "@=\"default\"\r\n"
      "\"Gone\"=\"x\"\r\n"
      "\"Gone\"=-\r\n"
      "\"Dup\"=\"first\"\r\n"
      "\"Dup\"=\"second\"\r\n"
      "[-HKEY_LOCAL_MACHINE\\Deleted]\r\n"
      "\"InDeleted\"=\"x\"\r\n"
      "[broken section\r\n"
      "\"AfterBroken\"=\"x\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Larkpost 3]\r\n"
      "\"Merged\"=\"yes\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Last]\r\n"
      "\"Cut\"=\"half a val");
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\" + RegKeyPath, false));
  EXPECT_EQ(reg.ReadInteger("Threads"), 32);
  EXPECT_TRUE(reg.ReadBool("ConfirmDel"));
  EXPECT_EQ(reg.ReadString("DataBaseDir"), "C:\\Data\\");
  EXPECT_EQ(reg.ReadBinaryData("Bin"), (std::vector<uint8_t>{1, 2, 3, 0xff}));
  EXPECT_EQ(reg.GetDataType("Expand"), TRegDataType::Other);
  EXPECT_EQ(reg.ReadString(""), "default");
  EXPECT_EQ(reg.ReadString("Dup"), "second");
  EXPECT_EQ(reg.ReadString("Merged"), "yes");
  for (const char* bad : {"Orphan", "BadDword", "TooLong", "Unclosed", "Trailing", "BadBin", "Gone", "AfterBroken"})
    EXPECT_FALSE(reg.ValueExists(bad)) << bad;
  EXPECT_FALSE(reg.KeyExists("\\Deleted"));
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("\\Last", false));
  EXPECT_FALSE(reg.ValueExists("Cut"));

  // A write keeps every sound value, the unknown type included, as it was.
  ASSERT_TRUE(reg.OpenKey("\\" + RegKeyPath, false));
  reg.WriteInteger("Threads", 5);
  const std::string text = ReadFile();
  EXPECT_NE(text.find("\"Expand\"=hex(2):25,00,00,00"), std::string::npos);
  TRegistry again(file);
  ASSERT_TRUE(again.OpenKey("\\" + RegKeyPath, false));
  EXPECT_EQ(again.ReadInteger("Threads"), 5);
  EXPECT_EQ(again.ReadBinaryData("Bin"), (std::vector<uint8_t>{1, 2, 3, 0xff}));
  EXPECT_EQ(again.ReadString("DataBaseDir"), "C:\\Data\\");
}

// What is read writes back to a text that reads the same, whatever the file held.
TEST(RegistryText, WhatIsReadWritesBackAsTheSameKeys) {
  const char* texts[] = {
      "REGEDIT4\n[\\-]\n\"A\"=\"x\"\n",
      "REGEDIT4\n[\\\\-Stuff\\Sub]\n\"A\"=\"x\"\n[HKEY_LOCAL_MACHINE\\Kept]\n\"B\"=dword:00000001\n",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\-Dash]\n\"A\"=\"x\"\n",
  };
  for (const char* text : texts) {
    const auto keys = ParseRegistryText(text);
    const std::string written = FormatRegistryText(keys);
    const auto again = ParseRegistryText(written);
    ASSERT_EQ(again.size(), keys.size()) << text << "\n" << written;
    for (size_t i = 0; i < keys.size(); ++i) {
      EXPECT_EQ(again[i].path, keys[i].path) << text;
      EXPECT_EQ(again[i].values.size(), keys[i].values.size()) << text;
    }
  }
}

TEST_F(RegistryTest, Utf16FileOfANewerEditorIsRead) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=\"\xC3\xA9\"\r\n";
  std::string utf16 = "\xFF\xFE";
  // Only ASCII and U+00E9 here.
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0xC3) {
      utf16 += '\xE9';
      utf16 += '\0';
      ++i;
    } else {
      utf16 += static_cast<char>(c);
      utf16 += '\0';
    }
  }
  WriteFile(utf16);
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\K", false));
  EXPECT_EQ(reg.ReadString("N"), "\xC3\xA9");
}

TEST_F(RegistryTest, RandomDamageNeverCrashes) {
  std::mt19937 rng(42);
  const std::string sample =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"s\"=\"x\\\"y\"\n\"d\"=dword:0000000f\n\"b\"=hex:01,02,\\\n 03\n";
  for (int round = 0; round < 2000; ++round) {
    std::string text = sample;
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
      size_t pos = rng() % (text.size() + 1);
      switch (rng() % 3) {
        case 0: text.insert(pos, 1, static_cast<char>(rng() % 256)); break;
        case 1: if (pos < text.size()) text.erase(pos, 1); break;
        default: text.resize(pos); break;
      }
    }
    auto keys = ParseRegistryText(text);
    // Whatever was read must survive its own rewrite unchanged.
    auto again = ParseRegistryText(FormatRegistryText(keys));
    ASSERT_EQ(keys.size(), again.size());
    for (size_t k = 0; k < keys.size(); ++k) ASSERT_EQ(keys[k].values.size(), again[k].values.size());
  }
}

TEST_F(RegistryTest, WritesReplaceTheFileAndLeaveNoTemporaries) {
  TRegistry a(file), b(file);
  ASSERT_TRUE(a.OpenKey("\\K", true));
  ASSERT_TRUE(b.OpenKey("\\K", true));
  a.WriteString("FromA", "1");
  b.WriteString("FromB", "2");  // b re-reads before writing: a's value survives
  TRegistry c(file);
  ASSERT_TRUE(c.OpenKey("\\K", false));
  EXPECT_EQ(c.ReadString("FromA"), "1");
  EXPECT_EQ(c.ReadString("FromB"), "2");
  int files = 0;
  for (auto& e : fs::directory_iterator(dir)) (void)e, ++files;
  EXPECT_EQ(files, 1);
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << "settings stay private to the user";
}

TEST_F(RegistryTest, UnwritableFileIsReported) {
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\K", true));
  // A plain file where the folder should be: no write can succeed, not even as root.
  std::ofstream(dir + "/blocker") << "x";
  reg.SetFileName(dir + "/blocker/registry.reg");
  EXPECT_THROW(reg.WriteString("X", "y"), ERegistryException);
  EXPECT_FALSE(reg.OpenKey("\\Other", true));
  EXPECT_FALSE(reg.DeleteKey("\\K"));
}

TEST_F(RegistryTest, MissingFolderIsCreatedOnFirstWrite) {
  TRegistry reg(dir + "/deep/er/registry.reg");
  ASSERT_TRUE(reg.OpenKey("\\K", true));
  reg.WriteInteger("I", 3);
  EXPECT_TRUE(fs::exists(dir + "/deep/er/registry.reg"));
}

TEST_F(RegistryTest, KeyPathsRelativeAndAbsolute) {
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\Software\\A", true));
  ASSERT_TRUE(reg.OpenKey("B", true));  // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), "Software\\A\\B");
  reg.WriteInteger("I", 1);
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("Software\\A\\B", false));
  EXPECT_EQ(reg.ReadInteger("I"), 1);
  EXPECT_TRUE(reg.DeleteValue("I"));
  EXPECT_FALSE(reg.DeleteValue("I"));
  reg.CloseKey();
  EXPECT_TRUE(reg.DeleteKey("\\Software\\A"));
  EXPECT_FALSE(reg.KeyExists("\\Software\\A\\B"));
}

TEST_F(RegistryTest, RootKeyAndDefaultFileFromTheEnvironment) {
  setenv("LARKPOST_REGISTRY", file.c_str(), 1);
  EXPECT_EQ(DefaultRegistryFile(), file);
  TRegistry reg;
  EXPECT_EQ(reg.FileName(), file);
  reg.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey("\\K", true));
  reg.WriteInteger("I", 1);
  EXPECT_NE(ReadFile().find("[HKEY_CURRENT_USER\\K]"), std::string::npos);
  unsetenv("LARKPOST_REGISTRY");
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  EXPECT_EQ(DefaultRegistryFile(), dir + "/larkpost/registry.reg");
  EXPECT_EQ(RegKeyPath, "SOFTWARE\\Morvane\\Larkpost 3");
  EXPECT_EQ(SettingsRegistry().RootKey(), HKEY_LOCAL_MACHINE);
}

TEST_F(RegistryTest, WriteWithoutOpenKeyThrows) {
  TRegistry reg(file);
  EXPECT_THROW(reg.WriteString("X", "y"), ERegistryException);
  EXPECT_FALSE(reg.ValueExists("X"));
}


TEST_F(RegistryTest, FileThatCannotBeReadWholeIsNeverRewritten) {
  WriteFile("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"Kept\"=\"yes\"\n");
  // Larger than a settings file can be: only its start is read.
  fs::resize_file(file, 17 * 1024 * 1024);
  const auto size = fs::file_size(file);
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\K", false));
  EXPECT_EQ(reg.ReadString("Kept"), "yes");
  EXPECT_THROW(reg.WriteString("New", "x"), ERegistryException);
  reg.CloseKey();
  EXPECT_FALSE(reg.OpenKey("\\Other", true));
  EXPECT_FALSE(reg.DeleteKey("\\K"));
  EXPECT_EQ(fs::file_size(file), size);

  if (::geteuid() != 0) {  // root reads whatever the mode says
    WriteFile("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"Kept\"=\"yes\"\n");
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    TRegistry locked(file);
    EXPECT_FALSE(locked.OpenKey("\\K", true));
    EXPECT_FALSE(locked.OpenKey("\\Other", true));
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(ReadFile(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"Kept\"=\"yes\"\n");
  }
}

TEST_F(RegistryTest, CopiesWritingSideBySideLoseNoValue) {
  constexpr int Copies = 3, Writes = 15;
  std::vector<pid_t> children;
  for (int c = 0; c < Copies; ++c) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      TRegistry reg(file);
      int status = reg.OpenKey("\\K", true) ? 0 : 1;
      for (int w = 0; w < Writes && status == 0; ++w) {
        try {
          reg.WriteInteger("C" + std::to_string(c) + "W" + std::to_string(w), w);
        } catch (...) {
          status = 2;
        }
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\K", false));
  EXPECT_EQ(reg.GetValueNames().size(), static_cast<size_t>(Copies * Writes));
}


// Every key and value of a large damaged file is looked up by name once:
// a quadratic search would keep start-up busy for minutes.
TEST_F(RegistryTest, ManyKeysAndValuesAreReadWithoutQuadraticSearch) {
  constexpr int Count = 100000;
  std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Big]\n";
  for (int i = 0; i < Count; ++i) text += "\"V" + std::to_string(i) + "\"=dword:00000001\n";
  text += "\"v7\"=dword:00000002\n";  // names ignore case: replaces V7
  for (int i = 0; i < Count; ++i) text += "[HKEY_LOCAL_MACHINE\\K" + std::to_string(i) + "]\n";
  text += "[hkey_local_machine\\k5]\n\"Late\"=\"x\"\n";
  const auto keys = ParseRegistryText(text);
  ASSERT_EQ(keys.size(), static_cast<size_t>(Count + 1));
  ASSERT_EQ(keys[0].values.size(), static_cast<size_t>(Count));
  EXPECT_EQ(keys[0].values[7].name, "v7");
  EXPECT_EQ(keys[0].values[7].integer, 2);
  EXPECT_EQ(keys[6].path, "HKEY_LOCAL_MACHINE\\K5");
  ASSERT_EQ(keys[6].values.size(), 1u);
  EXPECT_EQ(keys[6].values[0].text, "x");
}

}  // namespace
