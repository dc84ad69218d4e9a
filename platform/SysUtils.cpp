// Format settings, number text and trimming.

#include "platform/SysUtils.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const std::array<std::string, 12> EnglishShortMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const std::array<std::string, 12> EnglishLongMonths = {"January",   "February", "March",    "April",
                                                       "May",       "June",     "July",     "August",
                                                       "September", "October",  "November", "December"};
const std::array<std::string, 7> EnglishShortDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const std::array<std::string, 7> EnglishLongDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                    "Thursday", "Friday", "Saturday"};

// Turns a strftime format into the run-time library's letters. The first
// punctuation character met is the separator; it is written as sepLetter ("/"
// in dates, ":" in times), which FormatDateTime turns back into the separator.
std::string TranslateStrftime(const char* fmt, char sepLetter, char& separator, int depth = 0) {
  std::string out;
  if (!fmt || depth > 3) return out;
  for (const char* p = fmt; *p; ++p) {
    const unsigned char u = static_cast<unsigned char>(*p);
    if (*p != '%') {
      if (std::isalpha(u)) {
        out += '"';
        out += *p;
        out += '"';
      } else if (u < 0x80 && std::ispunct(u) && *p != ',' && *p != '"' && *p != '\'') {
        if (!separator) separator = *p;
        out += *p == separator ? sepLetter : *p;
      } else {
        out += *p;
      }
      continue;
    }
    ++p;
    while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0' || *p == '^' || *p == '#') ++p;
    switch (*p) {
      case 'd': out += "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += "mm"; break;
      case 'b':
      case 'h': out += "mmm"; break;
      case 'B': out += "mmmm"; break;
      case 'y': out += "yy"; break;
      case 'Y':
      case 'C': out += "yyyy"; break;
      case 'a': out += "ddd"; break;
      case 'A': out += "dddd"; break;
      case 'H': out += "hh"; break;
      case 'k':
      case 'I':
      case 'l': out += "h"; break;
      case 'M': out += "nn"; break;
      case 'S': out += "ss"; break;
      case 'p':
      case 'P': out += "AMPM"; break;
      case 'D': out += TranslateStrftime("%m/%d/%y", sepLetter, separator, depth + 1); break;
      case 'F': out += TranslateStrftime("%Y-%m-%d", sepLetter, separator, depth + 1); break;
      case 'T': out += TranslateStrftime("%H:%M:%S", sepLetter, separator, depth + 1); break;
      case 'R': out += TranslateStrftime("%H:%M", sepLetter, separator, depth + 1); break;
      case 'r': out += TranslateStrftime("%I:%M:%S %p", sepLetter, separator, depth + 1); break;
      case '%': out += '%'; break;
      case '\0': return out;
      default: break;
    }
  }
  return out;
}

std::string Trimmed(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && s[a] == ' ') ++a;
  while (b > a && s[b - 1] == ' ') --b;
  return s.substr(a, b - a);
}

char SingleByte(const char* s, char fallback) {
  if (s && s[0] && !s[1] && static_cast<unsigned char>(s[0]) < 0x80) return s[0];
  return fallback;
}

TFormatSettings& Current() {
  static TFormatSettings settings = TFormatSettings::FromSystemLocale();
  return settings;
}

locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

// Val-style integer reading: leading spaces, sign, decimal or "$"/"0x" hex.
bool ReadInteger(const std::string& s, int bits, int64_t& out) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool neg = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  const uint64_t hexMax = bits == 32 ? 0xFFFFFFFFull : ~0ull;
  const uint64_t decMax =
      bits == 32 ? (neg ? 2147483648ull : 2147483647ull) : (neg ? 9223372036854775808ull : 9223372036854775807ull);
  uint64_t v = 0;
  for (; i < n; ++i) {
    const char c = s[i];
    unsigned d;
    if (c >= '0' && c <= '9')
      d = static_cast<unsigned>(c - '0');
    else if (hex && c >= 'a' && c <= 'f')
      d = static_cast<unsigned>(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F')
      d = static_cast<unsigned>(c - 'A' + 10);
    else
      return false;
    if (hex) {
      if (v > (hexMax >> 4)) return false;
      v = (v << 4) | d;
    } else {
      if (v > (decMax - d) / 10) return false;
      v = v * 10 + d;
    }
  }
  if (neg) v = ~v + 1;  // two's complement without signed overflow
  if (bits == 32)
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
  else
    out = static_cast<int64_t>(v);
  return true;
}

}  // namespace

TFormatSettings TFormatSettings::Default() {
  TFormatSettings f;
  f.ShortMonthNames = EnglishShortMonths;
  f.LongMonthNames = EnglishLongMonths;
  f.ShortDayNames = EnglishShortDays;
  f.LongDayNames = EnglishLongDays;
  return f;
}

TFormatSettings TFormatSettings::FromSystemLocale() {
  TFormatSettings f = Default();
  locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return f;
  std::unique_ptr<std::remove_pointer_t<locale_t>, void (*)(locale_t)> guard(loc, freelocale);

  f.DecimalSeparator = SingleByte(nl_langinfo_l(RADIXCHAR, loc), '.');
  const char* thousands = nl_langinfo_l(THOUSEP, loc);
  f.ThousandSeparator = (thousands && *thousands) ? SingleByte(thousands, ' ') : ',';
  if (f.ThousandSeparator == f.DecimalSeparator) f.ThousandSeparator = f.DecimalSeparator == ',' ? '.' : ',';

  char dateSep = 0;
  const std::string shortDate = TranslateStrftime(nl_langinfo_l(D_FMT, loc), '/', dateSep);
  if (!shortDate.empty()) {
    f.ShortDateFormat = shortDate;
    f.DateSeparator = dateSep ? dateSep : '/';
  }
  char timeSep = 0;
  const std::string longTime = TranslateStrftime(nl_langinfo_l(T_FMT, loc), ':', timeSep);
  if (!longTime.empty()) {
    f.TimeSeparator = timeSep ? timeSep : ':';
    f.LongTimeFormat = longTime;
    // The short form drops the seconds.
    std::string shortTime = longTime;
    const size_t sec = shortTime.find(":ss");
    if (sec != std::string::npos) shortTime.erase(sec, 3);
    f.ShortTimeFormat = shortTime;
  }
  f.TimeAMString = nl_langinfo_l(AM_STR, loc);
  f.TimePMString = nl_langinfo_l(PM_STR, loc);
  if (f.LongTimeFormat.find("AMPM") != std::string::npos) {
    if (f.TimeAMString.empty()) f.TimeAMString = "AM";
    if (f.TimePMString.empty()) f.TimePMString = "PM";
  }
  for (int i = 0; i < 12; ++i) {
    const char* s = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), loc);
    const char* l = nl_langinfo_l(static_cast<nl_item>(MON_1 + i), loc);
    if (s && *s) f.ShortMonthNames[i] = s;
    if (l && *l) f.LongMonthNames[i] = l;
  }
  for (int i = 0; i < 7; ++i) {
    const char* s = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), loc);
    const char* l = nl_langinfo_l(static_cast<nl_item>(DAY_1 + i), loc);
    if (s && *s) f.ShortDayNames[i] = s;
    if (l && *l) f.LongDayNames[i] = l;
  }
  const char* name = setlocale(LC_TIME, nullptr);
  const char* env = std::getenv("LC_ALL");
  if (!env || !*env) env = std::getenv("LC_TIME");
  if (!env || !*env) env = std::getenv("LANG");
  const std::string lang = env ? env : (name ? name : "");
  f.FarEast = lang.rfind("ja", 0) == 0 || lang.rfind("zh", 0) == 0 || lang.rfind("ko", 0) == 0;
  return f;
}

const TFormatSettings& FormatSettings() { return Current(); }
void SetFormatSettings(const TFormatSettings& settings) { Current() = settings; }

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string FloatToStr(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14Le", value);  // 15 significant digits, rounded
  // buf: [-]d.ddddddddddddddde[+-]xx
  const char* p = buf;
  const bool neg = *p == '-';
  if (neg) ++p;
  std::string digits;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const int exp10 = *p == 'e' ? std::atoi(p + 1) : 0;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int exponent = exp10 + 1;  // value = 0.digits * 10^exponent
  const char sep = FormatSettings().DecimalSeparator;
  std::string out = neg ? "-" : "";
  if (exponent > 15 || exponent < -3) {
    out += digits[0];
    if (digits.size() > 1) {
      out += sep;
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exp10);
    return out;
  }
  if (exponent <= 0) {
    out += '0';
    out += sep;
    out.append(static_cast<size_t>(-exponent), '0');
    out += digits;
  } else if (static_cast<size_t>(exponent) >= digits.size()) {
    out += digits;
    out.append(static_cast<size_t>(exponent) - digits.size(), '0');
  } else {
    out += digits.substr(0, static_cast<size_t>(exponent));
    out += sep;
    out += digits.substr(static_cast<size_t>(exponent));
  }
  return out;
}

bool TryStrToInt(const std::string& s, int& value) {
  int64_t v;
  if (!ReadInteger(s, 32, v)) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToInt(const std::string& s) {
  int v;
  if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

int64_t StrToInt64(const std::string& s) {
  int64_t v;
  if (!ReadInteger(s, 64, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

int StrToIntDef(const std::string& s, int def) {
  int v;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToFloat(const std::string& s, long double& value) {
  const std::string t = Trimmed(s);
  const char sep = FormatSettings().DecimalSeparator;
  std::string c;  // the number rewritten for the C locale
  size_t i = 0;
  const size_t n = t.size();
  if (i < n && (t[i] == '+' || t[i] == '-')) c += t[i++];
  size_t digits = 0;
  while (i < n && t[i] >= '0' && t[i] <= '9') c += t[i++], ++digits;
  if (i < n && t[i] == sep) {
    c += '.';
    ++i;
    while (i < n && t[i] >= '0' && t[i] <= '9') c += t[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    c += 'e';
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) c += t[i++];
    size_t expDigits = 0;
    while (i < n && t[i] >= '0' && t[i] <= '9') c += t[i++], ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;
  const long double v = strtold_l(c.c_str(), nullptr, CLocale());
  if (std::isinf(v)) return false;
  value = v;
  return true;
}

long double StrToFloat(const std::string& s) {
  long double v;
  if (!TryStrToFloat(s, v)) throw EConvertError("'" + s + "' is not a valid floating point value");
  return v;
}

std::string TrimLeft(const std::string& s) {
  size_t a = 0;
  while (a < s.size() && static_cast<unsigned char>(s[a]) <= ' ') ++a;
  return s.substr(a);
}

std::string TrimRight(const std::string& s) {
  size_t b = s.size();
  while (b > 0 && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
  return s.substr(0, b);
}

std::string Trim(const std::string& s) { return TrimRight(TrimLeft(s)); }

std::string TrimWs(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}
