#include "toolkit/StrFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class StrFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    path = (std::filesystem::temp_directory_path() /
            ("strfile_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()))
               .string();
    ASSERT_TRUE(f.Create(path));
  }
  void TearDown() override {
    f.Close();
    std::filesystem::remove(path);
  }
  std::string Bytes() {
    int64_t size = f.Size();
    std::string b(static_cast<size_t>(size), '\0');
    f.Seek(0);
    f.Read(b.data(), size);
    f.Seek(0);
    return b;
  }
  void Put(const std::string& bytes) {
    f.Seek(0);
    f.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    f.Truncate();
    f.Seek(0);
  }
  std::string path;
  TFileHandle f;
};

TEST_F(StrFileTest, EncodesLengthThenBytes) {
  struct Case {
    std::string text;
    std::string head;
  } cases[] = {
      {"", std::string("\0\0\0\0", 4)},
      {"ab", std::string("\x02\0\0\0", 4)},
      {std::string(300, 'x'), std::string("\x2c\x01\0\0", 4)},
  };
  for (const auto& c : cases) {
    Put("");
    WriteStr(f, c.text);
    EXPECT_EQ(Bytes(), c.head + c.text);
    std::string back = "junk";
    ASSERT_TRUE(ReadStr(f, back));
    EXPECT_EQ(back, c.text);
    EXPECT_EQ(f.Position(), f.Size());
  }
}

TEST_F(StrFileTest, StoredZeroEndsTextButWholeLengthIsConsumed) {
  Put(std::string("\x05\0\0\0ab\0cd", 9) + std::string("\x01\0\0\0z", 5));
  std::string s;
  ASSERT_TRUE(ReadStr(f, s));
  EXPECT_EQ(s, "ab");
  EXPECT_EQ(f.Position(), 9);
  ASSERT_TRUE(ReadStr(f, s));
  EXPECT_EQ(s, "z");
}

TEST_F(StrFileTest, ListsRoundTripAndReplaceExistingItems) {
  WriteStrings(f, {});
  EXPECT_EQ(Bytes(), std::string("\0\0\0\0", 4));
  Put("");
  WriteStrings(f, {"one", "", "three"});
  f.Seek(0);
  std::vector<std::string> list{"old", "items", "here", "and", "more"};
  ASSERT_TRUE(ReadStrings(f, list));
  EXPECT_EQ(list, (std::vector<std::string>{"one", "", "three"}));
}

TEST_F(StrFileTest, DamagedInputIsReportedNotTrusted) {
  const std::string cases[] = {
      std::string("\x02\0", 2),                 // file ends inside the length
      std::string("\x05\0\0\0ab", 6),           // ends inside the text
      std::string("\xff\xff\xff\xff", 4),       // negative length
      std::string("\xff\xff\xff\x7f", 4) + "x", // length far beyond the file
  };
  for (const auto& bytes : cases) {
    Put(bytes);
    std::string s;
    EXPECT_FALSE(ReadStr(f, s)) << testing::PrintToString(bytes);
  }
  const std::string lists[] = {
      std::string("\x02\0\0\0\x01\0\0\0a", 9),  // second item missing
      std::string("\xfe\xff\xff\xff", 4),       // negative count
      std::string("\x00\x00\x00\x40", 4),       // a billion items in four bytes
  };
  for (const auto& bytes : lists) {
    Put(bytes);
    std::vector<std::string> l;
    EXPECT_FALSE(ReadStrings(f, l)) << testing::PrintToString(bytes);
  }
}

}  // namespace
