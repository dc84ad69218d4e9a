#pragma once
// Wall time and peak memory for the bench programs.

#include <sys/resource.h>

#include <chrono>

using BenchClock = std::chrono::steady_clock;

inline double Seconds(BenchClock::time_point since) {
  return std::chrono::duration<double>(BenchClock::now() - since).count();
}

// The process's peak resident size so far (ru_maxrss: KB on Linux).
inline long PeakKb() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}
