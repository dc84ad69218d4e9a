// Expression cases: text, expected type, and either the value or the error
// code with the place (1-based index of the token's last character) reported.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "support/EvalTestKit.h"
#include "toolkit/FEMsg.h"

namespace {

struct TCase {
  const char* text;
  TExprType type;
  const char* value;  // expected value (numbers as decimal text, "true"/"false"); unused on error
  int code;           // 0: success expected
  int place;
};

std::string Describe(const TCase& c) { return std::string("expression: ") + c.text; }

void Check(TEvalKit& kit, const TCase& c) {
  SCOPED_TRACE(Describe(c));
  kit.errors.clear();
  TFastEval& ev = kit.ev;
  bool ok = false;
  std::string got;
  long double num = 0;
  switch (c.type) {
    case etInteger: {
      int32_t v = -1;
      ok = ev.EvaluateInteger(c.text, v, 7);
      num = v;
      if (!ok) {
        EXPECT_EQ(v, 0);
      }
      break;
    }
    case etExtended: {
      Extended v = -1;
      ok = ev.EvaluateExtended(c.text, v, 7);
      num = v;
      break;
    }
    case etDateTime: {
      TDateTime v = -1;
      ok = ev.EvaluateDateTime(c.text, v, 7);
      num = v;
      break;
    }
    case etBoolean: {
      bool v = true;
      ok = ev.EvaluateBoolean(c.text, v, 7);
      got = v ? "true" : "false";
      break;
    }
    case etString: {
      std::string v = "junk";
      ok = ev.EvaluateString(c.text, v, 7);
      got = v;
      if (!ok) {
        EXPECT_EQ(v, "");
      }
      break;
    }
  }
  if (c.code == 0) {
    ASSERT_TRUE(ok) << (kit.errors.empty() ? std::string("no report")
                                           : "error " + std::to_string(kit.errors[0].code) +
                                                 " at " + std::to_string(kit.errors[0].place));
    EXPECT_TRUE(kit.errors.empty());
    if (c.type == etBoolean || c.type == etString) {
      EXPECT_EQ(got, c.value);
    } else {
      long double want = std::strtold(c.value, nullptr);
      long double tol = std::fabs(want) * 1e-14L + 1e-14L;
      EXPECT_NEAR(static_cast<double>(num), static_cast<double>(want), static_cast<double>(tol));
      if (c.type == etInteger) {
        EXPECT_EQ(static_cast<long double>(static_cast<int32_t>(num)), want);
      }
    }
  } else {
    EXPECT_FALSE(ok);
    ASSERT_EQ(kit.errors.size(), 1u) << "one report per evaluation";
    EXPECT_EQ(kit.errors[0].code, c.code);
    EXPECT_EQ(kit.errors[0].place, c.place);
    EXPECT_EQ(kit.errors[0].text, ErrorText(c.code));
    EXPECT_EQ(kit.errors[0].handle, 7);
  }
}

void CheckAll(TEvalKit& kit, const std::vector<TCase>& cases) {
  for (const auto& c : cases) Check(kit, c);
}

}  // namespace

TEST(FastEvalInteger, ArithmeticAndErrors) {
  TEvalKit kit;
  CheckAll(kit, {
                    {"1+2*3", etInteger, "7", 0, 0},
                    {"(1+2)*3", etInteger, "9", 0, 0},
                    {"10-2-3", etInteger, "5", 0, 0},
                    {"7 div 2", etInteger, "3", 0, 0},
                    {"-7 div 2", etInteger, "-3", 0, 0},
                    {"-7 mod 2", etInteger, "-1", 0, 0},
                    {"7 mod -2", etInteger, "", 1, 7},  // a sign after an operator is not read
                    {"+5", etInteger, "5", 0, 0},
                    {"-2*3", etInteger, "-6", 0, 0},
                    {"2*-3", etInteger, "", 1, 3},
                    {"7 div 0", etInteger, "", 14, 7},
                    {"7 mod 0", etInteger, "", 14, 7},
                    {"7 div (1-1)", etInteger, "", 14, 11},
                    {"1/2", etInteger, "", 6, 2},
                    {"1 2", etInteger, "", 6, 3},
                    {"1 +", etInteger, "", 1, 3},
                    {"(1+2", etInteger, "", 12, 4},
                    {"", etInteger, "", 1, 0},
                    {"unknown", etInteger, "", 1, 7},
                    {"2.5", etInteger, "", 1, 3},
                    {"99999999999", etInteger, "", 22, 11},
                    {"1 + 2147483648", etInteger, "", 22, 14},
                    // 32-bit arithmetic wraps.
                    {"2147483647+1", etInteger, "-2147483648", 0, 0},
                    {"big*2", etInteger, "-2", 0, 0},
                    {"(-2147483647-1) div (0-1)", etInteger, "-2147483648", 0, 0},
                    {"(-2147483647-1) mod (0-1)", etInteger, "0", 0, 0},
                    {"i * 2", etInteger, "14", 0, 0},
                    {"I + ZERO", etInteger, "7", 0, 0},
                    {"i + s", etInteger, "", 1, 5},
                    {"f", etInteger, "", 1, 1},
                    {"if i > 1 then 10 else 20", etInteger, "10", 0, 0},
                    {"if i > 100 then 10 else 20", etInteger, "20", 0, 0},
                    {"if i > 1 then 10", etInteger, "", 21, 16},
                    {"if i > 100 then 10", etInteger, "", 21, 18},
                    {"if i then 1 else 2", etInteger, "", 10, 9},
                    {"if b 1 else 2", etInteger, "", 20, 6},
                    {"if true then if false then 1 else 2 else 3", etInteger, "2", 0, 0},
                    {"if false then 1 else if true then 2 else 3", etInteger, "2", 0, 0},
                    {"if false then 1 else if false then 2 else 3", etInteger, "3", 0, 0},
                    {"if false then if true then 1 else 2 else 3", etInteger, "3", 0, 0},
                })
      ;
}

TEST(FastEvalExtended, ArithmeticAndErrors) {
  TEvalKit kit;
  CheckAll(kit, {
                    {"2^3^2", etExtended, "64", 0, 0},
                    {"-2^2", etExtended, "-4", 0, 0},
                    {"1+2*3^2", etExtended, "19", 0, 0},
                    {"1/4", etExtended, "0.25", 0, 0},
                    {"2.5+0.5", etExtended, "3", 0, 0},
                    {"1e-5*1e5", etExtended, "1", 0, 0},
                    {"1.5e3", etExtended, "1500", 0, 0},
                    {"7.5 div 2", etExtended, "", 7, 7},
                    {"8 div 2.5", etExtended, "", 7, 5},
                    {"8.0 div 2", etExtended, "4", 0, 0},
                    {"-7 mod 2", etExtended, "-1", 0, 0},
                    {"8 div 0", etExtended, "", 14, 7},
                    {"1/0", etExtended, "", 14, 3},
                    {"1/(2-2)", etExtended, "", 14, 7},
                    {"f * 2 + i", etExtended, "12", 0, 0},
                    {"d + 1", etExtended, "36527", 0, 0},
                    {"1 +", etExtended, "", 2, 3},
                    {"1 1", etExtended, "", 7, 3},
                    {"s", etExtended, "", 2, 1},
                    {"2 .5", etExtended, "", 7, 3},
                    {"log(2, 8)", etExtended, "3", 0, 0},
                    {"sqr(3) + sqrt(16)", etExtended, "13", 0, 0},
                    {"trunc(-2.7) + frac(2.25)", etExtended, "-1.75", 0, 0},
                    {"int(-2.7)", etExtended, "-2", 0, 0},
                    {"abs(0-3.5)", etExtended, "3.5", 0, 0},
                    {"exp(0) + ln(1) + sin(0) + cos(0)", etExtended, "2", 0, 0},
                    {"iff(i > 0, 1, 2)", etExtended, "1", 0, 0},
                    {"iff(f > 0, 1, 1/zero)", etExtended, "", 14, 20},
                    {"strtofloat('1.5e3')", etExtended, "1500", 0, 0},
                    {"strtofloat('1,5')", etExtended, "", 23, 16},
                    {"strtofloat(s)", etExtended, "", 23, 12},
                    {"round(2.5) + round(3.5)", etExtended, "6", 0, 0},
                    {"length('abc')", etExtended, "3", 0, 0},
                    {"now", etExtended, "", 2, 3},
                    {"pos('a')", etExtended, "", 13, 8},
                    {"pos('a', s", etExtended, "", 12, 10},
                    {"pos 1", etExtended, "", 11, 5},
                    {"param(1)", etExtended, "", 2, 5},
                })
      ;
}

TEST(FastEvalString, LiteralsAndFunctions) {
  TEvalKit kit;
  CheckAll(kit, {
                    {"'a' + 'b'", etString, "ab", 0, 0},
                    {"'it''s'", etString, "it's", 0, 0},
                    {"' x  y '", etString, " x  y ", 0, 0},
                    {"'a\"b'", etString, "a\"b", 0, 0},  // a comment sign inside a literal is text
                    {"'1 + and'", etString, "1 + and", 0, 0},
                    {"'a' \"'b'", etString, "a", 0, 0},  // a string sign inside a comment is comment
                    {"'a' 'b'", etString, "", 9, 7},
                    {"'abc", etString, "", 27, 4},
                    {"'ab\ncd'", etString, "", 27, 3},
                    {"s + 1", etString, "", 4, 5},
                    {"s + name", etString, "abcParis", 0, 0},
                    {"copy('abcdef', 2.9, 3.9)", etString, "bcd", 0, 0},
                    {"copy('äöüß', 2, 2)", etString, "öü", 0, 0},
                    {"inttostr(length('ää') + pos('ü', 'aäü'))", etString, "5", 0, 0},
                    {"uppercase('äb')", etString, "äB", 0, 0},
                    {"ansiuppercase('äb')", etString, "ÄB", 0, 0},
                    {"lowercase('ÄB')", etString, "Äb", 0, 0},
                    {"ansilowercase('ÄB')", etString, "äb", 0, 0},
                    {"inttostr(0-42)", etString, "-42", 0, 0},
                    {"floattostr(1.5)", etString, "1.5", 0, 0},
                    {"if b then 'x' else 'y'", etString, "x", 0, 0},
                    {"if i > 1 then 'x'", etString, "", 21, 17},
                    {"(s)", etString, "abc", 0, 0},
                })
      ;
}

TEST(FastEvalBoolean, ComparisonsAndTrials) {
  TEvalKit kit;
  CheckAll(kit, {
                    {"b", etBoolean, "true", 0, 0},
                    {"not(b)", etBoolean, "false", 0, 0},
                    {"true or false and false", etBoolean, "false", 0, 0},
                    {"true xor true", etBoolean, "false", 0, 0},
                    {"i > 5", etBoolean, "true", 0, 0},
                    {"i + 1 = 8", etBoolean, "true", 0, 0},
                    {"f * 2 >= 5", etBoolean, "true", 0, 0},
                    {"1 <> 1", etBoolean, "false", 0, 0},
                    {"s > 'abb'", etBoolean, "true", 0, 0},
                    {"s = 'ABC'", etBoolean, "false", 0, 0},
                    {"'abc' = s", etBoolean, "true", 0, 0},
                    {"s + 'd' = 'abcd'", etBoolean, "true", 0, 0},
                    {"length(s) = 3", etBoolean, "true", 0, 0},
                    {"b = true", etBoolean, "true", 0, 0},
                    {"false < true", etBoolean, "true", 0, 0},
                    {"b = i > 3", etBoolean, "true", 0, 0},
                    {"isleapyear(2004) and not(isleapyear(1900))", etBoolean, "true", 0, 0},
                    {"(i > 1) and (pos('a', s) > 0) or (name = 'Paris')", etBoolean, "true", 0, 0},
                    {"i = 'abc'", etBoolean, "", 2, 9},
                    {"b = 1", etBoolean, "", 10, 5},
                    {"foo", etBoolean, "", 3, 3},
                    {"i", etBoolean, "", 10, 1},
                    {"i > 1 and", etBoolean, "", 3, 9},
                    {"i > 1 i", etBoolean, "", 8, 7},
                    {"length(s) > 'x'", etBoolean, "", 2, 15},
                    {"pos(1, s) > 0", etBoolean, "", 4, 5},
                    {"(i > 1", etBoolean, "", 12, 6},
                    // The trial of a comparison keeps the lexer's own error.
                    {"'abc", etBoolean, "", 27, 4},
                    {"i > 1 and 'abc", etBoolean, "", 27, 14},
                    {"if i > 1 then b else false", etBoolean, "true", 0, 0},
                })
      ;
}

TEST(FastEvalDateTime, ArithmeticAndFunctions) {
  TEvalKit kit;
  CheckAll(kit, {
                    {"encodedate(2000, 1, 1)", etDateTime, "36526", 0, 0},
                    {"encodedate(2000, 1, 1) + encodetime(12, 0, 0, 0)", etDateTime, "36526.5", 0, 0},
                    {"d + 1.5", etDateTime, "36527.5", 0, 0},
                    {"dayofweek(encodedate(2000, 1, 1))", etInteger, "7", 0, 0},
                    {"incmonth(encodedate(2000, 1, 31), 1)", etDateTime, "36585", 0, 0},
                    {"incmonth(d, 0-1)", etDateTime, "36495", 0, 0},
                    {"incmonth(1e300, 1)", etDateTime, "", 24, 14},
                    // A result beyond the year 9999 is an invalid date, at the month count.
                    {"incmonth(encodedate(9999, 12, 1), 1)", etDateTime, "", 24, 35},
                    {"incmonth(d, 2000000000)", etDateTime, "", 24, 22},
                    // An invalid component is reported at its own argument.
                    {"encodedate(2000, 13, 1)", etDateTime, "", 24, 19},
                    {"encodedate(0, 1, 1)", etDateTime, "", 24, 12},
                    {"encodedate(2003, 2, 29)", etDateTime, "", 24, 22},
                    {"encodedate(2000, 1 + 12, 1)", etDateTime, "", 24, 23},
                    {"encodedate(67536, 1, 1)", etDateTime, "36526", 0, 0},  // low 16 bits
                    {"encodetime(24, 0, 0, 0)", etDateTime, "", 25, 13},
                    {"encodetime(1, 60, 0, 0)", etDateTime, "", 25, 16},
                    {"encodetime(1, 2, 60, 0)", etDateTime, "", 25, 19},
                    {"encodetime(1, 2, 3, 1000)", etDateTime, "", 25, 24},
                    {"d div 2", etDateTime, "18263", 0, 0},
                    {"d mod 7", etDateTime, "0", 0, 0},
                    {"(d + 0.5) div 2", etDateTime, "", 7, 13},
                    {"d / 0", etDateTime, "", 14, 5},
                    {"s", etDateTime, "", 5, 1},
                    {"1 1", etDateTime, "", 7, 3},
                    {"datetostr(1e300)", etString, "", 24, 15},
                })
      ;
}

// Conversions that depend on the format settings, under two explicit ones.
TEST(FastEvalLocale, DayMonthYearWithDots) {
  TScopedFormat fmt(DayMonthYearDots());
  TEvalKit kit;
  CheckAll(kit, {
                    {"strtodate('31.12.2003')", etDateTime, "37986", 0, 0},
                    {"strtodate('29.2.2004')", etDateTime, "38046", 0, 0},
                    {"strtodate('31.2.2003')", etDateTime, "", 24, 21},
                    {"strtodate('12/31/2003')", etDateTime, "", 24, 22},
                    {"datetostr(encodedate(2003, 12, 31))", etString, "31.12.2003", 0, 0},
                    {"d = '01.01.2000'", etBoolean, "true", 0, 0},
                    {"'31.12.2003' - '30.12.2003'", etExtended, "1", 0, 0},
                    {"'31.12.2003' + 1", etDateTime, "37987", 0, 0},
                    {"floattostr(1.5)", etString, "1.5", 0, 0},
                    {"strtofloat('1.5')", etExtended, "1.5", 0, 0},
                    {"strtotime('10:20')", etDateTime, "0.430555555555556", 0, 0},
                    {"strtodatetime('31.12.2003 12:00')", etDateTime, "37986.5", 0, 0},
                    {"strtodatetime('x')", etDateTime, "", 26, 17},
                    {"strtotime('25:00')", etDateTime, "", 25, 17},
                    {"formatdatetime('yyyy-mm-dd', d)", etString, "2000-01-01", 0, 0},
                })
      ;
}

TEST(FastEvalLocale, MonthDayYearWithSlashes) {
  TScopedFormat fmt(MonthDayYearSlashes());
  TEvalKit kit;
  CheckAll(kit, {
                    {"strtodate('12/31/2003')", etDateTime, "37986", 0, 0},
                    {"strtodate('31.12.2003')", etDateTime, "", 24, 22},
                    {"datetostr(encodedate(2003, 12, 31))", etString, "12/31/2003", 0, 0},
                    {"d = '1/1/2000'", etBoolean, "true", 0, 0},
                    {"d = '01.01.2000'", etBoolean, "", 2, 16},
                    {"floattostr(1.5)", etString, "1.5", 0, 0},
                    {"strtofloat('1,5')", etExtended, "", 23, 16},
                    {"strtodatetime('12/31/2003 12:00 PM')", etDateTime, "37986.5", 0, 0},
                })
      ;
}
