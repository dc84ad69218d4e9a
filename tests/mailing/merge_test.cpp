#include "mailing/Merge.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/SysUtils.h"
#include "support/MergeFakes.h"

namespace {

class MergeTest : public ::testing::Test {
protected:
  MergeTest() : merger(reader, source, sign, warnings) {
    SetUpMergeReader(reader);
    record.Add("F_Name", ftString, std::string("John"));
    record.Add("L_NAME", ftString, std::string("Smith"));
    record.Add("F_Name_2", ftString, std::string("Second"));
    record.Add("Notes", ftMemo, std::string("memo\r\ntext"));
    record.Add("Amount", ftFloat, 3.5);
    record.Add("Whole", ftInteger, 12.0);
    record.Add("Paid", ftBoolean, true);
    record.Add("Open", ftBoolean, false);
    record.Add("Born", ftDateTime, 30000.5);
    record.Add("City", ftString, std::string("Table city"));
    source.record = &record;
    source.calc["CITY"] = {true, "Calculated city"};
    source.calc["SALUTATION"] = {true, "Dear John Smith!"};
    source.calc["BROKEN"] = {false, ""};
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes.shown) texts.push_back(b.text);
    return texts;
  }

  TScopedScriptedMessages boxes;
  TReader reader;
  TFakeRecord record;
  TFakeTagSource source;
  TFakeSign sign;
  TBoxedMergeWarnings warnings;
  TMerger merger;
};

struct TMergeCase {
  const char* name;
  std::string text;
  std::string merged;
  std::vector<std::string> warnings;
  std::vector<std::string> asked;  // names looked up, in order
};

class MergeCases : public MergeTest, public ::testing::WithParamInterface<TMergeCase> {};

TEST_P(MergeCases, ExpandTags) {
  const TMergeCase& c = GetParam();
  std::string result = "stale";
  merger.ExpandTags(c.text, true, result);
  EXPECT_EQ(result, c.merged);
  EXPECT_EQ(BoxTexts(), c.warnings);
  EXPECT_EQ(source.asked, c.asked);
  for (const auto& b : boxes.shown) {
    EXPECT_EQ(b.kind, TMsgKind::Information);
    EXPECT_EQ(b.buttons, TMsgButtons::OK);
  }
}

const TMergeCase kMergeCases[] = {
    {"NoTags", "Hello there", "Hello there", {}, {}},
    {"Empty", "", "", {}, {}},
    {"SignThenBlankStays", "100% sure", "100% sure", {}, {}},
    {"SignThenLineBreakStays", "50%\r\nnext", "50%\r\nnext", {}, {}},
    {"SignAtTheEndStays", "all of it %", "all of it %", {}, {}},
    {"OnlySigns", "%%", "%%", {}, {}},
    {"TwoSignsGiveOneSignAndTheValue", "%%F_Name", "%John", {}, {"F_NAME"}},
    {"TagFollowedByComma", "Dear %F_Name, hi", "Dear John, hi", {}, {"F_NAME"}},
    {"UnderscoreAndDigitsBelongToTheName", "%F_Name_2!", "Second!", {}, {"F_NAME_2"}},
    {"NameWithoutRegardToCase", "%f_name %l_Name", "John Smith", {}, {"F_NAME", "L_NAME"}},
    {"TagsBackToBack", "%F_Name%L_NAME", "JohnSmith", {}, {"F_NAME", "L_NAME"}},
    {"LineBreakEndsTheName", "%F_Name\r\n%L_NAME\n", "John\r\nSmith\n", {}, {"F_NAME", "L_NAME"}},
    {"UnknownTagStaysAndWarnsInUpperCase",
     "Hi %Nobody_1 here",
     "Hi %Nobody_1 here",
     {"Warning: field %NOBODY_1 not found"},
     {"NOBODY_1"}},
    {"EachUnknownOccurrenceWarns",
     "%x and %X",
     "%x and %X",
     {"Warning: field %X not found", "Warning: field %X not found"},
     {"X", "X"}},
    {"CalculatedFieldBeatsTableField", "%City", "Calculated city", {}, {"CITY"}},
    {"CalculatedField", "%Salutation", "Dear John Smith!", {}, {"SALUTATION"}},
    {"FailedCalculationStaysWithoutWarning", "%Broken.", "%Broken.", {}, {"BROKEN"}},
    {"NumberInShortestForm", "%Amount/%Whole", "3.5/12", {}, {"AMOUNT", "WHOLE"}},
    {"Booleans", "%Paid %Open", "True False", {}, {"PAID", "OPEN"}},
    {"MemoAsItIs", "[%Notes]", "[memo\r\ntext]", {}, {"NOTES"}},
    {"SignThenDigitIsANumber", "save %5 now, %3.5 or %2e-5", "save %5 now, %3.5 or %2e-5", {}, {}},
    {"SignThenDelimiter", "%(F_Name) %.x", "%(F_Name) %.x", {}, {}},
    {"DigitThenLettersIsAWord", "%2abc", "%2abc", {"Warning: field %2ABC not found"}, {"2ABC"}},
    {"OtherCharactersInTheName",
     "%F_Name~x %Имя",
     "%F_Name~x %Имя",
     {"Warning: field %F_NAME~X not found", "Warning: field %ИМЯ not found"},
     {"F_NAME~X", "ИМЯ"}},
};

INSTANTIATE_TEST_SUITE_P(Merge, MergeCases, ::testing::ValuesIn(kMergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MergeTest, DateTimeFieldAsDateTimeText) { EXPECT_EQ(merger.ExpandTags("%Born", true), DateTimeToStr(30000.5)); }

TEST_F(MergeTest, WithoutWarningsNoBoxes) {
  EXPECT_EQ(merger.ExpandTags("%Nobody, %F_Name", false), "%Nobody, John");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MergeTest, GetTagValue) {
  std::string value = "old";
  EXPECT_TRUE(merger.GetTagValue("l_name", value, true));
  EXPECT_EQ(value, "Smith");
  EXPECT_FALSE(merger.GetTagValue("Broken", value, true));
  EXPECT_FALSE(merger.GetTagValue("none", value, false));
  EXPECT_TRUE(boxes.shown.empty());
  // Every look-up starts with the evaluator's stop flag cleared.
  EXPECT_EQ(source.evalStopClears, 3);
}

TEST_F(MergeTest, NoOpenTable) {
  source.record = nullptr;
  EXPECT_EQ(merger.ExpandTags("%F_Name %Salutation", true), "%F_Name Dear John Smith!");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Warning: field %F_NAME not found"});
}

TEST_F(MergeTest, SignIsReadOnEveryPass) {
  sign.sign = '~';
  EXPECT_EQ(merger.ExpandTags("%F_Name ~F_Name ~~L_NAME", true), "%F_Name John ~Smith");
  // "~" is a word character, so the first of two is followed by a name too.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Warning: field ~~L_NAME not found"});
  EXPECT_GE(sign.reads, 4);
  sign.sign = '#';
  EXPECT_EQ(merger.ExpandTags("#F_Name, ~F_Name", true), "John, ~F_Name");
  sign.sign = '$';
  EXPECT_EQ(merger.ExpandTags("$ $F_Name$", true), "$ John$");
}

TEST_F(MergeTest, SameMergerServesManyRecords) {
  const std::string body = "Dear %F_Name %L_NAME, you owe %Amount.";
  std::string result;
  for (int i = 0; i < 50; ++i) {
    record.Value("F_Name") = "N" + std::to_string(i);
    record.Value("Amount") = i + 0.5;
    merger.ExpandTags(body, false, result);
    EXPECT_EQ(result, "Dear N" + std::to_string(i) + " Smith, you owe " + FloatToStr(i + 0.5) + ".");
  }
}

// The walk done literally: the rest of the text copied after every sign and
// a fresh cursor started on the copy. ExpandTags restarts one cursor in place
// and must give the same text.
std::string CopyingWalk(TReader& reader, TMerger& merger, char sign, const std::string& text) {
  std::string result, s = text, value;
  for (;;) {
    const size_t p = s.find(sign);
    if (p == std::string::npos) return result + s;
    result += s.substr(0, p);
    s = s.substr(p + 1);
    TScroller cursor(&reader);
    cursor.SetText(s, 0);
    const TPosition& t = cursor.Window[0];
    if (!t.Blank.empty() || t.Status != tsWord) {
      result += sign;
    } else if (merger.GetTagValue(t.Text, value, false)) {
      result += value;
      s = s.substr(static_cast<size_t>(t.Position));
    } else {
      result += sign;
    }
  }
}

TEST_F(MergeTest, InPlaceWalkMatchesTheCopyingWalk) {
  const std::vector<std::string> pieces = {
      "%", "%", " ", "\t", "\r\n", "\n", "F_Name",   "f_name_2",           "City", "Amount", "x", "_", "1", "2e",
      "-", "5", ".", ",",  "~",    "`",  "\xD0\x96", std::string(1, '\0'), "Paid", "Broken", "(", "$"};
  std::mt19937 rng(1234);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 24);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    sign.sign = "%~$#"[rng() % 4];
    const std::string expected = CopyingWalk(reader, merger, sign.sign, text);
    EXPECT_EQ(merger.ExpandTags(text, false), expected) << "text: " << text << " sign: " << sign.sign;
  }
}

TEST(TagSigns, ByOptionsIndex) {
  EXPECT_EQ(TagSignOf(0), '%');
  EXPECT_EQ(TagSignOf(1), '~');
  EXPECT_EQ(TagSignOf(2), '$');
  EXPECT_EQ(TagSignOf(3), '#');
  EXPECT_EQ(TagSignOf(4), '%');
  EXPECT_EQ(TagSignOf(-1), '%');
}

}  // namespace
