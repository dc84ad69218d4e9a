// Get List of 1,000 messages of about 20 KB from a local dovecot into a store
// that already holds 10,000, leaving mail on the server. Prints messages/s and
// where the time went. Usage: bench_withdrawal_getlist [new] [stored]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestServers.h"
#include "platform/MessageBox.h"
#include "withdrawal/GetList.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Reply(int n, size_t size) {
  std::string s = "From: Customer " + std::to_string(n) + " <customer" + std::to_string(n) + "@x.test>\r\n";
  s += "To: Orders <orders@y.test>\r\nSubject: Re: offer " + std::to_string(n) + "\r\n";
  s += "Date: Mon, 07 Dec 2026 10:" + std::to_string(10 + n % 50) + ":00 +0000\r\n";
  s += "Message-Id: <reply-" + std::to_string(n) + "@x.test>\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
  s += "Name: Customer " + std::to_string(n) + "\r\nQuantity: " + std::to_string(n % 97) + "\r\n";
  while (s.size() < size) s += "> The quoted text of the offer, line after line, as replies carry it along.\r\n";
  return s;
}

// The page as thin as it gets: the time spent in it is the run's own share.
class TBenchView : public IGetListView {
public:
  int stored = 0;
  void ShowStatus(const std::string&) override {}
  void SetRunning(bool) override {}
  void ProcessPendingEvents() override {}
  void MessageStored(int) override { ++stored; }
  void ShowError(const std::string&) override {}
  bool GoOnWithoutCredentials(const std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  const int fresh = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int already = argc > 2 ? std::atoi(argv[2]) : 10000;
  TTempDir home;
  TScopedScriptedMessages boxes;

  auto t0 = Clock::now();
  TExtractData data(home.Path());
  {
    // Names from a clock of our own, well before today, one apart each.
    int k = 0;
    data.Clock = [&] { return 40000.0 + 1e-8 * k++; };
    TIdMessage m;
    for (int i = 0; i < already; ++i) {
      m.LoadFromString(Reply(100000 + i, 20000));
      data.StoreMessage(m, InboxFolderName);
    }
    data.Clock = MessageTimeNow;
  }
  data.ReadMailList();
  std::printf("store filled: %zu messages in %.1f s\n", data.MailList.size(), Seconds(Clock::now() - t0));

  TPop3TestServer server("bench", "secret", 900);
  if (!server.Ok()) {
    std::fprintf(stderr, "dovecot did not start\n%s\n", server.Log().c_str());
    return 1;
  }
  for (int i = 0; i < fresh; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%06d", i);
    server.AddMessage(name, Reply(i, 20000));
  }

  TProfile account;
  account.Pop3Server = "127.0.0.1";
  account.Pop3Port = std::to_string(server.Port());
  account.UserId = "bench";
  account.Password = "secret";
  account.LeaveCopyOnServer = true;
  TGetList getList;
  getList.AttachmentFolder = home.Path() / "Attachments";
  TBenchView view;
  auto t1 = Clock::now();
  TGetListResult r = getList.Run(data, &account, view);
  const double total = Seconds(Clock::now() - t1);
  if (r.Outcome != TGetListOutcome::Completed || !boxes.shown.empty()) {
    std::fprintf(stderr, "the run failed: %s\n", boxes.shown.empty() ? "" : boxes.shown[0].text.c_str());
    return 1;
  }
  const double waits = r.Received * GetListStoreWaitMs / 1000.0;
  std::printf("Get List: %d messages of ~20 KB into a store of %d: %.2f s, %.1f messages/s\n", r.Received, already,
              total, r.Received / total);
  std::printf("  the %d ms wait before each store: %.2f s (%.0f%%); without it %.1f messages/s\n", GetListStoreWaitMs,
              waits, 100 * waits / total, r.Received / (total - waits));
  std::printf("  list now %zu messages, page notified %d times\n", data.MailList.size(), view.stored);

  // A second run finds nothing new: every header is still fetched.
  auto t2 = Clock::now();
  r = getList.Run(data, &account, view);
  std::printf("second Get List (nothing new, %d headers): %.2f s\n", data.MessageCount, Seconds(Clock::now() - t2));
  return 0;
}
