#pragma once
// Calendar arithmetic on TDateTime day counts (day 0 is 1899-12-30), free of
// any locale, for the drivers' own date formats.

#include <cmath>
#include <cstdint>

namespace dbdate {

inline int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;  // days since 1970-01-01
}

inline void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t kUnixToDelphi = 25569;  // 1970-01-01 as a TDateTime

inline bool ValidDate(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int dim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int max = dim[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) max = 29;
  return d <= max;
}

inline double Encode(int y, int m, int d) {
  return static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) + kUnixToDelphi);
}

// The date part of a TDateTime (negative values: the day is the integral part towards zero).
inline void Decode(double dt, int& y, int& m, int& d) {
  int64_t days = static_cast<int64_t>(std::trunc(dt));
  CivilFromDays(days - kUnixToDelphi, y, m, d);
}

// Milliseconds of the day of a TDateTime.
inline int64_t TimeMs(double dt) {
  double frac = std::fabs(dt - std::trunc(dt));
  int64_t ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  return ms;
}

// Julian day number of a TDateTime's date (FoxPro 'T' fields).
inline int64_t JulianDay(double dt) { return static_cast<int64_t>(std::trunc(dt)) + 2415019; }
inline double FromJulianDay(int64_t jd) { return static_cast<double>(jd - 2415019); }

}  // namespace dbdate
