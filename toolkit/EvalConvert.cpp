#include "toolkit/EvalConvert.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>

namespace {

locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

long double TextToExtended(const std::string& s, int& code) {
  const size_t n = s.size();
  size_t i = 0;
  auto fail = [&](size_t at) {
    code = static_cast<int>(at + 1);
    return 0.0L;
  };
  while (i < n && s[i] == ' ') ++i;
  const size_t start = i;
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return fail(i);
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= n || !IsDigit(s[i])) return fail(i);
    while (i < n && IsDigit(s[i])) ++i;
  }
  if (i < n) return fail(i);
  const std::string number = s.substr(start);
  const long double v = strtold_l(number.c_str(), nullptr, CLocale());
  if (std::isinf(v)) return fail(n - 1);  // beyond the range of the type
  code = 0;
  return v;
}

std::string ExtendedToText(long double value) {
  std::string s = FloatToStr(value);
  const size_t comma = s.find(',');
  if (comma != std::string::npos) s[comma] = '.';
  return s;
}

bool IsIntegral(long double value) { return std::isfinite(value) && value == std::roundl(value); }

bool TryTextToTime(const std::string& s, TDateTime& value) { return TryStrToTime(s, value); }

bool TryTextToDateTime(const std::string& s, TDateTime& value) { return TryStrToDateTime(s, value); }
