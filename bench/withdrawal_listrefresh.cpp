// The message list after each stored message: joining the new message to the
// list in place, against reading the whole store again each time.
// Usage: bench_withdrawal_listrefresh [stored messages] [new messages]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "withdrawal/ExtractData.h"
#include "withdrawal/MailView.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

TIdMessage Reply(int i) {
  TIdMessage m;
  m.Subject = "Re: order " + std::to_string(i);
  m.From.Address = "customer" + std::to_string(i) + "@example.com";
  m.From.Name = "Customer " + std::to_string(i);
  m.Date = 46000 + i / 1440.0;
  m.SetBodyText(std::string(2000, 'x') + "\r\nName: Customer\r\nCity: Paris");
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const int stored = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int added = argc > 2 ? std::atoi(argv[2]) : 1000;
  const auto folder = std::filesystem::temp_directory_path() / ("larkpost_bench_list_" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  {
    TExtractData data(folder);
    double clock = 46000.0;
    data.Clock = [&] { return clock += 1.0 / 86400000.0 * 7; };
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < stored; ++i) data.StoreMessage(Reply(i), InboxFolderName);
    std::printf("store %d messages       %8.3f s\n", stored, Seconds(t0));
    t0 = std::chrono::steady_clock::now();
    data.ReadMailList();
    const double oneRead = Seconds(t0);
    std::printf("read the list once       %8.3f s  (%zu messages)\n", oneRead, data.MailList.size());

    t0 = std::chrono::steady_clock::now();
    double listing = 0;
    for (int i = 0; i < added; ++i) {
      const std::string entry = data.StoreMessage(Reply(stored + i), InboxFolderName);
      const auto l0 = std::chrono::steady_clock::now();
      InsertMailNewestFirst(data.MailList, {entry, data.ReadStoredMessage(entry, true)});
      listing += Seconds(l0);
    }
    const double total = Seconds(t0);
    std::printf("%d new, joined in place  %8.3f s  (%.1f messages/s, %.1f%% of it on the list)\n", added, total,
                added / total, 100.0 * listing / total);
    std::printf("%d new, list read again  %8.3f s  (estimated: one read of the list per message)\n", added,
                total - listing + added * oneRead);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
