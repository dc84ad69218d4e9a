#include "toolkit/EvalConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace {

TFormatSettings DayMonthYear() {
  TFormatSettings f = TFormatSettings::Default();
  f.DecimalSeparator = '.';
  f.DateSeparator = '.';
  f.ShortDateFormat = "dd/mm/yyyy";
  f.LongTimeFormat = "hh:nn:ss";
  f.TimeAMString = "";
  f.TimePMString = "";
  f.TwoDigitYearCenturyWindow = 50;
  return f;
}

TFormatSettings MonthDayYear() {
  TFormatSettings f = TFormatSettings::Default();
  f.DecimalSeparator = ',';
  f.DateSeparator = '/';
  f.ShortDateFormat = "M/d/yyyy";
  return f;
}

class EvalConvertTest : public ::testing::Test {
protected:
  void SetUp() override { saved = FormatSettings(); }
  void TearDown() override { SetFormatSettings(saved); }
  TFormatSettings saved;
};

int ThisYear() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm.tm_year + 1900;
}

}  // namespace

TEST_F(EvalConvertTest, TextToExtended) {
  struct Case {
    const char* text;
    int code;
    long double value;
  };
  const Case cases[] = {
      {"1.5", 0, 1.5L},   {"1.5e3", 0, 1500},  {"-2", 0, -2},       {"+.5", 0, 0.5L},
      {"  7", 0, 7},      {"5.", 0, 5},        {"1E-2", 0, 0.01L},  {"1,5", 2, 0},
      {"", 1, 0},         {"abc", 1, 0},       {"-", 2, 0},         {".", 2, 0},
      {"1e", 3, 0},       {"1e+", 4, 0},       {"1.5 ", 4, 0},      {"12x", 3, 0},
      {"1e99999", 7, 0},  {"1.2.3", 4, 0},
  };
  // The decimal separator is "." whatever the locale says.
  for (const TFormatSettings& f : {DayMonthYear(), MonthDayYear()}) {
    SetFormatSettings(f);
    for (const Case& c : cases) {
      int code = -1;
      const long double v = TextToExtended(c.text, code);
      EXPECT_EQ(code, c.code) << c.text;
      if (c.code == 0) {
        EXPECT_EQ(v, c.value) << c.text;
      }
    }
  }
}

TEST_F(EvalConvertTest, ExtendedToTextIgnoresLocaleComma) {
  SetFormatSettings(MonthDayYear());  // "," as decimal separator
  EXPECT_EQ(ExtendedToText(1.5L), "1.5");
  EXPECT_EQ(ExtendedToText(-1.25e-7L), "-1.25E-7");
  SetFormatSettings(DayMonthYear());
  EXPECT_EQ(ExtendedToText(1.5L), "1.5");
  EXPECT_EQ(ExtendedToText(3), "3");
}

TEST_F(EvalConvertTest, IsIntegral) {
  EXPECT_TRUE(IsIntegral(0));
  EXPECT_TRUE(IsIntegral(-3));
  EXPECT_TRUE(IsIntegral(1e30L));
  EXPECT_FALSE(IsIntegral(2.5L));
  EXPECT_FALSE(IsIntegral(-0.0001L));
  EXPECT_FALSE(IsIntegral(NAN));
  EXPECT_FALSE(IsIntegral(INFINITY));
}

TEST_F(EvalConvertTest, TryTextToTime) {
  struct Case {
    bool dmy;
    const char* text;
    bool ok;
    int h, n, s, ms;
  };
  const Case cases[] = {
      {false, "12:30 PM", true, 12, 30, 0, 0}, {false, "12:30 AM", true, 0, 30, 0, 0},
      {false, "13:00 PM", false, 0, 0, 0, 0},  {false, "24:00", false, 0, 0, 0, 0},
      {false, "10:61", false, 0, 0, 0, 0},     {false, "10:20:30,5", true, 10, 20, 30, 5},
      {true, "10:20:30.500", true, 10, 20, 30, 500}, {true, "10:20 trailing", false, 0, 0, 0, 0},
      {true, "23:59:59", true, 23, 59, 59, 0}, {true, "10:20:30.1000", false, 0, 0, 0, 0},
      {true, "", false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SetFormatSettings(c.dmy ? DayMonthYear() : MonthDayYear());
    TDateTime v = -1;
    EXPECT_EQ(TryTextToTime(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(v, EncodeTime(c.h, c.n, c.s, c.ms)) << c.text;
    }
  }
}

TEST_F(EvalConvertTest, TryTextToDateTime) {
  struct Case {
    bool dmy;
    const char* text;
    bool ok;
    double value;
  };
  const double d2003 = EncodeDate(2003, 12, 31);
  const Case cases[] = {
      {true, "31.12.2003", true, d2003},
      {true, "31.2.2003", false, 0},
      {true, "29.2.2004", true, EncodeDate(2004, 2, 29)},
      {true, "29.2.2003", false, 0},
      {true, "31.12.2003 10:30", true, d2003 + EncodeTime(10, 30, 0, 0)},
      {true, "31.12.2003 10:30 and more", true, d2003 + EncodeTime(10, 30, 0, 0)},
      {true, "31.12.2003 junk", false, 0},
      {true, "10:30", true, EncodeTime(10, 30, 0, 0)},
      {true, "1.1.20031", false, 0},  // only four digits of the year are read
      {true, "12/31/2003", false, 0},
      {false, "12/31/2003", true, d2003},
      {false, "12/31/2003 1:00 PM", true, d2003 + EncodeTime(13, 0, 0, 0)},
      {false, "31/12/2003", false, 0},
      {false, "12/29/1899 12:00", true, -1.5},
      {false, "hello", false, 0},
  };
  for (const Case& c : cases) {
    SetFormatSettings(c.dmy ? DayMonthYear() : MonthDayYear());
    TDateTime v = -99;
    EXPECT_EQ(TryTextToDateTime(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
  }
}

TEST_F(EvalConvertTest, TwoDigitYear) {
  SetFormatSettings(DayMonthYear());
  const int base = ThisYear() - 50;
  int y = 3 + base / 100 * 100;
  if (y < base) y += 100;  // 2026: base 1976, 1903 is below it, so 2003
  TDateTime v;
  ASSERT_TRUE(TryTextToDateTime("1.1.03", v));
  EXPECT_EQ(v, EncodeDate(y, 1, 1));
}
