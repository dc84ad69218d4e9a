// Stores 10,000 small messages, lists them with bodies skipped and reads 100
// in full, printing the time of each step. Listing twice as many messages
// should take about twice as long.

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
  int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  auto folder = std::filesystem::temp_directory_path() / ("larkpost_bench_store_" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  {
    TExtractData store(folder);
    TDateTime clock = 46001.0;
    store.Clock = [&] { return clock; };

    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      TIdMessage m;
      m.From.SetText("sender" + std::to_string(i) + "@example.org");
      m.Recipients.Add("to@example.org");
      m.Subject = "Message " + std::to_string(i);
      m.Date = 46000.0 + i / 1000.0;
      m.MsgId = "<" + std::to_string(i) + "@example.org>";
      m.Body = {"Hello,", "this is message number " + std::to_string(i) + ".", "", "Regards"};
      store.StoreMessage(m, "Inbox");
      clock += 1.0 / 86400000.0;  // one millisecond later: a new entry each time
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
