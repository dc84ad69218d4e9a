// Small text helpers of the MIME units, and date-time conversions.

#include <cmath>
#include <cstring>

#include "net/MimeInternal.h"

namespace netmime {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string TrimWs(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

std::string CleanHeaderText(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = ' ';
  }
  return out;
}

std::string GFree(char* s) {
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

// A MIME token: what may stand as a type or subtype without starting another header.
static bool IsMimeToken(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (c <= 0x20 || c >= 0x7f || strchr("()<>@,;:\\\"/[]?=", c)) return false;
  return true;
}

bool SplitType(const std::string& full, std::string& type, std::string& sub) {
  std::string t = Lower(TrimWs(full.substr(0, full.find(';'))));
  size_t slash = t.find('/');
  if (slash != std::string::npos) {
    type = TrimWs(t.substr(0, slash));
    sub = TrimWs(t.substr(slash + 1));
    if (IsMimeToken(type) && IsMimeToken(sub)) return true;
  }
  type = "text";
  sub = "plain";
  return false;
}


// ---- date-times

namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kDelphiEpochDays = DaysFromCivil(1899, 12, 30);

}  // namespace

TDateTime FromGDateTime(GDateTime* dt) {
  GDateTime* local = g_date_time_to_local(dt);
  if (!local) return 0;
  int64_t days = DaysFromCivil(g_date_time_get_year(local), static_cast<unsigned>(g_date_time_get_month(local)),
                               static_cast<unsigned>(g_date_time_get_day_of_month(local))) -
                 kDelphiEpochDays;
  double secs = g_date_time_get_hour(local) * 3600.0 + g_date_time_get_minute(local) * 60.0 +
                g_date_time_get_second(local);
  g_date_time_unref(local);
  return static_cast<double>(days) + secs / 86400.0;
}

GDateTime* ToGDateTime(TDateTime v) {
  if (!std::isfinite(v) || v < -600000 || v > 3000000) return g_date_time_new_now_local();
  double whole = std::floor(v);
  int y, m, d;
  CivilFromDays(static_cast<int64_t>(whole) + kDelphiEpochDays, y, m, d);
  int secs = static_cast<int>(std::lround((v - whole) * 86400.0));
  if (secs >= 86400) secs = 86399;
  GDateTime* dt = g_date_time_new_local(y, m, d, secs / 3600, (secs / 60) % 60, secs % 60);
  return dt ? dt : g_date_time_new_now_local();
}

}  // namespace netmime
