#include "toolkit/FEMsg.h"

#include <gtest/gtest.h>

#include "platform/MessageBox.h"

TEST(FEMsgTest, ErrorTableCodesAndTexts) {
  const auto& table = ErrorTable();
  for (int i = 0; i < ErrorCount; ++i) EXPECT_EQ(table[static_cast<size_t>(i)].Code, i);
  EXPECT_EQ(ErrorText(0), "");
  EXPECT_EQ(ErrorText(2), "Integer, Extended or DateTime type value expected");
  EXPECT_EQ(ErrorText(6), "\"+\", \"-\", \"*\", \"Div\" or \"Mod\" expected");
  EXPECT_EQ(ErrorText(14), "Division by zero");
  EXPECT_EQ(ErrorText(18), "\";\" or \".\" expected");
  EXPECT_EQ(ErrorText(27), "String sign expected");
  EXPECT_EQ(ErrorText(-1), "");
  EXPECT_EQ(ErrorText(28), "");
  EXPECT_EQ(ErrorText(255), "");
}

TEST(FEMsgTest, CheckIdentifier) {
  struct Case {
    const char* name;
    bool caseSensitive;
    bool accepted;
    const char* registered;  // the name after the check
    const char* refusal;     // the error the host shows, empty for none
  };
  const Case cases[] = {
      {"Now", false, true, "Now", ""},
      {"my func", false, true, "my_func", ""},
      {"a\tb\rc", false, true, "a_b_c", ""},
      {"x2", false, true, "x2", ""},
      {"größe", false, true, "größe", ""},
      {"", false, false, "", "Identifier name missing"},
      {"Div", false, false, "Div", "\"Div\" is a reserved word"},
      {"ELSE", false, false, "ELSE", "\"ELSE\" is a reserved word"},
      {"param", true, false, "param", "\"param\" is a reserved word"},
      {"Div", true, true, "Div", ""},
      {"2x", false, false, "2x", "Incorrect identifier name"},
      {"a.b", false, false, "a.b", "Incorrect identifier name"},
      {"a\nb", false, false, "a\nb", "Incorrect identifier name"},
      {"it's", false, false, "it's", "Incorrect identifier name"},
      {"a\"b", false, false, "a\"b", "Incorrect identifier name"},
      {"a>=b", false, false, "a>=b", "Incorrect identifier name"},
      {"f(x)", false, false, "f(x)", "Incorrect identifier name"},
      {"a^b", false, false, "a^b", "Incorrect identifier name"},
      {"a;", false, false, "a;", "Incorrect identifier name"},
      {"a,b", false, false, "a,b", "Incorrect identifier name"},
      {"and or", false, true, "and_or", ""},
  };
  for (const Case& c : cases) {
    TScopedScriptedMessages boxes;
    std::string name = c.name;
    std::string refusal;
    EXPECT_EQ(CheckIdentifier(name, c.caseSensitive, &refusal), c.accepted) << c.name;
    EXPECT_EQ(name, c.registered) << c.name;
    EXPECT_EQ(refusal, c.refusal) << c.name;
    EXPECT_TRUE(boxes.shown.empty()) << c.name;  // the host shows the refusal
  }
}

TEST(FEMsgTest, BlankOnlyNameIsNotMissing) {
  // Blanks become "_" before the empty test, so a name of blanks is accepted as "__".
  TScopedScriptedMessages boxes;
  std::string name = "  ";
  EXPECT_TRUE(CheckIdentifier(name));
  EXPECT_EQ(name, "__");
}
