#include "platform/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <tuple>

namespace {

// Day-month-year with "." and a 24-hour clock, "," as decimal separator.
TFormatSettings GermanLike() {
  TFormatSettings f = TFormatSettings::Default();
  f.DecimalSeparator = ',';
  f.ThousandSeparator = '.';
  f.DateSeparator = '.';
  f.TimeSeparator = ':';
  f.ShortDateFormat = "dd/mm/yyyy";
  f.LongDateFormat = "dddd, d. mmmm yyyy";
  f.ShortTimeFormat = "hh:nn";
  f.LongTimeFormat = "hh:nn:ss";
  f.TimeAMString = "";
  f.TimePMString = "";
  f.TwoDigitYearCenturyWindow = 50;
  f.LongMonthNames[2] = "März";
  return f;
}

// Month-day-year with "/" and a 12-hour clock.
TFormatSettings UsLike() {
  TFormatSettings f = TFormatSettings::Default();
  f.ShortDateFormat = "M/d/yyyy";
  f.LongTimeFormat = "h:mm:ss AMPM";
  f.ShortTimeFormat = "h:mm AMPM";
  return f;
}

class SysUtilsTest : public ::testing::Test {
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

TEST_F(SysUtilsTest, FloatToStrGeneralFormat) {
  SetFormatSettings(UsLike());
  struct Case {
    long double value;
    const char* text;
  };
  const Case cases[] = {
      {0, "0"},
      {1, "1"},
      {-1.5L, "-1.5"},
      {0.1L, "0.1"},
      {1.0L / 3, "0.333333333333333"},
      {2.0L / 3, "0.666666666666667"},
      {123456789012345.0L, "123456789012345"},
      {999999999999999.0L, "999999999999999"},
      {1e15L, "1E15"},
      {1.5e20L, "1.5E20"},
      {0.0001L, "0.0001"},
      {0.00001L, "1E-5"},
      {1.23e-10L, "1.23E-10"},
      {-0.00012L, "-0.00012"},
      {100, "100"},
      {9999999999999999.0L, "1E16"},  // rounds up to 15 digits
      {0.1L + 0.2L, "0.3"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << static_cast<double>(c.value);
  EXPECT_EQ(FloatToStr(NAN), "NAN");
  EXPECT_EQ(FloatToStr(INFINITY), "INF");
  EXPECT_EQ(FloatToStr(-INFINITY), "-INF");
}

TEST_F(SysUtilsTest, FloatToStrUsesLocaleSeparator) {
  SetFormatSettings(GermanLike());
  EXPECT_EQ(FloatToStr(1.5L), "1,5");
  EXPECT_EQ(FloatToStr(1.5e-7L), "1,5E-7");
  EXPECT_EQ(FloatToStr(42), "42");
}

TEST_F(SysUtilsTest, StrToInt) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {
      {"0", true, 0},
      {"123", true, 123},
      {"-123", true, -123},
      {"+7", true, 7},
      {"   42", true, 42},
      {"42 ", false, 0},
      {"", false, 0},
      {" ", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"$1F", true, 31},
      {"$ff", true, 255},
      {"-$10", true, -16},
      {"0x1A", true, 26},
      {"x10", true, 16},
      {"$FFFFFFFF", true, -1},
      {"$100000000", false, 0},
      {"2147483647", true, 2147483647},
      {"2147483648", false, 0},
      {"-2147483648", true, -2147483647 - 1},
      {"-2147483649", false, 0},
      {"12a", false, 0},
      {"1.0", false, 0},
      {"\t1", false, 0},
      {"99999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int v = -99;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
      EXPECT_EQ(StrToInt(c.text), c.value);
    } else {
      EXPECT_THROW(StrToInt(c.text), EConvertError) << c.text;
      EXPECT_EQ(StrToIntDef(c.text, 5), 5);
    }
  }
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(IntToStr(-5), "-5");
}

TEST_F(SysUtilsTest, StrToFloatByLocale) {
  struct Case {
    bool german;
    const char* text;
    bool ok;
    long double value;
  };
  const Case cases[] = {
      {false, "1.5", true, 1.5L},      {false, "  -2.25  ", true, -2.25L},
      {false, "1,5", false, 0},        {false, "1e3", true, 1000},
      {false, "1.5E-2", true, 0.015L}, {false, "5.", true, 5},
      {false, ".5", true, 0.5L},       {false, "", false, 0},
      {false, ".", false, 0},          {false, "1e", false, 0},
      {false, "abc", false, 0},        {false, "1e99999", false, 0},
      {false, "1.2.3", false, 0},      {true, "1,5", true, 1.5L},
      {true, "1.5", false, 0},         {true, "-0,125e1", true, -1.25L},
      {true, "1.000,5", false, 0},
  };
  for (const Case& c : cases) {
    SetFormatSettings(c.german ? GermanLike() : UsLike());
    long double v = -99;
    EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << c.text;
    if (c.ok)
      EXPECT_EQ(v, c.value) << c.text;
    else
      EXPECT_THROW(StrToFloat(c.text), EConvertError) << c.text;
  }
}

TEST_F(SysUtilsTest, EncodeAndDecodeDates) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
  EXPECT_THROW(EncodeDate(2003, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeDate(2000, 13, 1), EConvertError);
  EXPECT_NO_THROW(EncodeDate(2004, 2, 29));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2004));
  EXPECT_FALSE(IsLeapYear(2003));

  for (double d : {-693593.0, -1.0, 0.0, 59.0, 60.0, 36526.0, 38046.0, 2958465.0}) {
    int y, m, dd;
    DecodeDate(d, y, m, dd);
    EXPECT_EQ(EncodeDate(y, m, dd), d) << d;
  }
  int y, m, d;
  DecodeDate(38352.75, y, m, d);  // 2004-12-31 18:00
  EXPECT_EQ(y, 2004);
  EXPECT_EQ(m, 12);
  EXPECT_EQ(d, 31);
  DecodeDate(1e300, y, m, d);  // no date: zeros, no crash
  EXPECT_EQ(y, 0);
  DecodeDate(NAN, y, m, d);
  EXPECT_EQ(m, 0);

  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(1, 60, 0, 0), EConvertError);
  int h, n, s, ms;
  DecodeTime(EncodeDate(2020, 5, 17) + EncodeTime(13, 45, 30, 250), h, n, s, ms);
  EXPECT_EQ(h, 13);
  EXPECT_EQ(n, 45);
  EXPECT_EQ(s, 30);
  EXPECT_EQ(ms, 250);
  DecodeTime(-1.25, h, n, s, ms);  // a negative value's fraction is still the time of day
  EXPECT_EQ(h, 6);
}

// Every day of years 0..10000 follows the one before it, and its day count
// gives it back.
TEST_F(SysUtilsTest, DayCountsWalkTheCalendar) {
  int y, m, d;
  CivilFromDays(DaysFromCivil(0, 1, 1), y, m, d);
  ASSERT_EQ(std::make_tuple(y, m, d), std::make_tuple(0, 1, 1));
  for (int64_t days = DaysFromCivil(0, 1, 1) + 1; days <= DaysFromCivil(10000, 12, 31); ++days) {
    const int py = y, pm = m, pd = d;
    CivilFromDays(days, y, m, d);
    const bool nextDay = y == py && m == pm && d == pd + 1;
    const bool nextMonth = y == py && m == pm + 1 && d == 1 && pd == DaysInMonth(py, pm);
    const bool nextYear = y == py + 1 && m == 1 && d == 1 && pm == 12 && pd == 31;
    ASSERT_TRUE(nextDay || nextMonth || nextYear) << days;
    ASSERT_EQ(DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)), days);
  }
}

TEST_F(SysUtilsTest, DayOfWeekAndIncMonth) {
  EXPECT_EQ(DayOfWeek(0), 7);                         // 1899-12-30 was a Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5);  // Thursday
  EXPECT_EQ(DayOfWeek(EncodeDate(2000, 1, 2)), 1);    // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);       // Monday
  EXPECT_EQ(DayOfWeek(NAN), 0);

  EXPECT_EQ(IncMonth(EncodeDate(2004, 1, 31)), EncodeDate(2004, 2, 29));
  EXPECT_EQ(IncMonth(EncodeDate(2003, 1, 31)), EncodeDate(2003, 2, 28));
  EXPECT_EQ(IncMonth(EncodeDate(2003, 11, 15), 3), EncodeDate(2004, 2, 15));
  EXPECT_EQ(IncMonth(EncodeDate(2003, 1, 15), -13), EncodeDate(2001, 12, 15));
  EXPECT_DOUBLE_EQ(IncMonth(EncodeDate(2003, 1, 15) + 0.25, 1), EncodeDate(2003, 2, 15) + 0.25);
  EXPECT_DOUBLE_EQ(IncMonth(-1.25, 1), EncodeDate(1900, 1, 29) + 0.25);
  EXPECT_THROW(IncMonth(EncodeDate(9999, 12, 1), 1), EConvertError);
}

TEST_F(SysUtilsTest, FormatDateTimeLetters) {
  SetFormatSettings(UsLike());
  const TDateTime t = EncodeDate(2003, 3, 7) + EncodeTime(14, 5, 9, 42);  // a Friday
  struct Case {
    const char* format;
    const char* text;
  };
  const Case cases[] = {
      {"d dd ddd dddd", "7 07 Fri Friday"},
      {"m mm mmm mmmm", "3 03 Mar March"},
      {"yy yyyy", "03 2003"},
      {"h hh n nn s ss", "14 14 5 05 9 09"},
      {"z zzz", "42 042"},
      {"hh:mm", "14:05"},  // m after h is minutes
      {"h:mm am/pm", "2:05 pm"},
      {"h:mm AM/PM", "2:05 PM"},
      {"h:mm a/p", "2:05 p"},
      {"h:mm ampm", "2:05 PM"},
      {"ddddd", "3/7/2003"},
      {"t", "2:05 PM"},
      {"tt", "2:05:09 PM"},
      {"c", "3/7/2003 2:05:09 PM"},
      {"yyyy/mm/dd", "2003/03/07"},
      {"'quoted d' d \"m\"", "quoted d 7 m"},
      {"'open", "open"},
      {"x-q", "x-q"},
      {"aaa aaaa", "Fri Friday"},
      {"dddddd", "Friday, March 7, 2003"},
      {"", "3/7/2003 2:05:09 PM"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, t), c.text) << c.format;
  EXPECT_EQ(DateTimeToStr(EncodeDate(2003, 3, 7)), "3/7/2003");  // midnight: no time
  EXPECT_EQ(FormatDateTime("h am/pm", EncodeTime(0, 30, 0, 0)), "12 am");
  EXPECT_EQ(FormatDateTime("h am/pm", EncodeTime(12, 30, 0, 0)), "12 pm");
  EXPECT_EQ(FormatDateTime("dddd mmmm", 1e300), " ");  // no date: no names, no crash
}

TEST_F(SysUtilsTest, FormatDateTimeUnderDayMonthYear) {
  SetFormatSettings(GermanLike());
  const TDateTime t = EncodeDate(2003, 3, 7) + EncodeTime(14, 5, 9, 0);
  EXPECT_EQ(DateToStr(t), "07.03.2003");
  EXPECT_EQ(TimeToStr(t), "14:05:09");
  EXPECT_EQ(DateTimeToStr(t), "07.03.2003 14:05:09");
  EXPECT_EQ(FormatDateTime("mmmm", t), "März");
  EXPECT_EQ(FormatDateTime("ampm", t), "");
}

TEST_F(SysUtilsTest, FormatSelfReferenceStops) {
  TFormatSettings f = UsLike();
  f.ShortDateFormat = "ddddd";  // names itself
  SetFormatSettings(f);
  EXPECT_EQ(FormatDateTime("c", 1.5), " 12:00:00 PM");
  EXPECT_EQ(FormatDateTime("ddddd", 1.5), "");
}

TEST_F(SysUtilsTest, StrToDateUnderBothOrders) {
  const int year = ThisYear();
  struct Case {
    bool german;
    const char* text;
    bool ok;
    int y, m, d;
  };
  const Case cases[] = {
      {true, "31.12.2003", true, 2003, 12, 31},
      {true, "31.2.2003", false, 0, 0, 0},
      {true, "29.2.2004", true, 2004, 2, 29},
      {true, " 1 . 2 . 2004 ", true, 2004, 2, 1},
      {true, "1.2.", false, 0, 0, 0},  // a second separator asks for the year
      {true, "31.12.2003.", true, 2003, 12, 31},
      {true, "1.2", true, year, 2, 1},
      {true, "31/12/2003", false, 0, 0, 0},
      {true, "1.2.20045", false, 0, 0, 0},
      {false, "12/31/2003", true, 2003, 12, 31},
      {false, "31/12/2003", false, 0, 0, 0},
      {false, "2/29/2004", true, 2004, 2, 29},
      {false, "2/3", true, year, 2, 3},
      {false, "0/31/2003", false, 0, 0, 0},
      {false, "", false, 0, 0, 0},
      {false, "12/31", true, year, 12, 31},
      {false, "12/31/2003x", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SetFormatSettings(c.german ? GermanLike() : UsLike());
    TDateTime v = -1;
    EXPECT_EQ(TryStrToDate(c.text, v), c.ok) << c.text;
    if (c.ok)
      EXPECT_EQ(v, EncodeDate(c.y, c.m, c.d)) << c.text;
    else
      EXPECT_THROW(StrToDate(c.text), EConvertError) << c.text;
  }
}

TEST_F(SysUtilsTest, TwoDigitYearWindow) {
  TFormatSettings f = GermanLike();
  SetFormatSettings(f);
  const int year = ThisYear();
  const int base = year - 50;
  int expect = 3 + base / 100 * 100;
  if (expect < base) expect += 100;
  EXPECT_EQ(StrToDate("1.1.03"), EncodeDate(expect, 1, 1));
  f.TwoDigitYearCenturyWindow = 0;  // no window: the current century
  SetFormatSettings(f);
  EXPECT_EQ(StrToDate("1.1.03"), EncodeDate(year / 100 * 100 + 3, 1, 1));
  EXPECT_EQ(StrToDate("1.1.0003"), EncodeDate(3, 1, 1));  // four digits stay as written
}

TEST_F(SysUtilsTest, YearMonthDayOrderAndEras) {
  TFormatSettings f = TFormatSettings::Default();
  f.ShortDateFormat = "yyyy-mm-dd";
  f.DateSeparator = '-';
  SetFormatSettings(f);
  EXPECT_EQ(StrToDate("2003-12-31"), EncodeDate(2003, 12, 31));

  f.ShortDateFormat = "gg e/mm/dd";
  f.DateSeparator = '/';
  f.Eras[0] = {"Heisei", 1988};
  f.Eras[1] = {"Reiwa", 2018};
  SetFormatSettings(f);
  EXPECT_EQ(StrToDate("Reiwa 5/01/02"), EncodeDate(2023, 1, 2));
  EXPECT_EQ(StrToDate("Heisei 15/01/02"), EncodeDate(2003, 1, 2));
  EXPECT_EQ(FormatDateTime("gg e", EncodeDate(2023, 1, 2)), "Reiwa 5");
}

TEST_F(SysUtilsTest, StrToTime) {
  struct Case {
    bool german;
    const char* text;
    bool ok;
    int h, n, s, ms;
  };
  const Case cases[] = {
      {false, "12:30 PM", true, 12, 30, 0, 0},
      {false, "12:30 AM", true, 0, 30, 0, 0},
      {false, "PM 1:15", true, 13, 15, 0, 0},
      {false, "1:15pm", true, 13, 15, 0, 0},
      {false, "13:00 PM", false, 0, 0, 0, 0},
      {false, "0:10 AM", false, 0, 0, 0, 0},
      {false, "24:00", false, 0, 0, 0, 0},
      {false, "10:61", false, 0, 0, 0, 0},
      {false, "10:20:30.500", true, 10, 20, 30, 500},
      {false, "10", false, 0, 0, 0, 0},
      {false, "10:", false, 0, 0, 0, 0},
      {false, " 23:59:59 ", true, 23, 59, 59, 0},
      {false, "10:20 x", false, 0, 0, 0, 0},
      {true, "10:20:30,5", true, 10, 20, 30, 5},
      {true, "10:20:30.5", false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SetFormatSettings(c.german ? GermanLike() : UsLike());
    TDateTime v = -1;
    EXPECT_EQ(TryStrToTime(c.text, v), c.ok) << c.text;
    if (c.ok)
      EXPECT_DOUBLE_EQ(v, EncodeTime(c.h, c.n, c.s, c.ms)) << c.text;
    else
      EXPECT_THROW(StrToTime(c.text), EConvertError) << c.text;
  }
}

TEST_F(SysUtilsTest, StrToDateTime) {
  SetFormatSettings(GermanLike());
  EXPECT_DOUBLE_EQ(StrToDateTime("31.12.2003 10:30"), EncodeDate(2003, 12, 31) + EncodeTime(10, 30, 0, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("31.12.2003"), EncodeDate(2003, 12, 31));
  EXPECT_DOUBLE_EQ(StrToDateTime("10:30"), EncodeTime(10, 30, 0, 0));
  EXPECT_THROW(StrToDateTime("31.12.2003 x"), EConvertError);
  EXPECT_THROW(StrToDateTime("garbage"), EConvertError);
  SetFormatSettings(UsLike());
  EXPECT_DOUBLE_EQ(StrToDateTime("12/29/1899 6:00 AM"), -1 - 0.25);  // before the epoch the time subtracts
  EXPECT_DOUBLE_EQ(StrToDateTime("3/7/2003 2:05 PM"), EncodeDate(2003, 3, 7) + EncodeTime(14, 5, 0, 0));
  // Round trip of the program's own text.
  const TDateTime t = EncodeDate(2003, 3, 7) + EncodeTime(14, 5, 9, 0);
  EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(t)), t);
}

TEST_F(SysUtilsTest, CaseConversion) {
  EXPECT_EQ(AnsiUpperCase("straße äöü éñ çø"), "STRAßE ÄÖÜ ÉÑ ÇØ");
  EXPECT_EQ(AnsiLowerCase("ÄÖÜ ÉÑ ŁŻ ΑΒΓ АБВ ЁЖ Ÿ"), "äöü éñ łż αβγ абв ёж ÿ");
  EXPECT_EQ(AnsiUpperCase("łż αβγς абв ёж ÿ"), "ŁŻ ΑΒΓΣ АБВ ЁЖ Ÿ");
  EXPECT_EQ(UpperCase("abc äöü"), "ABC äöü");
  EXPECT_EQ(LowerCase("ABC ÄÖÜ"), "abc ÄÖÜ");
  const std::string bad = "a\xFF\xC3z";  // invalid bytes pass unchanged
  EXPECT_EQ(AnsiUpperCase(bad), "A\xFF\xC3Z");
  EXPECT_EQ(AnsiCompareText("äbc", "ÄBC"), 0);
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
  EXPECT_GT(AnsiCompareText("b", "A"), 0);
  EXPECT_LT(AnsiCompareStr("a", "A"), 0);
  EXPECT_LT(AnsiCompareStr("A", "b"), 0);
  EXPECT_EQ(AnsiCompareStr("x", "x"), 0);
  EXPECT_TRUE(SameText("Name", "NAME"));
  EXPECT_FALSE(SameText("Name", "Names"));
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
}

TEST_F(SysUtilsTest, Utf8Characters) {
  const std::string s = "aäb€c";
  EXPECT_EQ(Utf8Length(s), 5);
  EXPECT_EQ(Utf8Length(""), 0);
  EXPECT_EQ(Utf8Length("\xFF\xFE"), 2);
  EXPECT_EQ(Utf8Length("\xE2\x82"), 2);  // cut sequence: each byte counts
  struct CopyCase {
    int index, count;
    const char* text;
  };
  const CopyCase copies[] = {{1, 2, "aä"}, {2, 1, "ä"}, {4, 10, "€c"}, {0, 2, "aä"},
                             {6, 1, ""},   {3, 0, ""},  {3, -1, ""},   {-5, 1, "a"}};
  for (const CopyCase& c : copies) EXPECT_EQ(Utf8Copy(s, c.index, c.count), c.text) << c.index << "," << c.count;
  EXPECT_EQ(Utf8Pos("b", s), 3);
  EXPECT_EQ(Utf8Pos("€c", s), 4);
  EXPECT_EQ(Utf8Pos("x", s), 0);
  EXPECT_EQ(Utf8Pos("", s), 0);
  EXPECT_EQ(Utf8Pos("\x82\xAC", s), 0);  // never a match inside a character
}

TEST_F(SysUtilsTest, DefaultAndSystemRecords) {
  const TFormatSettings d = TFormatSettings::Default();
  EXPECT_EQ(d.ShortDateFormat, "M/d/yyyy");
  EXPECT_EQ(d.LongMonthNames[0], "January");
  EXPECT_EQ(d.ShortDayNames[0], "Sun");
  const TFormatSettings s = TFormatSettings::FromSystemLocale();
  EXPECT_NE(s.DecimalSeparator, 0);
  EXPECT_FALSE(s.ShortDateFormat.empty());
  EXPECT_FALSE(s.LongMonthNames[11].empty());
  // A numeric locale date reads back.
  if (s.ShortDateFormat.find('/') == std::string::npos || s.ShortDateFormat.find("mmm") != std::string::npos)
    GTEST_SKIP() << "no numeric date format in this locale";
  SetFormatSettings(s);
  const TDateTime t = EncodeDate(2003, 3, 7) + EncodeTime(14, 5, 9, 0);
  TDateTime back;
  ASSERT_TRUE(TryStrToDateTime(DateTimeToStr(t), back)) << DateTimeToStr(t);
  EXPECT_DOUBLE_EQ(back, t);
}
