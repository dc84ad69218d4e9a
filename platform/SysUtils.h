#pragma once
// The run-time library routines the program relies on: format settings,
// number and date-time text, case conversion. Date-times are day counts
// since 1899-12-30 with the time of day as the fraction.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

using TDateTime = double;

struct TEraEntry {
  std::string name;
  int yearOffset = 0;
};

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongDateFormat = "dddd, MMMM d, yyyy";
  std::string ShortTimeFormat = "h:mm AMPM";
  std::string LongTimeFormat = "h:mm:ss AMPM";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames{};
  std::array<std::string, 12> LongMonthNames{};
  std::array<std::string, 7> ShortDayNames{};  // Sunday first
  std::array<std::string, 7> LongDayNames{};
  int TwoDigitYearCenturyWindow = 50;
  std::array<TEraEntry, 7> Eras{};  // EraNames and EraYearOffsets
  bool FarEast = false;

  // English names, "M/d/yyyy" and "h:mm:ss AMPM": a fixed, locale-free record.
  static TFormatSettings Default();
  // Filled from the system locale (LC_TIME / LC_NUMERIC of the environment).
  static TFormatSettings FromSystemLocale();
};

// The record the whole program reads. Replaced as a whole (tests set it explicitly).
const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

// Thrown by the StrTo... routines.
class EConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Numbers.
std::string IntToStr(int64_t value);
std::string FloatToStr(long double value);  // general format, 15 significant digits
int StrToInt(const std::string& s);         // decimal or "$" hex; throws EConvertError
int64_t StrToInt64(const std::string& s);
int StrToIntDef(const std::string& s, int def);
long double StrToFloat(const std::string& s);  // locale decimal separator; throws
bool TryStrToFloat(const std::string& s, long double& value);
bool TryStrToInt(const std::string& s, int& value);

// Dates and times.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// The day count (0 = 1899-12-30) of a proleptic Gregorian date and back,
// for any year and without checking the date.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);
TDateTime EncodeDate(int year, int month, int day);  // throws EConvertError when invalid
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& value);
void DecodeDate(TDateTime value, int& year, int& month, int& day);  // all 0 when no date of years 1..9999
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
TDateTime IncMonth(TDateTime value, int months = 1);  // day capped at the month's end; throws beyond 9999
int DayOfWeek(TDateTime value);                       // 1 = Sunday .. 7 = Saturday; 0 when no date
TDateTime Now();
TDateTime Date();

std::string FormatDateTime(const std::string& format, TDateTime value);
std::string DateTimeToStr(TDateTime value);
std::string DateToStr(TDateTime value);
std::string TimeToStr(TDateTime value);
TDateTime StrToDate(const std::string& s);  // throw EConvertError
TDateTime StrToTime(const std::string& s);
TDateTime StrToDateTime(const std::string& s);
// The same readings reporting failure as false.
bool TryStrToDate(const std::string& s, TDateTime& value);
bool TryStrToTime(const std::string& s, TDateTime& value);
// A date optionally followed by a time (text after the time is not examined), or a time alone.
bool TryStrToDateTime(const std::string& s, TDateTime& value);

// Case conversion: the Ansi forms change every letter (UTF-8 aware), the plain ones A-Z/a-z only.
std::string AnsiUpperCase(const std::string& s);
std::string AnsiLowerCase(const std::string& s);
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
int AnsiCompareText(const std::string& a, const std::string& b);  // case-insensitive, <0 / 0 / >0
int AnsiCompareStr(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);    // like CompareText: A-Z/a-z only
int CompareText(const std::string& a, const std::string& b);  // A-Z/a-z folded, byte order
std::string Trim(const std::string& s);                       // drops characters <= ' ' at both ends
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string TrimWs(const std::string& s);  // drops spaces, tabs, CR and LF at both ends

// Characters of UTF-8 text: counted, copied and searched by character, never splitting one.
int Utf8Length(const std::string& s);
std::string Utf8Copy(const std::string& s, int index, int count);  // 1-based, like Copy
int Utf8Pos(const std::string& sub, const std::string& s);         // 1-based, 0 when absent
// Appends one code point in UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);
