// Small text helpers of the MIME units, and date-time conversions.

#include <cmath>
#include <cstring>

#include "net/MimeInternal.h"

namespace netmime {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
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

TDateTime FromGDateTime(GDateTime* dt) {
  GDateTime* local = g_date_time_to_local(dt);
  if (!local) return 0;
  int64_t days = DaysFromCivil(g_date_time_get_year(local), static_cast<unsigned>(g_date_time_get_month(local)),
                               static_cast<unsigned>(g_date_time_get_day_of_month(local)));
  double secs =
      g_date_time_get_hour(local) * 3600.0 + g_date_time_get_minute(local) * 60.0 + g_date_time_get_second(local);
  g_date_time_unref(local);
  return static_cast<double>(days) + secs / 86400.0;
}

GDateTime* ToGDateTime(TDateTime v) {
  if (!std::isfinite(v) || v < -600000 || v > 3000000) return g_date_time_new_now_local();
  double whole = std::floor(v);
  int y, m, d;
  CivilFromDays(static_cast<int64_t>(whole), y, m, d);
  int secs = static_cast<int>(std::lround((v - whole) * 86400.0));
  if (secs >= 86400) secs = 86399;
  GDateTime* dt = g_date_time_new_local(y, m, d, secs / 3600, (secs / 60) % 60, secs % 60);
  return dt ? dt : g_date_time_new_now_local();
}

}  // namespace netmime
