#pragma once
// Calendar arithmetic on TDateTime day counts (day 0 is 1899-12-30), free of
// any locale, for the drivers' own date formats.

#include <cmath>
#include <cstdint>

#include "platform/SysUtils.h"

namespace dbdate {

inline bool ValidDate(int y, int m, int d) {
  return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

inline double Encode(int y, int m, int d) {
  return static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)));
}

// The date part of a TDateTime (negative values: the day is the integral part towards zero).
inline void Decode(double dt, int& y, int& m, int& d) {
  int64_t days = static_cast<int64_t>(std::trunc(dt));
  CivilFromDays(days, y, m, d);
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
