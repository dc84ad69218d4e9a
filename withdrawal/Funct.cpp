#include "withdrawal/Funct.h"

#include <chrono>
#include <ctime>

namespace {

void LocalTimeOfDay(int& hour, int& minute, int& second, int& msec) {
  auto now = std::chrono::system_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  localtime_r(&t, &tm);
  hour = tm.tm_hour;
  minute = tm.tm_min;
  second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second counts as the last one
  msec = static_cast<int>(ms % 1000);
}

}  // namespace

int32_t TimeOfDaySeconds() {
  int h, m, s, ms;
  LocalTimeOfDay(h, m, s, ms);
  return h * 3600 + m * 60 + s;
}

int32_t TimeOfDayMs() {
  int h, m, s, ms;
  LocalTimeOfDay(h, m, s, ms);
  return h * 3600000 + m * 60000 + s * 1000 + ms;
}

void Delay(int32_t milliseconds) {
  int32_t start = TimeOfDayMs();
  int32_t toMidnight = 86400000 - start;
  int32_t ms = milliseconds;
  for (;;) {
    int32_t now = TimeOfDayMs();
    if (now < start) {  // midnight passed
      start = TimeOfDayMs();
      ms -= toMidnight;
      toMidnight = 86400000 - start;
    }
    if (now >= ms + start) break;
  }
}
