// Times the settings store: a key open (one file read) and a value write
// (read, rewrite, rename) on a file of realistic size.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/Registry.h"

int main() {
  char tmpl[] = "/tmp/lp-bench-reg-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  TRegistry reg(dir + "/registry.reg");
  reg.OpenKey("\\" + RegKeyPath, true);
  for (int i = 0; i < 200; ++i) reg.WriteString("Value" + std::to_string(i), std::string(60, 'x'));
  reg.CloseKey();

  using Clock = std::chrono::steady_clock;
  constexpr int Opens = 2000, Writes = 200;
  auto t0 = Clock::now();
  for (int i = 0; i < Opens; ++i) {
    reg.OpenKey("\\" + RegKeyPath, false);
    reg.CloseKey();
  }
  auto t1 = Clock::now();
  reg.OpenKey("\\" + RegKeyPath, false);
  for (int i = 0; i < Writes; ++i) reg.WriteInteger("Threads", i);
  auto t2 = Clock::now();
  auto us = [](auto d) { return std::chrono::duration<double, std::micro>(d).count(); };
  std::printf("open key: %.1f us each (%d opens)\n", us(t1 - t0) / Opens, Opens);
  std::printf("write value: %.1f us each (%d writes)\n", us(t2 - t1) / Writes, Writes);
  std::filesystem::remove_all(dir);
  return 0;
}
