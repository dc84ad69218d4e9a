// Date-times as day counts since 1899-12-30: encoding, decoding, formatting
// and the locale-dependent reading of date and time text.

#include <cmath>
#include <cstdint>
#include <ctime>
#include <sys/time.h>

#include "platform/SysUtils.h"

namespace {

constexpr int64_t MSecsPerDay = 86400000;
constexpr int DateDelta = 693594;         // days from 0001-01-01 (day 1) to 1899-12-31
constexpr int64_t EraToDayZero = 693899;  // days from 0000-03-01 to 1899-12-30
// Beyond these the value is no date of years 1..9999.
constexpr double MinDateTime = -693593.0;
constexpr double MaxDateTime = 2958466.0;

const int MonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                              {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// The value as whole days since 0001-01-01 (1 = that day) and milliseconds of the
// day, rounded to the millisecond the way the run-time library does.
bool ToTimeStamp(TDateTime value, int64_t& date, int64_t& time) {
  if (!std::isfinite(value) || value <= MinDateTime - 1 || value >= MaxDateTime) return false;
  const int64_t ms = std::llround(value * static_cast<double>(MSecsPerDay));
  date = ms / MSecsPerDay + DateDelta;
  time = (ms < 0 ? -ms : ms) % MSecsPerDay;
  return true;
}

int CurrentYear() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm.tm_year + 1900;
}

// --- Reading date and time text -------------------------------------------

struct TScan {
  const std::string& s;
  size_t pos = 0;  // 0-based

  void Blanks() {
    while (pos < s.size() && s[pos] == ' ') ++pos;
  }
  bool Number(int& value, int& digits) {
    Blanks();
    size_t i = pos;
    int n = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && n < 1000) {
      n = n * 10 + (s[i] - '0');
      ++i;
    }
    if (i == pos) return false;
    digits = static_cast<int>(i - pos);
    pos = i;
    value = n;
    return true;
  }
  bool Char(char c) {
    Blanks();
    if (pos < s.size() && s[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  bool Designator(const std::string& text) {
    Blanks();
    if (text.empty() || pos >= s.size()) return false;
    const std::string here = Utf8Copy(s.substr(pos), 1, Utf8Length(text));
    if (AnsiLowerCase(here) != AnsiLowerCase(text)) return false;
    pos += here.size();
    return true;
  }
  bool AtEnd() const { return pos >= s.size(); }
};

enum TDateOrder { doMDY, doDMY, doYMD };

TDateOrder GetDateOrder(const std::string& format) {
  for (char c : format) {
    switch (c & 0xDF) {
      case 'E':
      case 'Y': return doYMD;
      case 'M': return doMDY;
      case 'D': return doDMY;
      default: break;
    }
  }
  return doMDY;
}

int EraOffsetOf(const std::string& name, const TFormatSettings& f) {
  if (name.empty()) return 0;
  for (const TEraEntry& e : f.Eras) {
    if (e.name.empty()) break;
    if (e.name.find(name) != std::string::npos) return e.yearOffset;
  }
  return 0;
}

bool ScanTime(TScan& sc, TDateTime& value) {
  const TFormatSettings& f = FormatSettings();
  int baseHour = -1;
  if (sc.Designator(f.TimeAMString) || sc.Designator("AM"))
    baseHour = 0;
  else if (sc.Designator(f.TimePMString) || sc.Designator("PM"))
    baseHour = 12;
  if (baseHour >= 0) sc.Blanks();
  int hour, min = 0, sec = 0, msec = 0, junk;
  if (!sc.Number(hour, junk)) return false;
  if (!sc.Char(f.TimeSeparator)) return false;
  if (!sc.Number(min, junk)) return false;
  if (sc.Char(f.TimeSeparator)) {
    if (!sc.Number(sec, junk)) return false;
    if (sc.Char(f.DecimalSeparator) && !sc.Number(msec, junk)) return false;
  }
  if (baseHour < 0) {
    if (sc.Designator(f.TimeAMString) || sc.Designator("AM"))
      baseHour = 0;
    else if (sc.Designator(f.TimePMString) || sc.Designator("PM"))
      baseHour = 12;
  }
  if (baseHour >= 0) {
    if (hour == 0 || hour > 12) return false;
    if (hour == 12) hour = 0;
    hour += baseHour;
  }
  sc.Blanks();
  return TryEncodeTime(hour, min, sec, msec, value);
}

bool ScanDate(TScan& sc, TDateTime& value) {
  const TFormatSettings& f = FormatSettings();
  const TDateOrder order = GetDateOrder(f.ShortDateFormat);
  int eraOffset = 0;
  if (!f.ShortDateFormat.empty() && f.ShortDateFormat[0] == 'g') {
    // The era name is the text before the first digit.
    while (sc.pos < sc.s.size() && !(sc.s[sc.pos] >= '0' && sc.s[sc.pos] <= '9')) ++sc.pos;
    eraOffset = EraOffsetOf(Trim(sc.s.substr(0, sc.pos)), f);
  } else if (f.ShortDateFormat.find('e') != std::string::npos) {
    eraOffset = f.Eras[0].yearOffset;
  }
  int n1, n2, n3, l1, l2, l3;
  if (!(sc.Number(n1, l1) && sc.Char(f.DateSeparator) && sc.Number(n2, l2))) return false;
  int y, m, d;
  if (sc.Char(f.DateSeparator)) {
    if (!sc.Number(n3, l3)) return false;
    int yearLen;
    switch (order) {
      case doMDY:
        y = n3;
        yearLen = l3;
        m = n1;
        d = n2;
        break;
      case doDMY:
        y = n3;
        yearLen = l3;
        m = n2;
        d = n1;
        break;
      default:
        y = n1;
        yearLen = l1;
        m = n2;
        d = n3;
        break;
    }
    if (eraOffset > 0) {
      y += eraOffset;
    } else if (yearLen <= 2) {
      const int base = CurrentYear() - f.TwoDigitYearCenturyWindow;
      y += base / 100 * 100;
      if (f.TwoDigitYearCenturyWindow > 0 && y < base) y += 100;
    }
  } else {
    y = CurrentYear();
    if (order == doDMY) {
      d = n1;
      m = n2;
    } else {
      m = n1;
      d = n2;
    }
  }
  sc.Char(f.DateSeparator);
  sc.Blanks();
  if (f.FarEast && f.ShortDateFormat.find("ddd") != std::string::npos) {
    // A day name after the date is passed over.
    while (sc.pos < sc.s.size() &&
           (static_cast<unsigned char>(sc.s[sc.pos]) >= 0x80 || std::isalpha(static_cast<unsigned char>(sc.s[sc.pos]))))
      ++sc.pos;
  }
  return TryEncodeDate(y, m, d, value);
}

// --- Formatting ------------------------------------------------------------

struct TFormatter {
  const TFormatSettings& f;
  TDateTime value;
  std::string out;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
  bool haveDate = false, haveTime = false, valid = true;
  bool use12Hour = false;

  void GetDate() {
    if (!haveDate) DecodeDate(value, year, month, day);
    haveDate = true;
  }
  void GetTime() {
    if (!haveTime) DecodeTime(value, hour, minute, second, msec);
    haveTime = true;
  }
  int DayIndex() {  // 0 = Sunday, -1 for a value that is no date
    const int dow = DayOfWeek(value);
    return dow >= 1 && dow <= 7 ? dow - 1 : -1;
  }
  void Number(int n, int digits) {
    std::string s = std::to_string(n < 0 ? -n : n);
    if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    out += s;
  }
  template <size_t N>
  void Name(const std::array<std::string, N>& names, int index) {
    if (index >= 0 && index < static_cast<int>(N)) out += names[static_cast<size_t>(index)];
  }
  static bool StartsNoCase(const std::string& fmt, size_t i, const char* what) {
    for (size_t k = 0; what[k]; ++k) {
      if (i + k >= fmt.size()) return false;
      char c = fmt[i + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (c != what[k]) return false;
    }
    return true;
  }
  void EraName(int count) {
    GetDate();
    const TEraEntry* era = nullptr;
    for (const TEraEntry& e : f.Eras)
      if (!e.name.empty() && e.yearOffset < year && (!era || e.yearOffset > era->yearOffset)) era = &e;
    if (era) out += count == 1 ? Utf8Copy(era->name, 1, 1) : era->name;
  }
  int EraYear() {
    GetDate();
    int best = -1;
    for (const TEraEntry& e : f.Eras)
      if (!e.name.empty() && e.yearOffset < year && e.yearOffset > best) best = e.yearOffset;
    return best >= 0 ? year - best : year;
  }

  void Append(const std::string& fmt, int level) {
    if (level >= 2) return;  // a format naming itself through ddddd / c / t stops here
    char lastToken = ' ';
    size_t i = 0;
    while (i < fmt.size()) {
      const char startChar = fmt[i++];
      char token = startChar;
      if (token >= 'a' && token <= 'z') token = static_cast<char>(token - 32);
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      auto count = [&]() {
        size_t n = 1;
        while (i < fmt.size() && fmt[i] == startChar) ++i, ++n;
        return static_cast<int>(n);
      };
      switch (token) {
        case 'Y': {
          const int c = count();
          GetDate();
          if (c <= 2)
            Number(year % 100, 2);
          else
            Number(year, 4);
          break;
        }
        case 'G': EraName(count()); break;
        case 'E': {
          const int c = count();
          Number(EraYear(), c <= 1 ? 1 : 2);
          break;
        }
        case 'M': {
          const int c = count();
          GetDate();
          if (c <= 2)
            Number(month, c);
          else if (c == 3)
            Name(f.ShortMonthNames, month - 1);
          else
            Name(f.LongMonthNames, month - 1);
          break;
        }
        case 'D': {
          const int c = count();
          if (c <= 2) {
            GetDate();
            Number(day, c);
          } else if (c == 3) {
            Name(f.ShortDayNames, DayIndex());
          } else if (c == 4) {
            Name(f.LongDayNames, DayIndex());
          } else if (c == 5) {
            Append(f.ShortDateFormat, level + 1);
          } else {
            Append(f.LongDateFormat, level + 1);
          }
          break;
        }
        case 'H': {
          int c = count();
          GetTime();
          // A 12-hour clock when an am/pm marker follows before the next hour.
          bool quoted = false;
          for (size_t p = i; p < fmt.size(); ++p) {
            const char ch = fmt[p];
            if ((ch == 'A' || ch == 'a') && !quoted) {
              if (StartsNoCase(fmt, p, "AM/PM") || StartsNoCase(fmt, p, "A/P") || StartsNoCase(fmt, p, "AMPM"))
                use12Hour = true;
              break;
            }
            if (ch == 'H' || ch == 'h') break;
            if (ch == '\'' || ch == '"') quoted = !quoted;
          }
          int h = hour;
          if (use12Hour) {
            if (h == 0)
              h = 12;
            else if (h > 12)
              h -= 12;
          }
          if (c > 2) c = 2;
          Number(h, c);
          break;
        }
        case 'N': {
          int c = count();
          GetTime();
          Number(minute, c > 2 ? 2 : c);
          break;
        }
        case 'S': {
          int c = count();
          GetTime();
          Number(second, c > 2 ? 2 : c);
          break;
        }
        case 'T': {
          const int c = count();
          Append(c == 1 ? f.ShortTimeFormat : f.LongTimeFormat, level + 1);
          break;
        }
        case 'Z': {
          int c = count();
          GetTime();
          Number(msec, c > 3 ? 3 : c);
          break;
        }
        case 'A': {
          GetTime();
          const size_t p = i - 1;
          if (StartsNoCase(fmt, p, "AM/PM")) {
            out += fmt.substr(hour >= 12 ? p + 3 : p, 2);
            i += 4;
            use12Hour = true;
          } else if (StartsNoCase(fmt, p, "A/P")) {
            out += fmt.substr(hour >= 12 ? p + 2 : p, 1);
            i += 2;
            use12Hour = true;
          } else if (StartsNoCase(fmt, p, "AMPM")) {
            out += hour < 12 ? f.TimeAMString : f.TimePMString;
            i += 3;
            use12Hour = true;
          } else if (StartsNoCase(fmt, p, "AAAA")) {
            Name(f.LongDayNames, DayIndex());
            i += 3;
          } else if (StartsNoCase(fmt, p, "AAA")) {
            Name(f.ShortDayNames, DayIndex());
            i += 2;
          } else {
            out += startChar;
          }
          break;
        }
        case 'C': {
          count();
          Append(f.ShortDateFormat, level + 1);
          GetTime();
          if (hour != 0 || minute != 0 || second != 0) {
            out += ' ';
            Append(f.LongTimeFormat, level + 1);
          }
          break;
        }
        case '/':
          if (f.DateSeparator) out += f.DateSeparator;
          break;
        case ':':
          if (f.TimeSeparator) out += f.TimeSeparator;
          break;
        case '\'':
        case '"': {
          const size_t end = fmt.find(startChar, i);
          if (end == std::string::npos) {
            out += fmt.substr(i);
            i = fmt.size();
          } else {
            out += fmt.substr(i, end - i);
            i = end + 1;
          }
          break;
        }
        default: out += startChar; break;
      }
    }
  }
};

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  return MonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

// Counted in 400-year eras of 146097 days from 0000-03-01, so that the leap
// day ends its year.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - EraToDayZero;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  const int64_t z = days + EraToDayZero;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  value = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)));
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime v;
  if (!TryEncodeDate(year, month, day, v)) throw EConvertError("Invalid argument to date encode");
  return v;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& value) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 || msec < 0 || msec >= 1000)
    return false;
  value =
      static_cast<double>(hour * 3600000 + minute * 60000 + second * 1000 + msec) / static_cast<double>(MSecsPerDay);
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime v;
  if (!TryEncodeTime(hour, minute, second, msec, v)) throw EConvertError("Invalid argument to time encode");
  return v;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int64_t date, time;
  if (!ToTimeStamp(value, date, time) || date < 1) {
    year = month = day = 0;
    return;
  }
  CivilFromDays(date - DateDelta, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  int64_t date, time;
  if (!ToTimeStamp(value, date, time)) {
    hour = minute = second = msec = 0;
    return;
  }
  hour = static_cast<int>(time / 3600000);
  minute = static_cast<int>(time / 60000 % 60);
  second = static_cast<int>(time / 1000 % 60);
  msec = static_cast<int>(time % 1000);
}

int DayOfWeek(TDateTime value) {
  int64_t date, time;
  if (!ToTimeStamp(value, date, time) || date < 1) return 0;
  return static_cast<int>(date % 7) + 1;
}

TDateTime IncMonth(TDateTime value, int months) {
  int year, month, day;
  DecodeDate(value, year, month, day);
  if (year == 0) throw EConvertError("Invalid argument to date encode");
  int64_t total = static_cast<int64_t>(year) * 12 + (month - 1) + months;
  const int64_t y = total >= 0 ? total / 12 : (total - 11) / 12;
  const int m = static_cast<int>(total - y * 12) + 1;
  if (y < 1 || y > 9999) throw EConvertError("Invalid argument to date encode");
  const int dim = DaysInMonth(static_cast<int>(y), m);
  if (day > dim) day = dim;
  TDateTime result = EncodeDate(static_cast<int>(y), m, day);
  const double frac = std::fabs(value - std::trunc(value));
  return result >= 0 ? result + frac : result - frac;
}

TDateTime Now() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::time_t t = tv.tv_sec;
  std::tm tm{};
  localtime_r(&t, &tm);
  TDateTime d = 0, tt = 0;
  TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, d);
  TryEncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(tv.tv_usec / 1000), tt);
  return d + tt;
}

TDateTime Date() { return std::trunc(Now()); }

std::string FormatDateTime(const std::string& format, TDateTime value) {
  TFormatter fm{FormatSettings(), value, {}};
  fm.Append(format.empty() ? std::string("C") : format, 0);
  return fm.out;
}

std::string DateTimeToStr(TDateTime value) { return FormatDateTime("", value); }
std::string DateToStr(TDateTime value) { return FormatDateTime(FormatSettings().ShortDateFormat, value); }
std::string TimeToStr(TDateTime value) { return FormatDateTime(FormatSettings().LongTimeFormat, value); }

bool TryStrToDate(const std::string& s, TDateTime& value) {
  TScan sc{s};
  return ScanDate(sc, value) && sc.AtEnd();
}

bool TryStrToTime(const std::string& s, TDateTime& value) {
  TScan sc{s};
  return ScanTime(sc, value) && sc.AtEnd();
}

bool TryStrToDateTime(const std::string& s, TDateTime& value) {
  TScan sc{s};
  TDateTime date = 0, time = 0;
  if (ScanDate(sc, date) && (sc.AtEnd() || ScanTime(sc, time))) {
    value = date >= 0 ? date + time : date - time;
    return true;
  }
  return TryStrToTime(s, value);
}

TDateTime StrToDate(const std::string& s) {
  TDateTime v;
  if (!TryStrToDate(s, v)) throw EConvertError("'" + s + "' is not a valid date");
  return v;
}

TDateTime StrToTime(const std::string& s) {
  TDateTime v;
  if (!TryStrToTime(s, v)) throw EConvertError("'" + s + "' is not a valid time");
  return v;
}

TDateTime StrToDateTime(const std::string& s) {
  TDateTime v;
  if (!TryStrToDateTime(s, v)) throw EConvertError("'" + s + "' is not a valid date and time");
  return v;
}
