// Stores 50,000 small messages, printing the cost of one store when the
// store holds 1,000, 10,000 and 50,000 (it should stay flat), then lists them
// with bodies skipped and reads 100 in full. Listing twice as many messages
// should take about twice as long.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "withdrawal/ExtractData.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 50000;
  // The cost per message is measured over the stores just before each mark.
  const int marks[] = {1000, 10000, 50000};
  const int window = 500;
  auto folder = std::filesystem::temp_directory_path() / ("larkpost_bench_store_" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  {
    TExtractData store(folder);
    TDateTime clock = 46001.0;
    store.Clock = [&] { return clock; };

    auto t0 = std::chrono::steady_clock::now();
    auto windowStart = t0;
    for (int i = 0; i < count; ++i) {
      for (int mark : marks)
        if (i == mark - window) windowStart = std::chrono::steady_clock::now();
      TIdMessage m;
      m.From.SetText("sender" + std::to_string(i) + "@example.org");
      m.Recipients.Add("to@example.org");
      m.Subject = "Message " + std::to_string(i);
      m.Date = 46000.0 + i / 1000.0;
      m.MsgId = "<" + std::to_string(i) + "@example.org>";
      m.Body = {"Hello,", "this is message number " + std::to_string(i) + ".", "", "Regards"};
      store.StoreMessage(m, "Inbox");
      clock += 1.0 / 86400000.0;  // one millisecond later: a new entry each time
      for (int mark : marks)
        if (i + 1 == mark)
          std::printf("store with %d held: %.1f us per message\n", mark,
                      Seconds(windowStart) * 1e6 / std::min(window, mark));
    }
    std::printf("store %d messages: %.3f s\n", count, Seconds(t0));

    t0 = std::chrono::steady_clock::now();
    store.ReadMailList();
    std::printf("list %zu messages (bodies skipped): %.3f s\n", store.MailList.size(), Seconds(t0));

    t0 = std::chrono::steady_clock::now();
    size_t lines = 0;
    for (size_t i = 0; i < 100 && i < store.MailList.size(); ++i) {
      auto m = store.ReadFullMessage(store.MailList[i * store.MailList.size() / 100].EntryName);
      if (m) lines += m->Body.size();
    }
    std::printf("read 100 in full (%zu body lines): %.3f s\n", lines, Seconds(t0));
    std::printf("file size: %lld bytes\n",
                static_cast<long long>(std::filesystem::file_size(folder / "Popmail.dat")));
  }
  std::filesystem::remove_all(folder);
  return 0;
}
